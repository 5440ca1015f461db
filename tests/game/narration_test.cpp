// The game in words: each peg's phrase, the sentences of what happened and
// the log that keeps them.
#include <gtest/gtest.h>

#include "game/narration.h"
#include "game/procedures.h"

namespace brindlet {
namespace {

TEST(Narration, NamesEachPegAndSaysWhatHappenedInOneSentence) {
  Board b;
  b.PegTotal = 7;
  for (const auto& [from, to, linked] : {std::tuple{2, 4, true}, {6, 4, true}, {4, 200, true}, {1, 5, false}}) {
    b.Pegs[from].Linked = linked;
    b.Pegs[from].Master = true;
    b.Pegs[from].LinkTarget = static_cast<std::int16_t>(to);
    b.Pegs[to].Linked = true;
  }
  for (int i = 1; i <= 7; ++i) b.Pegs[i].Kind = static_cast<std::int16_t>(i == 7 ? 2 : i % 2 == 0);
  b.Pegs[3].Colour = kSeedColour;
  b.Pegs[3].Linked = b.Pegs[3].Selected = true;  // not a master: it draws no beam to its target
  b.Pegs[3].LinkTarget = 1;
  b.Pegs[5].Colour = kRefusalColour;
  b.Pegs[5].Selected = true;
  BoardFacts facts;
  ReadFacts(b, facts);
  // A beam's end names the lowest master whose beam ends there, unless it
  // has a beam of its own; an unlinked master draws none.
  const char* phrases[] = {"red peg 1", "blue peg 2, linked to 4", "grey peg 3, selected", "blue peg 4, linked to 200",
                           "red peg 5, refused, selected", "blue peg 6, linked to 4", "peg 7"};
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(PegPhrase(i, facts[i]), phrases[i - 1]);
  EXPECT_EQ(facts[8], PegFacts{}) << "out of play";

  EXPECT_EQ(Sentence({Happening::GameStarted}, facts), "Game started.");
  EXPECT_EQ(Sentence({Happening::LinkMade, 2, 4}, facts), "Link made: blue peg 2 to blue peg 4.");
  EXPECT_EQ(Sentence({Happening::LinkRefused, 1, 5}, facts),
            "Link refused: red peg 1 to red peg 5 came too close to a standing link.");
  EXPECT_EQ(Sentence({Happening::SelectionCancelled, 3}, facts), "Selection cancelled: grey peg 3.");
  EXPECT_EQ(Sentence({Happening::SelectionCancelled, 1, 5}, facts), "Selection cancelled: red peg 1 and red peg 5.");
}

TEST(Narration, TheLogKeepsTheLastSixteen) {
  HappeningLog log;
  for (std::int16_t i = 0; i < 20; ++i) log.Add({Happening::LinkMade, i});
  EXPECT_EQ(log.count(), 20u);
  EXPECT_FALSE(log.At(3) || log.At(20));
  EXPECT_EQ(log.At(4)->first + log.At(19)->first, 4 + 19);
}

}  // namespace
}  // namespace brindlet
