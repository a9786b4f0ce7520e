// Shared helpers of the catalogue and settings tests: test data, scratch folders,
// TSV truth files.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace vormla::test {

inline std::string TestDataDir() {
  if (const char* env = std::getenv("VORMLA_TEST_DATA"); env != nullptr && *env != '\0') return env;
  return VORMLA_TEST_DATA_DIR;
}

inline std::string CatalogueFile(const std::string& name) { return TestDataDir() + "/catalogue/" + name; }

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// A fresh folder under the system's temporary folder, removed at the end.
class ScratchDir {
 public:
  ScratchDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("vormla-catalogue-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::string Path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// Sets (or, with nullopt, removes) an environment variable for one test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// The permission bits of a path (0 when there is nothing).
inline unsigned Mode(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0u;
}

// One truth-file row: fields as text, with NULL ("\N") marked.
struct TsvRow {
  std::vector<std::string> fields;
  std::vector<bool> nulls;
};

// The data rows of a truth file (the column-name line dropped).
inline std::vector<TsvRow> ReadTsv(const std::string& path) {
  std::vector<TsvRow> rows;
  std::istringstream in(ReadAll(path));
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    if (first) {
      first = false;
      continue;
    }
    TsvRow row;
    size_t start = 0;
    for (;;) {
      const size_t tab = line.find('\t', start);
      std::string field = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
      row.nulls.push_back(field == "\\N");
      row.fields.push_back(row.nulls.back() ? std::string() : field);
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace vormla::test
