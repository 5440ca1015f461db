// The program's single uniform random source.
#pragma once

#include <array>
#include <cstdint>

namespace brindlet {

// A source of reals uniform in [0, 1). Every random draw of the game comes
// from one such source, in the order the procedures take them.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual double Next() = 0;
};

// The generator the program runs with: xoshiro256** from a fixed start state,
// never seeded, so every run (on every compiler and standard library) sees the
// same sequence. Reals are the top 53 bits of each output scaled by 2^-53.
class DefaultRandom final : public RandomSource {
 public:
  DefaultRandom();
  // For the soak and the fuzz drivers, which want reproducible but varied runs.
  explicit DefaultRandom(std::uint64_t seed);
  double Next() override;
  std::uint64_t NextBits();

 private:
  std::array<std::uint64_t, 4> state_{};
};

}  // namespace brindlet
