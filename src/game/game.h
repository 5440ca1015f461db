// The game: the main window's state and every procedure that works on it.
//
// One object holds what the main window owns (the peg table, the game state,
// the selection, the sampled cursor, the peg counters) together with the
// program-wide values (playfield size, the two pixel arrays, the shake
// amplitude and the effects counter). Its procedures are spread over the
// source files of game/ and render/ by subject. Everything runs on one thread;
// procedures that let pending events run read the state afresh afterwards.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "game/model.h"
#include "game/platform.h"
#include "game/random.h"
#include "render/fast_drawing.h"
#include "render/pixel_array.h"
#include "render/primitives.h"

namespace brindlet {

inline constexpr int kDefaultPegTotal = 100;
inline constexpr double kPickRadius = 10.0;
inline constexpr double kCursorOffset = 0.01;
inline constexpr double kNoPegDistance = 31337.0;
inline constexpr int kNoPeg = -1;
inline constexpr int kCornerSize = 16;
inline constexpr double kShakeStart = 50.0;
inline constexpr double kGlowRingRadius = 40.0;
inline constexpr DrawColour kGlowRingColour{255, 120, 21, 50};
inline constexpr DrawColour kRefusalColour{2, 128, 2, 0};  // Alpha of the refused peg is kept

// Size of the hidden background surface: 15390 x 11550 twips at 15 twips per pixel.
inline constexpr std::int32_t kBackgroundWidth = 15390 / 15;
inline constexpr std::int32_t kBackgroundHeight = 11550 / 15;

class Game : public Playfield {
 public:
  Game(Platform& platform, RandomSource& random);

  // --- Program-wide values (ImageWidth, ImageHeight and EffectsCounter come
  // from Playfield, where the drawing primitives read them) ---
  PixelArray BackgroundImage;
  PixelArray FrameImage;
  double ShakeAmplitude = 0;

  // --- The main window's variables ---
  std::optional<FastDrawing> Drawer;
  GameState gState = GameState::Startup;
  std::int16_t FirstPeg = 0;
  std::int16_t SecondPeg = 0;
  std::int16_t MousePosX = 0;
  std::int16_t MousePosY = 0;
  std::int16_t PegCount = 0;
  std::int16_t PegTotal = 0;
  PegTable Pegs;

  // --- Start-up, timers and the end (game.cpp) ---
  // The main window's load: reads the background, sizes the playfield, seeds
  // the attract display and shows the debug window.
  void Startup();
  void MainTick();     // every 25 ms
  void EffectsTick();  // every 20 ms
  void DisplayTick();  // the display timer (never enabled)
  void DebugTick();    // every 100 ms: refresh of the debug window
  void Die();
  std::int32_t MouseX(WindowHandle hWnd);
  std::int32_t MouseY(WindowHandle hWnd);
  void ReDraw();

  // --- Peg model ---
  void SeedGame();
  void InitGame();
  void InitPeg(std::int16_t& index);

  // --- Motion (motion.cpp) ---
  void MovePegs();
  void RandomizePegs();
  void ShakePegsInit();
  void ShakePegs();

  // --- Selection and linking (selection.cpp) ---
  void Click();        // a click on the playfield
  void DoubleClick();  // the double-click event: one more click
  // Index of the peg nearest (x, y), or -1; `distance` receives its distance
  // (31337 when there is none).
  int NearestPeg(double x, double y, double& distance);
  void ToggleDebugWindow();

  // --- Link path check (link_check.cpp) ---
  // 0 when the new link from peg a to its LinkTarget comes too close to a
  // standing link (both pegs are then recoloured), 1 otherwise.
  std::int16_t CheckLinkPath(std::int16_t a);

  // --- Scene drawing (render/scene.cpp) ---
  void DrawLinks();
  void UpdateHoverGlow();
  void DrawPegs();
  void DrawSelectionRings(const std::int16_t& index);
  void DrawGlowRing(double x, double y, double radius, const DrawColour& colour);

  // The values the drawing primitives read, live.
  const Playfield& Field() const { return *this; }

  Platform& platform() { return *platform_; }
  RandomSource& random() { return *random_; }

 private:
  double Rnd() { return random_->Next(); }
  bool IsPegIndex(int index) const { return index >= 1 && index <= PegTotal && PegTable::InTable(index); }
  void ClearSelection();
  void Confirm();

  Platform* platform_;
  RandomSource* random_;
  // Walk points of the link being checked, kept to avoid allocating per check.
  std::vector<double> walk_x_;
  std::vector<double> walk_y_;
};

// The debug window's read-out, as text.
// Caption of the state line for a game state, or nullopt for a value outside 0..5.
std::optional<std::string> StateCaption(GameState state);
// The seven lines for a peg: "Nearest: ", "Num: ", ... "Linkeffect Timer: ";
// lines 1 to 6 end with CR LF, line 7 with a lone CR.
std::string PegDetails(double distance, int index, const Peg& peg);

}  // namespace brindlet
