// Helpers for the vormla-cli tests: temporary folders, reading the result CSV
// back, and running the built vormla-cli as a child process.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

#include <gtest/gtest.h>

#include "catalogue/CategoryDatabase.h"
#include "demo-market/DemoMarket.h"
#include "support/ResultCsv.h"
#include "text/TextOps.h"

namespace vormla::clitest {

// This program and vormla-cli are built alike, with or without AddressSanitizer,
// whose shadow memory would count in any peak measured.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

inline std::string TestData(const std::string& relative) { return std::string(VORMLA_TEST_DATA_DIR) + "/" + relative; }

// A fresh folder under the system's temporary folder, removed with the object.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vormla-cli-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline const std::string kCatalogue = TestData("catalogue/vm_data.db");

// The category column the engine writes for node `index` of top-level entry `top`
// (UTF-8, before entity decoding), in the shipped catalogue.
inline std::string CategoryColumn(int top, int index) {
  CategoryDatabase db(kCatalogue);
  const std::vector<TopCategory> tops = db.LoadTopCategories();
  const std::vector<CatalogueNode> nodes = db.LoadCategoryTree(top);
  const CatalogueNode& node = nodes.at(static_cast<size_t>(index));
  std::string label;
  if (node.Level == 1) label = TrimBlanks(nodes.at(static_cast<size_t>(node.Parent)).CaptionUtf8) + " > ";
  label += TrimBlanks(node.CaptionUtf8);
  return top > 0 ? tops.at(static_cast<size_t>(top)).NameUtf8 + " > " + label : label;
}

using testing::CsvText;
using testing::ParseCsv;

// A finished child process.
struct Finished {
  int exitCode = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
  long maxRssKb = 0;  // its peak resident memory
};

// A running vormla-cli with its standard output and error going into files.
class CliProcess {
 public:
  // interruptedAtStart: the program begins with a SIGINT already waiting for it
  // (blocked and pending across the exec), as when Ctrl-C comes while it is still
  // preparing the run. The program's config folder is workFolder/config unless
  // environment names XDG_CONFIG_HOME, so no member's own account is used by
  // accident; standard input is inputPath (default /dev/null).
  CliProcess(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment,
             const std::string& workFolder, bool interruptedAtStart = false, const std::string& inputPath = "/dev/null")
      : outPath_(workFolder + "/cli.out"), errPath_(workFolder + "/cli.err") {
    std::vector<std::string> args{VORMLA_CLI_PATH};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::map<std::string, std::string> merged;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry(*e);
      const size_t eq = entry.find('=');
      if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    merged["XDG_CONFIG_HOME"] = workFolder + "/config";
    for (const auto& [key, value] : environment) merged[key] = value;
    std::vector<std::string> envText;
    for (const auto& [key, value] : merged) envText.push_back(key + "=" + value);
    std::vector<char*> envp;
    for (std::string& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);

    if (interruptedAtStart) {
      StartInterrupted(argv, envp);
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inputPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // The child starts with default signal handling whatever the test runner set.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    if (posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
  }
  ~CliProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  void Signal(int signal) const {
    if (pid_ > 0) ::kill(pid_, signal);
  }

  // Waits at most limit, then kills the program (its exit code is -1 then).
  Finished WaitAtMost(std::chrono::milliseconds limit) {
    siginfo_t info{};
    for (const auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
      if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_)
        return Wait();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Signal(SIGKILL);
    return Wait();
  }

  Finished Wait() {
    Finished done;
    int status = 0;
    rusage usage{};
    if (pid_ > 0 && ::wait4(pid_, &status, 0, &usage) == pid_) {
      if (WIFEXITED(status)) done.exitCode = WEXITSTATUS(status);
      done.maxRssKb = usage.ru_maxrss;
    }
    pid_ = -1;
    done.out = ReadBytes(outPath_);
    done.err = ReadBytes(errPath_);
    return done;
  }

 private:
  void StartInterrupted(const std::vector<char*>& argv, const std::vector<char*>& envp) {
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = ::open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int err = ::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_ = ::fork();
    if (pid_ == 0) {  // only async-signal-safe calls from here to the exec
      sigset_t interrupt;
      sigemptyset(&interrupt);
      sigaddset(&interrupt, SIGINT);
      ::sigprocmask(SIG_SETMASK, &interrupt, nullptr);
      ::signal(SIGINT, SIG_DFL);
      ::kill(::getpid(), SIGINT);
      ::dup2(in, 0);
      ::dup2(out, 1);
      ::dup2(err, 2);
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
    ::close(in);
    ::close(out);
    ::close(err);
  }

  std::string outPath_;
  std::string errPath_;
  pid_t pid_ = -1;
};

inline Finished RunCli(const std::vector<std::string>& arguments, const std::string& workFolder,
                       const std::map<std::string, std::string>& environment = {},
                       const std::string& inputPath = "/dev/null") {
  CliProcess process(arguments, environment, workFolder, false, inputPath);
  return process.Wait();
}

// A FIFO at path filled from a thread of its own with next's chunks, until next
// hands out an empty one or the reader goes away.
class FifoFeeder {
 public:
  FifoFeeder(std::string path, std::function<std::string()> next) : path_(std::move(path)) {
    std::signal(SIGPIPE, SIG_IGN);  // a reader that ends early must not end the test program
    ::mkfifo(path_.c_str(), 0600);
    thread_ = std::thread([this, next] {
      const int fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);  // waits for a reader
      for (std::string chunk = next(); fd >= 0 && !chunk.empty(); chunk = next())
        if (::write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) break;
      if (fd >= 0) ::close(fd);
    });
  }
  ~FifoFeeder() {
    // A reader that comes and goes at once frees a writer still waiting for one.
    ::close(::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    thread_.join();
  }
  FifoFeeder(const FifoFeeder&) = delete;
  FifoFeeder& operator=(const FifoFeeder&) = delete;

 private:
  std::string path_;
  std::thread thread_;
};

// Waits until condition holds or the time is up.
inline bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

// Tests of vormla-cli against one demo market per suite, started before its
// first test and stopped after its last; each test gets a folder of its own.
class MarketSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = std::make_unique<TempFolder>();
    market_ = std::make_unique<demo::DemoMarket>();
    started_ = market_->Start() && market_->WriteCaFile(*folder_ / "ca.pem");
  }
  static void TearDownTestSuite() {
    if (market_) market_->Stop();
    market_.reset();
    folder_.reset();
  }
  void SetUp() override {
    ASSERT_TRUE(started_) << "the demo market did not start";
    market_->ClearRecords();
    market_->ClearRoutes();
  }

  // vormla-cli pointed at the market (its CA trusted), with the given pause scale.
  static std::map<std::string, std::string> Environment(const std::string& pauseScale = "0") {
    return MarketEnvironment(pauseScale);
  }
  static std::map<std::string, std::string> MarketEnvironment(const std::string& pauseScale = "0") {
    return {{"VORMLA_SITE_ROOT", market_->SiteRoot()},
            {"VORMLA_CA_FILE", *folder_ / "ca.pem"},
            {"VORMLA_PAUSE_SCALE", pauseScale}};
  }

  static inline std::unique_ptr<TempFolder> folder_;
  static inline std::unique_ptr<demo::DemoMarket> market_;
  static inline bool started_ = false;
  TempFolder work_;
};

}  // namespace vormla::clitest
