#include "settings/ProfileFile.h"
#include "files/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "text/AsciiCase.h"
#include "text/Cp932.h"
#include "text/TextOps.h"
#include "text/Utf8.h"

namespace vormla {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Names are equal without regard to the case of ASCII letters.
bool SameName(std::string_view a, std::string_view b, bool sjis) {
  return sjis ? SjisEqualsIgnoringCase(a, b) : EqualsIgnoringAsciiCase(a, b);
}

// The first max bytes of a value, never ending inside a character.
std::string_view CutValue(std::string_view value, size_t max, bool sjis) {
  if (value.size() <= max) return value;
  size_t end = max;
  if (sjis) {
    // A double-byte character that would straddle the cut goes as a whole.
    size_t i = 0;
    while (i < max) {
      const bool pair = cp932::IsLeadByte(static_cast<unsigned char>(value[i])) && i + 1 < value.size();
      if (pair && i + 1 >= max) break;
      i += pair ? 2 : 1;
    }
    end = i;
  } else {
    while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80) --end;
  }
  return value.substr(0, end);
}

// The whole file, or nullopt when there is none; error is set when something
// stands there that cannot be read as a file (EISDIR for a folder, EINVAL for
// another kind of file).
std::optional<std::string> ReadBytes(const std::string& path, int& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    error = errno == ENOENT ? 0 : errno;
    return std::nullopt;
  }
  if (!S_ISREG(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return std::nullopt;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return std::nullopt;
  }
  std::string bytes;
  char buf[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buf, sizeof buf);
    if (got < 0) {
      if (errno == EINTR) continue;
      error = errno;
      ::close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    bytes.append(buf, static_cast<size_t>(got));
  }
  ::close(fd);
  return bytes;
}

std::vector<std::string> SplitLines(std::string_view bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    size_t stop = end;
    if (stop > start && bytes[stop - 1] == '\r') --stop;
    lines.emplace_back(bytes.substr(start, stop - start));
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

// Lines [header, end) of the first section with that name; nullopt when absent.
struct SectionRange {
  size_t header;
  size_t end;
};

std::optional<SectionRange> FindSection(const std::vector<std::string>& lines, std::string_view section, bool sjis) {
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto name = SectionName(lines[i]);
    if (!name || !SameName(*name, Trim(section), sjis)) continue;
    size_t end = i + 1;
    while (end < lines.size() && !SectionName(lines[end])) ++end;
    return SectionRange{i, end};
  }
  return std::nullopt;
}

std::optional<std::string_view> FindValue(const std::vector<std::string>& lines, std::string_view section,
                                          std::string_view key, bool sjis) {
  const auto range = FindSection(lines, section, sjis);
  if (!range) return std::nullopt;
  for (size_t i = range->header + 1; i < range->end; ++i) {
    const auto kv = ParseKeyLine(lines[i]);
    if (kv && SameName(kv->key, Trim(key), sjis)) return kv->value;
  }
  return std::nullopt;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

// The file the profile stands for: a symbolic link is followed, so that saving
// replaces the file it points to and keeps the link.
std::string SaveTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string target(resolved);
  std::free(resolved);
  return target;
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

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {
  std::optional<std::string> bytes = ReadBytes(path_, readError_);
  if (!bytes) return;
  std::string_view text = *bytes;
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    text.remove_prefix(kByteOrderMark.size());
  } else {
    sjis_ = !IsWellFormedUtf8(text);
  }
  lines_ = SplitLines(text);
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const {
  const auto found = FindValue(lines_, section, key, sjis_);
  if (!found) return std::string(CutValue(fallback, kProfileValueMax, false));
  std::string_view value = *found;
  // A stored value wholly inside a pair of equal quotes loses them.
  if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  value = CutValue(value, kProfileValueMax, sjis_);
  return sjis_ ? SjisToUtf8(value) : std::string(value);
}

int ProfileFile::ReadInteger(std::string_view section, std::string_view key, int fallback) const {
  const std::string text = ReadString(section, key, "");
  return ParseProfileInteger(text, fallback);
}

bool ProfileFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

bool ProfileFile::KeyExists(std::string_view section, std::string_view key) const {
  return FindValue(lines_, section, key, sjis_).has_value();
}

void ProfileFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  if (sjis_) {
    // From here on the whole profile is UTF-8, as Save writes it.
    for (std::string& line : lines_) line = SjisToUtf8(line);
    sjis_ = false;
  }
  std::string stored(value);
  if (stored.size() >= 2 && IsQuote(stored.front()) && stored.back() == stored.front())
    stored = stored.front() + stored + stored.back();
  const std::string entry = std::string(Trim(key)) + "=" + stored;
  if (const auto range = FindSection(lines_, section, false)) {
    size_t lastFilled = range->header;
    for (size_t i = range->header + 1; i < range->end; ++i) {
      const auto kv = ParseKeyLine(lines_[i]);
      if (kv && SameName(kv->key, Trim(key), false)) {
        // Keep the key as the file spells it.
        lines_[i] = std::string(kv->key) + "=" + stored;
        return;
      }
      if (!Trim(lines_[i]).empty()) lastFilled = i;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastFilled + 1), entry);
  } else {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
    // Appended rather than "[" + temporary: GCC 12 at -O3 sees a false overlap there.
    std::string header = "[";
    header += Trim(section);
    header += ']';
    lines_.push_back(std::move(header));
    lines_.push_back(entry);
  }
}

void ProfileFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void ProfileFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void ProfileFile::Save() const {
  // What could not be read is not replaced by what we think it held.
  if (readError_ != 0) throw ProfileWriteError(path_);
  std::string bytes;
  for (const auto& line : lines_) {
    bytes += sjis_ ? SjisToUtf8(line) : line;
    bytes += "\r\n";
  }

  const std::string target = SaveTarget(path_);
  // One fixed name beside the file: a save cut short by a kill leaves at most
  // this one file, which the next save overwrites.
  const std::string temporary = target + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) throw ProfileWriteError(path_);
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);
  if (WriteSyncClose(fd, bytes) != 0 || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    throw ProfileWriteError(path_);
  }
  // The new name itself reaches the disk with its folder.
  SyncFolder(FolderOf(target));
}

}  // namespace vormla
