#include "cli/CliAccount.h"

#include <pthread.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "cli/CliStop.h"
#include "settings/AccountFile.h"

namespace vormla::cli {

namespace {

// One more byte than a value may hold, so that a longer line is noticed.
constexpr size_t kLineCapacity = 1025;

enum class LineRead { kLine, kEnd, kTooLong, kFailed };

// Lines from fd, a block at a time, never more than one line's capacity ahead:
// a line that does not end within it is too long and nothing more is read (an
// endless input such as /dev/zero ends there). A last line without LF counts.
class LineInput {
 public:
  explicit LineInput(int fd) : fd_(fd) {}
  ~LineInput() { ::explicit_bzero(buffer_, sizeof buffer_); }
  LineInput(const LineInput&) = delete;
  LineInput& operator=(const LineInput&) = delete;

  LineRead Next(SecretText& line) {
    line.Wipe();
    for (;;) {
      if (const void* lf = std::memchr(buffer_, '\n', used_)) {
        const size_t length = static_cast<size_t>(static_cast<const char*>(lf) - buffer_);
        const bool fits = line.Append(std::string_view(buffer_, length));
        Consume(length + 1);
        return fits ? LineRead::kLine : LineRead::kTooLong;
      }
      if (used_ == sizeof buffer_) return LineRead::kTooLong;
      if (ended_) {
        if (used_ == 0) return LineRead::kEnd;
        const bool fits = line.Append(std::string_view(buffer_, used_));
        Consume(used_);
        return fits ? LineRead::kLine : LineRead::kTooLong;
      }
      const ssize_t got = ::read(fd_, buffer_ + used_, sizeof buffer_ - used_);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return LineRead::kFailed;
      ended_ = got == 0;
      used_ += static_cast<size_t>(got);
    }
  }

 private:
  void Consume(size_t count) {
    std::memmove(buffer_, buffer_ + count, used_ - count);
    used_ -= count;
    ::explicit_bzero(buffer_ + used_, count);
  }

  const int fd_;
  char buffer_[kLineCapacity];
  size_t used_ = 0;
  bool ended_ = false;
};

// The terminal's settings while echo is off, for the signal handler to put back.
termios savedTerminal;
volatile sig_atomic_t echoOff = 0;
int terminalFd = -1;

void RestoreTerminalAndEnd(int signal) {
  if (echoOff != 0) ::tcsetattr(terminalFd, TCSAFLUSH, &savedTerminal);
  const char newline = '\n';
  [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, &newline, 1);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// While asking on a terminal, a hang-up or Ctrl-\ ends the program as usual, but
// never with the echo left off. (Ctrl-C and SIGTERM go to the stop thread, which
// puts the echo back through the undo step of Ask.)
void LetHangUpEndThePrompt(int fd) {
  terminalFd = fd;
  struct sigaction action {};
  action.sa_handler = RestoreTerminalAndEnd;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGHUP, SIGQUIT}) ::sigaction(signal, &action, nullptr);
}

// Asks on the terminal fd; the answer is not shown when hidden (the echo goes off
// before the question shows, so nothing typed early is shown either).
LineRead Ask(LineInput& input, int fd, std::FILE* err, const char* prompt, bool hidden, SecretText& answer) {
  std::optional<UndoOnStop> echoBack;
  if (hidden) {
    if (::tcgetattr(fd, &savedTerminal) != 0) return LineRead::kFailed;
    termios quiet = savedTerminal;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    quiet.c_lflag |= ECHONL;
    echoOff = 1;
    echoBack.emplace([fd] {
      ::tcsetattr(fd, TCSAFLUSH, &savedTerminal);
      [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, "\n", 1);
    });
    if (::tcsetattr(fd, TCSAFLUSH, &quiet) != 0) {
      echoOff = 0;
      return LineRead::kFailed;
    }
  }
  std::fputs(prompt, err);
  std::fflush(err);
  const LineRead read = input.Next(answer);
  if (hidden) {
    ::tcsetattr(fd, TCSAFLUSH, &savedTerminal);
    echoOff = 0;
    if (read != LineRead::kLine) std::fputs("\n", err);
  }
  return read;
}

int Refuse(std::FILE* err, const std::string& message) {
  std::fprintf(err, "vormla-cli: %s\n", message.c_str());
  return kExitUsage;
}

// Checks what was read for one value; "" when it can be kept.
std::string Problem(LineRead read, const SecretText& value, const std::string& what) {
  switch (read) {
    case LineRead::kLine:
      return AccountValueProblem(value.View(), what);
    case LineRead::kTooLong:
      return what + "が長すぎます。";
    case LineRead::kEnd:
      return what + "を読む前に入力が終わりました。";
    case LineRead::kFailed:
      break;
  }
  return what + "を読めませんでした。";
}

int SetAccount(const std::string& path, int in, std::FILE* err) {
  KeepOutOfCoreFiles();
  SiteAccount account{SecretText(kLineCapacity), SecretText(kLineCapacity)};
  const bool terminal = ::isatty(in) != 0;
  if (terminal) LetHangUpEndThePrompt(in);
  LineInput input(in);

  const LineRead idRead =
      terminal ? Ask(input, in, err, "ログインID: ", false, account.LoginId) : input.Next(account.LoginId);
  std::string problem = Problem(idRead, account.LoginId, "ログインID");
  if (!problem.empty()) return Refuse(err, problem + "アカウントは保存していません。");

  const LineRead passwordRead =
      terminal ? Ask(input, in, err, "パスワード: ", true, account.Password) : input.Next(account.Password);
  problem = Problem(passwordRead, account.Password, "パスワード");
  if (!problem.empty()) return Refuse(err, problem + "アカウントは保存していません。");
  if (terminal) {
    SecretText again(kLineCapacity);
    const LineRead againRead = Ask(input, in, err, "パスワード (確認): ", true, again);
    if (againRead != LineRead::kLine || again.View() != account.Password.View()) {
      return Refuse(err, "2回入力したパスワードが違います。アカウントは保存していません。");
    }
  }

  std::string failure;
  {
    const HoldStop whole;  // the file is written whole or not at all, its temporary removed
    failure = WriteAccountFile(path, account);
  }
  if (!failure.empty()) return Refuse(err, failure);
  std::fprintf(err,
               "vormla-cli: アカウント (ログインID %.*s) を %s に保存しました。run "
               "もウィンドウもこのアカウントでサインインします。\n",
               static_cast<int>(account.LoginId.Size()), account.LoginId.View().data(), path.c_str());
  return 0;
}

}  // namespace

int AccountCommand(AccountAction action, const std::string& path, int in, std::FILE* out, std::FILE* err) {
  switch (action) {
    case AccountAction::kSet:
      return SetAccount(path, in, err);
    case AccountAction::kShow: {
      const AccountReading reading = ReadAccountFile(path);
      if (reading.State == AccountReading::Found::kRefused) return Refuse(err, reading.Message);
      if (reading.State == AccountReading::Found::kNoFile) {
        std::fprintf(
            err,
            "vormla-cli: アカウントは設定されていません (%s がありません)。組み込みのアカウントでサインインします。\n",
            path.c_str());
        return 1;
      }
      const std::string_view loginId = reading.Account.LoginId.View();
      std::fprintf(out, "%.*s\n", static_cast<int>(loginId.size()), loginId.data());
      return std::fflush(out) == 0 ? 0 : kExitUsage;
    }
    case AccountAction::kClear: {
      bool removed = false;
      const std::string failure = RemoveAccountFile(path, removed);
      if (!failure.empty()) return Refuse(err, failure);
      if (removed) {
        std::fprintf(err, "vormla-cli: %s を削除しました。これからは組み込みのアカウントでサインインします。\n",
                     path.c_str());
      } else {
        std::fprintf(err, "vormla-cli: アカウントは設定されていません (%s がありません)。\n", path.c_str());
      }
      return 0;
    }
  }
  return kExitUsage;
}

}  // namespace vormla::cli
