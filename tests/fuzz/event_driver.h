// A randomized event driver for the headless game.
//
// The driver plays the game the way the window system would: main, effects
// and debug ticks, clicks and double-clicks on pegs, near pegs, in the corner,
// outside the playfield and with cursor coordinates far beyond 16 bits, the
// four debug buttons and the debug window closed by hand. Like the real
// toolkit it also delivers events at the yields a procedure makes while it
// lets events run, and those events can yield in turn: a click inside a tick
// inside a click, as deep as `max_depth` allows.
//
// Every decision comes from a `Decisions` source: a byte stream (the fuzzer's
// input) or a seeded generator. After every event, at whatever depth, and at
// every yield an event is delivered at, it checks the invariants of the board
// and the pixel arrays; the first violation ends the run with a report naming
// the run, the event and the events that led to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "game/game.h"
#include "game/random.h"

namespace brindlet::testing {

// Where the driver takes its decisions from.
class Decisions {
 public:
  virtual ~Decisions() = default;
  // A number in [0, bound); 0 when bound is 0 or 1 (nothing is consumed).
  virtual std::uint32_t Below(std::uint32_t bound) = 0;
  // False once a byte stream has run dry: nothing more is delivered at
  // yields, and the run ends after the current event.
  virtual bool More() const = 0;
};

// Decisions read from bytes: one byte for a bound up to 256, two up to 65536,
// four above. A stream that has run dry answers 0.
class ByteDecisions final : public Decisions {
 public:
  explicit ByteDecisions(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint32_t Below(std::uint32_t bound) override;
  bool More() const override { return pos_ < bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

// Decisions from a seeded generator; never runs dry.
class SeededDecisions final : public Decisions {
 public:
  explicit SeededDecisions(std::uint64_t seed) : random_(seed ^ 0x6576656E74730000ull) {}
  std::uint32_t Below(std::uint32_t bound) override {
    return bound <= 1 ? 0 : static_cast<std::uint32_t>(random_.NextBits() % bound);
  }
  bool More() const override { return true; }

 private:
  DefaultRandom random_;
};

struct DriverOptions {
  std::int32_t width = 160;
  std::int32_t height = 120;
  // Seed of the game's own random source (peg places, colours, jitter).
  std::uint64_t game_seed = 1;
  // Pegs in play (0..200): a game of fewer pegs than the program's starts
  // from an attract display seeded with that many, set on the game as a
  // prepared position.
  int peg_total = kDefaultPegTotal;
  // How many deliveries may be running at once: 1 delivers events inside a
  // top-level event only, 3 lets them nest three deep.
  int max_depth = 1;
  // Names the run in a failure report, e.g. "seed 42".
  std::string label;
  // Number of recent events a failure report lists.
  std::size_t log_keep = 80;
  // The run ends after the event during which this many main ticks have run
  // (the costly event: a whole frame drawn).
  long main_tick_budget = -1;
};

// What a run did, so a test can tell that it reached the interesting places.
struct DriverStats {
  long events = 0;     // top-level events
  long delivered = 0;  // events delivered at a yield inside another one
  int deepest = 0;     // the deepest nesting an event was delivered at
  long main_ticks = 0;
  long effects_ticks = 0;
  long debug_ticks = 0;
  long clicks = 0;
  long links_made = 0;     // confirmed pairs that stood after their check
  long links_refused = 0;  // confirmed pairs the check turned green
  long sessions = 0;       // program runs (a Quit ends one; the next starts fresh)
  long clean_games = 0;    // games whose pegs were all re-created with no click
  long structural_checks = 0;
  long wide_cursor = 0;  // cursor placements beyond the 16-bit range
  long corner_toggles = 0;
  long click_during_check = 0;
  long restart_during_frame = 0;
  long effects_during_click = 0;
  long click_in_tick_in_click = 0;
};

class EventDriver {
 public:
  EventDriver(Decisions& decisions, DriverOptions options);
  ~EventDriver();
  EventDriver(const EventDriver&) = delete;
  EventDriver& operator=(const EventDriver&) = delete;

  // Runs top-level events until `max_events` have run in all, or the
  // decisions run dry. Returns the failure report, or nullopt when every
  // invariant held.
  std::optional<std::string> Run(long max_events);
  // Checks the invariants now, as after an event; the report or nullopt.
  std::optional<std::string> CheckNow();

  const DriverStats& stats() const { return stats_; }
  const Game& game() const;
  // Replaces the game's board (for tests that break it on purpose).
  void SetBoard(const Board& board);
  // True while a game set up with no click is running: links and the
  // selection are then checked too.
  bool ChecksStructure() const { return track_.active && track_.complete && !track_.tainted; }

 private:
  struct Session;
  // Events, in the order of their names; ClickAt .. MakeLink are clicks.
  enum class Kind : int {
    MainTick, EffectsTick, DebugTick, Timers, Wait, MoveCursor,
    ClickAt, Click, DoubleClickAt, DoubleClick, CornerClick, ClickBurst, MakeLink,
    Restart, RestartAndCreate, Move, Shake, ToggleVisible, Minimise, Quit, EffectsBurst,
  };
  enum class Place : int { OnPeg, Pairing, NearPeg, Corner, Outside, Inside, Wide };
  static const char* Name(Kind kind);
  static bool IsClick(Kind kind) { return kind >= Kind::ClickAt && kind <= Kind::MakeLink; }
  struct Running {
    Kind kind;
    int yields;  // yields it made that events could be delivered at
  };

  template <typename Work>
  std::optional<std::string> Guarded(Work work);
  // Runs `call` as the innermost procedure of `kind`.
  template <typename Call>
  void Within(Kind kind, Call call);
  void StartSession();
  void Step();
  void Perform(Kind kind);
  void Arm(bool clickEvent);
  void OnYield();
  void Deliver();
  bool IsRunning(Kind kind) const;
  bool BudgetSpent() const {
    return options_.main_tick_budget >= 0 && stats_.main_ticks >= options_.main_tick_budget;
  }

  // The events themselves, each followed by its checks.
  void DoMainTick();
  void DoEffectsTick();
  void DoDebugTick();
  void DoClick(bool doubleClick);
  void DoRestart();
  void DoMove();
  void DoShake();
  void DoQuit();
  void DoTimers(int effectsTicks);
  void PlaceCursor(Place place);
  void StartGame();

  void CheckInvariants(const char* where);
  void CheckUntouched();
  void CheckStructure();
  void CheckFrame();
  void CheckDebugReadout(bool wasVisible);
  [[noreturn]] void Fail(const std::string& message);
  void Log(std::string entry);
  std::uint64_t BackgroundChecksum() const;

  Decisions& decisions_;
  DriverOptions options_;
  DriverStats stats_;
  DefaultRandom game_random_;
  std::unique_ptr<Session> session_;

  // The game procedures now running, outermost first.
  std::vector<Running> running_;
  int clicks_running_ = 0;
  long playfield_toggles_ = 0;  // times the playfield was hidden or shown again
  // The next delivery: at yield number `armed_at_`, or at yield number
  // `armed_click_yield_` of the innermost running click (3 is its link check).
  bool armed_ = false;
  long armed_at_ = 0;
  int armed_click_yield_ = 0;
  int delivered_in_event_ = 0;
  std::string where_;

  // The game the last restart or first click started.
  struct GameTrack {
    bool active = false;    // a game was started in this session
    bool tainted = false;   // a click overlapped its set-up
    bool complete = false;  // all PegTotal pegs re-created
  } track_;
  bool in_startup_ = true;

  long event_index_ = 0;
  std::deque<std::string> log_;
};

// One fuzz input as a run: the first bytes choose a small playfield, the
// number of pegs, the game's seed and the nesting depth, the rest are the
// decisions. Returns the
// failure report or nullopt. `stats`, when given, receives what the run did.
std::optional<std::string> RunFuzzInput(std::span<const std::uint8_t> input, DriverStats* stats = nullptr);


}  // namespace brindlet::testing
