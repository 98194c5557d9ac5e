#pragma once
// Module1: the state shared by every window for the whole life of the process, the exercise
// index with its names and the animation table. Its record-file part (the settings loader)
// lives with the file layer, in settings/module1_settings.h.

#include <QString>
#include <array>
#include <cstdint>

namespace Module1 {

constexpr int ExerciseCount = 9;
using ExerciseTable = std::array<std::int16_t, ExerciseCount>;

// Exercise index 0..8; exercise i owns record i + 1 of LOGO2.DAT.
inline constexpr const char* ExerciseNames[ExerciseCount] = {
    "Edging",      "Palming",   "Blinking",       "Looking",    "Walking",
    "Calculating", "Breathing", "Doing the wave", "Making 'X's"};
inline constexpr const char* AnimationBaseNames[ExerciseCount] = {
    "Piment", "Palm", "Blink", "Oeil", "Legs", "Calcul", "Poumons", "Vague", "XAnim"};
// The message each exercise starts with: in the configuration window while LOGO2.DAT is
// unread, and in a new user's file.
inline constexpr const char* BuiltInMessages[ExerciseCount] = {
    "Edge the contour of the monitor with your eyes",
    "Rub your hands, cross them and cover your eyes",
    "Blink delicately and normally very often",
    "Look as far away from your computer as possible",
    "Walk away from the computer as often as possible",
    "Inscribe the time spent learning each technique",
    "Breathe very deeply and relax",
    "Your eyes imitate the movement of the waves",
    "Look diagonally at square and rectangular shapes"};

extern ExerciseTable ExerciseFrequency;
extern ExerciseTable ExerciseTiming;
extern ExerciseTable ExerciseTotalMinutes;
extern ExerciseTable ExerciseLastMinutes;
// Each record's Message, trimmed: what a screen reader says as the exercise appears.
extern std::array<QString, ExerciseCount> ExerciseMessage;
extern ExerciseTable WaitTicks;
extern ExerciseTable ShowTicks;

constexpr int AnimationRows = 18;
constexpr int AnimationColumns = 2;
// Rows 0..8 small pictures, 9..17 big ones; column 0 grey, column 1 colour.
extern QString AnimationTable[AnimationRows][AnimationColumns];
extern std::int32_t AnimationColumn;
extern std::int32_t AnimationRowOffset;

extern bool ResizeByUser;

// The program's folder: where its pictures, animations and LOGO2.DAT are. Set from what the
// floating window is given when it is made.
extern QString ApplicationFolder;

// The stored name of an animation file, with its leading backslash as it is kept.
QString StoredAnimationName(int row, int column);

// Fills the 36 entries: the application folder followed by each stored name, whose leading
// backslash becomes "/" (a folder ending in "/" thus gives a doubled, harmless separator).
void BuildAnimationTable();

// An exercise is shown only with a positive frequency and timing. Negative values can reach
// the file (a pasted "-5"); they would mean a display that never ends, so they count as off.
bool IsExerciseActive(int index);

// Puts every variable back to its initial value (tests).
void ResetState();

} // namespace Module1
