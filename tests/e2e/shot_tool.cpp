// brindlet_shot: plays a running brindlet from outside, as the end-to-end
// test does, for scripts that measure the running program.
//
//   brindlet_shot now              print the steady clock in nanoseconds (the
//                                  clock of brindlet's BRINDLET_TICK_LOG)
//   brindlet_shot <pid> ready      wait until the program's windows are up
//   brindlet_shot <pid> start      click the playfield to start a game and
//                                  wait until every peg is at rest
//   brindlet_shot <pid> links N    make up to N links, chosen from a
//                                  screenshot, and report how many stand
//   brindlet_shot <pid> quit       press "Quit!"
//
// The X display is taken from DISPLAY.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "shot.h"
#include "x_session.h"

using namespace brindlet::e2e;

namespace {

int Usage() {
  std::fprintf(stderr, "usage: brindlet_shot now | <pid> ready | start | links <count> | quit\n");
  return 2;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "brindlet_shot: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "now") {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("%lld\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
    return 0;
  }
  if (argc < 3) return Usage();
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') return Fail("DISPLAY is not set");
  const pid_t pid = static_cast<pid_t>(std::atoi(argv[1]));
  const std::string command = argv[2];
  const XDriver x(display);
  ProgramWindows program(x, pid);
  std::string error;
  if (!program.Find(60s, &error)) return Fail(error);

  if (command == "ready") return 0;
  if (command == "start") {
    if (!program.ClickAt({700, 600})) return Fail("cannot click");
    Image look;
    const auto pegs = WaitForRestingPegs(program, {Hue::Red, Hue::Blue}, 80, 60s, &look);
    if (!pegs) return Fail("the game's pegs did not come to rest");
    std::printf("game started: %zu pegs at rest\n", pegs->size());
    return 0;
  }
  if (command == "links" && argc >= 4) {
    const int wanted = std::atoi(argv[3]);
    Image look;
    const auto pegs = WaitForRestingPegs(program, {Hue::Red, Hue::Blue}, 80, 60s, &look);
    if (!pegs) return Fail("the pegs are not at rest");
    const PickRules rules;
    const std::vector<PlannedLink> plan = AcceptedLinks(*pegs, {}, {}, wanted, rules);
    const std::optional<Point> empty = EmptySpot(*pegs, rules, 20.0);
    if (!empty) return Fail("no empty space to click");
    for (const PlannedLink& link : plan) {
      if (!ClickLink(program, (*pegs)[link.first].position, (*pegs)[link.second].position, *empty, 200ms)) {
        return Fail("cannot click");
      }
    }
    // Beams creep along their lines; a link stands when its line is lit.
    int standing = 0;
    PollUntil(
        [&] {
          const std::optional<Image> now = program.LookAtPlayfield();
          if (!now) return false;
          standing = 0;
          for (const PlannedLink& link : plan) {
            standing += LitShare(*now, (*pegs)[link.first].position, (*pegs)[link.second].position, 5.0) >= 0.6;
          }
          return standing == static_cast<int>(plan.size());
        },
        10s, 500ms);
    std::printf("links: %d wanted, %zu planned, %d standing\n", wanted, plan.size(), standing);
    return 0;
  }
  if (command == "quit") {
    const Point quit = ProgramWindows::QuitButton();
    if (!program.ClickDebugWindow(static_cast<int>(quit.x), static_cast<int>(quit.y))) return Fail("cannot click");
    return 0;
  }
  return Usage();
}
