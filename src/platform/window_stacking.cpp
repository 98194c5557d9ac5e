#include "window_stacking.h"

#include <QWidget>
#include <QWindow>

void SetStaysOnTop(QWidget* window, bool onTop) {
    if (!window)
        return;
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
    // QWidget::setWindowFlags() would hide and re-create the native window; tell the widget
    // without touching the window, then hand the flags to the existing QWindow.
    window->overrideWindowFlags(flags);
    if (QWindow* handle = window->windowHandle())
        handle->setFlags(flags);
}

bool StaysOnTop(const QWidget* window) {
    return window && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}
