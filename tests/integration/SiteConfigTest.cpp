// The settings of the site connection taken from the environment.
#include <gtest/gtest.h>

#include <cstdlib>

#include "net/SiteConfig.h"

namespace vormla {
namespace {

// Sets VORMLA_PAUSE_SCALE for one check.
double ScaleOf(const char* value) {
  ::setenv("VORMLA_PAUSE_SCALE", value, 1);
  const double scale = PauseScale();
  ::unsetenv("VORMLA_PAUSE_SCALE");
  return scale;
}

TEST(PauseScaleTest, OnlyAFactorFromZeroTo1000IsTaken) {
  EXPECT_EQ(ScaleOf("0"), 0.0);
  EXPECT_EQ(ScaleOf("0.25"), 0.25);
  EXPECT_EQ(ScaleOf("1000"), 1000.0);
  for (const char* invalid : {"inf", "INFINITY", "1e300", "1001", "nan", "-1", "2x", ""}) {
    EXPECT_EQ(ScaleOf(invalid), 1.0) << invalid;
  }
}

}  // namespace
}  // namespace vormla
