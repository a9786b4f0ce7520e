// What a run's request carries of the category tree.
#include <gtest/gtest.h>

#include "catalogue/CategoryDatabase.h"
#include "run/Run.h"
#include "support/ScratchFiles.h"

namespace vormla {
namespace {

using test::CatalogueFile;

TEST(RunRequest, NodeSnapshotKeepsCaptionCodeLevelAndParent) {
  CategoryDatabase db(CatalogueFile("catalogue-edge.db"));
  const auto nodes = db.LoadCategoryTree(2);
  const auto engine = ToEngineNodes(nodes);
  ASSERT_EQ(engine.size(), nodes.size());
  for (size_t i = 0; i < nodes.size(); ++i) {
    EXPECT_EQ(engine[i].Caption, nodes[i].Caption);
    EXPECT_EQ(engine[i].Code, nodes[i].Code);
    EXPECT_EQ(engine[i].Level, nodes[i].Level);
    EXPECT_EQ(engine[i].Parent, nodes[i].Parent);
  }
}

}  // namespace
}  // namespace vormla
