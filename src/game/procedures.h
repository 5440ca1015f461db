// The game's procedures, as plain functions over a board. The Game object
// calls them on its own board; tests and tools call them on boards of their
// own. Every procedure that lets events run reads the board afresh
// afterwards: a click or a tick may have changed it in the meantime.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "game/model.h"
#include "game/random.h"
#include "render/colour.h"
#include "render/events.h"
#include "render/pixel_array.h"
#include "render/primitives.h"

namespace brindlet {

inline constexpr int kDefaultPegTotal = 100;
inline constexpr double kPickRadius = 10.0;
inline constexpr double kCursorOffset = 0.01;
inline constexpr double kNoPegDistance = 31337.0;
inline constexpr int kCornerSize = 16;
inline constexpr double kShakeStart = 50.0;
inline constexpr double kGlowRingRadius = 40.0;
inline constexpr DrawColour kGlowRingColour{255, 120, 21, 50};
inline constexpr DrawColour kRefusalColour{2, 128, 2, 0};  // Alpha of the refused peg is kept
inline constexpr DrawColour kSeedColour{50, 50, 50, 250};   // the attract display's pegs

// How pegs and beams are drawn: by colour alone, or with shapes added that
// tell the families and every mark apart without any colour. The look
// changes only what is drawn: both take the same random draws and leave
// the board the same.
enum class Look : std::uint8_t { Colours, Shapes };

// What a procedure works with besides its board: the playfield size, the
// pump it lets events run through, the random source it draws from and the
// look it draws in.
struct Context {
  Field field;
  EventPump& events;
  RandomSource& random;
  Look look = Look::Colours;
};

// --- Pegs (pegs.cpp) ---
// The attract display's pegs: every peg at once, dark grey, about one in
// five with a random link.
void SeedGame(Board& board, const Context& context);
// A game starts: its pegs are re-created one per effects tick.
void InitGame(Board& board);
// Peg `index` re-created for a game: a strong red or blue, unlinked, gliding
// to a new place. An index outside the table is ignored.
void InitPeg(Board& board, const Context& context, int index);

// --- Motion (motion.cpp) ---
// One easing step of every peg toward its target.
void MovePegs(Board& board, const Context& context);
// New random targets for every peg.
void RandomizePegs(Board& board, const Context& context);
void ShakePegsInit(Board& board);
// One step of a running shake: every peg jolted, the amplitude damped.
void ShakePegs(Board& board, const Context& context);

// --- Selection (selection.cpp) ---
struct Nearest {
  int index = -1;                     // 1-based; -1 when there is no peg
  double distance = kNoPegDistance;
};
Nearest NearestPeg(const Board& board, EventPump& events, double x, double y);

// --- Link path check (link_check.cpp) ---
// Walks the link from peg `a` to its LinkTarget against every standing link.
// False when it comes too close to one: both pegs are then recoloured.
bool CheckLinkPath(Board& board, EventPump& events, int a);

// --- Scene drawing (scene.cpp), into `frame` ---
void DrawLinks(Board& board, const Context& context, PixelArray& frame);
void UpdateHoverGlow(Board& board, EventPump& events);
void DrawPegs(Board& board, const Context& context, PixelArray& frame);
void DrawSelectionRings(const Board& board, const Context& context, PixelArray& frame, int index);
void DrawGlowRing(const Context& context, PixelArray& frame, double x, double y, double radius,
                  const DrawColour& colour);

// --- Debug read-out (debug_readout.cpp) ---
// Caption of the state line, or nullopt for a value outside 0..5.
std::optional<std::string> StateCaption(GameState state);
// The seven lines for a peg: "Nearest: ", "Num: ", ... "Linkeffect Timer: ";
// lines 1 to 6 end with CR LF, line 7 with a lone CR.
std::string PegDetails(double distance, int index, const Peg& peg);

}  // namespace brindlet
