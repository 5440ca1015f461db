#include <gtest/gtest.h>

#include "support/fakes.h"

namespace brindlet::testing {
namespace {

TEST(Smoke, StartsUpAndRunsTicks) {
  GameFixture f;
  f.random.SetFallback(0.5);
  EXPECT_EQ(f.game.ImageWidth, 1026);
  EXPECT_EQ(f.game.ImageHeight, 770);
  for (int i = 0; i < 10; ++i) {
    f.game.MainTick();
    f.game.EffectsTick();
  }
  EXPECT_EQ(f.game.gState, GameState::Startup);
}

}  // namespace
}  // namespace brindlet::testing
