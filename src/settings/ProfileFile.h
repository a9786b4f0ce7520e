// A small profile (INI) file layer with the reading rules of the Windows
// profile-string functions.
//
// Encoding: the file is read as UTF-8 when its bytes are valid UTF-8 (a leading
// byte-order mark is skipped), otherwise as Shift-JIS (a file of the Windows
// program). Every text going in and out of this class is UTF-8. Saving always
// writes UTF-8 without a byte-order mark, lines ending in CR LF.
//
// Reading: section and key names are compared without regard to ASCII letter
// case; blanks around names and values are dropped; a value wholly enclosed in a
// pair of equal quotes (" or ') loses them; the first matching section and key
// win; lines starting with ";" are comments; lines end in CR LF or LF. A text is
// returned up to 2047 bytes of the file (never half a character).
//
// Writing: the file is read once, when the object is made; writes change that
// copy, and Save puts the whole of it on disk at once (a temporary file beside
// it, flushed, then renamed over it), so the file on disk is either the old one
// or the new one. An existing key keeps its place and its spelling, a new key
// goes after the last non-blank line of its section, a new section goes at the
// end; every other line is kept. A value that begins and ends with the same quote
// is written inside one more pair of it, so that reading gives it back unchanged.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

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

// The longest text a read returns, in bytes of the file.
inline constexpr size_t kProfileValueMax = 2047;

// "0x1F" / "0X1F" (at least 3 characters) as hexadecimal, otherwise a decimal
// integer with an optional sign; anything else, or a value outside 32 bits, gives
// fallback.
int ParseProfileInteger(std::string_view text, int fallback);

class ProfileFile {
 public:
  // Reads the file at path (a file-system path); a missing one is an empty profile.
  explicit ProfileFile(std::string path);

  const std::string& FileName() const { return path_; }
  // The file was there and read as Shift-JIS.
  bool ReadAsShiftJis() const { return sjis_; }
  // Why something standing at the path could not be read (an errno; EISDIR for a
  // folder, EINVAL for a device or the like), 0 when it was read or is missing.
  int ReadError() const { return readError_; }

  // The value of key in section, or fallback when the file, section or key is
  // missing. Cut to kProfileValueMax bytes.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  int ReadInteger(std::string_view section, std::string_view key, int fallback) const;
  // An integer read with default 0 or 1; any non-zero value is true.
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;
  bool KeyExists(std::string_view section, std::string_view key) const;

  // Change the profile in memory; nothing reaches the disk before Save.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  // "1" or "0".
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // Puts the whole profile in place of the file. Throws ProfileWriteError (with
  // the path given) when it cannot; the file on disk is then left as it was.
  void Save() const;

 private:
  std::string path_;
  std::vector<std::string> lines_;  // without their line ends
  bool sjis_ = false;               // lines_ hold Shift-JIS bytes
  int readError_ = 0;               // something stands at path_ that could not be read
};

}  // namespace vormla
