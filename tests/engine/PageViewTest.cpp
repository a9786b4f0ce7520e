// The page's lines found in place: the same lines as SplitPageLines gives, in
// whatever order they are asked for.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/PageView.h"
#include "text/TextOps.h"

namespace vormla {
namespace {

void ExpectSameLines(const std::string& bytes, std::mt19937& random) {
  const StringList expected = SplitPageLines(bytes);
  const PageView page(bytes);
  ASSERT_EQ(page.Count(), expected.size());
  // Forward, backward, and jumps of every size, as the readers look ahead and behind.
  for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(page[i], expected[i]) << "line " << i;
  for (size_t i = expected.size(); i-- > 0;) ASSERT_EQ(page[i], expected[i]) << "line " << i;
  if (expected.empty()) return;
  std::uniform_int_distribution<size_t> pick(0, expected.size() - 1);
  for (int k = 0; k < 500; ++k) {
    const size_t i = pick(random);
    ASSERT_EQ(page[i], expected[i]) << "line " << i;
  }
}

TEST(PageViewTest, LineBreaksOfEveryKind) {
  std::mt19937 random(7);
  for (const std::string bytes : {"", "a", "a\r\nb\nc\rd", "\n", "\r\n", "\r\r\n\n", "a\n\n\nb\r\n",
                                  "end without break", "x\n\0hidden\nlines", "\0"}) {
    ExpectSameLines(bytes, random);
  }
  ExpectSameLines(std::string("a\nb\0c\nd", 7), random);
}

TEST(PageViewTest, RandomPagesOfBreaksAndText) {
  std::mt19937 random(11);
  const char alphabet[] = {'\r', '\n', '\n', 'a', 'b', ' ', '<', '\xe3'};
  std::uniform_int_distribution<size_t> letter(0, sizeof alphabet - 1);
  std::uniform_int_distribution<size_t> length(0, 400);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(length(random), ' ');
    for (char& c : bytes) c = alphabet[letter(random)];
    ExpectSameLines(bytes, random);
  }
}

TEST(PageViewTest, MillionsOfEmptyLinesAreCounted) {
  const std::string bytes(3'000'001, '\n');
  const PageView page(bytes);
  EXPECT_EQ(page.Count(), 3'000'001u);
  EXPECT_EQ(page[2'999'999], "");
  EXPECT_EQ(page[17], "");
}

}  // namespace
}  // namespace vormla
