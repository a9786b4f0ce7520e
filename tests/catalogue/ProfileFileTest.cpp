#include <gtest/gtest.h>

#include "CatalogueTestKit.h"
#include "catalogue/ProfileFile.h"

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
  EXPECT_EQ(ReadAll(path), "[Config]\r\nWord=x\r\nSort=2\r\nSell1=1\r\nEmpty=\r\n");
}

TEST(ProfileWrite, UpdateKeepsEverythingElseInPlace) {
  test::ScratchDir dir;
  const std::string path = dir / "old.ini";
  WriteAll(path,
           "; kept\n[Other]\nA=1\n\n[CONFIG]\nSort=1\nword=old\nKeep=yes\n\n[Last]\nZ=9\n");
  ProfileFile ini(path);
  ini.WriteString("Config", "Word", "new");
  ini.WriteString("Config", "Added", "a");
  ini.WriteString("Fresh", "K", "v");
  EXPECT_EQ(ReadAll(path),
            "; kept\r\n[Other]\r\nA=1\r\n\r\n[CONFIG]\r\nSort=1\r\nword=new\r\nKeep=yes\r\nAdded=a\r\n\r\n"
            "[Last]\r\nZ=9\r\n\r\n[Fresh]\r\nK=v\r\n");
  EXPECT_EQ(ini.ReadString("config", "WORD", ""), "new");
}

TEST(ProfileWrite, ShiftJisBytesPassThrough) {
  test::ScratchDir dir;
  const std::string path = dir / "sjis.ini";
  const std::string towel = "\x83\x5E\x83\x49\x83\x8B";  // タオル
  ProfileFile ini(path);
  ini.WriteString("Config", "Word", towel);
  EXPECT_EQ(ini.ReadString("Config", "Word", ""), towel);
  EXPECT_EQ(ReadAll(path), "[Config]\r\nWord=" + towel + "\r\n");
}

TEST(ProfileWrite, RefusedWriteNamesTheFile) {
  test::ScratchDir dir;
  WriteAll(dir / "plain", "x");
  const std::string under = dir / "plain/vm.ini";
  try {
    ProfileFile(under).WriteString("Config", "Word", "x");
    FAIL() << "written";
  } catch (const ProfileWriteError& e) {
    EXPECT_EQ(std::string(e.what()), under + " に書き込めません");
    EXPECT_EQ(e.Path(), under);
    EXPECT_EQ(e.SjisText(), under + " \x82\xC9\x8F\x91\x82\xAB\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1");
  }
  std::filesystem::create_directory(dir / "folder.ini");
  EXPECT_THROW(ProfileFile(dir / "folder.ini").WriteString("A", "K", "v"), ProfileWriteError);
  EXPECT_THROW(ProfileFile("/dev/full").WriteString("A", "K", "v"), ProfileWriteError);
}

}  // namespace
}  // namespace vormla
