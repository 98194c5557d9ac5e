#include "desktop_session.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QThread>
#include <csignal>
#include <unistd.h>

namespace {
QRect rectOf(const QJsonValue& value) {
    const QJsonObject rect = value.toObject();
    return QRect(rect.value(QLatin1String("x")).toInt(), rect.value(QLatin1String("y")).toInt(),
                 rect.value(QLatin1String("width")).toInt(),
                 rect.value(QLatin1String("height")).toInt());
}

// A window manager runs as the leader of a process group of its own, and ends with every
// helper it started (KWin's session bus, sway's XWayland), whichever ends first.
void stop(QProcess* process, bool withItsGroup = false) {
    if (!process || process->state() == QProcess::NotRunning)
        return;
    const pid_t group = pid_t(process->processId());
    process->terminate();
    if (withItsGroup)
        ::kill(-group, SIGTERM);
    if (!process->waitForFinished(3000)) {
        process->kill();
        process->waitForFinished(3000);
    }
    if (withItsGroup)
        ::kill(-group, SIGKILL);
}
} // namespace

bool DesktopSession::waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    do {
        if (condition())
            return true;
        QCoreApplication::processEvents(); // keeps a test's own servers answering
        QThread::msleep(50);
    } while (elapsed.elapsed() < timeoutMs);
    return condition();
}

DesktopSession::DesktopSession()
    : m_windowManager(qEnvironmentVariable("LUMI_E2E_WM", QStringLiteral("openbox"))) {
    // Copy the built application folder; the settings file is each test's own.
    QDir source(QStringLiteral(LUMI_APP_DIR));
    for (const QFileInfo& entry : source.entryInfoList(QDir::Files)) {
        if (entry.fileName() == QLatin1String("LOGO2.DAT"))
            continue;
        const QString target = m_app.filePath(entry.fileName());
        if (!QFile::copy(entry.absoluteFilePath(), target)) {
            m_error = QStringLiteral("cannot copy ") + entry.fileName();
            return;
        }
        QFile::setPermissions(target, entry.permissions());
    }
    // Another X server starting or ending at the same moment can take the display from under
    // us; a fresh server then gets another number. A loaded machine gets a pause to breathe.
    for (int attempt = 0; attempt < 4 && !m_ready; ++attempt) {
        stop(m_wm.get(), true);
        stop(m_xvfb.get());
        if (attempt > 0)
            QThread::msleep(500 * attempt);
        m_ready = startDesktop();
    }
}

bool DesktopSession::serverAnswers() const {
    int code = -1;
    x(QStringLiteral("xdpyinfo"), {}, &code);
    return code == 0 && m_xvfb && m_xvfb->state() == QProcess::Running;
}

bool DesktopSession::startWindowManager() {
    m_wm = std::make_unique<QProcess>();
    m_wm->setChildProcessModifier([] { ::setsid(); });
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    // A fresh home: no user configuration of the window manager, its defaults only.
    env.insert(QStringLiteral("HOME"), m_runtime.path());
    m_wm->setProcessEnvironment(env);
    m_wm->setProcessChannelMode(QProcess::MergedChannels);
    if (m_windowManager == QLatin1String("sway")) {
        return startSway();
    } else if (m_windowManager == QLatin1String("openbox")) {
        m_wm->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    } else if (m_windowManager == QLatin1String("i3")) {
        // The system configuration starts a bar and session helpers: one font, nothing else.
        const QString config = m_runtime.filePath(QStringLiteral("i3.conf"));
        QFile file(config);
        if (file.open(QIODevice::WriteOnly))
            file.write("font pango:monospace 8\nfloating_modifier Mod1\n");
        file.close();
        m_wm->start(QStringLiteral("i3"), {QStringLiteral("-c"), config});
    } else if (m_windowManager == QLatin1String("kwin_x11")) {
        // Its own session bus; no compositing on a server without OpenGL; four workspaces.
        env.insert(QStringLiteral("KWIN_COMPOSE"), QStringLiteral("N"));
        QDir(m_runtime.path()).mkpath(QStringLiteral(".config"));
        QFile rc(m_runtime.filePath(QStringLiteral(".config/kwinrc")));
        if (rc.open(QIODevice::WriteOnly))
            rc.write("[Desktops]\nNumber=4\nRows=1\n");
        rc.close();
        m_wm->setProcessEnvironment(env);
        m_wm->start(QStringLiteral("dbus-run-session"), {m_windowManager});
    } else {
        m_wm->start(m_windowManager, {});
    }
    return m_wm->waitForStarted(5000) &&
           waitUntil(
               [&] {
                   return m_wm->state() == QProcess::Running &&
                          x(QStringLiteral("xprop"),
                            {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                              .contains(QLatin1String("window id"));
               },
               10000);
}

// sway runs nested in the Xvfb, whose pointer and keyboard it takes for its own; the program
// runs on its XWayland.
bool DesktopSession::startSway() {
    // sway refuses to run as root: then it runs as nobody, in a runtime folder it owns.
    const bool root = ::geteuid() == 0;
    if (root && ::chown(QFile::encodeName(m_runtime.path()).constData(), 65534, 65534) != 0)
        return false;
    const QString displayFile = m_runtime.filePath(QStringLiteral("display"));
    QFile::remove(displayFile);
    QFile config(m_runtime.filePath(QStringLiteral("sway.conf")));
    if (config.open(QIODevice::WriteOnly))
        config.write("output X11-1 resolution 1920x1080 position 0,0\nxwayland force\n"
                     "exec echo $DISPLAY > " +
                     QFile::encodeName(displayFile) + "\n");
    config.close();
    const QString home = m_runtime.path();
    const QStringList sway = {"env",
                              "-i",
                              "PATH=" + qEnvironmentVariable("PATH"),
                              "HOME=" + home,
                              "XDG_RUNTIME_DIR=" + home,
                              "DISPLAY=" + m_display,
                              "WLR_BACKENDS=x11",
                              "WLR_RENDERER=pixman",
                              "sway",
                              "-c",
                              config.fileName()};
    const QStringList asNobody = {"--reuid=65534", "--regid=65534", "--clear-groups"};
    if (root)
        m_wm->start(QStringLiteral("setpriv"), asNobody + sway);
    else
        m_wm->start(sway[0], sway.mid(1));
    waitUntil([&] { return QFile(displayFile).size() > 1; }, 10000);
    QFile display(displayFile);
    display.open(QIODevice::ReadOnly);
    const QString xwayland = QString::fromLocal8Bit(display.readAll()).trimmed();
    const QStringList sockets =
        QDir(m_runtime.path()).entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
    if (xwayland.isEmpty() || sockets.isEmpty())
        return false;
    // XWayland lets in only sway's user: root is let in too.
    const bool answers = waitUntil(
        [&] {
            if (root)
                runOn(xwayland, QStringLiteral("setpriv"),
                      asNobody + QStringList{"xhost", "+si:localuser:root"});
            int code = -1;
            runOn(xwayland, QStringLiteral("xdpyinfo"), {}, &code);
            return code == 0;
        },
        10000);
    if (!answers)
        return false;
    m_inputDisplay = m_display;
    m_display = xwayland;
    m_swaySocket = m_runtime.filePath(sockets.first());
    // The program's runtime folder must be its user's.
    m_programRuntime = m_runtime.filePath(QStringLiteral("program"));
    return QDir().mkdir(m_programRuntime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool DesktopSession::startDesktop() {
    // Xvfb picks a free display itself and reports its number on standard output.
    m_xvfb = std::make_unique<QProcess>();
    m_xvfb->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_xvfb->start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                   QStringLiteral("0"),
                   QStringLiteral("%1x1080x24").arg(primaryMonitor().right() + 1),
                   QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_xvfb->waitForStarted(5000)) {
        m_error = QStringLiteral("Xvfb does not start (package xvfb)");
        return false;
    }
    QByteArray number;
    while (!number.contains('\n') && m_xvfb->waitForReadyRead(10000))
        number += m_xvfb->readAllStandardOutput();
    if (!number.contains('\n')) {
        m_error = QStringLiteral("Xvfb reports no display");
        return false;
    }
    m_display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
    // The window manager connects only once the server accepts connections.
    if (!waitUntil([&] { return serverAnswers(); }, 10000)) {
        m_error = QStringLiteral("Xvfb does not answer on ") + m_display;
        return false;
    }
    // A window manager that loses the race for a busy server gets another go; a display
    // that has vanished means a fresh server.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (startWindowManager()) {
            // Two RandR monitors, as a desktop with two screens declares them; set once the
            // window manager is connected, or Xvfb forgets them with its last client.
            if (primaryMonitor().x()) {
                x(QStringLiteral("xrandr"),
                  {"--setmonitor", "*R", "1920/508x1080/286+1920+0", "screen"});
                x(QStringLiteral("xrandr"), {"--setmonitor", "L", "1920/508x1080/286+0+0", "none"});
            }
            return true;
        }
        m_error = QStringLiteral("%1 does not start on %2 (X server %3): ")
                      .arg(m_windowManager, m_display,
                           serverAnswers() ? QStringLiteral("running") : QStringLiteral("gone")) +
                  QString::fromLocal8Bit(m_wm->readAll());
        stop(m_wm.get(), true);
        if (!serverAnswers())
            return false;
    }
    return false;
}

DesktopSession::~DesktopSession() {
    for (auto& program : m_programs)
        stop(program.get());
    // Nothing of the program may outlive the test, whatever it left running.
    for (const QString& pid : programProcesses())
        ::kill(pid.toInt(), SIGKILL);
    stop(m_wm.get(), true);
    stop(m_xvfb.get());
}

void DesktopSession::writeSettings(const QByteArray& bytes) const {
    QFile file(settingsPath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QByteArray DesktopSession::readSettings() const {
    QFile file(settingsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QProcess* DesktopSession::launch(const QString& runtimeDir, const QString& scaleFactor) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"),
               runtimeDir.isEmpty() ? m_programRuntime : runtimeDir);
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (m_swaySocket.isEmpty())
        env.remove(QStringLiteral("SWAYSOCK")); // the program would place its window there
    else
        env.insert(QStringLiteral("SWAYSOCK"), m_swaySocket);
    env.remove(QStringLiteral("QT_SCALE_FACTOR"));
    if (!scaleFactor.isEmpty())
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), scaleFactor);
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(m_app.filePath(QStringLiteral("lumivista")), {});
    process->waitForStarted(5000);
    m_programs.push_back(std::move(process));
    return m_programs.back().get();
}

QString DesktopSession::x(const QString& program, const QStringList& args, int* exitCode) const {
    return runOn(m_display, program, args, exitCode);
}

QString DesktopSession::runOn(const QString& display, const QString& program,
                              const QStringList& args, int* exitCode) const {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("SWAYSOCK"), m_swaySocket);
    process.setProcessEnvironment(env);
    process.start(program, args);
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished();
    }
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

QString DesktopSession::xdotool(const QStringList& args) const {
    return x(QStringLiteral("xdotool"), args);
}

void DesktopSession::input(const QStringList& args) const {
    runOn(m_inputDisplay.isEmpty() ? m_display : m_inputDisplay, QStringLiteral("xdotool"), args);
}

QStringList DesktopSession::visibleWindows(const QStringList& query) const {
    return xdotool(QStringList{QStringLiteral("search"), QStringLiteral("--onlyvisible")} + query)
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList DesktopSession::windowsNamed(const QString& title) const {
    return visibleWindows(
        {QStringLiteral("--name"),
         QStringLiteral("^") + QRegularExpression::escape(title) + QStringLiteral("$")});
}

QStringList DesktopSession::windowsOf(qint64 pid) const {
    return visibleWindows({QStringLiteral("--pid"), QString::number(pid)});
}

QString DesktopSession::waitForWindow(const QString& title, int timeoutMs,
                                      const QString& except) const {
    QString found;
    waitUntil(
        [&] {
            QStringList candidates = windowsNamed(title);
            candidates.removeAll(except);
            found = candidates.value(0);
            return !found.isEmpty();
        },
        timeoutMs);
    return found;
}

bool DesktopSession::waitForNoWindow(const QString& title, int timeoutMs) const {
    return waitUntil([&] { return windowsNamed(title).isEmpty(); }, timeoutMs);
}

QString DesktopSession::waitForLogoWindow(qint64 pid, int timeoutMs) const {
    return waitForWindowOf(pid, timeoutMs);
}

QString DesktopSession::waitForWindowOf(qint64 pid, int timeoutMs) const {
    QString found;
    waitUntil(
        [&] {
            found = windowsOf(pid).value(0);
            return !found.isEmpty();
        },
        timeoutMs);
    return found;
}

QRect DesktopSession::geometry(const QString& window) const {
    // --shell prints X, Y, WIDTH and HEIGHT of the window's client area on the root window.
    const QString out =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    QRect rect;
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        const QString value = line.section(QLatin1Char('='), 1);
        if (line.startsWith(QLatin1String("X=")))
            rect.moveLeft(value.toInt());
        else if (line.startsWith(QLatin1String("Y=")))
            rect.moveTop(value.toInt());
        else if (line.startsWith(QLatin1String("WIDTH=")))
            rect.setWidth(value.toInt());
        else if (line.startsWith(QLatin1String("HEIGHT=")))
            rect.setHeight(value.toInt());
    }
    return rect;
}

QRect DesktopSession::clientArea(const QString& window) const {
    const QString out = x(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    auto value = [&](const char* label) {
        const int at = out.indexOf(QLatin1String(label));
        return at < 0 ? 0
                      : out.mid(at + int(qstrlen(label)))
                            .section(QLatin1Char('\n'), 0, 0)
                            .trimmed()
                            .toInt();
    };
    return QRect(value("Absolute upper-left X:"), value("Absolute upper-left Y:"), value("Width:"),
                 value("Height:"));
}

QString DesktopSession::property(const QString& window, const QString& name) const {
    const QString out =
        x(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("-len"),
                                    QStringLiteral("64"), QStringLiteral("-notype"), name});
    return out.contains(QLatin1Char('=')) ? out.section(QLatin1Char('='), 1).trimmed() : QString();
}

QJsonObject DesktopSession::swayNode(const QString& window) const {
    std::function<QJsonObject(const QJsonObject&)> find = [&](const QJsonObject& node) {
        if (node.value(QLatin1String("window")).toInteger() == window.toLongLong())
            return node;
        for (const char* list : {"nodes", "floating_nodes"})
            for (const QJsonValue child : node.value(QLatin1String(list)).toArray())
                if (const QJsonObject found = find(child.toObject()); !found.isEmpty())
                    return found;
        return QJsonObject();
    };
    return find(QJsonDocument::fromJson(
                    x(QStringLiteral("swaymsg"), {QStringLiteral("-t"), QStringLiteral("get_tree")})
                        .toUtf8())
                    .object());
}

std::optional<QMargins> DesktopSession::frameExtents(const QString& window) const {
    if (!m_swaySocket.isEmpty()) {
        // sway's title bar lies above its rectangle of the window, the borders inside it.
        const QJsonObject node = swayNode(window);
        const QRect outer = rectOf(node.value(QLatin1String("rect")));
        const QRect title = rectOf(node.value(QLatin1String("deco_rect")));
        const QRect client = clientArea(window);
        if (node.isEmpty() || client.isEmpty())
            return std::nullopt;
        return QMargins(client.left() - outer.left(), client.top() - outer.top() + title.height(),
                        outer.right() - client.right(), outer.bottom() - client.bottom());
    }
    const QStringList e =
        property(window, QStringLiteral("_NET_FRAME_EXTENTS")).split(QLatin1Char(','));
    if (e.size() != 4) {
        // i3 reports no frame: it holds the window in a frame window of its own.
        const QString parent =
            x(QStringLiteral("xwininfo"), {QStringLiteral("-tree"), QStringLiteral("-id"), window})
                .section(QLatin1String("Parent window id: "), 1)
                .section(QLatin1Char('\n'), 0, 0);
        if (parent.isEmpty() || parent.contains(QLatin1String("root")))
            return std::nullopt;
        const QRect client = clientArea(window);
        const QRect frame = clientArea(parent.section(QLatin1Char(' '), 0, 0));
        return QMargins(client.left() - frame.left(), client.top() - frame.top(),
                        frame.right() - client.right(), frame.bottom() - client.bottom());
    }
    // left, right, top, bottom
    return QMargins(e[0].trimmed().toInt(), e[2].trimmed().toInt(), e[1].trimmed().toInt(),
                    e[3].trimmed().toInt());
}

bool DesktopSession::hasIcon(const QString& window) const {
    // Width and height of the first picture, which its pixels follow.
    const QString size =
        x(QStringLiteral("xprop"),
          {QStringLiteral("-id"), window, QStringLiteral("-notype"), QStringLiteral("-f"),
           QStringLiteral("_NET_WM_ICON"), QStringLiteral("32c"), QStringLiteral(" = $0 $1"),
           QStringLiteral("_NET_WM_ICON")});
    const QStringList values =
        size.section(QLatin1Char('='), 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return values.size() == 2 && values[0].toInt() >= 16 && values[1].toInt() >= 16;
}

bool DesktopSession::isViewable(const QString& window) const {
    return x(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window})
        .contains(QLatin1String("Map State: IsViewable"));
}

bool DesktopSession::activate(const QString& window) const {
    // A busy machine can lose the first request; ask again until the focus has moved.
    return waitUntil(
        [&] {
            xdotool({QStringLiteral("windowactivate"), window});
            return waitUntil([&] { return activeWindow() == window; }, 1500);
        },
        10000);
}

void DesktopSession::focus(const QString& window) const {
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
}

QString DesktopSession::activeWindow() const {
    return xdotool({QStringLiteral("getactivewindow")});
}

bool DesktopSession::switchToWorkspace(int n) const {
    if (m_windowManager == QLatin1String("i3") || m_windowManager == QLatin1String("sway")) {
        // They make workspaces as they are asked for, by number.
        const QString send = m_windowManager == QLatin1String("i3") ? QStringLiteral("i3-msg")
                                                                    : QStringLiteral("swaymsg");
        x(send, {QStringLiteral("workspace number %1").arg(n + 1)});
        return waitUntil(
            [&] {
                const QJsonArray workspaces =
                    QJsonDocument::fromJson(
                        x(send, {QStringLiteral("-t"), QStringLiteral("get_workspaces")}).toUtf8())
                        .array();
                for (const QJsonValue workspace : workspaces)
                    if (workspace[QLatin1String("focused")].toBool())
                        return workspace[QLatin1String("num")].toInt() == n + 1;
                return false;
            },
            5000);
    }
    xdotool({QStringLiteral("set_desktop"), QString::number(n)});
    return waitUntil([&] { return xdotool({QStringLiteral("get_desktop")}) == QString::number(n); },
                     5000);
}

QStringList DesktopSession::netWmState(const QString& window) const {
    const QString out = x(QStringLiteral("xprop"),
                          {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_STATE")});
    QStringList states;
    for (const QString& part : out.section(QLatin1Char('='), 1).split(QLatin1Char(',')))
        if (!part.trimmed().isEmpty())
            states << part.trimmed();
    return states;
}

QString DesktopSession::title(const QString& window) const {
    return xdotool({QStringLiteral("getwindowname"), window});
}

QStringList DesktopSession::programProcesses() const {
    QStringList pids;
    QProcess ps;
    ps.start(QStringLiteral("pgrep"), {QStringLiteral("-f"), m_app.path()});
    ps.waitForFinished(5000);
    for (const QByteArray& line : ps.readAllStandardOutput().split('\n'))
        if (!line.trimmed().isEmpty())
            pids << QString::fromLatin1(line.trimmed());
    return pids;
}

void DesktopSession::key(const QString& keys) const {
    input(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60")} +
          keys.split(QLatin1Char(' '), Qt::SkipEmptyParts));
}

void DesktopSession::type(const QString& text) const {
    input({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), text});
}

void DesktopSession::click(QPoint at, int button, int repeat) const {
    input({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
           QStringLiteral("sleep"), QStringLiteral("0.2"), QStringLiteral("click"),
           QStringLiteral("--repeat"), QString::number(repeat), QStringLiteral("--delay"),
           QStringLiteral("80"), QString::number(button)});
}

void DesktopSession::drag(QPoint from, QPoint to) const {
    QStringList args;
    auto moveTo = [&](QPoint at, const char* pause) {
        args << QStringLiteral("mousemove") << QString::number(at.x()) << QString::number(at.y())
             << QStringLiteral("sleep") << QLatin1String(pause);
    };
    moveTo(from, "0.2");
    args << QStringLiteral("mousedown") << QStringLiteral("1") << QStringLiteral("sleep")
         << QStringLiteral("0.2");
    // A small step first, then halfway, so that the press reads as a drag.
    moveTo(from + QPoint(10, -10), "0.2");
    moveTo((from + to) / 2, "0.2");
    moveTo(to, "0.3");
    args << QStringLiteral("mouseup") << QStringLiteral("1");
    input(args);
}
