#pragma once
// 16-bit whole-number rules used throughout the program: every counter, size taken as an
// integer and number in LOGO2.DAT is a signed 16-bit value. Conversions from a fraction round
// to the nearest integer with ties going to the even neighbour; anything outside
// -32768..32767 is an overflow failure.

#include <cstdint>

namespace Int16 {

constexpr int Min = -32768;
constexpr int Max = 32767;

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double RoundHalfEven(double value);

// Rounds, then checks the 16-bit range; throws Failure(Overflow) outside it or for NaN.
std::int16_t FromDouble(double value);

// Integer arithmetic that fails the way the 16-bit rules say instead of wrapping.
std::int16_t Add(int a, int b);

// The same rounding into 32 bits (used for window coordinates).
std::int32_t ToInt32(double value);

// Saturating increment for counters that must never end the program by overflowing.
std::int16_t IncrementSaturating(std::int16_t value);

} // namespace Int16
