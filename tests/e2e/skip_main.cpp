// The end-to-end programs' main: a run in which a test was skipped (a tool
// or privilege missing) and none failed exits 77, which ctest reports as
// skipped; a failure fails the run whatever else was skipped.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const int failed = RUN_ALL_TESTS();
  return failed == 0 && ::testing::UnitTest::GetInstance()->skipped_test_count() > 0 ? 77 : failed;
}
