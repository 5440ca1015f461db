#include <cmath>
#include <cstdio>

#include "game/procedures.h"

namespace brindlet {
namespace {

// A real's integer part (rounded down) as a whole number: minus sign when
// negative, no decimal point, no separators.
std::string WholeNumber(double value) {
  const double whole = std::floor(value);
  if (whole == 0 || std::isnan(whole)) return "0";
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.0f", whole);
  return buffer;
}

const char* BoolWord(bool value) { return value ? "True" : "False"; }

}  // namespace

std::optional<std::string> StateCaption(GameState state) {
  switch (state) {
    case GameState::Startup: return "State: Startup";
    case GameState::Init: return "State: Init";
    case GameState::Idle: return "State: Idle";
    case GameState::FirstSelected: return "State: First Selected";
    case GameState::SecondSelected: return "State: Second Selected";
    case GameState::CheckingLink: return "State: Checking Link";
  }
  return std::nullopt;
}

std::string PegDetails(double distance, int index, const Peg& peg) {
  std::string text;
  text += "Nearest: " + WholeNumber(distance) + "\r\n";
  text += "Num: " + std::to_string(index) + "\r\n";
  text += std::string("Selected? ") + BoolWord(peg.Selected) + "\r\n";
  text += std::string("Linked? ") + BoolWord(peg.Linked) + "\r\n";
  text += std::string("Master? ") + BoolWord(peg.Master) + "\r\n";
  text += "Link Target: " + std::to_string(peg.LinkTarget) + "\r\n";
  text += "Linkeffect Timer: " + WholeNumber(peg.LinkEffectTimer) + "\r";
  return text;
}

}  // namespace brindlet
