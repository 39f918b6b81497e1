// rand_block, the block form of the kernel library's generator: the same
// values as that many rand() calls, the generator left where they would leave
// it, on every instruction-set path, and whole blocks for concurrent callers.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/nt/ntddk.h"
#include "platform/nt/platform_control.h"

namespace {

std::vector<int> RandCalls(unsigned seed, size_t count) {
  srand(seed);
  std::vector<int> v(count);
  for (int& x : v) x = rand();
  return v;
}

// Runs the body once per path of rand_block (plain, SSE4.1, AVX2; a path
// the processor lacks falls back to a lower one), restoring the default.
template <typename Body>
void ForEachPath(Body body) {
  for (int level = 0; level <= 2; ++level) {
    SCOPED_TRACE(testing::Message() << "path " << level);
    platform::SetRandBlockCeiling(level);
    body();
  }
  platform::SetRandBlockCeiling(2);
}

const unsigned kSeeds[] = {1u, 0u, 7u, 0xFFFFFFFFu, 0x80000000u, 123456789u};
const ULONG kCounts[] = {0, 1, 2, 7, 8, 9, 15, 16, 17, 31, 32, 33, 47, 63, 64, 65, 100, 255, 256, 257, 1000, 4099};

TEST(RandBlock, EqualsRandCallsAndLeavesTheGeneratorWhereTheyWould) {
  ForEachPath([] {
    for (unsigned seed : kSeeds)
      for (ULONG count : kCounts) {
        const std::vector<int> expected = RandCalls(seed, count + 3);
        // Guard words on both sides catch a write outside the block.
        std::vector<USHORT> got(count + 2, 0xBEEF);
        srand(seed);
        rand_block(got.data() + 1, count);
        EXPECT_EQ(got.front(), 0xBEEF) << seed << " " << count;
        EXPECT_EQ(got.back(), 0xBEEF) << seed << " " << count;
        for (ULONG i = 0; i < count; ++i)
          ASSERT_EQ(got[i + 1], expected[i]) << "seed " << seed << " count " << count << " at " << i;
        EXPECT_EQ(rand(), expected[count]) << seed << " " << count;
        EXPECT_EQ(rand(), expected[count + 1]) << seed << " " << count;
      }
  });
}

TEST(RandBlock, InterleavedWithRandContinuesOneSequence) {
  ForEachPath([] {
    const std::vector<int> expected = RandCalls(42, 20000);
    srand(42);
    std::vector<int> got;
    USHORT block[1100];
    // Block sizes that leave every lane offset behind, with single draws
    // between them.
    const ULONG sizes[] = {5, 0, 64, 1, 33, 1024, 7, 96, 31, 1100, 2, 250};
    for (int round = 0; got.size() + 1100 + 3 < expected.size(); ++round) {
      const ULONG n = sizes[round % 12];
      rand_block(block, n);
      got.insert(got.end(), block, block + n);
      for (int k = 0; k < round % 3; ++k) got.push_back(rand());
    }
    ASSERT_LE(got.size(), expected.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin()));
    EXPECT_EQ(rand(), expected[got.size()]);
  });
}

// rand_claim hands out the seed before its run and moves the generator past
// it: stepping that seed gives the run's values, rand() then the next one,
// and claims of nothing leave the generator alone.
TEST(RandClaim, ReturnsTheSeedBeforeTheClaimedRun) {
  for (unsigned seed : kSeeds)
    for (ULONG count : {0u, 1u, 2u, 31u, 4099u, 614400u}) {
      const std::vector<int> expected = RandCalls(seed, count + 1);
      srand(seed);
      uint32_t s = rand_claim(count);
      EXPECT_EQ(s, seed);
      EXPECT_EQ(rand(), expected[count]) << seed << " " << count;
      for (ULONG i = 0; i < count; ++i) {
        s = s * 214013u + 2531011u;
        ASSERT_EQ(int((s >> 16) & 0x7FFF), expected[i]) << "seed " << seed << " count " << count << " at " << i;
      }
    }
}

// Threads drawing blocks and single values at the same time together get
// exactly the sequence's first values, each block one unbroken run of it, no
// two blocks sharing a position.
TEST(RandBlock, ConcurrentCallersShareTheSequenceWithoutOverlap) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 300;
  const ULONG sizes[] = {1, 9, 40, 256, 17, 3};
  std::mutex lock;
  std::vector<std::vector<USHORT>> blocks;
  std::vector<int> singles;
  size_t total = 0;
  srand(2024);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      std::vector<std::vector<USHORT>> mine;
      std::vector<int> mySingles;
      for (int r = 0; r < kRounds; ++r) {
        const ULONG n = sizes[(r + t) % 6];
        std::vector<USHORT> b(n);
        rand_block(b.data(), n);
        mine.push_back(std::move(b));
        if (r % 4 == t) mySingles.push_back(rand());
      }
      std::lock_guard<std::mutex> guard(lock);
      for (auto& b : mine) {
        total += b.size();
        blocks.push_back(std::move(b));
      }
      total += mySingles.size();
      singles.insert(singles.end(), mySingles.begin(), mySingles.end());
    });
  for (auto& th : threads) th.join();
  const int next = rand();

  const std::vector<int> expected = RandCalls(2024, total + 1);
  std::multiset<int> want(expected.begin(), expected.end() - 1), got(singles.begin(), singles.end());
  for (const auto& b : blocks) got.insert(b.begin(), b.end());
  EXPECT_EQ(got, want);

  // Place every block of 9 values or more (long enough to be found in one
  // place only) and check that no two claim the same position.
  std::vector<bool> used(total, false);
  for (const auto& b : blocks) {
    if (b.size() < 9) continue;
    auto at = std::search(expected.begin(), expected.end() - 1, b.begin(), b.end(),
                          [](int e, USHORT v) { return e == int(v); });
    ASSERT_NE(at, expected.end() - 1) << "a block of " << b.size() << " is not a run of the sequence";
    const size_t pos = size_t(at - expected.begin());
    for (size_t i = pos; i < pos + b.size(); ++i) {
      ASSERT_FALSE(used[i]) << "position " << i << " handed out twice";
      used[i] = true;
    }
  }
  // The generator stands right after all the draws.
  EXPECT_EQ(next, expected[total]);
}

}  // namespace
