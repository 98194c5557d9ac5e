#pragma once
// The shared procedures of the floating window: placement, stacking, pixel conversion and the
// loading, stopping and restarting of the exercise players and waiting timers. They act on the
// parts that the live floating window registers, and do nothing when there is none.

#include "core/module1.h"

#include <QSizeF>
#include <array>
#include <cstdint>
#include <functional>

class AniGifPlayer;
class QWidget;
class Timer;

// The screen as the procedures below see it: the primary monitor, wherever it lies in the
// virtual desktop.
struct ScreenMetrics {
    double widthTwips = 0;
    double heightTwips = 0;
    double twipsPerPixelX = 15;
    double twipsPerPixelY = 15;
    double leftTwips = 0;
    double topTwips = 0;
};
// The real primary screen.
ScreenMetrics PrimaryScreenMetrics();
// The live floating window's screen, else the real primary screen.
ScreenMetrics CurrentScreenMetrics();

// What the procedures need of the floating window, and no more. The window registers its parts
// while it lives; the last one registered is the one acted on.
struct FloatingWindowParts {
    QWidget* window = nullptr;
    std::array<AniGifPlayer*, Module1::ExerciseCount> players{};
    std::array<Timer*, Module1::ExerciseCount> waitingTimers{};
    std::function<QSizeF()> sizeTwips;
    std::function<void()> narrowToLogo;
    std::function<ScreenMetrics()> screen;
};
void RegisterFloatingWindow(const FloatingWindowParts* parts);
void UnregisterFloatingWindow(const FloatingWindowParts* parts);

// Twips to pixels in place, rounded half to even, 16-bit (throws Failure(Overflow) outside).
// The horizontal divisor is used as it is; the vertical one is first rounded to a whole number.
void TwipsToPixels(std::int16_t& x, std::int16_t& y);

// Shows the floating window without activating it, its top left corner at 70 % / 88 % of the
// primary screen (counted from that screen's own corner), in front of other windows (start-up then
// gives it normal stacking).
void PositionMainWindow();

// Switches a window between staying on top and normal stacking, without moving, resizing,
// hiding or activating it.
void SetWindowZOrder(QWidget* window, bool topmost);
bool IsTopmost(QWidget* window);

// Hides every player and gives it its animation file again (restarting it).
void LoadAnimations();
// Stops the waiting timers, clears WaitTicks and ShowTicks, narrows the window to the logo.
void ResetExerciseTimers();
// Enables the nine waiting timers again.
void StartExerciseTimers();

// The top left corner PositionMainWindow gives, in pixels, for the given screen metrics.
struct MainWindowPlacement {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int16_t width = 0;
    std::int16_t height = 0;
};
MainWindowPlacement ComputeMainWindowPlacement(const ScreenMetrics& screen, double formWidthTwips,
                                               double formHeightTwips);

// One row of the size check: what the logo and the window become for a window of H x W twips.
struct SizeCheckResult {
    int logoHeight = 0;
    int logoWidth = 0;
    bool windowHeightUnchanged = true;
    int windowHeight = 0; // when not unchanged
};
SizeCheckResult SizeCheckRow(int heightTwips, int widthTwips);
