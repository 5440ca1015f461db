// The start-up checks' words: arguments quoted short and escaped, values
// that are not taken, and the one line naming why Qt could not start.
#include <gtest/gtest.h>

#include <map>

#include "ui/launch.h"

namespace brindlet::ui {
namespace {

TEST(Quoted, EscapesControlCharactersAndCutsLongText) {
  EXPECT_EQ(Quoted("plain"), "'plain'");
  EXPECT_EQ(Quoted("a\tb\nc\rd\x1b[31m\\"), "'a\\tb\\nc\\rd\\x1B[31m\\\\'");
  EXPECT_EQ(Quoted("\xC2\x85 \xE2\x80\xAE \xE2\x80\xA8"), "'\\u0085 \\u202E \\u2028'") << "C1, bidi, separators";
  EXPECT_EQ(Quoted("gr\xC3\xBC\xC3\x9F \xFF"), "'gr\xC3\xBC\xC3\x9F \\xFF'") << "UTF-8 kept, a stray byte escaped";
  const std::string cut = Quoted(std::string(1000, 'a') + "\n");
  EXPECT_EQ(cut, "'" + std::string(80, 'a') + "'... (1001 bytes in all)");
  EXPECT_EQ(Quoted(std::string(79, 'a') + "\xC3\xBC" + "tail", 80), "'" + std::string(79, 'a') + "\xC3\xBC'... (85 bytes in all)")
      << "a character is never cut in two";
}

TEST(CheckEnvironment, RejectsScalesOutsideATenthTo16AndLanesOtherThanPowersOfTwoUpTo8) {
  const auto rejected = [](std::map<std::string, std::string> values) {
    std::vector<std::string> names;
    for (const RejectedValue& r : CheckEnvironment([&](const char* name) -> std::optional<std::string> {
           const auto found = values.find(name);
           return found == values.end() ? std::nullopt : std::optional<std::string>(found->second);
         })) {
      EXPECT_EQ(r.warning.find('\n'), std::string::npos);
      names.push_back(r.name);
    }
    return names;
  };
  for (const char* bad : {"0", "-1", "nan", "inf", "1e9", "1e-300", "0.09", "16.5", "abc", "2x"}) {
    EXPECT_EQ(rejected({{"QT_SCALE_FACTOR", bad}}), std::vector<std::string>{"QT_SCALE_FACTOR"}) << bad;
  }
  for (const char* good : {"0.1", "1", " 1.5 ", "16", ""}) EXPECT_TRUE(rejected({{"QT_SCALE_FACTOR", good}}).empty()) << good;
  EXPECT_TRUE(rejected({{"QT_SCREEN_SCALE_FACTORS", "HDMI-1=2;eDP-1=1.25;"}}).empty());
  EXPECT_EQ(rejected({{"QT_SCREEN_SCALE_FACTORS", "2;0"}}), std::vector<std::string>{"QT_SCREEN_SCALE_FACTORS"});
  for (const char* good : {"1", "2", "4", "8"}) EXPECT_TRUE(rejected({{"BRINDLET_BLEND_LANES", good}}).empty());
  for (const char* bad : {"0", "3", "16", "two", "4 "}) {
    EXPECT_EQ(rejected({{"BRINDLET_BLEND_LANES", bad}}), std::vector<std::string>{"BRINDLET_BLEND_LANES"}) << bad;
  }
}

// The causes with a line of their own (no X server, a malformed DISPLAY, no
// such plugin, a dead Wayland display) are checked with the real program by
// tests/install/failing_starts.sh; here, the line for any other cause.
TEST(StartupGuard, NamesTheCauseFromWhatQtSaid) {
  const PlatformFacts x{"xcb", ":99", ""};
  const std::string other = StartupGuard::Diagnose(
      {"eglfs", "", ""}, "no screens\nqt.qpa.plugin: Could not load the Qt platform plugin \"eglfs\" in \"\"\n");
  EXPECT_NE(other.find("'eglfs' could not start ('no screens')"), std::string::npos) << other;
  for (const std::string& line : {other, StartupGuard::Diagnose(x, "")}) {
    EXPECT_EQ(line.rfind("brindlet: ", 0), 0u);
    EXPECT_EQ(line.find('\n'), std::string::npos);
  }
  EXPECT_EQ(ScreenDepthProblem(24, ":0"), "");
  EXPECT_NE(ScreenDepthProblem(8, ":0").find("8-bit"), std::string::npos);
}

}  // namespace
}  // namespace brindlet::ui
