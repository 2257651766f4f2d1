// The engine's pseudo-random source: one generator for the process, seeded by randomize().
#include "random.h"

#include <chrono>
#include <cstdint>
#include <random>

namespace {
std::mt19937& generator() {
  static std::mt19937 engine(5489u);
  return engine;
}
bool fixedSeedSet = false;
unsigned fixedSeed = 0;
unsigned seedCalls = 0;
}  // namespace

int random(int n) {
  if (n <= 0) return 0;
  return static_cast<int>(generator()() % static_cast<std::uint32_t>(n));
}

// The clock in seconds alone would give every call within one second the same sequence, so a
// start-up that retries a random configuration would retry the same one; a call counter is mixed in.
void randomize() {
  const unsigned call = seedCalls++;
  if (fixedSeedSet) {
    generator().seed(fixedSeed + call);
    return;
  }
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto ticks = static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
  std::seed_seq seq{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32), call};
  generator().seed(seq);
}

void set_fixed_random_seed(unsigned seed) {
  fixedSeedSet = true;
  fixedSeed = seed;
  seedCalls = 0;
}

void clear_fixed_random_seed() { fixedSeedSet = false; }
