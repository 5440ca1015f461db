#include "fuzz/event_driver.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <functional>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace brindlet::testing {
namespace {

// Thrown by a failed check; Run turns it into the report.
struct DriverFailure {
  std::string message;
};

constexpr std::array<std::pair<std::int32_t, std::int32_t>, 10> kFuzzFieldSizes{{
    {kBackgroundWidth, kBackgroundHeight},
    {160, 120},
    {100, 100},
    {99, 101},
    {64, 48},
    {37, 23},
    {7, 5},
    {3, 3},
    {1, 1},
    {0, 0},
}};

std::string Hex(std::span<const std::uint8_t> bytes) {
  static const char* kDigits = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::int32_t ClampToInt32(std::int64_t v) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool IsBool16(std::int16_t v) { return v == kTrue || v == kFalse; }

const char* StateName(GameState s) {
  switch (s) {
    case GameState::Startup: return "Startup";
    case GameState::Init: return "Init";
    case GameState::Idle: return "Idle";
    case GameState::FirstSelected: return "FirstSelected";
    case GameState::SecondSelected: return "SecondSelected";
    case GameState::CheckingLink: return "CheckingLink";
  }
  return "?";
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

enum class EventDriver::Kind : int {
  MainTick,
  EffectsTick,
  DebugTick,
  Timers,
  Wait,
  MoveCursor,
  ClickAt,
  Click,
  DoubleClickAt,
  DoubleClick,
  CornerClick,
  ClickBurst,
  Restart,
  RestartAndCreate,
  Move,
  Shake,
  ToggleVisible,
  Quit,
  EffectsBurst,
  MakeLink,
};

enum class EventDriver::Place : int { OnPeg, Pairing, NearPeg, Corner, Outside, Inside, Wide };

namespace {

const char* KindName(int kind) {
  static const char* kNames[] = {"MainTick",   "EffectsTick", "DebugTick",       "Timers",     "Wait",
                                 "MoveCursor", "ClickAt",     "Click",           "DoubleClickAt",
                                 "DoubleClick", "CornerClick", "ClickBurst",     "Restart",    "RestartAndCreate",
                                 "Move",       "Shake",       "ToggleVisible",   "Quit",       "EffectsBurst",
                                 "MakeLink"};
  return kind >= 0 && kind < static_cast<int>(std::size(kNames)) ? kNames[kind] : "?";
}

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

struct EventDriver::Session {
  Session(std::int32_t w, std::int32_t h, RandomSource& random) : platform(w, h), game(platform, random) {}
  FakePlatform platform;
  Game game;
  bool ended = false;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint64_t background_sum = 0;
  const std::uint8_t* background_data = nullptr;
  const std::uint8_t* frame_data = nullptr;
  std::vector<Kind> running;  // procedures of the game now running, outermost first
  GameState top_click_start{};
};

EventDriver::EventDriver(Decisions& decisions, DriverOptions options)
    : decisions_(decisions), options_(std::move(options)), game_random_(options_.game_seed) {}

EventDriver::~EventDriver() = default;

Game& EventDriver::game() { return session_->game; }

void EventDriver::Log(const std::string& entry) {
  log_.push_back(entry);
  while (log_.size() > options_.log_keep) log_.pop_front();
}

[[noreturn]] void EventDriver::Fail(const std::string& message) { throw DriverFailure{message}; }

std::uint64_t EventDriver::BackgroundChecksum() {
  // FNV-1a over the whole array (extra row and padding included), eight
  // bytes at a time.
  const auto bytes = game().BackgroundImage.Bytes();
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

// ---------------------------------------------------------------------------
// Sessions and the run

void EventDriver::StartSession() {
  session_ = std::make_unique<Session>(options_.width, options_.height, game_random_);
  Session& s = *session_;
  s.width = std::max(0, options_.width);
  s.height = std::max(0, options_.height);
  // A background with content, so that a dot leaking into it shows.
  std::uint64_t pattern = options_.game_seed * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(stats_.sessions);
  const auto lineBytes = static_cast<std::size_t>(s.width) * 3;
  for (std::int32_t row = 0; row < s.height; ++row) {
    std::uint8_t* line = s.platform.pic_bg.ScanLine(row);
    for (std::size_t b = 0; b < lineBytes; b += 8) {
      pattern = pattern * 6364136223846793005ull + 1442695040888963407ull;
      const std::uint64_t word = pattern ^ (pattern >> 29);
      std::memcpy(line + b, &word, std::min<std::size_t>(8, lineBytes - b));
    }
  }
  s.platform.on_yield = [this](long number) { OnYield(number); };
  ++stats_.sessions;
  const long serial = track_.serial + 1;
  track_ = GameTrack{};
  track_.serial = serial;
  cursor_x_ = cursor_y_ = 0;
  s.platform.SetCursorClient(0, 0);

  s.game.Startup();
  Log("#" + std::to_string(event_index_) + " start-up (session " + std::to_string(stats_.sessions) + ")");
  if (!s.platform.visible[Window::Debug]) Fail("the debug window is not open after start-up");
  s.background_data = s.game.BackgroundImage.Data();
  s.frame_data = s.game.FrameImage.Data();
  s.background_sum = BackgroundChecksum();
  CheckInvariants("after start-up");
}

std::optional<std::string> EventDriver::CheckNow() {
  return Guarded([this] {
    if (!session_) StartSession();
    CheckInvariants("on request");
    if (BackgroundChecksum() != session_->background_sum) Fail("BackgroundImage changed");
  });
}

std::optional<std::string> EventDriver::Run(long max_events) {
  return Guarded([this, max_events] {
    if (!session_) StartSession();
    while (event_index_ < max_events && decisions_.More()) Step();
  });
}

std::optional<std::string> EventDriver::Guarded(const std::function<void()>& work) {
  try {
    work();
    return std::nullopt;
  } catch (const DriverFailure& failure) {
    std::ostringstream report;
    report << "event driver: " << failure.message << "\n";
    report << "  run: " << options_.label << " (playfield " << options_.width << "x" << options_.height
           << ", game seed " << options_.game_seed << ")\n";
    report << "  session " << stats_.sessions << ", top-level event #" << event_index_;
    if (!context_.empty()) report << ", inside: " << context_;
    report << "\n  recent events, oldest first:\n";
    for (const auto& entry : log_) report << "    " << entry << "\n";
    return report.str();
  } catch (const std::exception& error) {
    std::ostringstream report;
    report << "event driver: the game threw: " << error.what() << "\n  run: " << options_.label
           << ", top-level event #" << event_index_ << "\n  recent events, oldest first:\n";
    for (const auto& entry : log_) report << "    " << entry << "\n";
    return report.str();
  }
}

void EventDriver::Step() {
  static constexpr std::array<Weighted<Kind>, 16> kTopLevel{{
      {Kind::MakeLink, 6},
      {Kind::MainTick, 12},
      {Kind::EffectsTick, 12},
      {Kind::DebugTick, 4},
      {Kind::Timers, 10},
      {Kind::Wait, 2},
      {Kind::MoveCursor, 4},
      {Kind::ClickAt, 20},
      {Kind::Click, 4},
      {Kind::DoubleClickAt, 5},
      {Kind::CornerClick, 3},
      {Kind::Restart, 3},
      {Kind::Move, 2},
      {Kind::Shake, 3},
      {Kind::ToggleVisible, 2},
      {Kind::Quit, 1},
  }};
  Kind kind = PickWeighted(decisions_, kTopLevel);
  // Quitting ends the session: keep it rare.
  if (kind == Kind::Quit && decisions_.Below(16) != 0) kind = Kind::MainTick;
  RunTopLevel(kind);
  ++event_index_;
}

void EventDriver::RunTopLevel(Kind kind) {
  Session& s = *session_;
  ++stats_.events;
  top_kind_ = kind;
  context_.clear();
  injection_fired_ = false;
  cursor_moved_ = false;
  MaybeArmInjection();
  Log("#" + std::to_string(event_index_) + " " + KindName(static_cast<int>(kind)) + " [" + StateName(game().gState) +
      (armed_ ? ", inject at yield +" + std::to_string(armed_at_ - s.platform.yields) : std::string()) +
      (deferred_offset_ > 0 ? ", inject at the click's yield +" + std::to_string(deferred_offset_) : std::string()) +
      (at_link_check_ ? ", inject at the link check" : "") +
      "]");

  Perform(kind, false);
  armed_ = false;
  deferred_offset_ = 0;
  at_link_check_ = false;
  context_.clear();

  CheckInvariants("after the event");
  if (BackgroundChecksum() != s.background_sum) Fail("BackgroundImage changed");
  if (s.ended) StartSession();
}

void EventDriver::Perform(Kind kind, bool nested) {
  switch (kind) {
    case Kind::MainTick: DoMainTick(); break;
    case Kind::EffectsTick: DoEffectsTick(); break;
    case Kind::DebugTick: DoDebugTick(); break;
    case Kind::Timers: DoTimers(1 + static_cast<int>(decisions_.Below(8))); break;
    case Kind::Wait: DoTimers(100 + static_cast<int>(decisions_.Below(71))); break;
    case Kind::MoveCursor:
      PlaceCursor(static_cast<Place>(decisions_.Below(7)));
      if (nested) cursor_moved_ = true;
      break;
    case Kind::ClickAt:
    case Kind::DoubleClickAt: {
      static constexpr std::array<Weighted<Place>, 7> kPlaces{{
          {Place::OnPeg, 6},
          {Place::Pairing, 8},
          {Place::NearPeg, 3},
          {Place::Corner, 1},
          {Place::Outside, 2},
          {Place::Inside, 2},
          {Place::Wide, 2},
      }};
      PlaceCursor(PickWeighted(decisions_, kPlaces));
      DoMainTick();  // the tick samples the cursor the click then uses
      DoClick(false);
      if (kind == Kind::DoubleClickAt) DoClick(true);
      break;
    }
    case Kind::MakeLink:
      // Pick two pegs that can pair and confirm: on the second peg again or
      // on empty space.
      for (int step = 0; step < 3 && !session_->ended; ++step) {
        if (step < 2) {
          PlaceCursor(Place::Pairing);
        } else if (decisions_.Below(2) == 0) {
          PlaceCursor(Place::Outside);
        }
        DoMainTick();
        DoClick(false);
      }
      break;
    case Kind::Click: DoClick(false); break;
    case Kind::DoubleClick:
      DoClick(false);
      DoClick(true);
      break;
    case Kind::CornerClick:
      PlaceCursor(Place::Corner);
      DoMainTick();
      DoClick(false);
      break;
    case Kind::ClickBurst: {
      const int clicks = 2 + static_cast<int>(decisions_.Below(3));
      for (int i = 0; i < clicks; ++i) DoClick(false);
      break;
    }
    case Kind::Restart: DoRestart(); break;
    case Kind::RestartAndCreate: {
      DoRestart();
      const int ticks = 1 + static_cast<int>(decisions_.Below(120));
      for (int i = 0; i < ticks; ++i) DoEffectsTick();
      break;
    }
    case Kind::Move: DoMove(); break;
    case Kind::Shake: DoShake(); break;
    case Kind::ToggleVisible: {
      auto& visible = session_->platform.visible[Window::Debug];
      visible = !visible;
      break;
    }
    case Kind::Quit: DoQuit(); break;
    case Kind::EffectsBurst: {
      const int ticks = 1 + static_cast<int>(decisions_.Below(6));
      for (int i = 0; i < ticks; ++i) DoEffectsTick();
      break;
    }
  }
}

// ---------------------------------------------------------------------------
// Injection at yield points

void EventDriver::MaybeArmInjection() {
  armed_ = false;
  deferred_offset_ = 0;
  at_link_check_ = false;
  if (decisions_.Below(2) != 0) return;
  injections_left_ = decisions_.Below(4) == 0 ? 2 : 1;
  const std::uint32_t shape = decisions_.Below(10);
  const long offset = shape < 5 ? 1 + decisions_.Below(4) : shape < 9 ? 1 + decisions_.Below(128) : 1 + decisions_.Below(1024);
  // A click after a main tick: mostly count from the click itself,
  // so that its own yields (the pick, the link check) are reached.
  const bool clickEvent = top_kind_ == Kind::ClickAt || top_kind_ == Kind::DoubleClickAt ||
                          top_kind_ == Kind::CornerClick || top_kind_ == Kind::MakeLink;
  if (clickEvent) {
    const std::uint32_t mode = decisions_.Below(3);
    if (mode == 0) {
      // At the link check, should the click confirm a pair.
      at_link_check_ = true;
      return;
    }
    if (mode == 1) {
      deferred_offset_ = offset;
      return;
    }
  }
  armed_at_ = session_->platform.yields + offset;
  armed_ = true;
}

void EventDriver::OnYield(long number) {
  Session& s = *session_;
  // The first yield of a top-level click: what runs here runs before the
  // click reads the state.
  const bool clickYield = awaiting_click_yield_;
  awaiting_click_yield_ = false;
  const bool atCheck = at_link_check_ && InLinkCheck();
  if (!s.ended && ((armed_ && number >= armed_at_) || atCheck)) {
    armed_ = false;
    at_link_check_ = false;
    --injections_left_;
    Inject();
    if (injections_left_ > 0 && !s.ended) {
      armed_at_ = s.platform.yields + 1 + decisions_.Below(64);
      armed_ = true;
    }
  }
  if (clickYield) click_branch_state_ = s.game.gState;
}

bool EventDriver::InLinkCheck() const {
  // The link check runs after a confirming click has committed its pair and
  // set Idle, and is the only yield of the click after that.
  const Session& s = *session_;
  const Game& g = s.game;
  return !s.running.empty() && s.running.back() == Kind::Click && s.top_click_start == GameState::SecondSelected &&
         g.gState == GameState::Idle && PegTable::InTable(g.FirstPeg) && PegTable::InTable(g.SecondPeg) &&
         g.Pegs[g.FirstPeg].Linked == kTrue && g.Pegs[g.FirstPeg].Master == kTrue &&
         g.Pegs[g.FirstPeg].LinkTarget == g.SecondPeg && g.Pegs[g.SecondPeg].Linked == kTrue;
}

void EventDriver::Inject() {
  static constexpr std::array<Weighted<Kind>, 13> kNested{{
      {Kind::Click, 8},
      {Kind::DoubleClick, 3},
      {Kind::ClickBurst, 3},
      {Kind::Restart, 3},
      {Kind::RestartAndCreate, 2},
      {Kind::Move, 2},
      {Kind::Shake, 3},
      {Kind::EffectsBurst, 8},
      {Kind::DebugTick, 3},
      {Kind::MainTick, 3},
      {Kind::MoveCursor, 2},
      {Kind::ToggleVisible, 2},
      {Kind::Quit, 1},
  }};
  Session& s = *session_;
  Kind kind = PickWeighted(decisions_, kNested);
  if (kind == Kind::Quit && decisions_.Below(8) != 0) kind = Kind::EffectsBurst;
  // A timer's handler does not start again while it is suspended.
  const Kind running = s.running.empty() ? top_kind_ : s.running.back();
  if (kind == Kind::MainTick && std::find(s.running.begin(), s.running.end(), Kind::MainTick) != s.running.end()) {
    kind = Kind::EffectsBurst;
  }
  if (kind == Kind::DebugTick && std::find(s.running.begin(), s.running.end(), Kind::DebugTick) != s.running.end()) {
    kind = Kind::EffectsBurst;
  }

  std::string where = KindName(static_cast<int>(running));
  const Game& g = s.game;
  if (InLinkCheck()) {
    where = "CheckLinkPath";
    if (kind == Kind::Click || kind == Kind::DoubleClick || kind == Kind::ClickBurst) ++stats_.click_during_check;
  }
  if (running == Kind::MainTick && (kind == Kind::Restart || kind == Kind::RestartAndCreate)) {
    ++stats_.restart_during_frame;
  }
  if (running == Kind::MainTick && kind == Kind::Shake) ++stats_.shake_during_frame;
  if (running == Kind::Click && kind == Kind::EffectsBurst) ++stats_.effects_during_click;
  ++stats_.injected;
  ++stats_.injections[where + " <- " + KindName(static_cast<int>(kind))];

  injection_fired_ = true;
  context_ = std::string(KindName(static_cast<int>(kind))) + " injected into " + where + " at yield " +
             std::to_string(s.platform.yields);
  Log("    inject " + context_ + " [" + StateName(g.gState) + "]");
  CheckInvariants("at a yield point");
  in_injection_ = true;
  Perform(kind, true);
  in_injection_ = false;
  CheckInvariants("after an injected event");
}

// ---------------------------------------------------------------------------
// The events

void EventDriver::DoMainTick() {
  Session& s = *session_;
  ++stats_.main_ticks;
  const bool topLevel = !in_injection_;
  const bool movedBefore = cursor_moved_;
  s.running.push_back(Kind::MainTick);
  s.game.MainTick();
  s.running.pop_back();
  const Game& g = s.game;
  if (topLevel && !movedBefore && !cursor_moved_) {
    // The cursor sampled in client coordinates keeps its low 16 bits.
    const std::int16_t wantX = Low16(ClampToInt32(cursor_x_));
    const std::int16_t wantY = Low16(ClampToInt32(cursor_y_));
    if (g.MousePosX != wantX || g.MousePosY != wantY) {
      Fail("the main tick sampled the cursor (" + std::to_string(cursor_x_) + ", " + std::to_string(cursor_y_) +
           ") as (" + std::to_string(g.MousePosX) + ", " + std::to_string(g.MousePosY) + "), not (" +
           std::to_string(wantX) + ", " + std::to_string(wantY) + ")");
    }
  }
  CheckFrame();
  CheckInvariants("after a main tick");
}

void EventDriver::DoEffectsTick() {
  Session& s = *session_;
  ++stats_.effects_ticks;
  Game& g = s.game;
  const std::int16_t before = g.PegCount;
  const long serial = track_.serial;
  g.EffectsTick();
  if (track_.active && !track_.complete && serial == track_.serial && g.PegCount == before + 1) {
    if (++track_.created != g.PegCount) Fail("pegs are not re-created one by one from peg 1");
    if (track_.created == g.PegTotal) {
      track_.complete = true;
      if (!track_.tainted) ++stats_.clean_games;
    }
  }
  CheckInvariants("after an effects tick");
}

void EventDriver::DoDebugTick() {
  Session& s = *session_;
  ++stats_.debug_ticks;
  const bool visible = s.platform.visible[Window::Debug];
  const int captions = s.platform.caption_sets;
  const int texts = s.platform.text_sets;
  const bool firedBefore = injection_fired_;
  const bool topLevel = !in_injection_;
  s.running.push_back(Kind::DebugTick);
  s.game.DebugTick();
  s.running.pop_back();
  if (topLevel && !firedBefore && !injection_fired_) CheckDebugRefresh(visible, captions, texts);
  CheckInvariants("after a debug tick");
}

void EventDriver::CheckDebugRefresh(bool wasVisible, int captionSets, int textSets) {
  Session& s = *session_;
  const Game& g = s.game;
  if (!wasVisible) {
    if (s.platform.caption_sets != captionSets || s.platform.text_sets != textSets) {
      Fail("the debug refresh wrote into the hidden debug window");
    }
    return;
  }
  if (s.platform.caption_sets != captionSets + 1 || s.platform.text_sets != textSets + 1) {
    Fail("the debug refresh of the visible window did not set the state line and the peg text once each");
  }
  if (s.platform.state_caption != StateCaption(g.gState).value_or("")) {
    Fail("the debug window shows \"" + s.platform.state_caption + "\" in state " + StateName(g.gState));
  }
  // The nearest peg as the read-out must have seen it.
  const double x = g.MousePosX + kCursorOffset;
  const double y = g.MousePosY + kCursorOffset;
  double best = kNoPegDistance;
  int nearest = kNoPeg;
  for (int i = 1; i <= g.PegTotal; ++i) {
    const double dx = g.Pegs[i].X - x;
    const double dy = g.Pegs[i].Y - y;
    const double d = std::sqrt(dx * dx + dy * dy);
    if (d < best) {
      best = d;
      nearest = i;
    }
  }
  const std::string& text = s.platform.peg_text;
  if (best < 30.0) {
    const std::string num = "\r\nNum: " + std::to_string(nearest) + "\r\n";
    if (text.rfind("Nearest: ", 0) != 0 || text.find(num) == std::string::npos || text.back() != '\r') {
      Fail("the debug read-out for peg " + std::to_string(nearest) + " at " + std::to_string(best) +
           " px is \"" + text + "\"");
    }
  } else if (!text.empty()) {
    Fail("the debug read-out is not empty with no peg within 30 px: \"" + text + "\"");
  }
}

void EventDriver::DoClick(bool doubleClick) {
  Session& s = *session_;
  Game& g = s.game;
  ++stats_.clicks;
  const bool topLevel = !in_injection_;
  const GameState before = g.gState;
  const bool visibleBefore = s.platform.visible[Window::Debug];
  const bool firedBefore = injection_fired_;
  const long serial = track_.serial;
  const bool settingUp = GameSettingUp();

  ++click_depth_;
  s.running.push_back(Kind::Click);
  if (topLevel) {
    if (deferred_offset_ > 0) {
      armed_at_ = s.platform.yields + deferred_offset_;
      armed_ = true;
      deferred_offset_ = 0;
    }
    awaiting_click_yield_ = true;
    s.top_click_start = before;
    click_branch_state_ = before;
  }
  if (doubleClick) {
    g.DoubleClick();
  } else {
    g.Click();
  }
  s.running.pop_back();
  --click_depth_;
  if (topLevel) awaiting_click_yield_ = false;

  const GameState branch = topLevel ? click_branch_state_ : before;
  if (branch == GameState::Startup) {
    if (g.gState == GameState::Init && serial == track_.serial) StartGame();
  } else if (settingUp || serial != track_.serial || GameSettingUp()) {
    // A click that overlapped the set-up of a game (or a restart during the
    // click) may legitimately leave stale links and selections behind.
    Taint();
  }

  if (topLevel && !firedBefore && !injection_fired_ && !s.ended) {
    const bool corner = branch != GameState::Startup && g.MousePosX < kCornerSize && g.MousePosY < kCornerSize;
    const bool visibleAfter = s.platform.visible[Window::Debug];
    if (corner && visibleAfter == visibleBefore) Fail("a click in the corner did not toggle the debug window");
    if (!corner && visibleAfter != visibleBefore) Fail("a click outside the corner toggled the debug window");
    if (corner) ++stats_.corner_toggles;
  }

  // What became of a confirmed pair, for the statistics.
  if (before == GameState::SecondSelected && g.gState != GameState::SecondSelected && PegTable::InTable(g.FirstPeg) &&
      PegTable::InTable(g.SecondPeg)) {
    const Peg& a = g.Pegs[g.FirstPeg];
    if (a.Master == kTrue && a.LinkTarget == g.SecondPeg) {
      if (a.Linked == kTrue) {
        ++stats_.links_made;
      } else if (a.Colour.Red == 2 && a.Colour.Green == 128 && a.Colour.Blue == 2) {
        ++stats_.links_refused;
      }
    }
  }
  Log(std::string(in_injection_ ? "      " : "    ") + (doubleClick ? "double-click" : "click") + " at (" +
      std::to_string(g.MousePosX) + ", " + std::to_string(g.MousePosY) + "): " + StateName(before) + " -> " +
      StateName(g.gState) + ", first " + std::to_string(g.FirstPeg) + ", second " + std::to_string(g.SecondPeg));
  CheckInvariants("after a click");
}

void EventDriver::DoRestart() {
  session_->game.InitGame();
  StartGame();
  CheckInvariants("after Restart!");
}

void EventDriver::DoMove() {
  Session& s = *session_;
  s.running.push_back(Kind::Move);
  s.game.RandomizePegs();
  s.running.pop_back();
  CheckInvariants("after Move!");
}

void EventDriver::DoShake() {
  session_->game.ShakePegsInit();
  CheckInvariants("after Shake!");
}

void EventDriver::DoQuit() {
  Session& s = *session_;
  s.game.Die();
  s.ended = true;
  for (Timer t : {Timer::Display, Timer::MainLoop, Timer::Debug, Timer::Effects}) {
    if (s.platform.timers[t]) Fail(std::string("timer ") + FakePlatform::Name(t) + " still runs after Quit!");
  }
  const std::vector<std::string> tail{"close Controls", "close Debug", "close Main", "end"};
  const auto& calls = s.platform.calls;
  if (calls.size() < tail.size() || !std::equal(tail.begin(), tail.end(), calls.end() - 4)) {
    Fail("Quit! did not close the windows in order and end the program");
  }
  Log("    Quit! ends the session");
}

void EventDriver::DoTimers(int effectsTicks) {
  // The three timers as they fire in real time: effects every 20 ms, main
  // every 25 ms, debug every 100 ms (in that order when they coincide).
  long clock = 0;
  const long end = static_cast<long>(effectsTicks) * 20;
  Session& s = *session_;
  while (clock < end && !s.ended) {
    clock += 5;
    if (clock % 20 == 0) DoEffectsTick();
    if (clock % 25 == 0) DoMainTick();
    if (clock % 100 == 0) DoDebugTick();
  }
}

void EventDriver::PlaceCursor(Place place) {
  Session& s = *session_;
  const Game& g = s.game;
  const std::int64_t w = std::max(1, s.width);
  const std::int64_t h = std::max(1, s.height);
  const int total = g.PegTotal;
  std::int64_t x = 0;
  std::int64_t y = 0;
  auto onPeg = [&](int i) {
    x = std::llround(g.Pegs[i].X);
    y = std::llround(g.Pegs[i].Y);
  };
  switch (place) {
    case Place::OnPeg: onPeg(1 + static_cast<int>(decisions_.Below(static_cast<std::uint32_t>(total)))); break;
    case Place::Pairing: {
      // An unlinked peg that the current selection can take.
      const bool pairing = g.gState == GameState::FirstSelected || g.gState == GameState::SecondSelected;
      std::vector<int> candidates;
      for (int i = 1; i <= total; ++i) {
        if (g.Pegs[i].Linked != kFalse || i == g.FirstPeg) continue;
        if (pairing && PegTable::InTable(g.FirstPeg) && g.Pegs[i].Kind != g.Pegs[g.FirstPeg].Kind) continue;
        candidates.push_back(i);
      }
      if (candidates.empty()) {
        onPeg(1 + static_cast<int>(decisions_.Below(static_cast<std::uint32_t>(total))));
      } else {
        onPeg(candidates[decisions_.Below(static_cast<std::uint32_t>(candidates.size()))]);
      }
      break;
    }
    case Place::NearPeg: {
      const int i = 1 + static_cast<int>(decisions_.Below(static_cast<std::uint32_t>(total)));
      const double angle = decisions_.Below(360) * kDegreesToRadians;
      const double distance = 9.0 + decisions_.Below(21) * 0.1;
      x = std::llround(g.Pegs[i].X + distance * std::cos(angle));
      y = std::llround(g.Pegs[i].Y + distance * std::sin(angle));
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
      // Beyond 16 bits: the game keeps the low 16 bits of the client
      // coordinates, so 65536 + x lands where x does.
      onPeg(1 + static_cast<int>(decisions_.Below(static_cast<std::uint32_t>(total))));
      const std::uint32_t shape = decisions_.Below(8);
      if (shape == 0) {
        static constexpr std::int64_t kExtremes[] = {std::numeric_limits<std::int32_t>::max(),
                                                      std::numeric_limits<std::int32_t>::min(), 32767, 32768,
                                                      -32768, -32769, 65535, 65536};
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
  cursor_x_ = ClampToInt32(x);
  cursor_y_ = ClampToInt32(y);
  if (cursor_x_ != static_cast<std::int16_t>(cursor_x_) || cursor_y_ != static_cast<std::int16_t>(cursor_y_)) {
    ++stats_.wide_cursor;
  }
  s.platform.SetCursorClient(static_cast<std::int32_t>(cursor_x_), static_cast<std::int32_t>(cursor_y_));
}

// ---------------------------------------------------------------------------
// Tracking a game's set-up

void EventDriver::StartGame() {
  track_ = GameTrack{true, click_depth_ > 0, false, track_.serial + 1, 0};
  if (session_->game.PegCount != 0) Fail("a new game starts with PegCount " + std::to_string(session_->game.PegCount));
}

void EventDriver::Taint() {
  if (track_.active) track_.tainted = true;
}

bool EventDriver::GameSettingUp() const { return track_.active && !track_.complete; }

// ---------------------------------------------------------------------------
// Invariants

void EventDriver::CheckInvariants(const char* where) {
  Session& s = *session_;
  const Game& g = s.game;
  auto fail = [&](const std::string& what) { Fail(what + " (" + where + ")"); };
  const int state = static_cast<int>(g.gState);
  if (state < 0 || state > 5) fail("gState holds " + std::to_string(state));
  if (g.gState == GameState::CheckingLink) fail("gState is CheckingLink between events");
  if (g.PegTotal != kDefaultPegTotal) fail("PegTotal is " + std::to_string(g.PegTotal));
  if (g.PegCount < 0 || g.PegCount > g.PegTotal) fail("PegCount is " + std::to_string(g.PegCount));
  if (g.gState == GameState::Startup && g.PegCount != 0) fail("a peg was created during Startup");
  if (!(g.EffectsCounter >= 0 && g.EffectsCounter <= 100) || g.EffectsCounter != std::floor(g.EffectsCounter)) {
    fail("EffectsCounter is " + std::to_string(g.EffectsCounter));
  }
  if (!(g.ShakeAmplitude >= 0 && g.ShakeAmplitude <= kShakeStart)) {
    fail("ShakeAmplitude is " + std::to_string(g.ShakeAmplitude));
  }
  if (g.FirstPeg < 0 || g.FirstPeg > g.PegTotal || g.SecondPeg < 0 || g.SecondPeg > g.PegTotal) {
    fail("FirstPeg/SecondPeg are " + std::to_string(g.FirstPeg) + "/" + std::to_string(g.SecondPeg));
  }
  if (g.ImageWidth != s.width || g.ImageHeight != s.height) fail("the playfield size changed");

  const Peg untouched{};
  for (int i = 1; i <= PegTable::kCapacity; ++i) {
    const Peg& p = g.Pegs[i];
    const auto name = [i] { return "peg " + std::to_string(i); };
    if (i > g.PegTotal) {
      if (!(p == untouched)) fail(name() + ", beyond PegTotal, was written");
      continue;
    }
    if (!IsBool16(p.Linked) || !IsBool16(p.Master) || !IsBool16(p.Selected)) {
      fail(name() + " holds a boolean other than -1/0: Linked " + std::to_string(p.Linked) + ", Master " +
           std::to_string(p.Master) + ", Selected " + std::to_string(p.Selected));
    }
    if (p.Kind != 0 && p.Kind != 1) fail(name() + " has Kind " + std::to_string(p.Kind));
    if (p.Glow < 0 || p.Glow > 255) fail(name() + " has Glow " + std::to_string(p.Glow));
    for (std::int16_t c : {p.Colour.Red, p.Colour.Green, p.Colour.Blue, p.Colour.Alpha}) {
      if (c < 0 || c > 255) fail(name() + " has a colour channel of " + std::to_string(c));
    }
    for (double v : {p.X, p.Y, p.TargetX, p.TargetY, p.VelocityX, p.VelocityY, p.LinkEffectTimer, p.LinkEffectStep}) {
      if (!std::isfinite(v)) fail(name() + " holds a position, velocity or beam value that is not finite");
    }
    if (p.Linked == kTrue && p.Master == kTrue && (p.LinkTarget < 1 || p.LinkTarget > g.PegTotal)) {
      fail(name() + " is a linked master with LinkTarget " + std::to_string(p.LinkTarget));
    }
  }

  const auto rowBytes = PixelArray::RowBytesFor(s.width);
  const auto bytes = static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(s.height + 1);
  for (const PixelArray* array : {&g.BackgroundImage, &g.FrameImage}) {
    const char* name = array == &g.BackgroundImage ? "BackgroundImage" : "FrameImage";
    if (array->Width() != s.width || array->Height() != s.height || array->RowBytes() != rowBytes ||
        array->Bytes().size() != bytes) {
      fail(std::string(name) + " changed its bounds");
    }
  }
  if (g.BackgroundImage.Data() != s.background_data || g.FrameImage.Data() != s.frame_data) {
    fail("a pixel array was reallocated");
  }

  if (track_.active && track_.complete && !track_.tainted) CheckStructure();
}

void EventDriver::CheckStructure() {
  ++stats_.structural_checks;
  const Game& g = session_->game;
  const int total = g.PegTotal;
  std::vector<int> ends(static_cast<std::size_t>(total) + 1, 0);
  for (int i = 1; i <= total; ++i) {
    const Peg& p = g.Pegs[i];
    if (p.Linked != kTrue || p.Master != kTrue) continue;
    const int t = p.LinkTarget;
    if (t == i) Fail("peg " + std::to_string(i) + " is linked to itself");
    if (g.Pegs[t].Linked != kTrue) {
      Fail("peg " + std::to_string(t) + ", the far end of peg " + std::to_string(i) + "'s link, is not Linked");
    }
    ++ends[static_cast<std::size_t>(i)];
    ++ends[static_cast<std::size_t>(t)];
  }
  for (int i = 1; i <= total; ++i) {
    const int n = ends[static_cast<std::size_t>(i)];
    if (n > 1) Fail("peg " + std::to_string(i) + " is an end of " + std::to_string(n) + " links");
    if (n == 0 && g.Pegs[i].Linked == kTrue) Fail("peg " + std::to_string(i) + " is Linked but no link ends at it");
  }

  // The selection flags are exactly those the state names.
  std::vector<int> selected;
  for (int i = 1; i <= total; ++i) {
    if (g.Pegs[i].Selected == kTrue) selected.push_back(i);
  }
  std::vector<int> expected;
  if (g.gState == GameState::FirstSelected || g.gState == GameState::SecondSelected) expected.push_back(g.FirstPeg);
  if (g.gState == GameState::SecondSelected) expected.push_back(g.SecondPeg);
  std::sort(expected.begin(), expected.end());
  if (selected != expected || (g.gState == GameState::SecondSelected && g.FirstPeg == g.SecondPeg)) {
    std::string list;
    for (int i : selected) {
      list += ' ';
      list += std::to_string(i);
    }
    Fail(std::string("selected pegs {") + list + " } in state " + StateName(g.gState) + " with first " +
         std::to_string(g.FirstPeg) + ", second " + std::to_string(g.SecondPeg));
  }
  for (int i : selected) {
    if (g.Pegs[i].Linked == kTrue) Fail("selected peg " + std::to_string(i) + " is Linked");
  }
  if (g.gState == GameState::SecondSelected && g.Pegs[g.FirstPeg].Kind != g.Pegs[g.SecondPeg].Kind) {
    Fail("the selected pair is of two kinds");
  }
}

void EventDriver::CheckFrame() {
  // The presented picture is the frame, scan line for scan line.
  Session& s = *session_;
  const Game& g = s.game;
  const auto line = static_cast<std::size_t>(s.width) * 3;
  if (line == 0) return;
  for (std::int32_t row = 0; row < s.height; ++row) {
    if (std::memcmp(s.platform.pic_output.ScanLine(row), g.FrameImage.Row(row), line) != 0) {
      Fail("the playfield does not show the frame (scan line " + std::to_string(row) + ")");
    }
  }
}

// ---------------------------------------------------------------------------

std::span<const std::pair<std::int32_t, std::int32_t>> FuzzFieldSizes() { return kFuzzFieldSizes; }

std::optional<std::string> RunFuzzInput(std::span<const std::uint8_t> input, DriverStats* stats) {
  ByteDecisions decisions(input);
  // The game's own playfield in one input of sixteen: setting it up costs
  // far more than a small one, and the small ones reach the same code.
  const std::uint32_t pick = decisions.Below(32);
  const auto& size = kFuzzFieldSizes[pick < 2 ? 0 : 1 + (pick - 2) % (kFuzzFieldSizes.size() - 1)];
  const std::uint64_t seed = decisions.Below(65536);
  DriverOptions options;
  options.width = size.first;
  options.height = size.second;
  options.game_seed = seed;
  options.label = input.size() <= 1024 ? "input " + Hex(input) : "input of " + std::to_string(input.size()) + " bytes";
  EventDriver driver(decisions, options);
  auto result = driver.Run(4096);
  if (stats) *stats = driver.stats();
  return result;
}

}  // namespace brindlet::testing
