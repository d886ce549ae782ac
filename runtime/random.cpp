#include "runtime/random.h"

#include <bit>

namespace {

constexpr std::uint64_t kMultiplier = 6364136223846793005ULL;

// SplitMix64 finaliser: spreads the seed's bits over the whole state.
std::uint64_t Mix(std::uint64_t z) {
  z += 0x9E3779B97F4A7C15ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

}  // namespace

RandomGenerator::RandomGenerator() { Seed(0.0); }

void RandomGenerator::Seed(double seed) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(seed);
  SeedStream(Mix(bits), Mix(bits ^ 0xDA3E39CB94B95BDBULL));
}

void RandomGenerator::SeedStream(std::uint64_t initState, std::uint64_t stream) {
  // The stream selector must be odd.
  increment_ = (stream << 1) | 1u;
  state_ = 0;
  NextBits();
  state_ += initState;
  NextBits();
}

std::uint32_t RandomGenerator::NextBits() {
  const std::uint64_t old = state_;
  state_ = old * kMultiplier + increment_;
  const auto xorshifted = static_cast<std::uint32_t>(((old >> 18u) ^ old) >> 27u);
  const auto rot = static_cast<unsigned>(old >> 59u);
  return std::rotr(xorshifted, static_cast<int>(rot));
}

float RandomGenerator::Next() {
  // The top 24 bits: exactly the float mantissa's reach below 1.
  return static_cast<float>(NextBits() >> 8) * 0x1.0p-24f;
}
