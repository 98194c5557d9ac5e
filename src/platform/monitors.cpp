#include "monitors.h"

#include <QGuiApplication>
#include <QScreen>

namespace Monitors {

QList<QRect> Areas() {
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas << screen->geometry();
    return areas;
}

void WatchChanges(QObject* receiver, const std::function<void()>& changed) {
    // Queued: a removed monitor is still being taken apart when the news of it comes.
    constexpr auto queued = Qt::QueuedConnection;
    auto watch = [receiver, changed](QScreen* screen) {
        QObject::connect(screen, &QScreen::geometryChanged, receiver, changed, queued);
    };
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, receiver, watch);
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, receiver, changed, queued);
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, receiver, changed, queued);
    QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, receiver, changed, queued);
}

} // namespace Monitors
