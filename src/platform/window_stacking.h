#pragma once
// Stay-on-top for a top-level widget that is already shown. Only the flag travels to the
// window system (on X11 as a _NET_WM_STATE_ABOVE request to the window manager); the native
// window is neither hidden nor re-created, so nothing flickers.

class QWidget;

void SetStaysOnTop(QWidget* window, bool onTop);
bool StaysOnTop(const QWidget* window);
