#include <gtest/gtest.h>

#include "settings/ProfileFile.h"
#include "support/ScratchFiles.h"

namespace vormla {
namespace {

using test::ReadAll;
using test::WriteAll;

TEST(ProfileRead, NamesIgnoreLetterCase) {
  test::ScratchDir dir;
  const std::string path = dir / "a.ini";
  WriteAll(path, "[config]\nWORD=towel\n");
  ProfileFile ini(path);
  EXPECT_EQ(ini.ReadString("Config", "Word", "-"), "towel");
  EXPECT_EQ(ini.ReadString("CONFIG", "word", "-"), "towel");
  EXPECT_EQ(ini.ReadString("Other", "Word", "-"), "-");
  EXPECT_EQ(ini.ReadString("Config", "Words", "-"), "-");
}

TEST(ProfileRead, CrLfAndLfLinesBlanksAndComments) {
  test::ScratchDir dir;
  const std::string path = dir / "a.ini";
  WriteAll(path, "; note\r\n[A]\r\n  Key1 =  one  \r\n;Key2=x\n\nKey2=two\n[B]\nKey1=b");
  ProfileFile ini(path);
  EXPECT_EQ(ini.ReadString("A", "Key1", ""), "one");
  EXPECT_EQ(ini.ReadString("A", "Key2", ""), "two");
  EXPECT_EQ(ini.ReadString("B", "Key1", ""), "b");
}

TEST(ProfileRead, FirstSectionAndKeyWinAndQuotesAreDropped) {
  test::ScratchDir dir;
  const std::string path = dir / "a.ini";
  WriteAll(path, "[A]\nK=first\nK=second\nQ=\"quoted\"\nH='half\n[a]\nK=third\n");
  ProfileFile ini(path);
  EXPECT_EQ(ini.ReadString("A", "K", ""), "first");
  EXPECT_EQ(ini.ReadString("A", "Q", ""), "quoted");
  EXPECT_EQ(ini.ReadString("A", "H", ""), "'half");
}

TEST(ProfileRead, ValuesAreCutAt2047Bytes) {
  test::ScratchDir dir;
  const std::string path = dir / "a.ini";
  const std::string exact(2047, 'x');
  const std::string longer = std::string(2047, 'y') + "zz";
  WriteAll(path, "[A]\nExact=" + exact + "\nLonger=" + longer + "\n");
  ProfileFile ini(path);
  EXPECT_EQ(ini.ReadString("A", "Exact", ""), exact);
  EXPECT_EQ(ini.ReadString("A", "Longer", ""), std::string(2047, 'y'));
}

TEST(ProfileRead, MissingFileGivesTheDefaults) {
  test::ScratchDir dir;
  ProfileFile ini(dir / "none.ini");
  EXPECT_EQ(ini.ReadString("A", "K", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadInteger("A", "K", 7), 7);
  EXPECT_TRUE(ini.ReadBool("A", "K", true));
  EXPECT_FALSE(ini.KeyExists("A", "K"));
}

TEST(ProfileInteger, DecimalHexAndGarbage) {
  EXPECT_EQ(ParseProfileInteger("42", -1), 42);
  EXPECT_EQ(ParseProfileInteger("-3", 0), -3);
  EXPECT_EQ(ParseProfileInteger("+3", 0), 3);
  EXPECT_EQ(ParseProfileInteger("0x1F", -1), 31);
  EXPECT_EQ(ParseProfileInteger("0X1f", -1), 31);
  EXPECT_EQ(ParseProfileInteger("0xFFFFFFFF", 0), -1);
  EXPECT_EQ(ParseProfileInteger("0x", 9), 9);  // too short for hexadecimal, not decimal either
  EXPECT_EQ(ParseProfileInteger("0x1G", 9), 9);
  EXPECT_EQ(ParseProfileInteger("12abc", 9), 9);
  EXPECT_EQ(ParseProfileInteger("abc", 9), 9);
  EXPECT_EQ(ParseProfileInteger("", 9), 9);
  EXPECT_EQ(ParseProfileInteger("-", 9), 9);
  EXPECT_EQ(ParseProfileInteger("2147483647", 0), 2147483647);
  EXPECT_EQ(ParseProfileInteger("-2147483648", 0), -2147483647 - 1);
  EXPECT_EQ(ParseProfileInteger("2147483648", 5), 5);
  EXPECT_EQ(ParseProfileInteger("0x100000000", 5), 5);
}

TEST(ProfileInteger, ReadThroughTheFile) {
  test::ScratchDir dir;
  const std::string path = dir / "a.ini";
  WriteAll(path, "[A]\nHex=0x1F\nBad=1x\nNeg=-2\nOn=5\nOff=0\n");
  ProfileFile ini(path);
  EXPECT_EQ(ini.ReadInteger("A", "Hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger("A", "Bad", 8), 8);
  EXPECT_EQ(ini.ReadInteger("A", "Neg", 0), -2);
  EXPECT_TRUE(ini.ReadBool("A", "On", false));
  EXPECT_FALSE(ini.ReadBool("A", "Off", true));
  EXPECT_TRUE(ini.ReadBool("A", "Bad", true)) << "not a number: the default";
}

TEST(ProfileWrite, NewFileListsKeysInWrittenOrderWithCrLf) {
  test::ScratchDir dir;
  const std::string path = dir / "new.ini";
  ProfileFile ini(path);
  ini.WriteString("Config", "Word", "x");
  ini.WriteInteger("Config", "Sort", 2);
  ini.WriteBool("Config", "Sell1", true);
  ini.WriteString("Config", "Empty", "");
  EXPECT_FALSE(std::filesystem::exists(path)) << "nothing reaches the disk before Save";
  ini.Save();
  EXPECT_EQ(ReadAll(path), "[Config]\r\nWord=x\r\nSort=2\r\nSell1=1\r\nEmpty=\r\n");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(ProfileWrite, UpdateKeepsEverythingElseInPlace) {
  test::ScratchDir dir;
  const std::string path = dir / "old.ini";
  WriteAll(path, "; kept\n[Other]\nA=1\n\n[CONFIG]\nSort=1\nword=old\nKeep=yes\n\n[Last]\nZ=9\n");
  ProfileFile ini(path);
  ini.WriteString("Config", "Word", "new");
  ini.WriteString("Config", "Added", "a");
  ini.WriteString("Fresh", "K", "v");
  ini.Save();
  EXPECT_EQ(ReadAll(path),
            "; kept\r\n[Other]\r\nA=1\r\n\r\n[CONFIG]\r\nSort=1\r\nword=new\r\nKeep=yes\r\nAdded=a\r\n\r\n"
            "[Last]\r\nZ=9\r\n\r\n[Fresh]\r\nK=v\r\n");
  EXPECT_EQ(ini.ReadString("config", "WORD", ""), "new");
  EXPECT_EQ(ProfileFile(path).ReadString("config", "WORD", ""), "new");
}

// An older settings file is Shift-JIS; saving turns all of it into UTF-8.
TEST(ProfileEncoding, ShiftJisFileIsReadAndRewrittenAsUtf8) {
  test::ScratchDir dir;
  const std::string path = dir / "sjis.ini";
  const std::string towelSjis = "\x83\x5E\x83\x49\x83\x8B";  // タオル
  WriteAll(path, "; \x83\x81\x83\x82\r\n[Config]\r\nWord=" + towelSjis + "\r\nDir=C:\\\x89\xE6\x91\x9C\\\r\n");
  ProfileFile ini(path);
  EXPECT_TRUE(ini.ReadAsShiftJis());
  EXPECT_EQ(ini.ReadString("Config", "Word", ""), "タオル");
  EXPECT_EQ(ini.ReadString("Config", "Dir", ""), "C:\\画像\\");
  ini.WriteString("Config", "Sort", "1");
  ini.Save();
  EXPECT_EQ(ReadAll(path), "; メモ\r\n[Config]\r\nWord=タオル\r\nDir=C:\\画像\\\r\nSort=1\r\n");
  EXPECT_FALSE(ProfileFile(path).ReadAsShiftJis());
}

TEST(ProfileEncoding, Utf8WithOrWithoutByteOrderMark) {
  test::ScratchDir dir;
  const std::string path = dir / "a.ini";
  // Without a mark: UTF-8 because it is valid UTF-8 (Shift-JIS would take these
  // bytes too, as other characters).
  WriteAll(path, "[Config]\nDir=/home/jörg/画像〜2024/\n");
  EXPECT_FALSE(ProfileFile(path).ReadAsShiftJis());
  EXPECT_EQ(ProfileFile(path).ReadString("Config", "Dir", ""), "/home/jörg/画像〜2024/");
  // An editor's byte-order mark does not hide the first section.
  WriteAll(path, "\xEF\xBB\xBF[Config]\r\nWord=ü\r\n");
  ProfileFile marked(path);
  EXPECT_EQ(marked.ReadString("Config", "Word", ""), "ü");
  marked.Save();
  EXPECT_EQ(ReadAll(path), "[Config]\r\nWord=ü\r\n");
}

TEST(ProfileEncoding, CutAt2047BytesNeverHalvesACharacter) {
  test::ScratchDir dir;
  const std::string path = dir / "a.ini";
  // 682 three-byte characters are 2046 bytes; the next one would end at 2049.
  std::string kanji;
  for (int i = 0; i < 683; ++i) kanji += "画";
  WriteAll(path, "[A]\nK=" + kanji + "\n");
  EXPECT_EQ(ProfileFile(path).ReadString("A", "K", ""), kanji.substr(0, 2046));
  // Shift-JIS: one half-width letter and 1023 double-byte characters fill 2047
  // bytes; with one letter more the 1023rd character would straddle the cut.
  std::string sjis = "a";
  for (int i = 0; i < 1024; ++i) sjis += "\x89\xE6";
  WriteAll(path, "[A]\nK=" + sjis + "\nL=a" + sjis + "\n");
  std::string expect;
  for (int i = 0; i < 1023; ++i) expect += "画";
  ProfileFile ini(path);
  EXPECT_EQ(ini.ReadString("A", "K", ""), "a" + expect);
  EXPECT_EQ(ini.ReadString("A", "L", ""), "aa" + expect.substr(3));
}

// The reader drops one pair of equal quotes: a value with its own pair gets one more.
TEST(ProfileWrite, QuotedValuesComeBackUnchanged) {
  test::ScratchDir dir;
  const std::string path = dir / "q.ini";
  const std::vector<std::string> values = {"\"限定\"", "'a'",     "\"\"",   "''",    "\"",
                                           "\"a'",     "\" x \"", "\"\"\"", "a\"b\""};
  // "K" + number built by appending: GCC 12 at -O3 warns of a false overlap otherwise.
  const auto key = [](size_t i) { return std::string("K").append(std::to_string(i)); };
  ProfileFile ini(path);
  for (size_t i = 0; i < values.size(); ++i) ini.WriteString("A", key(i), values[i]);
  ini.Save();
  const ProfileFile back(path);
  for (size_t i = 0; i < values.size(); ++i) EXPECT_EQ(back.ReadString("A", key(i), "-"), values[i]) << values[i];
  EXPECT_EQ(ReadAll(path).substr(0, 20), "[A]\r\nK0=\"\"限定\"\"\r\n");
}

TEST(ProfileWrite, RefusedWriteNamesTheFileAndChangesNothing) {
  test::ScratchDir dir;
  WriteAll(dir / "plain", "x");
  const std::string under = dir / "plain/vm.ini";
  try {
    ProfileFile ini(under);
    ini.WriteString("Config", "Word", "x");
    ini.Save();
    FAIL() << "written";
  } catch (const ProfileWriteError& e) {
    EXPECT_EQ(std::string(e.what()), under + " に書き込めません");
    EXPECT_EQ(e.Path(), under);
    EXPECT_EQ(e.SjisText(), under + " \x82\xC9\x8F\x91\x82\xAB\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1");
  }
  EXPECT_EQ(ReadAll(dir / "plain"), "x");

  // A folder where the file is: it cannot be read, so it is not replaced.
  std::filesystem::create_directory(dir / "folder.ini");
  EXPECT_THROW(ProfileFile(dir / "folder.ini").Save(), ProfileWriteError);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.ini"));

  // A folder where the temporary file goes: the old file stays byte for byte.
  const std::string path = dir / "vm.ini";
  WriteAll(path, "[A]\nK=old\n");
  std::filesystem::create_directory(path + ".tmp");
  ProfileFile ini(path);
  ini.WriteString("A", "K", "new");
  EXPECT_THROW(ini.Save(), ProfileWriteError);
  EXPECT_EQ(ReadAll(path), "[A]\nK=old\n");
}

TEST(ProfileWrite, SymbolicLinkAndModeAreKept) {
  test::ScratchDir dir;
  std::filesystem::create_directory(dir / "real");
  const std::string real = dir / "real/vm.ini";
  WriteAll(real, "[A]\nK=old\n");
  std::filesystem::permissions(real, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const std::string link = dir / "vm.ini";
  std::filesystem::create_symlink(real, link);
  ProfileFile ini(link);
  ini.WriteString("A", "K", "new");
  ini.Save();
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadAll(real), "[A]\r\nK=new\r\n");
  EXPECT_EQ(std::filesystem::status(real).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_FALSE(std::filesystem::exists(real + ".tmp"));
}

}  // namespace
}  // namespace vormla
