#include "desktop_window.h"
#include "picture_file.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// The X connection when the program runs on X11; null offscreen and elsewhere.
xcb_connection_t* connection() {
    if (!qGuiApp)
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

QHash<QByteArray, xcb_atom_t>& knownAtoms() {
    static QHash<QByteArray, xcb_atom_t> known;
    return known;
}

// Asks for all the names at once, so that they cost one round trip to the server, not one each.
void internAtoms(xcb_connection_t* c, std::initializer_list<const char*> names) {
    std::vector<std::pair<QByteArray, xcb_intern_atom_cookie_t>> asked;
    for (const char* name : names) {
        const QByteArray key(name);
        if (!knownAtoms().contains(key))
            asked.emplace_back(key, xcb_intern_atom(c, 0, uint16_t(key.size()), name));
    }
    for (const auto& [key, cookie] : asked) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
        knownAtoms().insert(key, reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE));
        std::free(reply);
    }
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    internAtoms(c, {name});
    return knownAtoms().value(QByteArray(name));
}

// The top-level's X window, created when it does not exist yet; 0 off X11.
xcb_window_t nativeWindow(QWidget* window) {
    if (!window || !connection() || !window->isWindow())
        return 0;
    return xcb_window_t(window->winId());
}

xcb_window_t rootOf(xcb_connection_t* c, xcb_window_t window) {
    xcb_get_geometry_reply_t* reply =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    const xcb_window_t root = reply ? reply->root : 0;
    std::free(reply);
    return root;
}

std::vector<uint32_t> property32(xcb_connection_t* c, xcb_window_t window, const char* name,
                                 xcb_atom_t type) {
    std::vector<uint32_t> values;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, atom(c, name), type, 0, 1024), nullptr);
    if (reply && reply->format == 32 && reply->type == type) {
        const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

void setProperty32(xcb_connection_t* c, xcb_window_t window, const char* name, xcb_atom_t type,
                   const std::vector<uint32_t>& values) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, name), type, 32,
                        uint32_t(values.size()), values.data());
}

void setPropertyBytes(xcb_connection_t* c, xcb_window_t window, const char* name, xcb_atom_t type,
                      const QByteArray& bytes) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, name), type, 8,
                        uint32_t(bytes.size()), bytes.constData());
}

// A request to the window manager about one of our windows (EWMH client message).
void tellWindowManager(xcb_connection_t* c, xcb_window_t window, const char* message,
                       std::initializer_list<uint32_t> data) {
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(c, message);
    int k = 0;
    for (uint32_t value : data)
        event.data.data32[k++] = value;
    xcb_send_event(c, 0, rootOf(c, window),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
}

// Mapped, and every window that holds it too.
bool viewable(xcb_connection_t* c, xcb_window_t window) {
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    const bool shown = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(attributes);
    return shown;
}

constexpr uint32_t AllDesktops = 0xFFFFFFFF;
constexpr uint32_t StateRemove = 0;
constexpr uint32_t StateAdd = 1;
constexpr uint32_t FromApplication = 1;

// Runs `step` every intervalMs while the window shows, until it returns true, the window goes
// away or limitMs have passed. Polled: the window manager answers with properties of the
// window, which Qt does not report.
void pollWhileShown(QWidget* window, int intervalMs, int limitMs,
                    std::function<bool(QWidget*)> step) {
    auto* poll = new QTimer(window);
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    QPointer<QWidget> target(window);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, waited, target, limitMs, step] {
        if (!target || !connection() || waited->elapsed() > limitMs)
            poll->deleteLater();
        else if (target->isVisible() && step(target))
            poll->deleteLater();
    });
    poll->start(intervalMs);
}

bool underSway() { return !qEnvironmentVariableIsEmpty("SWAYSOCK"); }

// sway's IPC: an "i3-ipc" header, the payload's length and the message's type, then the
// payload; the answer comes in the same form. Empty when sway does not answer within 2 s.
QByteArray askSway(uint32_t type, const QByteArray& payload) {
    const QByteArray path = qgetenv("SWAYSOCK");
    sockaddr_un address{};
    if (path.isEmpty() || path.size() >= int(sizeof address.sun_path))
        return {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    const timeval patience{2, 0}; // a hung sway must not hang the program with it
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
    constexpr int HeaderSize = 14;
    const uint32_t header[] = {uint32_t(payload.size()), type};
    const QByteArray message = QByteArray("i3-ipc") +
                               QByteArray(reinterpret_cast<const char*>(header), sizeof header) +
                               payload;
    QByteArray answer;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::write(fd, message.constData(), size_t(message.size())) == message.size()) {
        char chunk[4096];
        uint32_t length = 0;
        constexpr uint32_t Largest = 16 << 20; // a tree of windows is far smaller
        ssize_t got = 0;
        while (answer.size() < HeaderSize + qint64(length) && length <= Largest &&
               (got = ::read(fd, chunk, sizeof chunk)) > 0) {
            answer.append(chunk, int(got));
            if (answer.size() >= HeaderSize)
                std::memcpy(&length, answer.constData() + 6, sizeof length);
        }
        if (answer.size() < HeaderSize + qint64(length) || length > Largest)
            answer.clear();
    }
    ::close(fd);
    return answer.mid(HeaderSize);
}

// A window as sway manages it, in device pixels: its own area, and the title bar and borders
// sway draws around it.
struct SwayView {
    QRect client;
    QMargins frame;
};

// The window in sway's tree of windows (message type 4); none while sway does not manage it.
std::optional<SwayView> swayView(xcb_window_t window) {
    std::function<std::optional<SwayView>(const QJsonObject&)> find =
        [&](const QJsonObject& node) -> std::optional<SwayView> {
        if (node.value(QLatin1String("window")).toInteger() == qint64(window)) {
            const auto rect = [&](const char* name) {
                const QJsonObject r = node.value(QLatin1String(name)).toObject();
                return QRect(r.value(QLatin1String("x")).toInt(),
                             r.value(QLatin1String("y")).toInt(),
                             r.value(QLatin1String("width")).toInt(),
                             r.value(QLatin1String("height")).toInt());
            };
            // The title bar lies above sway's rectangle of the window, the borders within it.
            const QRect outer = rect("rect");
            const QRect inner = rect("window_rect");
            const QRect client = inner.translated(outer.topLeft());
            return SwayView{client, QMargins(inner.x(), inner.y() + rect("deco_rect").height(),
                                             outer.right() - client.right(),
                                             outer.bottom() - client.bottom())};
        }
        for (const char* list : {"nodes", "floating_nodes"})
            for (const QJsonValue child : node.value(QLatin1String(list)).toArray())
                if (std::optional<SwayView> found = find(child.toObject()))
                    return found;
        return std::nullopt;
    };
    return find(QJsonDocument::fromJson(askSway(4, {})).object());
}

// sway places a floating XWayland window itself, centred, when it maps it and at each change
// of place or size the program asks for, and does not always tell the program where it went;
// it ignores the workspace states of X11 windows too. So for a second after each of the
// program's changes, sway's idea of the window is checked and, where it differs, sway is told
// through its IPC. Moves at any other time are the user's, and the new place is kept.
class SwayPlacement : public QObject {
public:
    SwayPlacement(QWidget* window, const char* more)
        : QObject(window), m_window(window), m_more(QLatin1String(more)) {
        m_settle.setInterval(50);
        connect(&m_settle, &QTimer::timeout, this, &SwayPlacement::settle);
        window->installEventFilter(this);
        if (window->isVisible())
            ownChange();
    }

    bool eventFilter(QObject*, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::Show ||
            ((type == QEvent::Move || type == QEvent::Resize) && !event->spontaneous()))
            ownChange();
        else if (type == QEvent::Move && !m_settle.isActive())
            m_wanted.moveTopLeft(m_window->geometry().topLeft());
        else if (type == QEvent::Hide)
            m_settle.stop();
        return false;
    }

    // The user's drag starts from here: the moves that follow are theirs.
    void userMovesFrom(const QPoint& topLeft) {
        m_settle.stop();
        m_wanted.moveTopLeft(topLeft);
        tell(swayView(xcb_window_t(m_window->winId())), false);
    }

private:
    void ownChange() {
        m_wanted = m_window->geometry();
        m_sinceOwnChange.start();
        m_settle.start();
    }

    void settle() {
        const std::optional<SwayView> view = swayView(xcb_window_t(m_window->winId()));
        const qreal ratio = m_window->devicePixelRatioF();
        const QRect wanted(m_wanted.topLeft() * ratio, m_wanted.size() * ratio);
        // Only as high as sway's smallest floating window (50 px by default) may it differ.
        if (view &&
            (!m_told || view->client.topLeft() != wanted.topLeft() ||
             view->client.width() != wanted.width() || view->client.height() < wanted.height()))
            tell(view, true);
        if ((m_told && m_sinceOwnChange.elapsed() > 1000) || m_sinceOwnChange.elapsed() > 5000)
            m_settle.stop();
    }

    void tell(const std::optional<SwayView>& view, bool withSize) {
        if (!view)
            return;
        const qreal ratio = m_window->devicePixelRatioF();
        const QPoint at =
            m_wanted.topLeft() * ratio - QPoint(view->frame.left(), view->frame.top());
        // sway sizes the window with its frame, about the middle: first the size, then the place.
        const QSize size = (m_wanted.size() * ratio).grownBy(view->frame);
        QString command = QStringLiteral("[id=%1] ").arg(m_window->winId());
        if (withSize)
            command += QStringLiteral("resize set width %1 px height %2 px, ")
                           .arg(size.width())
                           .arg(size.height());
        command += QStringLiteral("move absolute position %1 %2").arg(at.x()).arg(at.y());
        askSway(0, (command + m_more).toLatin1());
        m_told = true;
    }

    QWidget* m_window;
    QString m_more;
    QRect m_wanted;
    QElapsedTimer m_sinceOwnChange;
    QTimer m_settle;
    bool m_told = false;
};

SwayPlacement* swayPlacementOf(QWidget* window) {
    for (QObject* child : window->children())
        if (auto* placement = dynamic_cast<SwayPlacement*>(child))
            return placement;
    return nullptr;
}

// Under sway, the window goes where the program puts it, and stays there; `more` is told sway
// with each place.
void placeUnderSway(QWidget* window, const char* more) {
    if (underSway() && !swayPlacementOf(window))
        new SwayPlacement(window, more);
}

// KWin flags a window that maps without taking the focus as wanting attention; this one
// shows without the focus on purpose. Once it is managed, the flag is taken back.
void clearDemandsAttention(QWidget* window) {
    pollWhileShown(window, 50, 3000, [](QWidget* target) {
        xcb_connection_t* c = connection();
        const xcb_window_t id = xcb_window_t(target->winId());
        const xcb_atom_t flag = atom(c, "_NET_WM_STATE_DEMANDS_ATTENTION");
        const std::vector<uint32_t> states = property32(c, id, "_NET_WM_STATE", XCB_ATOM_ATOM);
        if (std::find(states.begin(), states.end(), flag) == states.end())
            return false;
        tellWindowManager(c, id, "_NET_WM_STATE", {StateRemove, flag, 0, FromApplication});
        xcb_flush(c);
        return true;
    });
}

std::optional<QMargins> readFrameExtents(xcb_connection_t* c, xcb_window_t window) {
    const std::vector<uint32_t> e = property32(c, window, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL);
    if (e.size() != 4)
        return std::nullopt;
    // left, right, top, bottom
    return QMargins(int(e[0]), int(e[2]), int(e[1]), int(e[3]));
}

bool supports(xcb_connection_t* c, xcb_window_t window, const char* name) {
    const std::vector<uint32_t> supported =
        property32(c, rootOf(c, window), "_NET_SUPPORTED", XCB_ATOM_ATOM);
    return std::find(supported.begin(), supported.end(), atom(c, name)) != supported.end();
}

// A window manager that does not announce its frames (i3) still puts the window inside its
// own frame window: the frame is the window's place within the outermost one that holds it.
std::optional<QMargins> frameFromTree(xcb_connection_t* c, xcb_window_t window) {
    xcb_window_t outer = window;
    for (;;) {
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, outer), nullptr);
        const bool topLevel = !tree || tree->parent == tree->root || tree->parent == 0;
        const xcb_window_t parent = tree ? tree->parent : 0;
        std::free(tree);
        if (topLevel)
            break;
        outer = parent;
    }
    if (outer == window)
        return std::nullopt; // not framed (yet)
    if (!viewable(c, window))
        return std::nullopt; // the window manager may still be building the frame
    xcb_get_geometry_reply_t* inner =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    xcb_get_geometry_reply_t* frame =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, outer), nullptr);
    xcb_translate_coordinates_reply_t* at = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, window, outer, 0, 0), nullptr);
    std::optional<QMargins> margins;
    if (inner && frame && at && at->dst_x >= 0 && at->dst_y >= 0 &&
        at->dst_x + inner->width <= frame->width && at->dst_y + inner->height <= frame->height)
        margins = QMargins(at->dst_x, at->dst_y, frame->width - at->dst_x - inner->width,
                           frame->height - at->dst_y - inner->height);
    std::free(inner);
    std::free(frame);
    std::free(at);
    return margins;
}

// The frame as the window manager knows it, in device pixels.
std::optional<QMargins> frameNow(xcb_connection_t* c, xcb_window_t window) {
    if (underSway()) {
        const std::optional<SwayView> view = swayView(window);
        return view ? std::optional<QMargins>(view->frame) : std::nullopt;
    }
    if (auto known = readFrameExtents(c, window))
        return known;
    if (supports(c, window, "_NET_FRAME_EXTENTS"))
        return std::nullopt; // announced, but not set yet
    return frameFromTree(c, window);
}

// The window manager counts device pixels; the widgets count device-independent ones.
QMarginsF logical(const QMargins& frame, const QWidget* window) {
    const qreal ratio = window->devicePixelRatioF();
    return QMarginsF(frame.left() / ratio, frame.top() / ratio, frame.right() / ratio,
                     frame.bottom() / ratio);
}

} // namespace

namespace DesktopWindow {

void MakeFloating(QWidget* window) {
    const xcb_window_t id = nativeWindow(window);
    if (!id)
        return;
    xcb_connection_t* c = connection();
    // Qt names a window without a title after the application; this one has no caption, so
    // that window lists and the title bars of other windows do not count it.
    setPropertyBytes(c, id, "_NET_WM_NAME", atom(c, "UTF8_STRING"), {});
    setPropertyBytes(c, id, "WM_NAME", XCB_ATOM_STRING, {});
    clearDemandsAttention(window);
    placeUnderSway(window, ", sticky enable");
    const char* states[] = {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER",
                            "_NET_WM_STATE_STICKY"};
    internAtoms(c, {"_NET_WM_STATE", "_NET_WM_DESKTOP", states[0], states[1], states[2]});
    if (window->isVisible()) {
        // A managed window's state belongs to the window manager: ask for it.
        for (const char* state : states)
            tellWindowManager(c, id, "_NET_WM_STATE",
                              {StateAdd, atom(c, state), 0, FromApplication});
        tellWindowManager(c, id, "_NET_WM_DESKTOP", {AllDesktops, FromApplication});
    } else {
        // Before mapping the window manager reads them from the window; Qt adds its own
        // states to the list when it shows the window.
        std::vector<uint32_t> list = property32(c, id, "_NET_WM_STATE", XCB_ATOM_ATOM);
        for (const char* state : states)
            if (std::find(list.begin(), list.end(), atom(c, state)) == list.end())
                list.push_back(atom(c, state));
        setProperty32(c, id, "_NET_WM_STATE", XCB_ATOM_ATOM, list);
        setProperty32(c, id, "_NET_WM_DESKTOP", XCB_ATOM_CARDINAL, {AllDesktops});
    }
    xcb_flush(c);
}

void MakeFixed(QWidget* window) {
    const xcb_window_t id = nativeWindow(window);
    if (!id)
        return;
    xcb_connection_t* c = connection();
    // Motif hints: functions and decorations given; move and close only; border, title and
    // window menu, no resize handles. Qt's own hints always offer resizing.
    enum : uint32_t { Functions = 1, Decorations = 2 };
    enum : uint32_t { FuncMove = 4, FuncClose = 32 };
    enum : uint32_t { DecorBorder = 2, DecorTitle = 8, DecorMenu = 16 };
    setProperty32(c, id, "_MOTIF_WM_HINTS", atom(c, "_MOTIF_WM_HINTS"),
                  {Functions | Decorations, FuncMove | FuncClose,
                   DecorBorder | DecorTitle | DecorMenu, 0, 0});
    xcb_flush(c);
}

std::optional<QMarginsF> FrameExtents(QWidget* window, int waitMs) {
    const xcb_window_t id = nativeWindow(window);
    if (!id)
        return std::nullopt;
    xcb_connection_t* c = connection();
    if (auto known = readFrameExtents(c, id))
        return logical(*known, window);
    if (window->isVisible()) {
        // Mapped; unknown until the window manager has framed it.
        const std::optional<QMargins> frame = frameNow(c, id);
        return frame ? std::optional<QMarginsF>(logical(*frame, window)) : std::nullopt;
    }
    // Ask ahead of mapping; window managers that know the request answer at once. Without
    // one that announces it there is nobody to wait for.
    if (!supports(c, id, "_NET_REQUEST_FRAME_EXTENTS"))
        return std::nullopt;
    tellWindowManager(c, id, "_NET_REQUEST_FRAME_EXTENTS", {});
    xcb_flush(c);
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < waitMs) {
        if (auto answer = readFrameExtents(c, id))
            return logical(*answer, window);
        QThread::msleep(2);
    }
    return std::nullopt;
}

bool StartMove(QWidget* window, const QPoint& travelled) {
    QWindow* handle = window ? window->windowHandle() : nullptr;
    if (!handle)
        return false;
    // The window manager moves the window on from the pointer position Qt reports, which is
    // already past the grabbed point by `travelled`. So the window first catches up, behind
    // Qt's back: moved through Qt, the reported position would move with it.
    const QPoint catchUp = window->geometry().topLeft() + travelled;
    if (SwayPlacement* placement = swayPlacementOf(window)) {
        // sway would centre the window at a configure request.
        placement->userMovesFrom(catchUp);
    } else if (xcb_connection_t* c = connection()) {
        const QPoint at = catchUp * handle->devicePixelRatio();
        const uint32_t xy[] = {uint32_t(at.x()), uint32_t(at.y())};
        xcb_configure_window(c, xcb_window_t(window->winId()),
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, xy);
    }
    return handle->startSystemMove();
}

void KeepPlace(QWidget* window) {
    if (nativeWindow(window))
        placeUnderSway(window, "");
}

void WhenFrameKnown(QWidget* window, std::function<void(const QMarginsF&)> then) {
    if (!window || !connection())
        return;
    pollWhileShown(window, 20, 2000, [then](QWidget* target) {
        const std::optional<QMargins> frame = frameNow(connection(), xcb_window_t(target->winId()));
        if (frame)
            then(logical(*frame, target));
        return frame.has_value();
    });
}

void SetApplicationIdentity() {
    // The menu entry lumivista.desktop: window managers and docks match it by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("lumivista"));
    // The icon follows as soon as the event loop runs, and reaches every window shown by then:
    // reading it means loading the image plug-ins, which held the first window back from the
    // screen by several milliseconds.
    QTimer::singleShot(0, qGuiApp, [] {
        // The sizes title bars, taskbars and window switchers draw; every window carries them.
        QIcon icon;
        for (int size : {16, 22, 24, 32, 48, 64})
            icon.addPixmap(
                ReadPicture(QStringLiteral(":/icons/lumivista-%1.png").arg(size), "png"));
        QGuiApplication::setWindowIcon(icon);
    });
}

// The mark carries the user's id, so another user's logo on a shared display is never taken.
void MarkAsRunningLogo(QWidget* window) {
    const xcb_window_t id = nativeWindow(window);
    if (!id)
        return;
    xcb_connection_t* c = connection();
    setProperty32(c, id, "_LUMIVISTA_LOGO", XCB_ATOM_CARDINAL, {uint32_t(getuid())});
    xcb_flush(c);
}

bool ActivateRunningLogo() {
    xcb_connection_t* c = connection();
    if (!c)
        return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    for (uint32_t client : property32(c, root, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW)) {
        const std::vector<uint32_t> mark =
            property32(c, client, "_LUMIVISTA_LOGO", XCB_ATOM_CARDINAL);
        if (mark.size() != 1 || mark[0] != uint32_t(getuid()))
            continue;
        // Source 2: the request comes from the user's own action (a start from the menu or a
        // shortcut), as a pager's does, so focus-stealing prevention lets it through.
        constexpr uint32_t FromUserAction = 2;
        tellWindowManager(c, client, "_NET_ACTIVE_WINDOW", {FromUserAction, XCB_CURRENT_TIME, 0});
        xcb_flush(c);
        return true;
    }
    return false;
}

} // namespace DesktopWindow
