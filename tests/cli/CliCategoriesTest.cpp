// `vormla-cli categories` against the edge catalogue's truth files.
#include <gtest/gtest.h>

#include <sstream>

#include "CliTestKit.h"

namespace vormla::cli {
namespace {

using clitest::TempFolder;
using clitest::TestData;

const std::string kEdgeDb = TestData("catalogue/catalogue-edge.db");

std::vector<std::vector<std::string>> ReadTsv(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(clitest::ReadBytes(path));
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
      fields.push_back(line.substr(start, tab - start));
      start = tab + 1;
    }
    fields.push_back(line.substr(start));
    rows.push_back(fields);
  }
  return rows;
}

TEST(CliCategories, TopLevelEntriesAsTheCatalogueOrdersThem) {
  TempFolder work;
  std::string expected;
  for (const auto& row : ReadTsv(TestData("catalogue/catalogue-edge.top.tsv")))
    expected += row[0] + "\t" + row[1] + "\n";
  const clitest::Finished run = clitest::RunCli({"categories", "--db", kEdgeDb}, work.Path());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.err, "");
}

TEST(CliCategories, TreeOfEveryEntryInNodeOrder) {
  TempFolder work;
  const auto rows = ReadTsv(TestData("catalogue/catalogue-edge.rows.tsv"));
  const auto tops = ReadTsv(TestData("catalogue/catalogue-edge.top.tsv"));
  for (size_t top = 0; top < tops.size(); ++top) {
    // Rows of one entry in statement order: the first of each run of equal
    // CT2_Key is a top-level node, the rest are its children.
    std::string expected;
    int index = 0;
    std::string group;
    bool first = true;
    for (const auto& row : rows) {
      if (row[0] != std::to_string(top)) continue;
      const bool opensGroup = first || row[1] != group;
      first = false;
      group = row[1];
      const std::string code = row[4] == "\\N" ? "" : row[4];
      expected += std::to_string(index++) + "\t" + (opensGroup ? "0" : "1") + "\t" + code + "\t" + row[3] + "\n";
    }
    const clitest::Finished run =
        clitest::RunCli({"categories", "--db", kEdgeDb, "--top", std::to_string(top)}, work.Path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, expected) << "entry " << top;
  }
}

TEST(CliCategories, EntryBeyondTheCatalogueIsAUsageError) {
  TempFolder work;
  const clitest::Finished run = clitest::RunCli({"categories", "--db", kEdgeDb, "--top", "6"}, work.Path());
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("--top 6"), std::string::npos) << run.err;

  const clitest::Finished empty =
      clitest::RunCli({"categories", "--db", TestData("catalogue/catalogue-empty.db")}, work.Path());
  EXPECT_EQ(empty.exitCode, 0);
  EXPECT_EQ(empty.out, "");
}

}  // namespace
}  // namespace vormla::cli
