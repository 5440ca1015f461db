// A randomized event driver for the headless game.
//
// The driver plays the game the way the window system would: main, effects
// and debug ticks, clicks and double-clicks on pegs, near pegs, in the corner,
// outside the playfield and with cursor coordinates far beyond 16 bits, the
// four debug buttons, the corner toggle, and work injected at the yield
// points in the middle of procedures (a click during the link check, a
// restart during a frame, effects ticks during anything). Every decision
// comes from a `Decisions` source: a byte stream (the fuzzer's input) or a
// seeded generator. After every event, top-level or injected, it checks the
// invariants of the game state and the pixel arrays; the first violation
// ends the run with a report naming the run, the event and the recent events.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "game/game.h"
#include "game/random.h"
#include "support/fakes.h"

namespace brindlet::testing {

// Where the driver takes its decisions from.
class Decisions {
 public:
  virtual ~Decisions() = default;
  // A number in [0, bound); 0 when bound is 0 or 1 (nothing is consumed).
  virtual std::uint32_t Below(std::uint32_t bound) = 0;
  // False once a byte stream has run dry; the run ends at the next event.
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
  std::int32_t width = kBackgroundWidth;
  std::int32_t height = kBackgroundHeight;
  // Seed of the game's own random source (peg places, colours, jitter).
  std::uint64_t game_seed = 1;
  // Names the run in a failure report, e.g. "seed 42" or the input's bytes.
  std::string label;
  // Number of recent events a failure report lists.
  std::size_t log_keep = 120;
};

// What a run did, so a test can tell that it reached the interesting places.
struct DriverStats {
  long events = 0;          // top-level events
  long injected = 0;        // events run at a yield point inside another one
  long main_ticks = 0;
  long effects_ticks = 0;
  long debug_ticks = 0;
  long clicks = 0;
  long links_made = 0;      // confirmed pairs that stood after their check
  long links_refused = 0;   // confirmed pairs the check turned green
  long sessions = 0;        // program runs (a Quit ends one; the next starts fresh)
  long clean_games = 0;     // games whose pegs were all re-created with no click
  long structural_checks = 0;
  long wide_cursor = 0;     // cursor samples beyond the 16-bit range
  long click_during_check = 0;
  long restart_during_frame = 0;
  long shake_during_frame = 0;
  long effects_during_click = 0;
  long corner_toggles = 0;
  // Injections by "<top-level event> <- <injected event>".
  std::map<std::string, long> injections;
};

class EventDriver {
 public:
  EventDriver(Decisions& decisions, DriverOptions options);
  ~EventDriver();
  EventDriver(const EventDriver&) = delete;
  EventDriver& operator=(const EventDriver&) = delete;

  // Runs up to `max_events` top-level events, or until the decisions run
  // dry. Returns the failure report, or nullopt when every invariant held.
  std::optional<std::string> Run(long max_events);

  const DriverStats& stats() const { return stats_; }
  // The game of the current session (for tests that look further).
  Game& game();
  // Checks the invariants now, as after an event; the report or nullopt.
  std::optional<std::string> CheckNow();
  // True while a game set up with no click is running: the links and the
  // selection are then checked too.
  bool ChecksStructure() const { return track_.active && track_.complete && !track_.tainted; }

 private:
  struct Session;
  enum class Kind : int;
  enum class Place : int;

  std::optional<std::string> Guarded(const std::function<void()>& work);
  void StartSession();
  void Step();
  void RunTopLevel(Kind kind);
  void Perform(Kind kind, bool nested);
  void MaybeArmInjection();
  void OnYield(long number);
  void Inject();
  bool InLinkCheck() const;

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

  // Tracking of the game that the last restart or first click started.
  void StartGame();
  void Taint();
  bool GameSettingUp() const;

  void CheckInvariants(const char* where);
  void CheckStructure();
  void CheckFrame();
  void CheckDebugRefresh(bool wasVisible, int captionSets, int textSets);
  [[noreturn]] void Fail(const std::string& message);

  void Log(const std::string& entry);
  std::uint64_t BackgroundChecksum();

  Decisions& decisions_;
  DriverOptions options_;
  DriverStats stats_;
  DefaultRandom game_random_;
  std::unique_ptr<Session> session_;

  // Injection armed for the current top-level event.
  long armed_at_ = 0;
  bool armed_ = false;
  long deferred_offset_ = 0;  // armed when the event's click starts
  bool at_link_check_ = false;  // fire at the link check of the event's click
  int injections_left_ = 0;
  bool injection_fired_ = false;
  bool in_injection_ = false;
  Kind top_kind_{};
  std::string context_;

  // Cursor as placed (client coordinates); `cursor_moved_` while an injected
  // event moved it after the top-level main tick had sampled it.
  std::int64_t cursor_x_ = 0;
  std::int64_t cursor_y_ = 0;
  bool cursor_moved_ = false;

  // State seen at the first yield of a top-level click: the state its
  // Startup test reads.
  bool awaiting_click_yield_ = false;
  GameState click_branch_state_{};
  int click_depth_ = 0;

  struct GameTrack {
    bool active = false;    // a game was started in this session
    bool tainted = false;   // a click overlapped its set-up
    bool complete = false;  // all PegTotal pegs re-created
    long serial = 0;
    int created = 0;
  } track_;

  long event_index_ = 0;
  std::deque<std::string> log_;
};

// One fuzz input as a run: the first bytes choose the playfield size and the
// game's seed, the rest are the decisions. Returns the failure report or
// nullopt. `stats`, when given, receives what the run did.
std::optional<std::string> RunFuzzInput(std::span<const std::uint8_t> input, DriverStats* stats = nullptr);

// The playfield sizes a fuzz input can choose, the game's own size first.
std::span<const std::pair<std::int32_t, std::int32_t>> FuzzFieldSizes();

}  // namespace brindlet::testing
