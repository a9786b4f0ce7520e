#include "catalogue/ProfileFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <optional>
#include <vector>

#include "web/TextOps.h"

namespace vormla {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Names are equal without regard to the case of ASCII letters; the trail byte of
// a double-byte character is compared exactly.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  bool trail = false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (trail ? a[i] != b[i] : Lower(a[i]) != Lower(b[i])) return false;
    trail = !trail && IsLeadByte(static_cast<unsigned char>(a[i]));
  }
  return true;
}

// The file's lines without their line ends (CR LF or LF). nullopt when no file
// exists; throws when something else stands there or it cannot be read.
std::optional<std::vector<std::string>> LoadLines(const std::string& path, bool forWrite) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return std::nullopt;
    if (forWrite) throw ProfileWriteError(path);
    return std::nullopt;
  }
  if (!S_ISREG(st.st_mode)) {
    if (forWrite) throw ProfileWriteError(path);
    return std::nullopt;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (forWrite) throw ProfileWriteError(path);
    return std::nullopt;
  }
  std::string bytes;
  char buf[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buf, sizeof buf);
    if (got < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      if (forWrite) throw ProfileWriteError(path);
      return std::nullopt;
    }
    if (got == 0) break;
    bytes.append(buf, static_cast<size_t>(got));
  }
  ::close(fd);

  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    size_t stop = end;
    if (stop > start && bytes[stop - 1] == '\r') --stop;
    lines.emplace_back(bytes, start, stop - start);
    start = end + 1;
  }
  return lines;
}

// A section header's name, or nullopt for another line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  const size_t close = line.find(']');
  return Trim(close == std::string_view::npos ? line : line.substr(0, close));
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
  const size_t eq = trimmed.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return KeyLine{Trim(trimmed.substr(0, eq)), Trim(trimmed.substr(eq + 1))};
}

// Lines [first, last) of the first section with that name; nullopt when absent.
struct SectionRange {
  size_t header;
  size_t end;
};

std::optional<SectionRange> FindSection(const std::vector<std::string>& lines, std::string_view section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto name = SectionName(lines[i]);
    if (!name || !SameName(*name, Trim(section))) continue;
    size_t end = i + 1;
    while (end < lines.size() && !SectionName(lines[end])) ++end;
    return SectionRange{i, end};
  }
  return std::nullopt;
}

std::optional<std::string> FindValue(const std::vector<std::string>& lines, std::string_view section,
                                     std::string_view key) {
  const auto range = FindSection(lines, section);
  if (!range) return std::nullopt;
  for (size_t i = range->header + 1; i < range->end; ++i) {
    const auto kv = ParseKeyLine(lines[i]);
    if (kv && SameName(kv->key, Trim(key))) return std::string(kv->value);
  }
  return std::nullopt;
}

void SaveLines(const std::string& path, const std::vector<std::string>& lines) {
  std::string bytes;
  for (const auto& line : lines) {
    bytes += line;
    bytes += "\r\n";
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw ProfileWriteError(path);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      throw ProfileWriteError(path);
    }
    done += static_cast<size_t>(put);
  }
  if (::close(fd) != 0) throw ProfileWriteError(path);
}

}  // namespace

ProfileWriteError::ProfileWriteError(const std::string& path)
    : std::runtime_error(path + " に書き込めません"), path_(path) {}

std::string ProfileWriteError::SjisText() const { return Utf8ToSjis(what()); }

int ParseProfileInteger(std::string_view text, int fallback) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (text.size() >= 3 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    uint64_t value = 0;
    for (char c : text.substr(2)) {
      int digit;
      if (c >= '0' && c <= '9')
        digit = c - '0';
      else if (c >= 'a' && c <= 'f')
        digit = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        digit = c - 'A' + 10;
      else
        return fallback;
      value = value * 16 + static_cast<uint64_t>(digit);
      if (value > 0xFFFFFFFFull) return fallback;
    }
    // Eight hex digits fill the 32 bits: 0xFFFFFFFF is -1.
    return static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(value)));
  }
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return fallback;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return fallback;
    value = value * 10 + (c - '0');
    if (value > static_cast<int64_t>(INT_MAX) + 1) return fallback;
  }
  if (negative) value = -value;
  if (value < INT_MIN || value > INT_MAX) return fallback;
  return static_cast<int>(value);
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                     std::string_view fallback) const {
  std::string value(fallback);
  if (const auto lines = LoadLines(path_, false)) {
    if (auto found = FindValue(*lines, section, key)) {
      value = std::move(*found);
      // A stored value wholly inside a pair of equal quotes loses them.
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    }
  }
  if (value.size() > kProfileValueMax) value.resize(kProfileValueMax);
  return value;
}

int ProfileFile::ReadInteger(std::string_view section, std::string_view key, int fallback) const {
  const std::string text = ReadString(section, key, "");
  return ParseProfileInteger(text, fallback);
}

bool ProfileFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

bool ProfileFile::KeyExists(std::string_view section, std::string_view key) const {
  const auto lines = LoadLines(path_, false);
  return lines && FindValue(*lines, section, key).has_value();
}

void ProfileFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::vector<std::string> lines = LoadLines(path_, true).value_or(std::vector<std::string>{});
  const std::string entry = std::string(Trim(key)) + "=" + std::string(value);
  if (const auto range = FindSection(lines, section)) {
    size_t lastFilled = range->header;
    for (size_t i = range->header + 1; i < range->end; ++i) {
      const auto kv = ParseKeyLine(lines[i]);
      if (kv && SameName(kv->key, Trim(key))) {
        // Keep the key as the file spells it.
        lines[i] = std::string(kv->key) + "=" + std::string(value);
        SaveLines(path_, lines);
        return;
      }
      if (!Trim(lines[i]).empty()) lastFilled = i;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastFilled + 1), entry);
  } else {
    if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
    // Appended rather than "[" + temporary: GCC 12 at -O3 sees a false overlap there.
    std::string header = "[";
    header += Trim(section);
    header += ']';
    lines.push_back(std::move(header));
    lines.push_back(entry);
  }
  SaveLines(path_, lines);
}

void ProfileFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void ProfileFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

}  // namespace vormla
