#include "sway_placement.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <iterator>

namespace {
// Checks after each of the program's own changes, in milliseconds since the change: sway
// centres the window at once or within a few frames; later checks follow more slowly.
constexpr int Checks[] = {0, 40, 100, 200, 350, 600, 1000};
constexpr int LaterChecksMs = 250;
// sway is corrected for a second after a change; up to five while it has not shown the window
// or settled its frame.
constexpr int SettleMs = 1000;
constexpr int SettleAtMostMs = 5000;
// How long a caller waits for the frame, and after which it takes the frame as it stands.
constexpr int FrameWaitMs = 2000;
constexpr int UnsettledFrameMs = 1500;

QRect rectOf(const QJsonObject& node, const char* name) {
    const QJsonObject r = node.value(QLatin1String(name)).toObject();
    return QRect(r.value(QLatin1String("x")).toInt(), r.value(QLatin1String("y")).toInt(),
                 r.value(QLatin1String("width")).toInt(), r.value(QLatin1String("height")).toInt());
}
} // namespace

std::optional<SwayView> FindSwayView(const QJsonObject& node, quint64 window) {
    if (node.value(QLatin1String("window")).toInteger() == qint64(window)) {
        // The title bar lies above sway's rectangle of the window, the borders within it.
        const QRect outer = rectOf(node, "rect");
        const QRect inner = rectOf(node, "window_rect");
        const int title = rectOf(node, "deco_rect").height();
        const QRect client = inner.translated(outer.topLeft());
        const bool titled = node.value(QLatin1String("border")) == QLatin1String("normal");
        return SwayView{client,
                        QMargins(inner.x(), inner.y() + title, outer.right() - client.right(),
                                 outer.bottom() - client.bottom()),
                        !titled || title > 0};
    }
    for (const char* list : {"nodes", "floating_nodes"})
        for (const QJsonValue child : node.value(QLatin1String(list)).toArray())
            if (std::optional<SwayView> found = FindSwayView(child.toObject(), window))
                return found;
    return std::nullopt;
}

class SwayWindows::Placement : public QObject {
public:
    Placement(SwayWindows& windows, QWidget* window)
        : QObject(window), m_windows(windows), m_window(window),
          m_schedule(windows.m_timers.createTimer()) {
        m_schedule->setCallback([this] { nextCheck(); });
        window->installEventFilter(this);
    }
    ~Placement() override {
        auto& list = m_windows.m_placements;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }

    QWidget* window() const { return m_window; }

    void keep(const QString& more) {
        m_keep = true;
        m_more = more;
        if (m_window->isVisible())
            ownChange();
    }

    std::optional<QMargins> frame() const {
        return m_view && m_view->settled ? std::optional<QMargins>(m_view->frame) : std::nullopt;
    }

    void whenFrameKnown(std::function<void(const QMargins&)> then) {
        m_waiters.push_back(std::move(then));
        m_waiting.start();
        m_reported.reset();
        if (m_window->isVisible())
            startChecks();
    }

    bool userMovesFrom(const QPoint& topLeft) {
        if (!m_keep)
            return false;
        m_sinceChange.invalidate();
        m_wanted.moveTopLeft(topLeft);
        // At once where sway's frame is known: the drag begins right after.
        if (m_view) {
            tell(false);
        } else {
            m_catchUp = true;
            check();
        }
        return true;
    }

    // sway reports something about the window: a map, a title, a move.
    void swayEvent() {
        if (settling() || waiting())
            check();
    }

    bool eventFilter(QObject*, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::Show ||
            ((type == QEvent::Move || type == QEvent::Resize) && !event->spontaneous()))
            ownChange();
        else if (type == QEvent::Move && m_keep && !settling())
            m_wanted.moveTopLeft(m_window->geometry().topLeft());
        else if (type == QEvent::Hide)
            m_sinceChange.invalidate();
        return false;
    }

private:
    void ownChange() {
        m_wanted = m_window->geometry();
        m_told = false;
        m_sinceChange.start();
        startChecks();
    }

    bool settling() const {
        if (!m_keep || !m_sinceChange.isValid())
            return false;
        const bool unsure = !m_told || !m_view || !m_view->settled;
        return m_sinceChange.elapsed() <= (unsure ? SettleAtMostMs : SettleMs);
    }

    bool waiting() const {
        return !m_waiters.empty() && m_waiting.isValid() && m_waiting.elapsed() <= FrameWaitMs;
    }

    void startChecks() {
        m_step = 0;
        m_stepsFrom.start();
        m_schedule->setEnabled(false);
        m_schedule->setInterval(0);
        m_schedule->setEnabled(true);
    }

    void nextCheck() {
        m_schedule->setEnabled(false);
        check();
        ++m_step;
        if (!m_window->isVisible() || !(settling() || (waiting() && !m_reported)))
            return;
        const int interval = m_step < int(std::size(Checks))
                                 ? Checks[m_step] - int(m_stepsFrom.elapsed())
                                 : LaterChecksMs;
        m_schedule->setInterval(std::max(interval, 1));
        m_schedule->setEnabled(true);
    }

    // One question at a time; another asked meanwhile follows its answer.
    void check() {
        if (m_asking) {
            m_askAgain = true;
            return;
        }
        m_asking = true;
        QPointer<Placement> self(this);
        m_windows.m_requests.ask(SwayClient::Message::GetTree, {},
                                 [self](const std::optional<QByteArray>& tree) {
                                     if (self)
                                         self->checked(tree);
                                 });
    }

    void checked(const std::optional<QByteArray>& tree) {
        m_asking = false;
        if (tree)
            m_view =
                FindSwayView(QJsonDocument::fromJson(*tree).object(), quint64(m_window->winId()));
        if (m_view && m_window->isVisible()) {
            report(); // first: the caller may move the window
            const qreal ratio = m_window->devicePixelRatioF();
            const QRect wanted(m_wanted.topLeft() * ratio, m_wanted.size() * ratio);
            // Only as high as sway's smallest floating window (50 px by default) may it differ.
            const bool differs = m_view->client.topLeft() != wanted.topLeft() ||
                                 m_view->client.width() != wanted.width() ||
                                 m_view->client.height() < wanted.height();
            if (m_catchUp)
                tell(false);
            else if (settling() && (!m_told || differs))
                tell(true);
            m_catchUp = false;
        }
        if (m_askAgain) {
            m_askAgain = false;
            check();
        }
    }

    void tell(bool withSize) {
        const qreal ratio = m_window->devicePixelRatioF();
        const QMargins& frame = m_view->frame;
        const QPoint at = m_wanted.topLeft() * ratio - QPoint(frame.left(), frame.top());
        // sway sizes the window with its frame, about the middle: first the size, then the place.
        const QSize size = (m_wanted.size() * ratio).grownBy(frame);
        QString command = QStringLiteral("[id=%1] ").arg(m_window->winId());
        if (withSize)
            command += QStringLiteral("resize set width %1 px height %2 px, ")
                           .arg(size.width())
                           .arg(size.height());
        command += QStringLiteral("move absolute position %1 %2").arg(at.x()).arg(at.y());
        m_windows.m_requests.ask(SwayClient::Message::RunCommand, (command + m_more).toUtf8());
        m_told = true;
    }

    // A frame that sway has not settled within a moment is taken as it stands.
    void report() {
        if (!waiting()) {
            m_waiters.clear();
            return;
        }
        if ((!m_view->settled && m_waiting.elapsed() < UnsettledFrameMs) ||
            m_reported == m_view->frame)
            return;
        m_reported = m_view->frame;
        const auto waiters = m_waiters;
        for (const auto& then : waiters)
            then(m_view->frame);
        // Where sway has already moved the window to the place asked for, Qt reports no move:
        // the place is the program's all the same.
        ownChange();
    }

    SwayWindows& m_windows;
    QWidget* m_window;
    std::unique_ptr<Timer> m_schedule;
    int m_step = 0;
    QElapsedTimer m_stepsFrom;
    bool m_keep = false;
    QString m_more;
    QRect m_wanted;
    QElapsedTimer m_sinceChange;
    bool m_told = false;
    bool m_catchUp = false;
    bool m_asking = false;
    bool m_askAgain = false;
    std::optional<SwayView> m_view;
    std::vector<std::function<void(const QMargins&)>> m_waiters;
    QElapsedTimer m_waiting;
    std::optional<QMargins> m_reported;
};

SwayWindows::SwayWindows(const QString& socketPath, TimerFactory& timers)
    : m_timers(timers), m_requests(socketPath, timers), m_events(socketPath, timers) {
    m_events.subscribe("[\"window\"]", [this](quint32 type, const QByteArray& payload) {
        if (type == SwayClient::WindowEvent)
            windowEvent(payload);
    });
}

SwayWindows::~SwayWindows() {
    while (!m_placements.empty())
        delete m_placements.back();
}

SwayWindows::Placement* SwayWindows::placementOf(QWidget* window) const {
    for (Placement* placement : m_placements)
        if (placement->window() == window)
            return placement;
    return nullptr;
}

SwayWindows::Placement* SwayWindows::watch(QWidget* window) {
    Placement* placement = placementOf(window);
    if (!placement) {
        placement = new Placement(*this, window);
        m_placements.push_back(placement);
    }
    return placement;
}

void SwayWindows::keepPlace(QWidget* window, const QString& more) { watch(window)->keep(more); }

std::optional<QMargins> SwayWindows::frame(QWidget* window) const {
    const Placement* placement = placementOf(window);
    return placement ? placement->frame() : std::nullopt;
}

void SwayWindows::whenFrameKnown(QWidget* window, std::function<void(const QMargins&)> then) {
    watch(window)->whenFrameKnown(std::move(then));
}

bool SwayWindows::userMovesFrom(QWidget* window, const QPoint& topLeft) {
    Placement* placement = placementOf(window);
    return placement && placement->userMovesFrom(topLeft);
}

void SwayWindows::windowEvent(const QByteArray& payload) {
    const qint64 window = QJsonDocument::fromJson(payload)
                              .object()
                              .value(QLatin1String("container"))
                              .toObject()
                              .value(QLatin1String("window"))
                              .toInteger();
    for (Placement* placement : m_placements)
        if (qint64(placement->window()->winId()) == window)
            placement->swayEvent();
}
