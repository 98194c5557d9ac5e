#include "form1_procedures.h"

#include "core/ani_gif_player.h"
#include "core/module1.h"
#include "platform/int16.h"
#include "platform/timers.h"
#include "platform/twips.h"
#include "platform/window_stacking.h"

#include <QWidget>

namespace {
const FloatingWindowParts* g_window = nullptr;

std::int16_t toPixels16(double twips, double divisor) { return Int16::FromDouble(twips / divisor); }
} // namespace

void RegisterFloatingWindow(const FloatingWindowParts* parts) { g_window = parts; }

void UnregisterFloatingWindow(const FloatingWindowParts* parts) {
    if (g_window == parts)
        g_window = nullptr;
}

ScreenMetrics PrimaryScreenMetrics() {
    return {Twips::ScreenWidth(),    Twips::ScreenHeight(), Twips::TwipsPerPixelX(),
            Twips::TwipsPerPixelY(), Twips::ScreenLeft(),   Twips::ScreenTop()};
}

ScreenMetrics CurrentScreenMetrics() {
    return g_window ? g_window->screen() : PrimaryScreenMetrics();
}

static void twipsToPixels(const ScreenMetrics& m, std::int16_t& x, std::int16_t& y) {
    x = toPixels16(x, m.twipsPerPixelX);
    y = toPixels16(y, Int16::RoundHalfEven(m.twipsPerPixelY));
}

void TwipsToPixels(std::int16_t& x, std::int16_t& y) {
    twipsToPixels(CurrentScreenMetrics(), x, y);
}

static void twipsToPixels32(const ScreenMetrics& m, std::int32_t& x, std::int32_t& y) {
    x = Int16::ToInt32(x / m.twipsPerPixelX);
    y = Int16::ToInt32(y / Int16::RoundHalfEven(m.twipsPerPixelY));
}

MainWindowPlacement ComputeMainWindowPlacement(const ScreenMetrics& screen, double formWidthTwips,
                                               double formHeightTwips) {
    // A 4K screen is more than 32767 twips wide: its size is taken in 32 bits. The window's
    // own size keeps the 16-bit rule; no window of this program comes near it.
    std::int32_t sw = Int16::ToInt32(screen.widthTwips);
    std::int32_t sh = Int16::ToInt32(screen.heightTwips);
    twipsToPixels32(screen, sw, sh);
    std::int16_t w = Int16::FromDouble(formWidthTwips);
    std::int16_t h = Int16::FromDouble(formHeightTwips);
    twipsToPixels(screen, w, h);
    // Counted from the primary monitor's corner, which maps back to its pixel exactly.
    MainWindowPlacement p;
    p.x = Int16::ToInt32(screen.leftTwips / screen.twipsPerPixelX) + Int16::ToInt32(0.7 * sw);
    p.y = Int16::ToInt32(screen.topTwips / screen.twipsPerPixelY) + Int16::ToInt32(0.88 * sh);
    p.width = w;
    p.height = h;
    return p;
}

void PositionMainWindow() {
    if (!g_window)
        return;
    const QSizeF size = g_window->sizeTwips();
    const MainWindowPlacement p =
        ComputeMainWindowPlacement(g_window->screen(), size.width(), size.height());
    g_window->window->move(p.x, p.y);
    // Shown with normal stacking at once. Start-up gives it normal stacking in the next steps
    // anyway; raising it above all for that moment made the window manager restack it twice
    // while mapping it, a sixth of the start-up time.
    g_window->window->show(); // without activation (WA_ShowWithoutActivating)
}

void SetWindowZOrder(QWidget* window, bool topmost) { SetStaysOnTop(window, topmost); }

bool IsTopmost(QWidget* window) { return StaysOnTop(window); }

void LoadAnimations() {
    if (!g_window)
        return;
    using namespace Module1;
    for (int i = 0; i < ExerciseCount; ++i) {
        AniGifPlayer& player = *g_window->players[i];
        player.SetVisible(false);
        const int row = i + AnimationRowOffset;
        const bool inTable = row >= 0 && row < AnimationRows && AnimationColumn >= 0 &&
                             AnimationColumn < AnimationColumns;
        player.SetFileName(inTable ? AnimationTable[row][AnimationColumn] : QString());
    }
}

void ResetExerciseTimers() {
    if (!g_window)
        return;
    for (int i = 0; i < Module1::ExerciseCount; ++i) {
        g_window->waitingTimers[i]->setEnabled(false);
        Module1::WaitTicks[i] = 0;
        Module1::ShowTicks[i] = 0;
    }
    g_window->narrowToLogo();
}

void StartExerciseTimers() {
    if (!g_window)
        return;
    for (Timer* timer : g_window->waitingTimers)
        timer->setEnabled(true);
}

SizeCheckResult SizeCheckRow(int h, int w) {
    if (h >= 405 && h <= 1350 && w >= 979 && w <= 3262)
        return {h, w, true, 0};
    if (h >= 405 && w >= 979)
        return {1350, 3263, false, 1350};
    return {405, 978, false, 405};
}
