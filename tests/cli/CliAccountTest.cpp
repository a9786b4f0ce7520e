// `vormla-cli account` and a run that signs in with the member's own account,
// as processes against the demo market.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>

#include <filesystem>
#include <memory>

#include "CliTestKit.h"
#include "cli/CliOptions.h"
#include "demo-market/DemoMarket.h"

namespace vormla::cli {
namespace {

using clitest::Finished;
using clitest::ReadBytes;
using clitest::TempFolder;
using clitest::WriteBytes;
using ::testing::HasSubstr;
using ::testing::Not;

using clitest::kCatalogue;
const std::string kLoginId = "a&b=c+d e日本";
const std::string kPassword = "p&w=1+2 パス";

unsigned Mode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0u;
}

class CliAccount : public clitest::MarketSuite {
 protected:
  void SetUp() override {
    MarketSuite::SetUp();
    market_->AcceptAccount(kLoginId, kPassword);
  }

  std::map<std::string, std::string> Environment() const {
    std::map<std::string, std::string> environment = MarketEnvironment();
    environment["XDG_CONFIG_HOME"] = work_ / "config";
    return environment;
  }
  std::string AccountPath() const { return work_ / "config/vormla-search/account"; }

  // `account set` fed with input on its standard input.
  Finished Set(const std::string& input, mode_t umask = 022) {
    WriteBytes(work_ / "input", input);
    const mode_t old = ::umask(umask);
    Finished done = clitest::RunCli({"account", "set"}, work_.Path(), Environment(), work_ / "input");
    ::umask(old);
    return done;
  }
  Finished Account(const std::string& action) {
    return clitest::RunCli({"account", action}, work_.Path(), Environment());
  }
};

TEST_F(CliAccount, SetKeepsTwoPrivateLinesShowTellsTheLoginIdClearRemovesThem) {
  // Even a umask that lets everyone read new files makes no readable account file.
  const Finished set = Set(kLoginId + "\n" + kPassword + "\n", 0);
  EXPECT_EQ(set.exitCode, 0) << set.err;
  EXPECT_EQ(Mode(AccountPath()), 0600u);
  EXPECT_EQ(Mode(work_ / "config/vormla-search"), 0700u);
  EXPECT_EQ(ReadBytes(AccountPath()), kLoginId + "\n" + kPassword + "\n");
  EXPECT_EQ(set.err, "vormla-cli: アカウント (ログインID " + kLoginId + ") を " + AccountPath() +
                         " に保存しました。run もウィンドウもこのアカウントでサインインします。\n");
  EXPECT_EQ(set.out, "");

  const Finished show = Account("show");
  EXPECT_EQ(show.exitCode, 0) << show.err;
  EXPECT_EQ(show.out, kLoginId + "\n");
  EXPECT_EQ(show.err, "");

  const Finished clear = Account("clear");
  EXPECT_EQ(clear.exitCode, 0) << clear.err;
  EXPECT_FALSE(std::filesystem::exists(AccountPath()));
  EXPECT_THAT(clear.err, ::testing::StartsWith("vormla-cli: " + AccountPath() + " を削除しました。"));

  const Finished none = Account("show");
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_EQ(none.out, "");
  EXPECT_THAT(none.err, ::testing::StartsWith("vormla-cli: アカウントは設定されていません (" + AccountPath()));
  EXPECT_EQ(Account("clear").exitCode, 0);  // nothing to remove is no failure
}

TEST_F(CliAccount, SetRefusesWhatCannotBeAnAccountAndKeepsTheOldOne) {
  ASSERT_EQ(Set("kept\nsecret\n").exitCode, 0);
  for (const auto& [input, words] : std::vector<std::pair<std::string, std::string>>{
           {"", "vormla-cli: ログインIDを読む前に入力が終わりました。"},
           {"only-an-id\n", "vormla-cli: パスワードを読む前に入力が終わりました。"},
           {"\nsecret\n", "vormla-cli: ログインIDが空です。"},
           {"id\n\n", "vormla-cli: パスワードが空です。"},
           {"id\r\nsecret\r\n", "vormla-cli: ログインIDに制御文字か UTF-8 でないバイトがあります。"},
           {"id\n" + std::string(2000, 'x') + "\n", "vormla-cli: パスワードが長すぎます。"}}) {
    const Finished set = Set(input);
    EXPECT_EQ(set.exitCode, kExitUsage) << input;
    EXPECT_THAT(set.err, ::testing::StartsWith(words)) << set.err;
    EXPECT_THAT(set.err, HasSubstr("アカウントは保存していません。"));
    EXPECT_EQ(ReadBytes(AccountPath()), "kept\nsecret\n");
  }
  // An endless line: given up once it cannot be a value any more.
  const Finished zeros = clitest::RunCli({"account", "set"}, work_.Path(), Environment(), "/dev/zero");
  EXPECT_EQ(zeros.exitCode, kExitUsage);
  EXPECT_EQ(zeros.err, "vormla-cli: ログインIDが長すぎます。アカウントは保存していません。\n");
  EXPECT_EQ(ReadBytes(AccountPath()), "kept\nsecret\n");

  const Finished set = Set("id\nsecret");  // the last line end may be missing
  EXPECT_EQ(set.exitCode, 0) << set.err;
  EXPECT_EQ(ReadBytes(AccountPath()), "id\nsecret\n");
}

TEST_F(CliAccount, RunSignsInWithTheAccountFormEncoded) {
  ASSERT_EQ(Set(kLoginId + "\n" + kPassword + "\n").exitCode, 0);
  const Finished run =
      clitest::RunCli({"run", "--output", work_ / "out.csv", "--db", kCatalogue, "--top", "1", "--nodes", "1"},
                      work_.Path(), Environment());
  EXPECT_EQ(run.exitCode, kExitRows) << run.err;
  EXPECT_THAT(run.err, ::testing::StartsWith("vormla-cli: ログインID " + kLoginId + " でサインインします (" +
                                             AccountPath() + ")。\n"));
  EXPECT_THAT(run.err + run.out, Not(HasSubstr(kPassword)));  // the password is never shown
  EXPECT_THAT(run.err + run.out, Not(HasSubstr("p%26w")));

  const auto attempts = market_->LoginAttempts();
  ASSERT_EQ(attempts.size(), 1u);
  EXPECT_TRUE(attempts[0].accepted) << attempts[0].reason;
  EXPECT_EQ(attempts[0].loginId, kLoginId);
  const auto requests = market_->Requests();
  const auto post = std::find_if(requests.begin(), requests.end(), [](const auto& r) { return r.method == "POST"; });
  ASSERT_NE(post, requests.end());
  EXPECT_EQ(post->body, "&_token=" + post->body.substr(8, 40) +
                            "&bookmark=on&login_id=a%26b%3Dc%2Bd+e%E6%97%A5%E6%9C%AC"
                            "&password=p%26w%3D1%2B2+%E3%83%91%E3%82%B9&refererURL=" +
                            market_->SiteRoot() + "/");
  // Signed in: the search was served with the members' wholesale prices.
  ASSERT_EQ(market_->Searches().size(), 1u);
  EXPECT_TRUE(market_->Searches()[0].signedIn);
  const auto expected = market_->ExpectedRunRows({clitest::CategoryColumn(1, 1)});
  ASSERT_FALSE(expected.empty());
  const clitest::CsvText csv = clitest::ParseCsv(ReadBytes(work_ / "out.csv"));
  ASSERT_EQ(csv.records.size(), expected.size() + 1);
  for (size_t r = 0; r < expected.size(); ++r) EXPECT_EQ(SjisToUtf8(csv.records[r + 1][8]), expected[r].columns[8]);
}

TEST_F(CliAccount, AccountFileOthersCanReadStopsTheRunBeforeAnyFetch) {
  ASSERT_EQ(Set(kLoginId + "\n" + kPassword + "\n").exitCode, 0);
  ::chmod(AccountPath().c_str(), 0644);
  WriteBytes(work_ / "out.csv", "an earlier result\r\n");
  const Finished run =
      clitest::RunCli({"run", "--output", work_ / "out.csv", "--db", kCatalogue}, work_.Path(), Environment());
  EXPECT_EQ(run.exitCode, kExitUsage);
  EXPECT_EQ(run.err, "vormla-cli: アカウントファイル " + AccountPath() +
                         " はほかのユーザーにも権限がある (0644) ため使いません。chmod 600 " + AccountPath() +
                         " で自分だけが読み書きできるようにしてください。\n");
  EXPECT_TRUE(market_->Requests().empty());
  EXPECT_EQ(ReadBytes(work_ / "out.csv"), "an earlier result\r\n");

  const Finished show = Account("show");
  EXPECT_EQ(show.exitCode, kExitUsage);
  EXPECT_EQ(show.out, "");
}

TEST_F(CliAccount, WithoutTheFileTheBuiltInAccountSignsIn) {
  const Finished run =
      clitest::RunCli({"run", "--output", work_ / "out.csv", "--db", kCatalogue, "--top", "1", "--nodes", "1"},
                      work_.Path(), Environment());
  EXPECT_EQ(run.exitCode, kExitRows) << run.err;
  EXPECT_THAT(run.err, Not(HasSubstr("サインインします")));
  const auto requests = market_->Requests();
  const auto post = std::find_if(requests.begin(), requests.end(), [](const auto& r) { return r.method == "POST"; });
  ASSERT_NE(post, requests.end());
  EXPECT_EQ(post->body, "&_token=" + post->body.substr(8, 40) +
                            "&bookmark=on&login_id=pelorint58&password=quastel74&refererURL=" + market_->SiteRoot() +
                            "/");
}

// `account set` on a terminal of its own: what the terminal shows, typed lines in.
class TerminalSession {
 public:
  TerminalSession(const std::string& configHome) {
    std::vector<std::string> args{VORMLA_CLI_PATH, "account", "set"};
    const std::string config = "XDG_CONFIG_HOME=" + configHome;
    pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      char* argv[] = {args[0].data(), args[1].data(), args[2].data(), nullptr};
      char* envp[] = {const_cast<char*>(config.c_str()), nullptr};
      ::execve(argv[0], argv, envp);
      ::_exit(127);
    }
  }
  ~TerminalSession() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) ::close(master_);
  }
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  // What the terminal shows until it has shown `until` (or a few seconds pass).
  std::string ReadUntil(const std::string& until) {
    for (int i = 0; i < 100 && shown_.find(until) == std::string::npos; ++i) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char buffer[512];
      const ssize_t got = ::read(master_, buffer, sizeof buffer);
      if (got <= 0) break;
      shown_.append(buffer, static_cast<size_t>(got));
    }
    return shown_;
  }
  void Type(const std::string& text) {
    [[maybe_unused]] const ssize_t put = ::write(master_, text.data(), text.size());
  }
  bool Echoing() const {
    termios t{};
    return ::tcgetattr(master_, &t) == 0 && (t.c_lflag & ECHO) != 0;
  }
  // The exit code, or minus the signal that ended it.
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }

 private:
  int master_ = -1;
  pid_t pid_ = -1;
  std::string shown_;
};

TEST_F(CliAccount, OnATerminalThePasswordIsAskedTwiceAndNeverShown) {
  {
    TerminalSession terminal(work_ / "config");
    terminal.ReadUntil("ログインID: ");
    terminal.Type("me@example\n");
    terminal.ReadUntil("パスワード: ");
    EXPECT_FALSE(terminal.Echoing());
    terminal.Type("s3cret\n");
    terminal.ReadUntil("パスワード (確認): ");
    terminal.Type("s3cret\n");
    const std::string shown = terminal.ReadUntil("に保存しました。");
    EXPECT_EQ(terminal.Wait(), 0) << shown;
    EXPECT_THAT(shown, HasSubstr("me@example"));
    EXPECT_THAT(shown, Not(HasSubstr("s3cret")));
    EXPECT_EQ(ReadBytes(AccountPath()), "me@example\ns3cret\n");
  }
  {
    // Two different answers keep the account as it was.
    TerminalSession terminal(work_ / "config");
    terminal.ReadUntil("ログインID: ");
    terminal.Type("other\n");
    terminal.ReadUntil("パスワード: ");
    terminal.Type("one\n");
    terminal.ReadUntil("パスワード (確認): ");
    terminal.Type("two\n");
    EXPECT_THAT(terminal.ReadUntil("保存していません。"), HasSubstr("vormla-cli: 2回入力したパスワードが違います。"));
    EXPECT_EQ(terminal.Wait(), kExitUsage);
    EXPECT_EQ(ReadBytes(AccountPath()), "me@example\ns3cret\n");
  }
  {
    // Ctrl-C while the password is hidden stops the program with the echo back on.
    TerminalSession terminal(work_ / "config");
    terminal.ReadUntil("ログインID: ");
    terminal.Type("other\n");
    terminal.ReadUntil("パスワード: ");
    ASSERT_FALSE(terminal.Echoing());
    terminal.Type("\x03");
    EXPECT_EQ(terminal.Wait(), kExitCancelled);
    EXPECT_TRUE(terminal.Echoing());
    EXPECT_EQ(ReadBytes(AccountPath()), "me@example\ns3cret\n");
  }
}

}  // namespace
}  // namespace vormla::cli
