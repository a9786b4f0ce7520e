// A small profile (INI) file layer with the reading and writing rules of the
// Windows profile-string functions, over Shift-JIS bytes.
//
// Reading: section and key names are compared without regard to ASCII letter
// case; blanks around names and values are dropped; a value wholly enclosed in a
// pair of equal quotes (" or ') loses them; the first matching section and key
// win; lines starting with ";" are comments; lines end in CR LF or LF. A text is
// returned up to 2047 bytes.
//
// Writing: every write reads the file, changes one line and writes the whole file
// back with CR LF line ends. An existing key keeps its place and its spelling, a
// new key goes after the last non-blank line of its section, a new section goes
// at the end of the file; every other line is kept as it was. A missing file is
// created by the first write (so a new file lists keys in the order written).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace vormla {

// A write the system refused. what() is "<path> に書き込めません" in UTF-8;
// SjisText() is the same text in Shift-JIS.
class ProfileWriteError : public std::runtime_error {
 public:
  explicit ProfileWriteError(const std::string& path);
  const std::string& Path() const { return path_; }
  std::string SjisText() const;

 private:
  std::string path_;
};

// The longest text a read returns, in bytes.
inline constexpr size_t kProfileValueMax = 2047;

// "0x1F" / "0X1F" (at least 3 characters) as hexadecimal, otherwise a decimal
// integer with an optional sign; anything else, or a value outside 32 bits, gives
// fallback.
int ParseProfileInteger(std::string_view text, int fallback);

class ProfileFile {
 public:
  // path is a file-system path (UTF-8).
  explicit ProfileFile(std::string path) : path_(std::move(path)) {}

  const std::string& FileName() const { return path_; }

  // The value of key in section, or fallback when the file, section or key is
  // missing. Cut to kProfileValueMax bytes.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  int ReadInteger(std::string_view section, std::string_view key, int fallback) const;
  // An integer read with default 0 or 1; any non-zero value is true.
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;
  bool KeyExists(std::string_view section, std::string_view key) const;

  // Each throws ProfileWriteError when the file cannot be read back or written.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  // "1" or "0".
  void WriteBool(std::string_view section, std::string_view key, bool value);

 private:
  std::string path_;
};

}  // namespace vormla
