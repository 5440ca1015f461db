// The tick log that the running-program measurement reads: off unless its
// variable names a file, one rising steady-clock time per marked tick,
// written when the log goes away.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "ui/tick_log.h"

namespace brindlet::ui {
namespace {

EnvLookup FakeEnvironment(std::map<std::string, std::string> values) {
  return [values](const char* name) -> std::optional<std::string> {
    const auto found = values.find(name);
    if (found == values.end()) return std::nullopt;
    return found->second;
  };
}

std::vector<long long> ReadTimes(const std::string& path) {
  std::ifstream in(path);
  std::vector<long long> times;
  for (long long t; in >> t;) times.push_back(t);
  return times;
}

class TickLogTest : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove(path_); }
  const std::string path_ =
      (std::filesystem::temp_directory_path() / ("brindlet-ticks-" + std::to_string(getpid()) + ".txt")).string();
};

TEST_F(TickLogTest, IsOffUnlessTheVariableNamesAFile) {
  EXPECT_EQ(TickLog::FromEnvironment(FakeEnvironment({})), nullptr);
  EXPECT_EQ(TickLog::FromEnvironment(FakeEnvironment({{"BRINDLET_TICK_LOG", ""}})), nullptr);
  EXPECT_EQ(TickLog::FromEnvironment(FakeEnvironment({{"BRINDLET_TICKLOG", path_}})), nullptr);
  auto log = TickLog::FromEnvironment(FakeEnvironment({{"BRINDLET_TICK_LOG", path_}}));
  ASSERT_NE(log, nullptr);
  log->Mark();
  EXPECT_FALSE(std::filesystem::exists(path_)) << "nothing is written while the program runs";
  log.reset();
  EXPECT_EQ(ReadTimes(path_).size(), 1u);
}

TEST_F(TickLogTest, WritesOneRisingTimePerTickWhenItGoesAway) {
  {
    const auto log = TickLog::FromEnvironment(FakeEnvironment({{"BRINDLET_TICK_LOG", path_}}));
    ASSERT_NE(log, nullptr);
    for (int i = 0; i < 5; ++i) {
      log->Mark();
      usleep(2000);
    }
    EXPECT_EQ(log->Count(), 5u);
  }
  const std::vector<long long> times = ReadTimes(path_);
  ASSERT_EQ(times.size(), 5u);
  for (std::size_t i = 1; i < times.size(); ++i) {
    EXPECT_GE(times[i] - times[i - 1], 2'000'000) << "nanoseconds apart, at least the 2 ms slept";
  }
}

TEST_F(TickLogTest, ReportsAFileItCannotWrite) {
  TickLog log("/nonexistent-folder/ticks.txt");
  log.Mark();
  EXPECT_FALSE(log.Write());
}

}  // namespace
}  // namespace brindlet::ui
