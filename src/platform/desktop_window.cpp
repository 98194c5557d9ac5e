#include "desktop_window.h"
#include "picture_file.h"
#include "sway_placement.h"
#include "x11_properties.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QIcon>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

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
        if (!target || !X11::Connection() || waited->elapsed() > limitMs)
            poll->deleteLater();
        else if (target->isVisible() && step(target))
            poll->deleteLater();
    });
    poll->start(intervalMs);
}

// sway's windows, while the program runs on sway's XWayland; null elsewhere. It lives as long as
// the application: its sockets close before Qt's connection does.
SwayWindows* sway() {
    struct Holder : QObject {
        explicit Holder(const QString& path) : QObject(qGuiApp), windows(path, timers) {}
        QtTimerFactory timers;
        SwayWindows windows;
    };
    static QPointer<Holder> holder;
    static bool asked = false;
    if (!asked && X11::Connection()) {
        asked = true;
        const QString path = qEnvironmentVariable("SWAYSOCK");
        if (!path.isEmpty())
            holder = new Holder(path);
    }
    return holder ? &holder->windows : nullptr;
}

// KWin flags a window that maps without taking the focus as wanting attention; this one
// shows without the focus on purpose. Once it is managed, the flag is taken back.
void clearDemandsAttention(QWidget* window) {
    pollWhileShown(window, 50, 3000, [](QWidget* target) {
        xcb_connection_t* c = X11::Connection();
        const xcb_window_t id = xcb_window_t(target->winId());
        const xcb_atom_t flag = X11::Atom(c, "_NET_WM_STATE_DEMANDS_ATTENTION");
        const std::vector<uint32_t> states = X11::Property32(c, id, "_NET_WM_STATE", XCB_ATOM_ATOM);
        if (std::find(states.begin(), states.end(), flag) == states.end())
            return false;
        X11::TellWindowManager(c, id, "_NET_WM_STATE", {StateRemove, flag, 0, FromApplication});
        xcb_flush(c);
        return true;
    });
}

std::optional<QMargins> readFrameExtents(xcb_connection_t* c, xcb_window_t window) {
    const std::vector<uint32_t> e =
        X11::Property32(c, window, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL);
    if (e.size() != 4)
        return std::nullopt;
    // left, right, top, bottom
    return QMargins(int(e[0]), int(e[2]), int(e[1]), int(e[3]));
}

bool supports(xcb_connection_t* c, xcb_window_t window, const char* name) {
    const std::vector<uint32_t> supported =
        X11::Property32(c, X11::RootOf(c, window), "_NET_SUPPORTED", XCB_ATOM_ATOM);
    return std::find(supported.begin(), supported.end(), X11::Atom(c, name)) != supported.end();
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

// The frame as the window manager knows it, in device pixels. sway's is the one it last told.
std::optional<QMargins> frameNow(xcb_connection_t* c, QWidget* window) {
    if (SwayWindows* windows = sway())
        return windows->frame(window);
    const xcb_window_t id = xcb_window_t(window->winId());
    if (auto known = readFrameExtents(c, id))
        return known;
    if (supports(c, id, "_NET_FRAME_EXTENTS"))
        return std::nullopt; // announced, but not set yet
    return frameFromTree(c, id);
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
    const xcb_window_t id = X11::NativeWindow(window);
    if (!id)
        return;
    xcb_connection_t* c = X11::Connection();
    // Qt names a window without a title after the application; this one has no caption, so
    // that window lists and the title bars of other windows do not count it.
    X11::SetPropertyBytes(c, id, "_NET_WM_NAME", X11::Atom(c, "UTF8_STRING"), {});
    X11::SetPropertyBytes(c, id, "WM_NAME", XCB_ATOM_STRING, {});
    clearDemandsAttention(window);
    if (SwayWindows* windows = sway())
        windows->keepPlace(window, QStringLiteral(", sticky enable"));
    const char* states[] = {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER",
                            "_NET_WM_STATE_STICKY"};
    X11::InternAtoms(c, {"_NET_WM_STATE", "_NET_WM_DESKTOP", states[0], states[1], states[2]});
    if (window->isVisible()) {
        // A managed window's state belongs to the window manager: ask for it.
        for (const char* state : states)
            X11::TellWindowManager(c, id, "_NET_WM_STATE",
                                   {StateAdd, X11::Atom(c, state), 0, FromApplication});
        X11::TellWindowManager(c, id, "_NET_WM_DESKTOP", {AllDesktops, FromApplication});
    } else {
        // Before mapping the window manager reads them from the window; Qt adds its own
        // states to the list when it shows the window.
        std::vector<uint32_t> list = X11::Property32(c, id, "_NET_WM_STATE", XCB_ATOM_ATOM);
        for (const char* state : states)
            if (std::find(list.begin(), list.end(), X11::Atom(c, state)) == list.end())
                list.push_back(X11::Atom(c, state));
        X11::SetProperty32(c, id, "_NET_WM_STATE", XCB_ATOM_ATOM, list);
        X11::SetProperty32(c, id, "_NET_WM_DESKTOP", XCB_ATOM_CARDINAL, {AllDesktops});
    }
    xcb_flush(c);
}

void MakeFixed(QWidget* window) {
    const xcb_window_t id = X11::NativeWindow(window);
    if (!id)
        return;
    xcb_connection_t* c = X11::Connection();
    // Motif hints: functions and decorations given; move and close only; border, title and
    // window menu, no resize handles. Qt's own hints always offer resizing.
    enum : uint32_t { Functions = 1, Decorations = 2 };
    enum : uint32_t { FuncMove = 4, FuncClose = 32 };
    enum : uint32_t { DecorBorder = 2, DecorTitle = 8, DecorMenu = 16 };
    X11::SetProperty32(c, id, "_MOTIF_WM_HINTS", X11::Atom(c, "_MOTIF_WM_HINTS"),
                       {Functions | Decorations, FuncMove | FuncClose,
                        DecorBorder | DecorTitle | DecorMenu, 0, 0});
    xcb_flush(c);
}

std::optional<QMarginsF> FrameExtents(QWidget* window, int waitMs) {
    const xcb_window_t id = X11::NativeWindow(window);
    if (!id)
        return std::nullopt;
    xcb_connection_t* c = X11::Connection();
    if (auto known = readFrameExtents(c, id))
        return logical(*known, window);
    if (window->isVisible()) {
        // Mapped; unknown until the window manager has framed it.
        const std::optional<QMargins> frame = frameNow(c, window);
        return frame ? std::optional<QMarginsF>(logical(*frame, window)) : std::nullopt;
    }
    // Ask ahead of mapping; window managers that know the request answer at once. Without
    // one that announces it there is nobody to wait for.
    if (!supports(c, id, "_NET_REQUEST_FRAME_EXTENTS"))
        return std::nullopt;
    X11::TellWindowManager(c, id, "_NET_REQUEST_FRAME_EXTENTS", {});
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
    SwayWindows* windows = sway();
    // sway would centre the window at a configure request: it is told the place instead.
    const bool toldSway = windows && windows->userMovesFrom(window, catchUp);
    if (xcb_connection_t* c = X11::Connection(); c && !toldSway) {
        const QPoint at = catchUp * handle->devicePixelRatio();
        const uint32_t xy[] = {uint32_t(at.x()), uint32_t(at.y())};
        xcb_configure_window(c, xcb_window_t(window->winId()),
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, xy);
    }
    return handle->startSystemMove();
}

void KeepPlace(QWidget* window) {
    SwayWindows* windows = sway();
    if (windows && X11::NativeWindow(window))
        windows->keepPlace(window);
}

void WhenFrameKnown(QWidget* window, std::function<void(const QMarginsF&)> then) {
    if (!window || !X11::Connection())
        return;
    if (SwayWindows* windows = sway()) {
        // sway's answers come as they come; it may also settle the frame only a moment later.
        QPointer<QWidget> target(window);
        windows->whenFrameKnown(window, [target, then](const QMargins& frame) {
            if (target)
                then(logical(frame, target));
        });
        return;
    }
    pollWhileShown(window, 20, 2000, [then](QWidget* target) {
        const std::optional<QMargins> frame = frameNow(X11::Connection(), target);
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

} // namespace DesktopWindow
