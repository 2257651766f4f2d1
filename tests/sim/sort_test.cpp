// The index heapsort: the order it gives, including the order of equal keys the step and the
// painter rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine_test.h"

namespace {

// Sorts keys (given from position 1) and returns order[1..n].
std::vector<int> Sorted(sim3d& engine, std::vector<float> keys) {
  const int n = static_cast<int>(keys.size());
  keys.insert(keys.begin(), -99.0f);  // position 0 is not used
  std::vector<int> order(keys.size(), -7);
  engine.sortier(n, keys.data(), order.data());
  EXPECT_EQ(order[0], -7) << "position 0 written";
  return std::vector<int>(order.begin() + 1, order.end());
}

using Order = std::vector<int>;

}  // namespace

TEST_F(EngineTest, SortGivesTheHeapsortOrderIncludingEqualKeys) {
  auto engine = MakeEngine();
  EXPECT_EQ(Sorted(*engine, {7.0f}), Order({1}));
  EXPECT_EQ(Sorted(*engine, {3.0f, 1.0f, 2.0f}), Order({2, 3, 1}));
  EXPECT_EQ(Sorted(*engine, {1, 2, 3, 4}), Order({1, 2, 3, 4}));
  EXPECT_EQ(Sorted(*engine, {4, 3, 2, 1}), Order({4, 3, 2, 1}));
  // Equal keys: the step resolves order[n], so of two equal contact times the one recorded first.
  EXPECT_EQ(Sorted(*engine, {5, 5}), Order({2, 1}));
  EXPECT_EQ(Sorted(*engine, {5, 5, 5}), Order({2, 3, 1}));
  EXPECT_EQ(Sorted(*engine, std::vector<float>(9, 5.0f)), Order({2, 3, 4, 5, 6, 7, 8, 9, 1}));
}

TEST_F(EngineTest, SortOrdersAnyKeysAscendingAndCountsNotANumberAsSmaller) {
  auto engine = MakeEngine();
  for (int n = 2; n <= 36; ++n) {
    std::vector<float> keys;
    for (int k = 0; k < n; ++k) keys.push_back(static_cast<float>((k * 7919) % 13) / 4.0f);
    const Order order = Sorted(*engine, keys);
    Order seen = order;
    std::sort(seen.begin(), seen.end());
    for (int k = 0; k < n; ++k) ASSERT_EQ(seen[k], k + 1);
    for (int k = 1; k < n; ++k) ASSERT_LE(keys[order[k - 1] - 1], keys[order[k] - 1]) << "n = " << n;
  }
  const Order withNan = Sorted(*engine, {2.0f, std::nanf(""), 1.0f});
  EXPECT_EQ(withNan.back(), 1);
  EXPECT_EQ(withNan.front() + withNan[1], 5);
}
