// What a progress display shows between reports: the last report, or the elapsed share of a
// stage's expected time, capped below 1 and never going back within a stage.
#include "base/shown_progress.hpp"

#include <gtest/gtest.h>

namespace velm::base {
namespace {

TEST(ShownProgress, InterpolatesAnEstimatedStageByElapsedTimeBelowOne) {
  ShownProgress clock;
  clock.progress("factorise", 0.0, 10.0);
  clock.estimate("factorise", 4.0, 10.0);
  EXPECT_EQ(clock.fraction(10.0), 0.0);
  EXPECT_DOUBLE_EQ(clock.fraction(11.0), 0.25);
  EXPECT_DOUBLE_EQ(clock.fraction(13.0), 0.75);
  EXPECT_EQ(clock.fraction(20.0), ShownProgress::kEstimateCap);  // late: waits below 1
  clock.progress("solve", 0.0, 21.0);
  EXPECT_EQ(clock.stage(), "solve");
  EXPECT_EQ(clock.fraction(30.0), 0.0);  // no estimate for this stage
}

TEST(ShownProgress, ShowsReportsAndNeverGoesBackWithinAStage) {
  ShownProgress clock;
  clock.progress("results", 0.5, 0.0);
  EXPECT_EQ(clock.fraction(0.1), 0.5);
  clock.progress("results", 0.3, 0.2);  // a late report from another thread
  EXPECT_EQ(clock.fraction(0.3), 0.5);
  clock.progress("results", 1.0, 0.4);
  EXPECT_EQ(clock.fraction(0.5), 1.0);
  // A report ahead of the estimate wins; a new stage starts again from its own report.
  clock.estimate("order", 10.0, 1.0);
  EXPECT_EQ(clock.stage(), "order");
  clock.progress("order", 0.6, 2.0);
  EXPECT_EQ(clock.fraction(2.0), 0.6);
  EXPECT_DOUBLE_EQ(clock.fraction(9.0), 0.8);
}

}  // namespace
}  // namespace velm::base
