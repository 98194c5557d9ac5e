#pragma once
// Form1: the one floating window. A frameless logo (Image2) near the lower right of the screen,
// the nine exercise players (AniGif) to its right, and the waiting and display timers of the
// exercise cycle. Loading it starts the program; unloading it ends the program.
//
// All geometry is kept in twips, exactly as set; the window system sees it rounded to pixels.
// Every size change made by code goes through SetWidth/SetHeight, which run the size check
// (Form_Resize) synchronously, nested, before returning.

#include "core/ani_gif_player.h"
#include "core/form1_procedures.h"
#include "core/module1.h"
#include "platform/timers.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QStringList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class LogoImage;
class QWindow;
namespace KeyboardFocus {
class FocusGuide;
}
class SingleInstanceLock;

// What the floating window is given when it is made: main() passes the real world, a test its
// own folder, clock and screen. Nothing of it is global.
struct FloatingWindowEnvironment {
    explicit FloatingWindowEnvironment(TimerFactory& timers) : timers(timers) {}
    TimerFactory& timers;
    // Where the pictures, animations and LOGO2.DAT are.
    QString applicationFolder;
    // The single-instance lock's places (see SingleInstanceLock).
    QStringList lockPaths;
    QStringList lockExtraPaths;
    // How unloading ends the program; empty = leave the application's event loops.
    std::function<void()> endProgram;
    // The screen the window is placed on; empty = the real primary screen.
    std::function<ScreenMetrics()> screen;
    // Every monitor's area in pixels, the primary's among them; empty = the real ones.
    std::function<QList<QRect>()> monitors;
    // The window manager's move (false = refused); empty = the real one.
    std::function<bool(QWindow*)> systemMove;
    // Start-up step 11, and the removal of what interrupted saves left before it.
    std::function<void()> loadSettings;
    std::function<void()> removeLeftoverFiles;
    // Once a refused second start's message is dismissed: gives the running logo the focus.
    std::function<void()> activateRunningInstance;
};

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(FloatingWindowEnvironment environment, QWidget* parent = nullptr);
    ~Form1() override;

    // The start sequence. Returns false when another instance runs (its box has been shown and
    // this process is to end); a failure in a later step is reported and true is returned.
    bool Form_Load();

    // Window geometry in twips. Set* runs the size check synchronously when the size changes.
    double Width() const { return m_widthTwips; }
    void SetWidth(double twips);
    double Height() const { return m_heightTwips; }
    void SetHeight(double twips);

    // The logo picture's size in twips (stretched over the window by the size check).
    double Image2Width() const { return m_image2Width; }
    double Image2Height() const { return m_image2Height; }

    Timer& Timer1(int i) { return *m_timer1[i]; }
    Timer& Timer2(int i) { return *m_timer2[i]; }
    AniGifPlayer& AniGif(int i) { return *m_aniGif[i]; }

    // Exercises on display (0..3) and the width of logo plus displayed animations, in twips.
    std::int16_t ShownCount() const { return m_shownCount; }
    std::int16_t ContentWidth() const { return m_contentWidth; }

    // The exercises whose display timer runs, in exercise order.
    std::vector<int> DisplaysInProgress();
    // Ends these displays: their ShowTicks to 0 and display timers off, the row packed again,
    // ShownCount lowered and the window as wide as the row, the size check held off meanwhile.
    void EndDisplays(const std::vector<int>& exercises);

    // The exercise cycle's handlers (connected to the timers).
    void Timer1_Timer(int index);
    void Timer2_Timer(int index);

    // The size check; public so the window system path and tests reach the same code.
    void Form_Resize();

    // Moves the window with the mouse: the window manager's move when it offers one, else a
    // manual move that follows the pointer until the left button is released.
    void FormDrag();

    // Run after the monitors have changed: a logo that they no longer show whole goes back to
    // its start-up place on the primary monitor.
    void KeepOnScreen();

    // Gives the logo the keyboard focus back when no other window of the program is open.
    void ReturnFocusToLogo();

    // Unloads the window: every window closes and the program ends.
    void Unload();

    struct Hooks {
        // Start-up step 6 clears the Back/Front check mark (loads the configuration window).
        std::function<void(bool checked)> setBackFrontMark;
        // Right button alone pressed on the logo; the position is global, in pixels.
        std::function<void(QPoint globalPos)> popupMenu;
        // Double-click on the logo, after ResetExerciseTimers(): show the configuration window.
        std::function<void()> doubleClick;
    } hooks;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    friend class LogoImage;
    void applyGeometry();
    void showLogoAndNames();
    void setSizeTwips(double width, double height);
    void logoDoubleClicked();
    // Shows the exercise's message on its player and tells screen readers it is due.
    void announceExercise(int index);
    // Packs the animations whose display timer is enabled against the logo, in exercise order,
    // hides the others, and sets ContentWidth. Does not touch the window's width.
    void LayOutRow();

    FloatingWindowEnvironment m_env;
    FloatingWindowParts m_parts; // what the shared procedures act on
    std::array<std::unique_ptr<Timer>, Module1::ExerciseCount> m_timer1;
    std::array<std::unique_ptr<Timer>, Module1::ExerciseCount> m_timer2;
    std::array<AniGifPlayer*, Module1::ExerciseCount> m_aniGif{};
    LogoImage* m_image2 = nullptr;
    std::unique_ptr<SingleInstanceLock> m_instanceLock;
    std::unique_ptr<KeyboardFocus::FocusGuide> m_focusGuide;

    double m_widthTwips = 0;
    double m_heightTwips = 0;
    double m_image2Width = 1305;
    double m_image2Height = 555;
    std::int16_t m_shownCount = 0;
    std::int16_t m_contentWidth = 0;
    bool m_unloading = false;
};
