#pragma once
// A real X desktop for end-to-end tests: Xvfb at 1920 x 1080 with a real window manager
// (openbox, or the one LUMI_E2E_WM names: icewm, i3, kwin_x11, or sway nested in the Xvfb, the
// program on its XWayland), a private copy of the app folder, and the real program driven with
// xdotool.

#include <QByteArray>
#include <QJsonObject>
#include <QMargins>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class DesktopSession {
public:
    DesktopSession();
    ~DesktopSession();

    bool ready() const { return m_ready; }
    QString error() const { return m_error; }
    QString appFolder() const { return m_app.path(); }
    QString settingsPath() const { return m_app.path() + QStringLiteral("/LOGO2.DAT"); }
    void writeSettings(const QByteArray& bytes) const;
    QByteArray readSettings() const;

    // Starts build/app/lumivista from the private folder; returns the process.
    // Starts the program; `runtimeDir` stands in for the session's XDG_RUNTIME_DIR when given,
    // and `scaleFactor` scales its windows (QT_SCALE_FACTOR).
    QProcess* launch(const QString& runtimeDir = QString(), const QString& scaleFactor = QString());
    // Runs an X client (xdotool, xprop, wmctrl ...) on this display and returns its output.
    QString x(const QString& program, const QStringList& args, int* exitCode = nullptr) const;
    QString xdotool(const QStringList& args) const;
    // xdotool's pointer and keyboard input: through sway under sway.
    void input(const QStringList& args) const;

    // Ids of the visible windows `xdotool search --onlyvisible` finds for the query.
    QStringList visibleWindows(const QStringList& query) const;
    QStringList windowsNamed(const QString& title) const;
    QStringList windowsOf(qint64 pid) const;
    // Visible top-level windows whose title is exactly `title` (0 when none shows up in time).
    QString waitForWindow(const QString& title, int timeoutMs = 10000,
                          const QString& except = QString()) const;
    bool waitForNoWindow(const QString& title, int timeoutMs = 10000) const;
    // The floating logo window: the one window a freshly started program shows.
    QString waitForLogoWindow(qint64 pid, int timeoutMs = 10000) const;
    // The first visible window of a process.
    QString waitForWindowOf(qint64 pid, int timeoutMs = 10000) const;
    QRect geometry(const QString& window) const;
    // The window's own area on the screen, and the frame the window manager reports around it
    // (_NET_FRAME_EXTENTS; none when it has not framed the window yet).
    QRect clientArea(const QString& window) const;
    std::optional<QMargins> frameExtents(const QString& window) const;
    // A CARDINAL or ATOM property of a window as text ("" when it is not set).
    QString property(const QString& window, const QString& name) const;
    bool hasIcon(const QString& window) const;
    bool isViewable(const QString& window) const;
    // Activates the window and waits until the window manager has given it the focus.
    bool activate(const QString& window) const;
    // Asks for the focus once and waits for the window manager's answer.
    void focus(const QString& window) const;
    QString activeWindow() const;
    // Switches to workspace n and waits until the window manager reports it.
    bool switchToWorkspace(int n) const;
    QString windowManager() const { return m_windowManager; }
    // LUMI_E2E_MONITORS=two: two 1920 x 1080 monitors side by side, the right one primary.
    static QRect primaryMonitor() {
        return QRect(qEnvironmentVariable("LUMI_E2E_MONITORS") == "two" ? 1920 : 0, 0, 1920, 1080);
    }
    QStringList netWmState(const QString& window) const;
    // The window in sway's tree of windows (sway's own rectangles, "sticky", "visible").
    QJsonObject swayNode(const QString& window) const;
    QString title(const QString& window) const;
    // Processes whose command line mentions the private application folder.
    QStringList programProcesses() const;

    void key(const QString& keys) const;
    void type(const QString& text) const;
    void click(QPoint at, int button = 1, int repeat = 1) const;
    void drag(QPoint from, QPoint to) const;

    static bool waitUntil(const std::function<bool()>& condition, int timeoutMs);

private:
    bool startDesktop();
    bool startSway();
    bool startWindowManager();
    bool serverAnswers() const;
    QString runOn(const QString& display, const QString& program, const QStringList& args,
                  int* exitCode = nullptr) const;

    QTemporaryDir m_app;
    QTemporaryDir m_runtime;
    QString m_display;      // the program's
    QString m_inputDisplay; // the keyboard's and pointer's, when another
    QString m_windowManager;
    QString m_swaySocket;
    QString m_programRuntime = m_runtime.path();
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_wm;
    std::vector<std::unique_ptr<QProcess>> m_programs;
    bool m_ready = false;
    QString m_error;
};
