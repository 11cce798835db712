// The report's long lists: blocks of huge pages handed out, given back, parked and handed out
// again, never two lists in one block and never a list cut short.
#include "logreport/BigVector.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

namespace {
using logreport::BigVector;

std::uint64_t Sum(const BigVector<std::uint64_t>& list) {
  return std::accumulate(list.begin(), list.end(), std::uint64_t{0});
}

TEST(BigVector, ListsKeepTheirOwnBlocksAsTheyGrowAndAsBlocksComeBack) {
  // Grown one by one from ordinary memory into ever larger blocks, the old ones given back.
  BigVector<std::uint64_t> grown;
  for (std::uint64_t i = 0; i < 3'000'000; ++i) grown.push_back(i);
  EXPECT_EQ(Sum(grown), std::uint64_t{3'000'000} * 2'999'999 / 2);

  // More lists than blocks are parked, of several sizes, alive at once and freed out of order;
  // each new list takes a parked block or a fresh one, and no list shares one.
  std::vector<BigVector<std::uint64_t>> lists;
  std::vector<std::uint64_t> filledWith;
  const auto add = [&](std::size_t size, std::uint64_t value) {
    lists.emplace_back(size, value);
    filledWith.push_back(value);
  };
  for (std::uint64_t n = 1; n <= 7; ++n) add(n * 300'000, n);
  for (const std::size_t i : {5U, 1U, 6U, 2U, 0U}) lists[i] = BigVector<std::uint64_t>();  // given back
  for (std::uint64_t n = 8; n <= 12; ++n) add((n % 5 + 1) * 250'000, n);
  for (std::size_t i = 0; i < lists.size(); ++i) {
    EXPECT_EQ(Sum(lists[i]), lists[i].size() * filledWith[i]) << "list " << i;
  }
  EXPECT_EQ(Sum(grown), std::uint64_t{3'000'000} * 2'999'999 / 2);
}

}  // namespace
