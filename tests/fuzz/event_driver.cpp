#include "fuzz/event_driver.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <sstream>
#include <string>
#include <type_traits>

#include "headless/headless_platform.h"
#include "render/numeric.h"

namespace brindlet::testing {
namespace {

// Thrown by a failed check; Run turns it into the report.
struct DriverFailure {
  std::string message;
};

// Small playfields: a frame costs little, yet every drawing path (dots
// clipped at the edges, rings, beams, arrays with every row padding, the
// empty picture) is reached.
constexpr std::array<std::pair<std::int32_t, std::int32_t>, 8> kFuzzFieldSizes{
    {{128, 24}, {101, 31}, {30, 130}, {64, 48}, {37, 23}, {7, 5}, {1, 1}, {0, 0}}};
// Mostly few pegs, so that a frame is quickly drawn; sometimes the program's
// hundred, or none at all.
constexpr std::array<int, 8> kFuzzPegTotals{kDefaultPegTotal, 24, 12, 8, 5, 3, 1, 0};

// Per fuzz input: top-level events, and main ticks (whole frames drawn).
constexpr long kFuzzEvents = 300;
constexpr long kFuzzMainTicks = 12;
// Events delivered at yields per top-level event: enough to reach deep
// nesting, bounded so that every input runs in a few milliseconds.
constexpr int kMaxDeliveries = 24;

// What the debug read-out holds before a refresh, so that one that writes
// nothing shows.
constexpr const char* kUnwritten = "\x7f";

// Joins texts and numbers into one message. Appending to a string, unlike
// "literal" + std::string, gives GCC 12's optimiser no false overlap to warn
// of.
template <typename... Parts>
std::string Cat(const Parts&... parts) {
  std::string text;
  const auto add = [&text](const auto& part) {
    if constexpr (std::is_arithmetic_v<std::decay_t<decltype(part)>>) {
      text += std::to_string(part);
    } else {
      text += part;
    }
  };
  (add(parts), ...);
  return text;
}

// "Idle", "First Selected", ... as the debug window names the state.
std::string StateName(GameState state) { return StateCaption(state).value_or("State: ?").substr(7); }

template <typename T>
struct Weighted {
  T value;
  std::uint32_t weight;
};

template <typename T, std::size_t N>
T PickWeighted(Decisions& d, const std::array<Weighted<T>, N>& table) {
  std::uint32_t total = 0;
  for (const auto& w : table) total += w.weight;
  std::uint32_t roll = d.Below(total);
  for (const auto& w : table) {
    if (roll < w.weight) return w.value;
    roll -= w.weight;
  }
  return table.back().value;
}

}  // namespace

std::uint32_t ByteDecisions::Below(std::uint32_t bound) {
  if (bound <= 1) return 0;
  const int width = bound <= 0x100u ? 1 : bound <= 0x10000u ? 2 : 4;
  std::uint32_t raw = 0;
  for (int i = 0; i < width; ++i) {
    raw <<= 8;
    if (pos_ < bytes_.size()) raw |= bytes_[pos_++];
  }
  return raw % bound;
}

// ---------------------------------------------------------------------------

const char* EventDriver::Name(Kind kind) {
  static const char* kNames[] = {"MainTick",   "EffectsTick", "DebugTick",  "Timers",        "Wait",
                                 "MoveCursor", "ClickAt",     "Click",      "DoubleClickAt", "DoubleClick",
                                 "CornerClick", "ClickBurst", "MakeLink",   "Restart",       "RestartAndCreate",
                                 "Move",       "Shake",       "ToggleVisible", "Minimise",   "Quit",
                                 "EffectsBurst"};
  const auto index = static_cast<std::size_t>(kind);
  return index < std::size(kNames) ? kNames[index] : "?";
}

struct EventDriver::Session {
  Session(std::int32_t width, std::int32_t height, RandomSource& random)
      : platform(width, height), game(platform.Roles(), random) {}
  HeadlessPlatform platform;
  Game game;
  bool ended = false;
  std::uint64_t background_sum = 0;
  const std::uint8_t* background_data = nullptr;
  const std::uint8_t* frame_data = nullptr;
};

EventDriver::EventDriver(Decisions& decisions, DriverOptions options)
    : decisions_(decisions), options_(std::move(options)), game_random_(options_.game_seed) {}

EventDriver::~EventDriver() = default;

const Game& EventDriver::game() const { return session_->game; }

void EventDriver::SetBoard(const Board& board) { session_->game.SetBoard(board); }

void EventDriver::Log(std::string entry) {
  log_.push_back(std::move(entry));
  while (log_.size() > options_.log_keep) log_.pop_front();
}

void EventDriver::Fail(const std::string& message) { throw DriverFailure{message}; }

std::uint64_t EventDriver::BackgroundChecksum() const {
  // FNV-1a over the whole array (extra row and padding included), eight
  // bytes at a time.
  const auto bytes = game().BackgroundImage().Bytes();
  std::uint64_t h = 0xcbf29ce484222325ull ^ bytes.size();
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + i, 8);
    h = (h ^ word) * 0x100000001b3ull;
  }
  for (; i < bytes.size(); ++i) h = (h ^ bytes[i]) * 0x100000001b3ull;
  return h;
}

bool EventDriver::IsRunning(Kind kind) const {
  return std::any_of(running_.begin(), running_.end(), [kind](const Running& r) { return r.kind == kind; });
}

// ---------------------------------------------------------------------------
// Sessions and the run

void EventDriver::StartSession() {
  session_ = std::make_unique<Session>(options_.width, options_.height, game_random_);
  Session& s = *session_;
  HeadlessPlatform& p = s.platform;
  p.max_depth = options_.max_depth;
  // A background with content, so that a dot leaking into it shows.
  std::uint64_t pattern = options_.game_seed * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(stats_.sessions);
  for (std::int32_t row = 0; row < p.background.Height(); ++row) {
    std::uint32_t* line = p.background.Line(row);
    for (std::int32_t x = 0; x < p.background.Width(); ++x) {
      pattern = pattern * 6364136223846793005ull + 1442695040888963407ull;
      line[x] = 0xff000000u | static_cast<std::uint32_t>(pattern >> 40);
    }
  }
  p.at_yield = [this] { OnYield(); };
  ++stats_.sessions;
  running_.clear();
  clicks_running_ = 0;
  playfield_toggles_ = 0;
  track_ = GameTrack{};
  in_startup_ = true;

  s.game.Startup();
  if (options_.peg_total != kDefaultPegTotal) {
    Board board;
    board.PegTotal = static_cast<std::int16_t>(options_.peg_total);
    SeedGame(board, Context{s.game.field(), p, game_random_});
    s.game.SetBoard(board);
  }
  Log(Cat("#", event_index_, " start-up (session ", stats_.sessions, ")"));
  if (!p.IsVisible(Window::Debug)) Fail("the debug window is not open after start-up");
  s.background_data = s.game.BackgroundImage().Data();
  s.frame_data = s.game.FrameImage().Data();
  s.background_sum = BackgroundChecksum();
  CheckInvariants("after start-up");
}

template <typename Work>
std::optional<std::string> EventDriver::Guarded(Work work) {
  std::string message;
  try {
    if (!session_) StartSession();
    work();
    return std::nullopt;
  } catch (const DriverFailure& failure) {
    message = failure.message;
  } catch (const std::exception& error) {
    message = std::string("the game threw: ") + error.what();
  }
  std::ostringstream report;
  report << "event driver: " << message << "\n";
  report << "  run: " << options_.label << " (playfield " << options_.width << "x" << options_.height << ", "
         << options_.peg_total << " pegs, game seed " << options_.game_seed << ", events nest "
         << options_.max_depth << " deep)\n";
  report << "  session " << stats_.sessions << ", top-level event #" << event_index_;
  if (!running_.empty()) {
    report << ", inside:";
    for (const Running& r : running_) report << " " << Name(r.kind);
  }
  report << "\n  recent events, oldest first:\n";
  for (const auto& entry : log_) report << "    " << entry << "\n";
  return report.str();
}

template <typename Call>
void EventDriver::Within(Kind kind, Call call) {
  running_.push_back({kind, 0});
  call();
  running_.pop_back();
}

std::optional<std::string> EventDriver::CheckNow() {
  return Guarded([this] {
    CheckInvariants("on request");
    CheckUntouched();
  });
}

std::optional<std::string> EventDriver::Run(long max_events) {
  return Guarded([this, max_events] {
    while (event_index_ < max_events && decisions_.More() && !BudgetSpent()) Step();
  });
}

void EventDriver::Step() {
  static constexpr std::array<Weighted<Kind>, 19> kTopLevel{{
      {Kind::MakeLink, 6}, {Kind::MainTick, 12}, {Kind::EffectsTick, 10}, {Kind::DebugTick, 4}, {Kind::Timers, 10},
      {Kind::Wait, 1}, {Kind::MoveCursor, 4}, {Kind::ClickAt, 20}, {Kind::Click, 4}, {Kind::DoubleClickAt, 5},
      {Kind::CornerClick, 3}, {Kind::ClickBurst, 2}, {Kind::Restart, 2}, {Kind::RestartAndCreate, 3},
      {Kind::Move, 2}, {Kind::Shake, 3}, {Kind::ToggleVisible, 2}, {Kind::Minimise, 2}, {Kind::Quit, 1}}};
  Session& s = *session_;
  Kind kind = PickWeighted(decisions_, kTopLevel);
  // Quitting ends the session: keep it rare.
  if (kind == Kind::Quit && decisions_.Below(16) != 0) kind = Kind::MainTick;
  ++stats_.events;
  delivered_in_event_ = 0;
  Arm(IsClick(kind));
  Log(Cat("#", event_index_, " ", Name(kind), " [", StateName(s.game.board().gState),
          armed_ ? Cat(", deliver at yield +", armed_at_ - s.platform.yields()) : std::string(),
          armed_click_yield_ > 0 ? Cat(", deliver at a click's yield ", armed_click_yield_) : std::string(), "]"));

  Perform(kind);
  armed_ = false;
  armed_click_yield_ = 0;
  CheckInvariants("after the event");
  CheckUntouched();
  ++event_index_;
  if (s.ended) StartSession();
}

void EventDriver::Perform(Kind kind) {
  if (session_->ended) return;
  switch (kind) {
    case Kind::MainTick: DoMainTick(); break;
    case Kind::EffectsTick: DoEffectsTick(); break;
    case Kind::DebugTick: DoDebugTick(); break;
    case Kind::Timers: DoTimers(1 + static_cast<int>(decisions_.Below(8))); break;
    case Kind::Wait: DoTimers(20 + static_cast<int>(decisions_.Below(101))); break;
    case Kind::MoveCursor: PlaceCursor(static_cast<Place>(decisions_.Below(7))); break;
    case Kind::ClickAt:
    case Kind::DoubleClickAt: {
      static constexpr std::array<Weighted<Place>, 7> kPlaces{{{Place::OnPeg, 6}, {Place::Pairing, 8},
                                                                {Place::NearPeg, 3}, {Place::Corner, 1},
                                                                {Place::Outside, 2}, {Place::Inside, 2},
                                                                {Place::Wide, 2}}};
      PlaceCursor(PickWeighted(decisions_, kPlaces));
      DoMainTick();  // the tick samples the cursor the click then uses
      DoClick(false);
      if (kind == Kind::DoubleClickAt) DoClick(true);
      break;
    }
    case Kind::MakeLink:
      // Two pegs that can pair, then a confirming click: on the second peg
      // again or on empty space.
      for (int step = 0; step < 3; ++step) {
        if (step < 2 || decisions_.Below(2) == 0) PlaceCursor(step < 2 ? Place::Pairing : Place::Outside);
        DoMainTick();
        DoClick(false);
      }
      break;
    case Kind::Click: DoClick(false); break;
    case Kind::DoubleClick: DoClick(false); DoClick(true); break;
    case Kind::CornerClick: PlaceCursor(Place::Corner); DoMainTick(); DoClick(false); break;
    case Kind::ClickBurst:
      for (int i = 0, clicks = 2 + static_cast<int>(decisions_.Below(3)); i < clicks; ++i) DoClick(false);
      break;
    case Kind::Restart: DoRestart(); break;
    case Kind::RestartAndCreate: {
      DoRestart();
      // Often exactly the ticks that set the whole game up.
      const int ticks = decisions_.Below(2) == 0 ? kDefaultPegTotal : 1 + static_cast<int>(decisions_.Below(120));
      for (int i = 0; i < ticks; ++i) DoEffectsTick();
      break;
    }
    case Kind::Move: DoMove(); break;
    case Kind::Shake: DoShake(); break;
    case Kind::ToggleVisible: {
      HeadlessPlatform& p = session_->platform;
      p.IsVisible(Window::Debug) ? p.Hide(Window::Debug) : p.Show(Window::Debug);
      break;
    }
    case Kind::Minimise:
      // The main window minimised or restored: a picture set on a hidden
      // playfield is dropped.
      session_->platform.playfield.shown = !session_->platform.playfield.shown;
      ++playfield_toggles_;
      break;
    case Kind::Quit: DoQuit(); break;
    case Kind::EffectsBurst:
      for (int i = 0, ticks = 1 + static_cast<int>(decisions_.Below(6)); i < ticks; ++i) DoEffectsTick();
      break;
  }
}

// ---------------------------------------------------------------------------
// Delivery at yields

void EventDriver::Arm(bool clickEvent) {
  armed_ = false;
  armed_click_yield_ = 0;
  if (!decisions_.More() || delivered_in_event_ >= kMaxDeliveries) return;
  const std::uint32_t shape = decisions_.Below(16);
  if (shape < 6) return;
  if (clickEvent && shape < 10) {
    // A click's yields: 1 before it reads the state, 2 in its peg search,
    // 3 in the link check of a pair it commits.
    armed_click_yield_ = 1 + static_cast<int>(decisions_.Below(3));
    return;
  }
  // Mostly within a few yields, so that the next delivery lands inside the
  // event about to run; sometimes far later in the procedure.
  const long offset = 1 + static_cast<long>(shape < 13   ? decisions_.Below(4)
                                            : shape < 15 ? decisions_.Below(128)
                                                         : decisions_.Below(1024));
  armed_at_ = session_->platform.yields() + offset;
  armed_ = true;
}

void EventDriver::OnYield() {
  // The platform calls this only while fewer than max_depth deliveries are
  // running, so the procedure yielding is the innermost one running.
  if (running_.empty()) return;
  Running& yielding = running_.back();
  ++yielding.yields;
  if (session_->ended) return;
  const bool atClickYield = armed_click_yield_ > 0 && yielding.kind == Kind::Click &&
                            yielding.yields == armed_click_yield_;
  if (atClickYield || (armed_ && session_->platform.yields() >= armed_at_)) Deliver();
}

void EventDriver::Deliver() {
  static constexpr std::array<Weighted<Kind>, 16> kNested{{
      {Kind::Click, 8}, {Kind::DoubleClick, 3}, {Kind::ClickBurst, 3}, {Kind::ClickAt, 3}, {Kind::Restart, 3},
      {Kind::RestartAndCreate, 2}, {Kind::Move, 2}, {Kind::Shake, 3}, {Kind::EffectsBurst, 8}, {Kind::Timers, 2},
      {Kind::DebugTick, 3}, {Kind::MainTick, 4}, {Kind::MoveCursor, 2}, {Kind::ToggleVisible, 2},
      {Kind::Minimise, 1}, {Kind::Quit, 1}}};
  Session& s = *session_;
  const Running inside = running_.back();
  CheckInvariants("at a yield");

  Kind kind = PickWeighted(decisions_, kNested);
  if (kind == Kind::Quit && decisions_.Below(8) != 0) kind = Kind::EffectsBurst;
  // A timer's handler does not start again while it is suspended.
  if ((kind == Kind::MainTick || kind == Kind::DebugTick) && IsRunning(kind)) kind = Kind::EffectsBurst;
  const bool click = IsClick(kind);
  const int depth = s.platform.depth();
  ++stats_.delivered;
  ++delivered_in_event_;
  stats_.deepest = std::max(stats_.deepest, depth);
  if (click && inside.kind == Kind::Click && inside.yields == 3) ++stats_.click_during_check;
  if (IsRunning(Kind::MainTick) && (kind == Kind::Restart || kind == Kind::RestartAndCreate)) {
    ++stats_.restart_during_frame;
  }
  if (clicks_running_ > 0 && (kind == Kind::EffectsBurst || kind == Kind::Timers)) ++stats_.effects_during_click;
  if (click) {
    bool clickBelow = false;
    for (const Running& r : running_) {
      if (r.kind == Kind::Click) clickBelow = true;
      if (clickBelow && (r.kind == Kind::MainTick || r.kind == Kind::DebugTick)) {
        ++stats_.click_in_tick_in_click;
        break;
      }
    }
  }
  Log(Cat(std::string(static_cast<std::size_t>(2 * depth), ' '), "deliver ", Name(kind), " at depth ", depth, " into ",
          Name(inside.kind), " at its yield ", inside.yields, " [", StateName(s.game.board().gState), "]"));

  // The next delivery is chosen before this one runs, so that it can land
  // inside it.
  Arm(click || clicks_running_ > 0);
  Perform(kind);
  CheckInvariants("after a delivered event");
}

// ---------------------------------------------------------------------------
// The events

void EventDriver::DoMainTick() {
  Session& s = *session_;
  if (s.ended || IsRunning(Kind::MainTick)) return;
  ++stats_.main_ticks;
  const long delivered = stats_.delivered;
  const long toggles = playfield_toggles_;
  Within(Kind::MainTick, [&] { s.game.MainTick(); });
  const Board& b = s.game.board();
  if (stats_.delivered == delivered) {
    // The cursor sampled in playfield coordinates keeps its low 16 bits.
    const CursorPoint cursor = s.platform.cursor;
    if (b.MousePosX != Low16(cursor.x) || b.MousePosY != Low16(cursor.y)) {
      Fail(Cat("the main tick sampled the cursor (", cursor.x, ", ", cursor.y, ") as (", b.MousePosX, ", ", b.MousePosY,
               ")"));
    }
  }
  if (s.platform.playfield.shown && playfield_toggles_ == toggles) CheckFrame();
  CheckInvariants("after a main tick");
}

void EventDriver::DoEffectsTick() {
  Session& s = *session_;
  if (s.ended) return;
  ++stats_.effects_ticks;
  const Board& b = s.game.board();
  const std::int16_t before = b.PegCount;
  const GameState state = b.gState;
  Within(Kind::EffectsTick, [&] { s.game.EffectsTick(); });
  // Pegs are re-created one per tick, from peg 1, once a game has started.
  const int expected = state != GameState::Startup && before < b.PegTotal ? before + 1 : before;
  if (b.PegCount != expected) {
    Fail(Cat("an effects tick in state ", StateName(state), " took PegCount from ", before, " to ", b.PegCount));
  }
  if (state == GameState::Init && before == b.PegTotal && b.gState != GameState::Idle) {
    Fail("a game whose pegs are all re-created did not turn Idle");
  }
  if (track_.active && !track_.complete && b.PegCount == b.PegTotal) {
    track_.complete = true;
    if (!track_.tainted) ++stats_.clean_games;
  }
  CheckInvariants("after an effects tick");
}

void EventDriver::DoDebugTick() {
  Session& s = *session_;
  if (s.ended || IsRunning(Kind::DebugTick)) return;
  ++stats_.debug_ticks;
  HeadlessPlatform& p = s.platform;
  const bool visible = p.IsVisible(Window::Debug);
  const long delivered = stats_.delivered;
  p.state_caption = kUnwritten;
  p.peg_details = kUnwritten;
  Within(Kind::DebugTick, [&] { s.game.DebugTick(); });
  if (stats_.delivered == delivered) CheckDebugReadout(visible);
  CheckInvariants("after a debug tick");
}

void EventDriver::CheckDebugReadout(bool wasVisible) {
  const HeadlessPlatform& p = session_->platform;
  const Board& b = game().board();
  if (!wasVisible) {
    if (p.state_caption != kUnwritten || p.peg_details != kUnwritten) Fail("the debug refresh wrote into the hidden debug window");
    return;
  }
  if (p.state_caption != StateCaption(b.gState).value_or(kUnwritten)) {
    Fail("the debug window shows \"" + p.state_caption + "\" in state " + StateName(b.gState));
  }
  // The nearest peg as the read-out must have seen it.
  const double x = b.MousePosX + kCursorOffset;
  const double y = b.MousePosY + kCursorOffset;
  double best = kNoPegDistance;
  int nearest = 0;
  for (int i = 1; i <= b.Total(); ++i) {
    const double d = std::hypot(b.Pegs[i].X - x, b.Pegs[i].Y - y);
    if (d < best) best = d, nearest = i;
  }
  const std::string& text = p.peg_details;
  if (best < 30.0) {
    const std::string num = Cat("\r\nNum: ", nearest, "\r\n");
    if (text.rfind("Nearest: ", 0) != 0 || text.find(num) == std::string::npos || text.back() != '\r') {
      Fail(Cat("the debug read-out for peg ", nearest, " at ", best, " px is \"", text, "\""));
    }
  } else if (!text.empty()) {
    Fail("the debug read-out is not empty with no peg within 30 px: \"" + text + "\"");
  }
}

void EventDriver::DoClick(bool doubleClick) {
  Session& s = *session_;
  if (s.ended) return;
  HeadlessPlatform& p = s.platform;
  const Board& b = s.game.board();
  ++stats_.clicks;
  const GameState before = b.gState;
  const bool visibleBefore = p.IsVisible(Window::Debug);
  const long delivered = stats_.delivered;
  // A click while a game is set up may select pegs that are then re-created
  // under it: that game's links and selection are no longer checked.
  if (track_.active && !track_.complete) track_.tainted = true;

  ++clicks_running_;
  Within(Kind::Click, [&] { doubleClick ? s.game.DoubleClick() : s.game.Click(); });
  --clicks_running_;

  if (in_startup_ && b.gState != GameState::Startup) {
    in_startup_ = false;
    StartGame();
  }
  if (stats_.delivered == delivered && !s.ended) {
    // Nothing ran inside the click: it acted on the state it was given.
    const bool corner = before != GameState::Startup && b.MousePosX < kCornerSize && b.MousePosY < kCornerSize;
    const bool visibleAfter = p.IsVisible(Window::Debug);
    if (corner && visibleAfter == visibleBefore) Fail("a click in the corner did not toggle the debug window");
    if (!corner && visibleAfter != visibleBefore) Fail("a click outside the corner toggled the debug window");
    if (corner) ++stats_.corner_toggles;
    if (before == GameState::Startup && b.gState != GameState::Init) Fail("the first click did not start a game");
  }

  // What became of a confirmed pair, for the statistics.
  if (before == GameState::SecondSelected && b.gState != GameState::SecondSelected && b.IsPeg(b.FirstPeg) &&
      b.IsPeg(b.SecondPeg)) {
    const Peg& a = b.Pegs[b.FirstPeg];
    if (a.Master && a.LinkTarget == b.SecondPeg) {
      if (a.Linked) {
        ++stats_.links_made;
      } else if (a.Colour.Red == kRefusalColour.Red && a.Colour.Green == kRefusalColour.Green &&
                 a.Colour.Blue == kRefusalColour.Blue) {
        ++stats_.links_refused;
      }
    }
  }
  Log(Cat(std::string(static_cast<std::size_t>(2 * p.depth() + 4), ' '), doubleClick ? "double-click" : "click", " at (",
          b.MousePosX, ", ", b.MousePosY, "): ", StateName(before), " -> ", StateName(b.gState), ", first ", b.FirstPeg,
          ", second ", b.SecondPeg));
  CheckInvariants("after a click");
}

void EventDriver::DoRestart() {
  if (session_->ended) return;
  session_->game.InitGame();
  in_startup_ = false;
  StartGame();
  CheckInvariants("after Restart!");
}

void EventDriver::StartGame() {
  // A click suspended around the start may go on with the pegs of the game
  // before: this game's links and selection are then not checked.
  track_ = GameTrack{true, clicks_running_ > 0, false};
  const Board& b = game().board();
  if (b.PegCount != 0) Fail("a new game starts with PegCount " + std::to_string(b.PegCount));
  if (b.gState != GameState::Init && clicks_running_ == 0) Fail("a new game starts in state " + StateName(b.gState));
}

void EventDriver::DoMove() {
  if (session_->ended) return;
  Within(Kind::Move, [this] { session_->game.RandomizePegs(); });
  CheckInvariants("after Move!");
}

void EventDriver::DoShake() {
  if (session_->ended) return;
  session_->game.ShakePegsInit();
  if (game().board().ShakeAmplitude != kShakeStart) Fail("Shake! did not start a shake");
  CheckInvariants("after Shake!");
}

void EventDriver::DoQuit() {
  Session& s = *session_;
  if (s.ended) return;
  HeadlessPlatform& p = s.platform;
  const int ends = p.end_requests;
  s.game.Die();
  s.ended = true;
  for (Timer t : {Timer::Display, Timer::MainLoop, Timer::Debug, Timer::Effects}) {
    if (p.TimerEnabled(t)) Fail("a timer still runs after Quit!");
  }
  for (Window w : {Window::Main, Window::Debug, Window::Controls}) {
    if (!p.closed[HeadlessPlatform::Index(w)] || p.IsVisible(w)) Fail("a window is still open after Quit!");
  }
  if (p.end_requests != ends + 1) Fail("Quit! did not end the program once");
  Log("    Quit! ends the session");
}

void EventDriver::DoTimers(int effectsTicks) {
  // The three timers as they fire in real time: effects every 20 ms, main
  // every 25 ms, debug every 100 ms (in that order when they coincide).
  const long end = static_cast<long>(effectsTicks) * 20;
  for (long clock = 5; clock <= end && !session_->ended && !BudgetSpent(); clock += 5) {
    if (clock % 20 == 0) DoEffectsTick();
    if (clock % 25 == 0) DoMainTick();
    if (clock % 100 == 0) DoDebugTick();
  }
}

void EventDriver::PlaceCursor(Place place) {
  Session& s = *session_;
  const Board& b = s.game.board();
  const Field field = s.game.field();
  const std::int64_t w = std::max(1, field.width);
  const std::int64_t h = std::max(1, field.height);
  const int total = b.Total();
  std::int64_t x = 0;
  std::int64_t y = 0;
  auto anyPeg = [&] { return 1 + static_cast<int>(decisions_.Below(static_cast<std::uint32_t>(total))); };
  auto onPeg = [&](int i) {
    if (!b.IsPeg(i)) return;
    x = std::llround(std::clamp(b.Pegs[i].X, -1e9, 1e9));
    y = std::llround(std::clamp(b.Pegs[i].Y, -1e9, 1e9));
  };
  switch (place) {
    case Place::OnPeg: onPeg(anyPeg()); break;
    case Place::Pairing: {
      // An unlinked peg that the current selection can take.
      const bool pairing = b.gState == GameState::FirstSelected || b.gState == GameState::SecondSelected;
      std::vector<int> candidates;
      for (int i = 1; i <= total; ++i) {
        if (b.Pegs[i].Linked || i == b.FirstPeg) continue;
        if (pairing && b.IsPeg(b.FirstPeg) && b.Pegs[i].Kind != b.Pegs[b.FirstPeg].Kind) continue;
        candidates.push_back(i);
      }
      if (candidates.empty()) {
        onPeg(anyPeg());
      } else {
        onPeg(candidates[decisions_.Below(static_cast<std::uint32_t>(candidates.size()))]);
      }
      break;
    }
    case Place::NearPeg: {
      onPeg(anyPeg());
      const double angle = decisions_.Below(360) * kDegreesToRadians;
      const double distance = 9.0 + decisions_.Below(21) * 0.1;
      x = std::llround(static_cast<double>(x) + distance * std::cos(angle));
      y = std::llround(static_cast<double>(y) + distance * std::sin(angle));
      break;
    }
    case Place::Corner:
      x = static_cast<std::int64_t>(decisions_.Below(20)) - 4;
      y = static_cast<std::int64_t>(decisions_.Below(20)) - 4;
      break;
    case Place::Outside:
      x = decisions_.Below(2) == 0 ? -1 - static_cast<std::int64_t>(decisions_.Below(300))
                                   : w + static_cast<std::int64_t>(decisions_.Below(300));
      y = static_cast<std::int64_t>(decisions_.Below(static_cast<std::uint32_t>(h + 600))) - 300;
      if (decisions_.Below(2) == 0) std::swap(x, y);
      break;
    case Place::Inside:
      x = decisions_.Below(static_cast<std::uint32_t>(w));
      y = decisions_.Below(static_cast<std::uint32_t>(h));
      break;
    case Place::Wide: {
      // Beyond 16 bits: the game keeps the low 16 bits of the cursor, so
      // 65536 + x lands where x does.
      onPeg(anyPeg());
      if (decisions_.Below(8) == 0) {
        static constexpr std::int64_t kExtremes[] = {std::numeric_limits<std::int32_t>::max(),
                                                      std::numeric_limits<std::int32_t>::min(),
                                                      32767, 32768, -32768, -32769, 65535, 65536};
        x = kExtremes[decisions_.Below(8)];
        y = kExtremes[decisions_.Below(8)];
      } else {
        const std::int64_t kx = static_cast<std::int64_t>(decisions_.Below(9)) - 4;
        std::int64_t ky = static_cast<std::int64_t>(decisions_.Below(9)) - 4;
        if (kx == 0 && ky == 0) ky = 1;
        x += kx * 65536;
        y += ky * 65536;
      }
      break;
    }
  }
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  CursorPoint& cursor = s.platform.cursor;
  cursor.x = static_cast<std::int32_t>(std::clamp(x, kMin, kMax));
  cursor.y = static_cast<std::int32_t>(std::clamp(y, kMin, kMax));
  if (cursor.x != Low16(cursor.x) || cursor.y != Low16(cursor.y)) ++stats_.wide_cursor;
}

// ---------------------------------------------------------------------------
// Invariants

void EventDriver::CheckInvariants(const char* where) {
  const Session& s = *session_;
  const Game& g = s.game;
  const Board& b = g.board();
  auto fail = [&](const std::string& what) { Fail(what + " (" + where + ")"); };
  const int state = static_cast<int>(b.gState);
  if (state < 0 || state > 5) fail("gState holds " + std::to_string(state));
  // Checking a link is over before the click that confirmed it yields.
  if (b.gState == GameState::CheckingLink) fail("gState is CheckingLink where events run");
  if (b.PegTotal != options_.peg_total) fail("PegTotal is " + std::to_string(b.PegTotal));
  if (b.PegCount < 0 || b.PegCount > b.PegTotal) fail("PegCount is " + std::to_string(b.PegCount));
  if (b.gState == GameState::Startup && b.PegCount != 0) fail("a peg was re-created during Startup");
  if (!(b.EffectsCounter >= 0 && b.EffectsCounter <= 100) || b.EffectsCounter != std::floor(b.EffectsCounter)) {
    fail(Cat("EffectsCounter is ", b.EffectsCounter));
  }
  if (!(b.ShakeAmplitude >= 0 && b.ShakeAmplitude <= kShakeStart)) fail(Cat("ShakeAmplitude is ", b.ShakeAmplitude));
  if (b.FirstPeg < 0 || b.FirstPeg > b.PegTotal || b.SecondPeg < 0 || b.SecondPeg > b.PegTotal) {
    fail(Cat("FirstPeg/SecondPeg are ", b.FirstPeg, "/", b.SecondPeg));
  }
  const Field field = g.field();
  const std::int32_t width = std::max(0, options_.width);
  const std::int32_t height = std::max(0, options_.height);
  if (field.width != width || field.height != height) fail("the playfield size changed");

  for (int i = 1; i <= b.Total(); ++i) {
    const Peg& p = b.Pegs[i];
    const auto name = [i] { return "peg " + std::to_string(i); };
    if (p.Kind != 0 && p.Kind != 1) fail(name() + " has Kind " + std::to_string(p.Kind));
    if (p.Glow < 0 || p.Glow > 255) fail(name() + " has Glow " + std::to_string(p.Glow));
    for (std::int16_t c : {p.Colour.Red, p.Colour.Green, p.Colour.Blue, p.Colour.Alpha}) {
      if (c < 0 || c > 255) fail(name() + " has a colour channel of " + std::to_string(c));
    }
    for (double v : {p.X, p.Y, p.TargetX, p.TargetY, p.VelocityX, p.VelocityY, p.LinkEffectTimer, p.LinkEffectStep}) {
      if (!std::isfinite(v)) fail(name() + " holds a position, velocity or beam value that is not finite");
    }
    if (p.LinkTarget < 0 || p.LinkTarget > b.PegTotal) fail(name() + " has LinkTarget " + std::to_string(p.LinkTarget));
    if (p.Linked && p.Master && p.LinkTarget == 0) fail(name() + " is a linked master with LinkTarget 0");
  }

  const std::int32_t rowBytes = PixelArray::RowBytesFor(width);
  const auto bytes = static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height + 1);
  for (const PixelArray* array : {&g.BackgroundImage(), &g.FrameImage()}) {
    const char* name = array == &g.BackgroundImage() ? "BackgroundImage" : "FrameImage";
    if (array->Width() != width || array->Height() != height || array->RowBytes() != rowBytes ||
        array->Bytes().size() != bytes) {
      fail(std::string(name) + " changed its bounds");
    }
  }
  if (g.BackgroundImage().Data() != s.background_data || g.FrameImage().Data() != s.frame_data) {
    fail("a pixel array was reallocated");
  }

  if (ChecksStructure()) CheckStructure();
}

// What no event may write: the background read at start-up and the peg
// records beyond those in play. Checked after each top-level event.
void EventDriver::CheckUntouched() {
  if (BackgroundChecksum() != session_->background_sum) Fail("BackgroundImage changed");
  const Board& b = game().board();
  const Peg untouched{};
  for (int i = b.Total() + 1; i <= PegTable::kCapacity; ++i) {
    if (!(b.Pegs[i] == untouched)) Fail("peg " + std::to_string(i) + ", beyond PegTotal, was written");
  }
}

void EventDriver::CheckStructure() {
  ++stats_.structural_checks;
  const Board& b = game().board();
  const int total = b.Total();
  std::array<int, PegTable::kCapacity + 1> ends{};
  for (int i = 1; i <= total; ++i) {
    const Peg& p = b.Pegs[i];
    if (!p.Linked || !p.Master) continue;
    const int t = p.LinkTarget;
    if (t == i) Fail("peg " + std::to_string(i) + " is linked to itself");
    if (!b.Pegs[t].Linked) Fail(Cat("peg ", t, ", the far end of peg ", i, "'s link, is not Linked"));
    ++ends[static_cast<std::size_t>(i)];
    ++ends[static_cast<std::size_t>(t)];
  }
  for (int i = 1; i <= total; ++i) {
    const int n = ends[static_cast<std::size_t>(i)];
    if (n > 1) Fail(Cat("peg ", i, " is an end of ", n, " links"));
    if (n == 0 && b.Pegs[i].Linked) Fail(Cat("peg ", i, " is Linked but no link ends at it"));
  }

  // The selection flags are exactly those the state names.
  std::vector<int> selected;
  for (int i = 1; i <= total; ++i) if (b.Pegs[i].Selected) selected.push_back(i);
  std::vector<int> expected;
  if (b.gState == GameState::FirstSelected || b.gState == GameState::SecondSelected) expected.push_back(b.FirstPeg);
  if (b.gState == GameState::SecondSelected) expected.push_back(b.SecondPeg);
  std::sort(expected.begin(), expected.end());
  if (selected != expected || (b.gState == GameState::SecondSelected && b.FirstPeg == b.SecondPeg)) {
    std::string list;
    for (int i : selected) list += Cat(" ", i);
    Fail(Cat("selected pegs {", list, " } in state ", StateName(b.gState), " with first ", b.FirstPeg, ", second ",
             b.SecondPeg));
  }
  for (int i : selected) if (b.Pegs[i].Linked) Fail("selected peg " + std::to_string(i) + " is Linked");
  if (b.gState == GameState::SecondSelected && b.Pegs[b.FirstPeg].Kind != b.Pegs[b.SecondPeg].Kind) {
    Fail("the selected pair is of two kinds");
  }
}

void EventDriver::CheckFrame() {
  // The presented picture is the frame, scan line for scan line.
  Session& s = *session_;
  const PixelArray& frame = s.game.FrameImage();
  MemorySurface& shown = s.platform.playfield;
  for (std::int32_t row = 0; row < frame.Height(); ++row) {
    const std::uint8_t* in = frame.Row(row);
    const std::uint32_t* out = shown.Line(row);
    for (std::int32_t x = 0; x < frame.Width(); ++x) {
      const std::uint32_t want = 0xff000000u | in[3 * x] | static_cast<std::uint32_t>(in[3 * x + 1]) << 8 |
                                 static_cast<std::uint32_t>(in[3 * x + 2]) << 16;
      if (out[x] != want) Fail(Cat("the playfield does not show the frame (scan line ", row, ", pixel ", x, ")"));
    }
  }
}

// ---------------------------------------------------------------------------

std::optional<std::string> RunFuzzInput(std::span<const std::uint8_t> input, DriverStats* stats) {
  ByteDecisions decisions(input);
  const auto& size = kFuzzFieldSizes[decisions.Below(kFuzzFieldSizes.size())];
  DriverOptions options;
  options.width = size.first;
  options.height = size.second;
  options.peg_total = kFuzzPegTotals[decisions.Below(kFuzzPegTotals.size())];
  options.game_seed = decisions.Below(65536);
  options.main_tick_budget = kFuzzMainTicks;
  options.max_depth = 1 + static_cast<int>(decisions.Below(4));
  options.label = "fuzz input of " + std::to_string(input.size()) + " bytes";
  EventDriver driver(decisions, options);
  auto result = driver.Run(kFuzzEvents);
  if (stats) *stats = driver.stats();
  return result;
}

}  // namespace brindlet::testing
