// vormla-cli against the demo market: one market for the tests of a suite, the
// environment that points the program at it, and the category column a run writes.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/CategoryDatabase.h"
#include "CliTestKit.h"
#include "demo-market/DemoMarket.h"
#include "web/TextOps.h"

namespace vormla::clitest {

inline const std::string kCatalogue = TestData("catalogue/vm_data.db");

// The category column the engine writes for node `index` of top-level entry `top`
// (UTF-8, before entity decoding).
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

  static std::map<std::string, std::string> Environment(const std::string& pauseScale = "0") {
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
