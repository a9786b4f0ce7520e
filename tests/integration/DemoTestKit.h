// One demo market per test program, started before the first test and stopped
// after the last, and the helpers that run the real engine against it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "HttpFetchTestKit.h"
#include "demo-market/DemoMarket.h"
#include "engine/JobTestKit.h"
#include "engine/RetrievalJob.h"
#include "support/ResultCsv.h"
#include "text/TextOps.h"

namespace vormla::testing {

class DemoEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    market_ = std::make_unique<demo::DemoMarket>();
    ASSERT_TRUE(market_->Start());
    caFile_ =
        (std::filesystem::temp_directory_path() / ("vormla-demo-ca-" + std::to_string(::getpid()) + ".pem")).string();
    ASSERT_TRUE(market_->WriteCaFile(caFile_));
  }
  void TearDown() override {
    if (market_) market_->Stop();
    market_.reset();
    std::filesystem::remove(caFile_);
  }

  static demo::DemoMarket& Market() { return *market_; }
  static const std::string& CaFile() { return caFile_; }

 private:
  static inline std::unique_ptr<demo::DemoMarket> market_;
  static inline std::string caFile_;
};

// Points the program at the demo market for one test and clears its records.
class DemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(&Market(), nullptr);
    env_.push_back(std::make_unique<ScopedEnv>("VORMLA_SITE_ROOT", Market().SiteRoot().c_str()));
    env_.push_back(std::make_unique<ScopedEnv>("VORMLA_CA_FILE", DemoEnvironment::CaFile().c_str()));
    for (const char* proxy : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
      env_.push_back(std::make_unique<ScopedEnv>(proxy, nullptr));
    Market().ClearRecords();
    Market().ClearRoutes();
    Market().SetMissingPicturesServed(false);
  }
  void TearDown() override {
    Market().ClearRoutes();
    Market().SetMissingPicturesServed(false);
    env_.clear();
  }

  static demo::DemoMarket& Market() { return DemoEnvironment::Market(); }
  std::string Root() const { return Market().SiteRoot(); }

  // One top-level node (caption " " + top) followed by children with the given codes,
  // captions " " + name; all UTF-8 here, converted for the engine.
  static std::vector<CategoryNode> Tree(const std::string& top, const std::string& topCode,
                                        const std::vector<std::pair<std::string, std::string>>& children) {
    std::vector<CategoryNode> nodes;
    nodes.push_back({Utf8ToSjis(" " + top), Utf8ToSjis(topCode), 0, -1});
    for (const auto& [name, code] : children) nodes.push_back({Utf8ToSjis(" " + name), Utf8ToSjis(code), 1, 0});
    return nodes;
  }

  // Runs one whole job on this thread, writing resultPath; returns the result
  // file's rows after the header, each as 36 UTF-8 values.
  std::vector<std::vector<std::string>> RunJob(const SearchConditions& conditions,
                                               const std::vector<CategoryNode>& nodes, const std::string& resultPath,
                                               ItemFoundCode* itemFound = nullptr) {
    RecordingObserver observer;
    RetrievalJob job(conditions, nodes, {resultPath}, observer, NetworkWebAccess(), Root());
    job.Execute();
    if (itemFound) *itemFound = job.ItemFound();
    return ReadRows(resultPath);
  }

  // The CSV file's rows after the header: fields unquoted (doubled quotes made
  // single) and read back from Shift-JIS.
  static std::vector<std::vector<std::string>> ReadRows(const std::string& path) {
    return ItemRowsUtf8(ReadBytes(path));
  }

  // Compares the rows column by column, naming the item and column of a difference.
  static void ExpectRows(const std::vector<std::vector<std::string>>& rows,
                         const std::vector<demo::ExpectedItem>& expected) {
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      ASSERT_EQ(rows[i].size(), 36u) << "row " << i + 1;
      for (size_t c = 0; c < 36; ++c) {
        EXPECT_EQ(rows[i][c], expected[i].columns[c])
            << "row " << i + 1 << " (" << expected[i].url << "), column " << c + 1;
      }
    }
  }

  TempFolder scratch_;

 private:
  std::vector<std::unique_ptr<ScopedEnv>> env_;
};

// The search target the engine sends for one category code with no conditions.
inline std::string PlainTarget(const std::string& code) {
  return "/search/?category_id=" + code + "&ex_so=N&sort=score&sort_operate_flg=Y";
}

}  // namespace vormla::testing
