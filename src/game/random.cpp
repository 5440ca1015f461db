#include "game/random.h"

namespace brindlet {
namespace {

std::uint64_t SplitMix64(std::uint64_t& x) {
  x += 0x9E3779B97F4A7C15ull;
  std::uint64_t z = x;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

constexpr std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

}  // namespace

DefaultRandom::DefaultRandom() : DefaultRandom(0x4272696E646C6574ull) {}  // "Brindlet"

DefaultRandom::DefaultRandom(std::uint64_t seed) {
  for (auto& word : state_) word = SplitMix64(seed);
}

std::uint64_t DefaultRandom::NextBits() {
  const std::uint64_t result = Rotl(state_[1] * 5, 7) * 9;
  const std::uint64_t t = state_[1] << 17;
  state_[2] ^= state_[0];
  state_[3] ^= state_[1];
  state_[1] ^= state_[2];
  state_[0] ^= state_[3];
  state_[2] ^= t;
  state_[3] = Rotl(state_[3], 45);
  return result;
}

double DefaultRandom::Next() {
  return static_cast<double>(NextBits() >> 11) * 0x1.0p-53;
}

}  // namespace brindlet
