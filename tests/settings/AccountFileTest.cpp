// The member's own account file: private from its first byte, refused when others
// could read it or when it is not the two lines it should be.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>

#include "settings/AccountFile.h"
#include "settings/AppPaths.h"
#include "support/ScratchFiles.h"

namespace vormla {
namespace {

namespace fs = std::filesystem;
using test::Mode;
using test::ReadAll;
using test::ScopedEnv;
using test::ScratchDir;
using test::WriteAll;

const std::string kLoginId = "a&b=c+d e日本";
const std::string kPassword = "p&w=1+2 パス";

void WritePrivate(const std::string& path, const std::string& bytes, mode_t mode = 0600) {
  WriteAll(path, bytes);
  ::chmod(path.c_str(), mode);
}

SiteAccount Account(const std::string& loginId, const std::string& password) {
  return {SecretText(loginId), SecretText(password)};
}

// Sets the umask for one test.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(old_); }
  ScopedUmask(const ScopedUmask&) = delete;
  ScopedUmask& operator=(const ScopedUmask&) = delete;

 private:
  mode_t old_;
};

TEST(AccountFile, WrittenPrivateAsTwoLinesAndReadBack) {
  ScratchDir dir;
  ScopedEnv config("XDG_CONFIG_HOME", dir / "config");
  const ScopedUmask open(0);  // a umask that would let everyone read a new file
  const std::string path = AccountFile();
  EXPECT_EQ(path, dir / "config/vormla-search/account");

  ASSERT_EQ(WriteAccountFile(path, Account(kLoginId, kPassword)), "");
  EXPECT_EQ(Mode(path), 0600u);
  EXPECT_EQ(Mode(dir / "config/vormla-search"), 0700u);  // the folder is made private too
  EXPECT_EQ(ReadAll(path), kLoginId + "\n" + kPassword + "\n");
  // Nothing of the temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "config/vormla-search"), fs::directory_iterator()), 1);

  const AccountReading reading = ReadAccountFile(path);
  ASSERT_EQ(reading.State, AccountReading::Found::kAccount) << reading.Message;
  EXPECT_EQ(reading.Account.LoginId.View(), kLoginId);
  EXPECT_EQ(reading.Account.Password.View(), kPassword);

  // A file that others could read is replaced by a private one.
  ::chmod(path.c_str(), 0644);
  ASSERT_EQ(WriteAccountFile(path, Account("other", "secret")), "");
  EXPECT_EQ(Mode(path), 0600u);
  EXPECT_EQ(ReadAll(path), "other\nsecret\n");
}

TEST(AccountFile, NoFileMeansTheBuiltInAccount) {
  ScratchDir dir;
  EXPECT_EQ(ReadAccountFile(dir / "account").State, AccountReading::Found::kNoFile);
  WriteAll(dir / "plain", "x");
  EXPECT_EQ(ReadAccountFile(dir / "plain/account").State, AccountReading::Found::kNoFile);
}

TEST(AccountFile, FileOthersCanReachIsRefusedByName) {
  ScratchDir dir;
  const std::string path = dir / "account";
  for (const mode_t mode : {0644, 0640, 0604, 0620, 0601}) {
    WritePrivate(path, kLoginId + "\n" + kPassword + "\n", mode);
    const AccountReading reading = ReadAccountFile(path);
    ASSERT_EQ(reading.State, AccountReading::Found::kRefused) << std::oct << mode;
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(mode));
    EXPECT_EQ(reading.Message, "アカウントファイル " + path + " はほかのユーザーにも権限がある (" + octal +
                                   ") ため使いません。chmod 600 " + path +
                                   " で自分だけが読み書きできるようにしてください。");
    EXPECT_TRUE(reading.Account.Password.Empty());
  }
  WritePrivate(path, kLoginId + "\n" + kPassword + "\n", 0400);  // read-only for the owner is fine
  EXPECT_EQ(ReadAccountFile(path).State, AccountReading::Found::kAccount);
}

TEST(AccountFile, LinkAtTheAccountPathIsNeitherReadNorWrittenThrough) {
  ScratchDir dir;
  const std::string path = dir / "account";
  const std::string remedy =
      "vormla-cli account clear でリンクを削除してから、vormla-cli account set で作り直してください。";
  WritePrivate(dir / "private", "id\npw\n");
  WritePrivate(dir / "open", "id\npw\n", 0644);
  // A link to a good account file, to one others can read (no chmod advice), to nothing.
  for (const std::string target : {"private", "open", "missing"}) {
    fs::remove(path);
    fs::create_symlink(dir / target, path);
    const AccountReading reading = ReadAccountFile(path);
    EXPECT_EQ(reading.State, AccountReading::Found::kRefused) << target;
    EXPECT_EQ(reading.Message,
              "アカウントファイル " + path + " はシンボリックリンクなので使いません (リンク先は読みません)。" + remedy);
    EXPECT_EQ(WriteAccountFile(path, Account("new", "secret")),
              "アカウントファイル " + path + " はシンボリックリンクなので書き込みません。" + remedy);
    EXPECT_TRUE(fs::is_symlink(path)) << target;
  }
  EXPECT_EQ(ReadAll(dir / "private") + ReadAll(dir / "open"), "id\npw\nid\npw\n");
  EXPECT_FALSE(fs::exists(dir / "missing"));
  bool removed = false;
  EXPECT_EQ(RemoveAccountFile(path, removed), "");  // the link goes, not its target
  EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
}

TEST(AccountFile, OnlyTwoPlainLinesAreAnAccount) {
  ScratchDir dir;
  const std::string path = dir / "account";
  WritePrivate(path, "id\npw");  // the last line end may be missing
  EXPECT_EQ(ReadAccountFile(path).Account.Password.View(), "pw");

  for (const std::string& bad : {std::string("id\n"), std::string("id"), std::string("\npw\n"), std::string("id\n\n"),
                                 std::string("id\npw\nmore\n"), std::string("id\r\npw\r\n"), std::string("id\npw\n\n"),
                                 std::string("i\xFF"
                                             "d\npw\n"),
                                 std::string("")}) {
    WritePrivate(path, bad);
    const AccountReading reading = ReadAccountFile(path);
    EXPECT_EQ(reading.State, AccountReading::Found::kRefused) << bad;
    EXPECT_EQ(
        reading.Message.rfind("アカウントファイル " + path + " は「ログインID、パスワードを1行ずつ書いた2行」", 0), 0u)
        << reading.Message;
  }
  // The password never shows in a message.
  WritePrivate(path, "id\nhunter2\nhunter3\n");
  EXPECT_EQ(ReadAccountFile(path).Message.find("hunter"), std::string::npos);

  fs::remove(path);
  fs::create_directory(path);
  EXPECT_EQ(
      ReadAccountFile(path).Message.rfind("アカウントファイル " + path + " はふつうのファイルではありません。", 0), 0u);
}

TEST(AccountFile, AWriteThatCannotHappenSaysSoAndLeavesNothing) {
  ScratchDir dir;
  WriteAll(dir / "plain", "a file where a folder should be");
  const std::string message = WriteAccountFile(dir / "plain/account", Account("id", "pw"));
  EXPECT_EQ(message.rfind("アカウントファイル " + dir / "plain/account" + " に書き込めませんでした", 0), 0u) << message;
  EXPECT_EQ(message.find("pw"), std::string::npos);
  EXPECT_EQ(ReadAll(dir / "plain"), "a file where a folder should be");
}

TEST(AccountFile, ValuesAreCheckedBeforeTheyAreKept) {
  EXPECT_EQ(AccountValueProblem("pelorint58", "ログインID"), "");
  EXPECT_EQ(AccountValueProblem(kPassword, "パスワード"), "");
  EXPECT_EQ(AccountValueProblem("", "ログインID"), "ログインIDが空です。");
  EXPECT_EQ(AccountValueProblem("a\tb", "パスワード"), "パスワードに制御文字か UTF-8 でないバイトがあります。");
  EXPECT_NE(AccountValueProblem("\xC0\xAF", "パスワード"), "");      // an overlong "/"
  EXPECT_NE(AccountValueProblem("\xED\xA0\x80", "パスワード"), "");  // a surrogate
  EXPECT_EQ(AccountValueProblem(std::string(1024, 'x'), "パスワード"), "");
  EXPECT_NE(AccountValueProblem(std::string(1025, 'x'), "パスワード"), "");
}

TEST(AccountFile, AProcessHoldingAPasswordWritesNoCoreFile) {
  ScratchDir dir;
  WritePrivate(dir / "account", "id\npw\n");
  ASSERT_EQ(ReadAccountFile(dir / "account").State, AccountReading::Found::kAccount);
  EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
  rlimit core{};
  ASSERT_EQ(::getrlimit(RLIMIT_CORE, &core), 0);
  EXPECT_EQ(core.rlim_cur, 0u);
}

TEST(SecretText, NeverGrowsAndIsWipedWhenItGoes) {
  SecretText text(4);
  EXPECT_TRUE(text.Append("abcd"));
  EXPECT_FALSE(text.Append("e"));  // a bigger buffer would leave the old bytes behind
  EXPECT_EQ(text.View(), "abcd");
  const char* bytes = text.View().data();
  SecretText moved(std::move(text));
  EXPECT_EQ(moved.View().data(), bytes);  // the buffer is handed on, not copied
  moved.Wipe();
  EXPECT_TRUE(moved.Empty());
  EXPECT_EQ(std::string(bytes, 4), std::string(4, '\0'));

  std::string body = "&password=secret";
  body.reserve(64);
  const char* old = body.data();
  WipeString(body);
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(body.data(), old);
  EXPECT_EQ(std::string(old, 16), std::string(16, '\0'));
}

}  // namespace
}  // namespace vormla
