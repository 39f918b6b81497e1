// The generator of the relief texture table committed in
// driver/imaging/relief_texture.cpp. It ran once to make that table; the
// test beside it checks that the committed data still equals its output, so
// the table can be remade and reviewed, never hand-edited.
//
// How the 64 x 64 texture is made:
//  1. A fixed 32-bit linear congruential generator (seed 0x51C0FFEE) draws
//     every random number, so the output never depends on the C library.
//  2. Each row gets its own base level, drawn evenly in -44 ... 44. Along
//     the row a mean-reverting random walk wanders around that level: each
//     step adds a value in -19 ... 19 and pulls one eighth of the way back to
//     the base. Rows are independent of each other, columns are a walk: that
//     gives the horizontal grain (neighbouring rows differ far more than
//     neighbouring columns).
//  3. The first row starts with the sixteen fixed values of kFirstRow and
//     the last row with the eight of kLastRow (the texture's known corners);
//     their walks continue from the last fixed value.
//  4. Every other cell is shifted so that the whole table has a mean of 0
//     (rounded), then clamped to -72 ... 74, and the lowest and highest free
//     cells are set to -72 and 74 so the table spans the whole range.
#pragma once

#include <cstdint>
#include <cstdlib>

namespace relief_gen {

constexpr int kSize = 64;
constexpr int kFirstRow[16] = {-21, -31, -34, -24, -23, -23, -34, -34, -36, -23, -2, -8, -14, -32, -38, -31};
constexpr int kLastRow[8] = {28, 28, 23, 21, 39, 36, 41, 31};
constexpr int kMin = -72;
constexpr int kMax = 74;

struct Lcg {
  uint32_t state;
  // A value in lo ... hi (inclusive).
  int Next(int lo, int hi) {
    state = state * 1664525u + 1013904223u;
    return lo + int((state >> 8) % uint32_t(hi - lo + 1));
  }
};

inline bool IsFixed(int row, int col) {
  return (row == 0 && col < 16) || (row == kSize - 1 && col < 8);
}

inline void Generate(int8_t out[kSize * kSize]) {
  int t[kSize][kSize];
  Lcg rng{0x51C0FFEEu};
  for (int y = 0; y < kSize; ++y) {
    const int base = rng.Next(-44, 44);
    int v = base + rng.Next(-19, 19);
    for (int x = 0; x < kSize; ++x) {
      if (y == 0 && x < 16) {
        v = kFirstRow[x];
      } else if (y == kSize - 1 && x < 8) {
        v = kLastRow[x];
      } else if (x > 0) {
        v = v + rng.Next(-19, 19) - (v - base) / 8;
      }
      t[y][x] = v;
    }
  }
  // Centre the free cells so the table's mean is about 0.
  long sum = 0;
  int freeCells = 0;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      sum += t[y][x];
      if (!IsFixed(y, x)) ++freeCells;
    }
  const long shift = (sum >= 0 ? sum + freeCells / 2 : sum - freeCells / 2) / freeCells;
  int minY = -1, minX = -1, maxY = -1, maxX = -1;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      if (IsFixed(y, x)) continue;
      int v = int(t[y][x] - shift);
      v = v < kMin ? kMin : (v > kMax ? kMax : v);
      t[y][x] = v;
      if (minY < 0 || v < t[minY][minX]) minY = y, minX = x;
      if (maxY < 0 || v > t[maxY][maxX]) maxY = y, maxX = x;
    }
  t[minY][minX] = kMin;
  t[maxY][maxX] = kMax;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) out[y * kSize + x] = int8_t(t[y][x]);
}

// Statistics the texture must meet.
struct Stats {
  int min = 0, max = 0;
  double mean = 0;
  double rowDiff = 0;  // mean |T(x, y+1) - T(x, y)|
  double colDiff = 0;  // mean |T(x+1, y) - T(x, y)|
};

inline Stats Measure(const int8_t* t) {
  Stats s;
  s.min = s.max = t[0];
  long sum = 0, rd = 0, cd = 0;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const int v = t[y * kSize + x];
      sum += v;
      if (v < s.min) s.min = v;
      if (v > s.max) s.max = v;
      if (y + 1 < kSize) rd += std::abs(t[(y + 1) * kSize + x] - v);
      if (x + 1 < kSize) cd += std::abs(t[y * kSize + x + 1] - v);
    }
  s.mean = double(sum) / (kSize * kSize);
  s.rowDiff = double(rd) / (kSize * (kSize - 1));
  s.colDiff = double(cd) / (kSize * (kSize - 1));
  return s;
}

}  // namespace relief_gen
