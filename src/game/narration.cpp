#include "game/narration.h"

#include "game/procedures.h"

namespace brindlet {
namespace {

bool SameHue(const DrawColour& a, const DrawColour& b) { return a.Red == b.Red && a.Green == b.Green && a.Blue == b.Blue; }

PegFamily FamilyOf(const Peg& peg) {
  // The attract display's pegs are all one grey, whatever their kind.
  if (SameHue(peg.Colour, kSeedColour)) return PegFamily::Grey;
  switch (peg.Kind) {
    case 0: return PegFamily::Red;
    case 1: return PegFamily::Blue;
    default: return PegFamily::None;
  }
}

// "red peg 12"; "peg 12" for a peg of no known family.
std::string Named(int index, PegFamily family) {
  static constexpr const char* kWords[] = {"", "grey ", "red ", "blue "};
  return kWords[static_cast<int>(family)] + std::string("peg ") + std::to_string(index);
}

std::string NamedIn(const BoardFacts& facts, int index) {
  return Named(index, PegTable::InTable(index) ? facts[static_cast<std::size_t>(index)].family : PegFamily::None);
}

}  // namespace

void ReadFacts(const Board& board, BoardFacts& facts) {
  facts.fill({});
  const int total = board.Total();
  for (int i = 1; i <= total; ++i) {
    const Peg& peg = board.Pegs[i];
    facts[i] = {FamilyOf(peg), SameHue(peg.Colour, kRefusalColour), 0, peg.Selected};
  }
  // A peg's partner is the one a beam joins it to, as the beams are drawn:
  // from every linked master to its target. Its own beam first, then the
  // lowest-numbered master whose beam ends on it.
  for (int i = 1; i <= total; ++i) {
    const Peg& peg = board.Pegs[i];
    if (peg.Linked && peg.Master && PegTable::InTable(peg.LinkTarget)) facts[i].partner = peg.LinkTarget;
  }
  for (int i = 1; i <= total; ++i) {
    const Peg& peg = board.Pegs[i];
    if (!peg.Linked || !peg.Master || !board.IsPeg(peg.LinkTarget)) continue;
    PegFacts& target = facts[static_cast<std::size_t>(peg.LinkTarget)];
    if (target.partner == 0) target.partner = static_cast<std::int16_t>(i);
  }
}

std::string PegPhrase(int index, const PegFacts& facts) {
  std::string phrase = Named(index, facts.family);
  if (facts.partner != 0) phrase += ", linked to " + std::to_string(facts.partner);
  if (facts.refused) phrase += ", refused";
  if (facts.selected) phrase += ", selected";
  return phrase;
}

std::string Sentence(const Happened& happened, const BoardFacts& facts) {
  const std::string pair = NamedIn(facts, happened.first) + " to " + NamedIn(facts, happened.second);
  switch (happened.what) {
    case Happening::GameStarted: return "Game started.";
    case Happening::LinkMade: return "Link made: " + pair + ".";
    case Happening::LinkRefused: return "Link refused: " + pair + " came too close to a standing link.";
    case Happening::SelectionCancelled:
      return "Selection cancelled: " + NamedIn(facts, happened.first) +
             (happened.second != 0 ? " and " + NamedIn(facts, happened.second) : std::string()) + ".";
  }
  return {};
}

}  // namespace brindlet
