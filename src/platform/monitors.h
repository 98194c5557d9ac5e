#pragma once
// The desktop's monitors as the window system reports them, and the news of their changes.

#include <QList>
#include <QRect>
#include <functional>

class QObject;

namespace Monitors {
// Every monitor's area in the virtual desktop, in pixels.
QList<QRect> Areas();
// Calls `changed` after a monitor has come or gone, moved, changed its size or become the
// primary one, for as long as `receiver` lives.
void WatchChanges(QObject* receiver, const std::function<void()>& changed);
} // namespace Monitors
