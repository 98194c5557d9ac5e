#pragma once
// Reading what the user typed into the statistics window: the chosen activity and the minutes.
// Both boxes are free text, so anything that is not a valid entry is reported as refused
// rather than turned into a record number or a figure.

#include "core/module1.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace StatisticsEntry {

// The nine activity texts: the combo box items and the row captions, in exercise order.
inline constexpr const char* ActivityTexts[Module1::ExerciseCount] = {
    "1. Edging",      "2. Palming",   "3. Blinking",       "4. Looking",    "5. Walking",
    "6. Calculating", "7. Breathing", "8. Doing the wave", "9. Making 'X's"};

// The record number 1..9 named by the first character of the activity text, whatever follows
// it ("4 anything" is activity 4). 0 when the text does not start with a digit 1 to 9.
int ActivityNumber(const QString& activityText);

// The minutes box as a signed 16-bit whole number: optional blanks around, an optional sign,
// digits with an optional decimal point; fractions round to the nearest, halves to the even
// neighbour (2.5 -> 2, 3.5 -> 4). Empty when the text is not such a number or the rounded value
// lies outside -32768..32767.
std::optional<std::int16_t> ConvertMinutes(const QString& text);

// The total after adding an entry, or empty when it would leave -32768..32767.
std::optional<std::int16_t> AddToTotal(std::int16_t total, std::int16_t minutes);

} // namespace StatisticsEntry
