#pragma once
// sway places a floating XWayland window itself, centred, when it maps it and at each change
// of place or size the program asks for, and does not always tell the program where it went;
// it ignores the workspace states of X11 windows too. So after each of the program's own
// changes, and whenever sway reports an event for the window, sway's idea of the window is
// checked a few times and, where it differs, sway is told through its IPC. Moves at any other
// time are the user's, and the new place is kept. Nothing here waits for sway.

#include "platform/sway_client.h"

#include <QJsonObject>
#include <QMargins>
#include <QPoint>
#include <QRect>

#include <functional>
#include <optional>
#include <vector>

class QWidget;

// A window as sway manages it, in device pixels: its own area, and the title bar and borders
// sway draws around it.
struct SwayView {
    QRect client;
    QMargins frame;
    // The frame as sway leaves it: sway 1.10 first shows a new window with a title bar of no
    // height, and draws the bar a moment later.
    bool settled = true;
};

// The X window `window` in a node of sway's tree (or an event's container) or below it.
std::optional<SwayView> FindSwayView(const QJsonObject& node, quint64 window);

class SwayWindows {
public:
    // `timers` must outlive this.
    SwayWindows(const QString& socketPath, TimerFactory& timers);
    ~SwayWindows();
    SwayWindows(const SwayWindows&) = delete;
    SwayWindows& operator=(const SwayWindows&) = delete;

    // The window goes where the program puts it, and stays there; `more` (a command list
    // beginning with a comma) is told sway with each place.
    void keepPlace(QWidget* window, const QString& more = {});
    // The frame sway has settled on for the window; none before sway has shown it.
    std::optional<QMargins> frame(QWidget* window) const;
    // Calls `then` when sway has shown the window and settled its frame, and again when sway
    // changes the frame within two seconds of the call; never when sway does not show the window
    // within them.
    void whenFrameKnown(QWidget* window, std::function<void(const QMargins&)> then);
    // The user's drag starts from `topLeft`: sway is told the place, and the moves that follow
    // are the user's. False when the window's place is not kept.
    bool userMovesFrom(QWidget* window, const QPoint& topLeft);

private:
    class Placement;
    Placement* placementOf(QWidget* window) const;
    Placement* watch(QWidget* window);
    void windowEvent(const QByteArray& payload);

    TimerFactory& m_timers;
    SwayClient m_requests;
    SwayClient m_events; // events on a connection of their own, apart from the answers
    std::vector<Placement*> m_placements;
};
