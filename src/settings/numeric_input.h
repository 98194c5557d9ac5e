#pragma once
// Input rules of the Frequency and Timing boxes of the configuration window: the key filter,
// the number reader shared by the value check and the save, and the value check itself.

#include <QString>
#include <cstdint>
#include <optional>

// Reads the number a box holds. Blanks (space, tab, line feed) are skipped wherever they
// stand; then an optional sign, digits with at most one decimal point and an optional
// exponent (E, optional sign, digits). Reading stops at the first character that cannot
// continue the number; a text that does not start with one reads as 0. A number too large
// for a double reads as an infinity of its sign, so the checks refuse it.
double NumericValue(const QString& text);

// The key filter: 0 (discard) for codes 33..125 that are not digits, the code otherwise.
// Control codes, the space, the tilde and everything above pass.
std::int16_t SaisieNumerique(std::int16_t keyAscii);

namespace NumericInput {

// The largest value a box accepts; anything above it empties the box.
constexpr double Limit = 32767.0;

// True when the value check must refuse the text (its value is above the limit).
bool ExceedsLimit(const QString& text);

// The 16-bit value saving stores for the text, rounded halves to even; nothing when the value
// lies outside -32768..32767 (a pasted "-40000").
std::optional<std::int16_t> StoredValue(const QString& text);

// The filter applied to a run of typed characters: the characters that pass, in order.
QString FilterTyped(const QString& typed);

// How a number shows in a box: one space where the sign would go, a minus sign otherwise.
QString FormatStored(std::int16_t value);

} // namespace NumericInput

// What the numbers of the configuration window mean, in words, for the tooltips: a Frequency
// counts 10-second waiting periods, a Timing 0.3-second display periods.
namespace NumberMeaning {

// A duration in tenths of a second, in words: "45 minutes", "1 hour 30 minutes", "5.4 seconds".
QString Duration(qint64 tenths);

// "Frequency: how many 10-second periods pass between two showings; 270 = every 45 minutes;
// 0 = never" for the value the text holds.
QString Frequency(const QString& text);

// "Timing: how many 0.3-second periods each animation stays on display; 18 = 5.4 seconds;
// 0 = never shown" for the value the text holds.
QString Timing(const QString& text);

} // namespace NumberMeaning
