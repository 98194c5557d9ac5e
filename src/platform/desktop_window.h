#pragma once
// How the program's windows present themselves to the desktop's window manager. Under X11
// this is the one place that knows the window-manager properties (EWMH, ICCCM, Motif); on any
// other platform (offscreen tests, no window manager) every call does nothing and no frame is
// known.

#include <QMargins>
#include <QPoint>
#include <functional>
#include <optional>

class QWidget;

namespace DesktopWindow {

// The floating reminder is not a task: no caption, no taskbar, pager or window-switcher
// entry, no call for attention, and it stays on every workspace; under sway also at the place
// the program gives it.
void MakeFloating(QWidget* window);

// A window of fixed size: no minimise, maximise or resize offered by the window manager.
void MakeFixed(QWidget* window);

// The frame the window manager draws around the window, in the window's device-independent
// pixels. A window that is not mapped yet asks for it ahead of mapping and waits at most waitMs
// for the answer. None when nobody tells.
std::optional<QMarginsF> FrameExtents(QWidget* window, int waitMs = 300);

// Hands the window to the window manager's move, as if its title bar had been grabbed where
// the button went down; the pointer has gone `travelled` since. False when no window manager
// offers such a move.
bool StartMove(QWidget* window, const QPoint& travelled);

// The window stays where the program puts it, also under sway, which would centre it at each
// of its changes.
void KeepPlace(QWidget* window);

// Calls `then` when the window has been mapped and its frame has become known (under sway again
// should sway change the frame within two seconds); never when the frame stays unknown for two
// seconds or the window goes away first.
void WhenFrameKnown(QWidget* window, std::function<void(const QMarginsF&)> then);

// Ties every window of the process to the installed application: the application icon on
// each window and the desktop entry's name.
void SetApplicationIdentity();

} // namespace DesktopWindow
