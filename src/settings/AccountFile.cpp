#include "settings/AccountFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "files/WholeFile.h"
#include "settings/AppPaths.h"
#include "text/KeywordText.h"

namespace vormla {

namespace {

// Far beyond any real login ID or password; keeps every buffer of a fixed size.
constexpr size_t kValueLimit = 1024;
constexpr size_t kFileLimit = 2 * (kValueLimit + 1);

const char* const kRemedy = "vormla-cli account set で作り直してください。";
const char* const kLinkRemedy =
    "vormla-cli account clear でリンクを削除してから、vormla-cli account set で作り直してください。";

bool IsLink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string Named(const std::string& path) { return "アカウントファイル " + path; }

std::string Octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

AccountReading Refused(std::string message) {
  AccountReading reading;
  reading.State = AccountReading::Found::kRefused;
  reading.Message = std::move(message);
  return reading;
}

// Reads the whole file into bytes (which stays within its capacity); false when
// a read fails or the file is longer than the capacity.
bool ReadAll(int fd, SecretText& bytes, int& error) {
  char chunk[256];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error = errno;
    const bool fits = got <= 0 || bytes.Append(std::string_view(chunk, static_cast<size_t>(got)));
    ::explicit_bzero(chunk, sizeof chunk);
    if (got <= 0) return got == 0;
    if (!fits) return false;
  }
}

}  // namespace

void KeepOutOfCoreFiles() {
  ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  rlimit core{};
  if (::getrlimit(RLIMIT_CORE, &core) == 0) {
    core.rlim_cur = 0;
    ::setrlimit(RLIMIT_CORE, &core);
  }
}

std::string AccountValueProblem(std::string_view value, const std::string& what) {
  if (value.empty()) return what + "が空です。";
  if (value.size() > kValueLimit) return what + "が長すぎます (" + std::to_string(kValueLimit) + " バイトまで)。";
  if (!IsPlainUtf8(value)) return what + "に制御文字か UTF-8 でないバイトがあります。";
  return {};
}

AccountReading ReadAccountFile(const std::string& path) {
  // Non-blocking, so that a FIFO put in its place cannot hang the program; never
  // through a link, whose target's owner and mode are not the link's to vouch for.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};
    if (errno == ELOOP && IsLink(path)) {
      return Refused(Named(path) + " はシンボリックリンクなので使いません (リンク先は読みません)。" + kLinkRemedy);
    }
    return Refused(Named(path) + " を開けませんでした (" + std::strerror(errno) + ")。");
  }
  struct stat st {};
  std::string problem;
  if (::fstat(fd, &st) != 0) {
    problem = Named(path) + " を調べられませんでした (" + std::strerror(errno) + ")。";
  } else if (!S_ISREG(st.st_mode)) {
    problem = Named(path) + " はふつうのファイルではありません。" + kRemedy;
  } else if (st.st_uid != ::geteuid()) {
    problem = Named(path) + " はほかのユーザーのファイルなので使いません。自分のファイルとして" + kRemedy;
  } else if ((st.st_mode & 077) != 0) {
    problem = Named(path) + " はほかのユーザーにも権限がある (" + Octal(st.st_mode) + ") ため使いません。chmod 600 " +
              path + " で自分だけが読み書きできるようにしてください。";
  }
  if (!problem.empty()) {
    ::close(fd);
    return Refused(problem);
  }

  KeepOutOfCoreFiles();
  SecretText bytes(kFileLimit);
  int error = 0;
  const bool whole = ReadAll(fd, bytes, error);
  ::close(fd);
  if (!whole) {
    if (error != 0) return Refused(Named(path) + " を読めませんでした (" + std::strerror(error) + ")。");
    return Refused(Named(path) + " が大きすぎます。" + kRemedy);
  }

  // Two lines, each ending in LF (the last LF may be missing).
  const std::string_view text = bytes.View();
  const size_t first = text.find('\n');
  const std::string_view loginId = text.substr(0, first);
  std::string_view password = first == std::string_view::npos ? std::string_view() : text.substr(first + 1);
  if (!password.empty() && password.back() == '\n') password.remove_suffix(1);
  if (first == std::string_view::npos || password.find('\n') != std::string_view::npos ||
      !AccountValueProblem(loginId, "ログインID").empty() || !AccountValueProblem(password, "パスワード").empty()) {
    return Refused(Named(path) + " は「ログインID、パスワードを1行ずつ書いた2行」の形になっていません。" + kRemedy);
  }
  AccountReading reading;
  reading.State = AccountReading::Found::kAccount;
  reading.Account.LoginId = SecretText(loginId);
  reading.Account.Password = SecretText(password);
  return reading;
}

std::string WriteAccountFile(const std::string& path, const SiteAccount& account) {
  const auto failed = [&path](int error) {
    return Named(path) + " に書き込めませんでした (" + std::strerror(error) + ")。";
  };
  if (!MakeSettingsFolder(path)) return failed(errno);
  // The rename below would replace the link, not write through it; still, a link
  // someone put there is theirs to remove, not ours to drop silently.
  if (IsLink(path)) return Named(path) + " はシンボリックリンクなので書き込みません。" + kLinkRemedy;

  SecretText text(account.LoginId.Size() + account.Password.Size() + 2);
  text.Append(account.LoginId.View());
  text.Append('\n');
  text.Append(account.Password.View());
  text.Append('\n');

  // mkstemp creates the file with mode 0600 whatever the umask; fchmod says so
  // again for a file system that would do otherwise.
  std::string temporary = FolderOf(path) + "/.account-XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return failed(errno);
  int error = ::fchmod(fd, 0600) == 0 ? 0 : errno;
  if (error == 0) {
    error = WriteSyncClose(fd, text.View());
  } else {
    ::close(fd);
  }
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return failed(error);
  }
  // The rename itself reaches the disk with the folder.
  SyncFolder(FolderOf(path));
  return {};
}

std::string RemoveAccountFile(const std::string& path, bool& removed) {
  removed = false;
  if (::unlink(path.c_str()) == 0) {
    removed = true;
    return {};
  }
  if (errno == ENOENT || errno == ENOTDIR) return {};
  return Named(path) + " を削除できませんでした (" + std::strerror(errno) + ")。";
}

}  // namespace vormla
