// The renderer's progress bar: the bar fills with the share done and the estimate of what is left.
#include <gtest/gtest.h>

#include "progress_bar.h"

TEST(ProgressBar, FillsWithTheShareDoneAndEstimatesTheRest) {
  EXPECT_EQ(FormatProgress(0, 1000, 10, 0.0), "[----------]   0%  0/1000 frames");
  EXPECT_EQ(FormatProgress(250, 1000, 10, 1.0), "[##--------]  25%  250/1000 frames  3.0 s left");
  EXPECT_EQ(FormatProgress(1000, 1000, 10, 4.0), "[##########] 100%  1000/1000 frames");
}

TEST(ProgressBar, OutOfRangeCountsAreClampedNotOverrun) {
  EXPECT_EQ(FormatProgress(5000, 1000, 4, 1.0), "[####] 100%  1000/1000 frames");
  EXPECT_EQ(FormatProgress(-3, 0, 0, 1.0), "[-]   0%  0/1 frames");
}
