// The tick log that the running-program measurement reads: off unless its
// variable names a file, refused at once (and the program plays on) for a
// file it cannot use, one rising steady-clock time per marked tick, on disk
// within about a second and in full when the log goes away.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <vector>

#include "ui/tick_log.h"

namespace brindlet::ui {
namespace {

startup::EnvLookup FakeEnvironment(std::map<std::string, std::string> values) {
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
  std::string problem;
  EXPECT_EQ(TickLog::FromEnvironment(FakeEnvironment({}), &problem), nullptr);
  EXPECT_EQ(TickLog::FromEnvironment(FakeEnvironment({{"BRINDLET_TICK_LOG", ""}}), &problem), nullptr);
  EXPECT_EQ(TickLog::FromEnvironment(FakeEnvironment({{"BRINDLET_TICKLOG", path_}}), &problem), nullptr);
  EXPECT_EQ(problem, "") << "an unset log is no problem";
  auto log = TickLog::FromEnvironment(FakeEnvironment({{"BRINDLET_TICK_LOG", path_}}), &problem);
  ASSERT_NE(log, nullptr);
  EXPECT_TRUE(std::filesystem::exists(path_)) << "the file is made when the log is";
  log->Mark();
  log.reset();
  EXPECT_EQ(ReadTimes(path_).size(), 1u);
}

TEST_F(TickLogTest, RefusesAtOnceWhatItCannotWriteTo) {
  const std::string fifo = path_ + ".fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string folder = std::filesystem::temp_directory_path().string();
  for (const std::string& path : {std::string("/nonexistent-folder/ticks.txt"), fifo, folder}) {
    std::string problem;
    // A FIFO nobody reads would block a plain open forever.
    EXPECT_EQ(TickLog::FromEnvironment(FakeEnvironment({{"BRINDLET_TICK_LOG", path}}), &problem), nullptr) << path;
    EXPECT_NE(problem.find("BRINDLET_TICK_LOG names '" + path + "'"), std::string::npos) << problem;
    EXPECT_EQ(problem.find('\n'), std::string::npos) << "one line: " << problem;
  }
  std::filesystem::remove(fifo);
}

TEST_F(TickLogTest, WritesRisingTimesWithinASecondAndTheRestWhenItGoesAway) {
  std::string problem;
  auto log = TickLog::Open(path_, &problem);
  ASSERT_NE(log, nullptr) << problem;
  for (int i = 0; i < 5; ++i) {
    log->Mark();
    usleep(2000);
  }
  EXPECT_EQ(ReadTimes(path_).size(), 0u) << "ticks within a second are kept in memory";
  std::this_thread::sleep_for(TickLog::kFlushInterval + std::chrono::milliseconds(50));
  log->Mark();
  EXPECT_EQ(ReadTimes(path_).size(), 6u) << "a tick a second after the last write writes all marks so far";
  // More than the buffer holds in one go: written whole, nothing lost.
  for (int i = 0; i < 300; ++i) log->Mark();
  EXPECT_EQ(log->Count(), 306u);
  log.reset();
  const std::vector<long long> times = ReadTimes(path_);
  ASSERT_EQ(times.size(), 306u);
  for (std::size_t i = 1; i < 5; ++i) {
    EXPECT_GE(times[i] - times[i - 1], 2'000'000) << "nanoseconds apart, at least the 2 ms slept";
  }
  for (std::size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i], times[i - 1]);
}

}  // namespace
}  // namespace brindlet::ui
