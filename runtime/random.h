// The runtime's uniform pseudo-random generator (PCG32, XSH-RR variant).
//
// Deterministic for a seed: the same seed always gives the same sequence, on
// every host. Hosts hold one and serve Runtime::Randomize and Runtime::Rnd
// from it.
#pragma once

#include <cstdint>

class RandomGenerator {
 public:
  // Starts as if seeded with 0.
  RandomGenerator();

  // Re-seeds from any number (time of day, say); every bit of the double's
  // representation takes part, so nearby seeds give unrelated sequences.
  void Seed(double seed);

  // Seeds the generator's state and stream directly, as the reference PCG32
  // seeding does (pcg32_srandom).
  void SeedStream(std::uint64_t initState, std::uint64_t stream);

  // The next value, uniform over the 2^24 multiples of 2^-24 in [0, 1): each
  // is exactly representable in single precision, so 1 is never reached.
  float Next();

  // The next raw 32-bit output.
  std::uint32_t NextBits();

 private:
  std::uint64_t state_ = 0;
  std::uint64_t increment_ = 1;
};
