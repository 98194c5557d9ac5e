// lumivista-viewer: the web page viewer in a process of its own, started by the About window.
// The web engine is loaded only here, so the program pays nothing for it until the viewer
// opens. The viewer ends with the program: the end of its standard input, or the death of its
// parent, closes it.

#include "info/frm_browser.h"
#include "info/viewer_protocol.h"
#include "info/webengine_component.h"
#include "platform/desktop_window.h"
#include "platform/dialog_font.h"
#include "platform/message_box_qt.h"
#include "platform/timers.h"

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

void say(const QByteArray& line) {
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

QString argumentAfter(int argc, char* argv[], const char* name) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], name) == 0)
            return QString::fromLocal8Bit(argv[i + 1]);
    }
    return QString();
}

} // namespace

int main(int argc, char* argv[]) {
    // A program that crashes must not leave its viewer behind.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    const QString parent = argumentAfter(argc, argv, "--parent");
    if (!parent.isEmpty() && ::getppid() != pid_t(parent.toLongLong()))
        return 0; // the program died before the line above took effect

    WebEngineComponent::PrepareProcess();
    QApplication app(argc, argv);
    DialogFont::UseEverywhere();
    QApplication::setApplicationName(QStringLiteral("Lumivista"));
    DesktopWindow::SetApplicationIdentity();
    // A failure report must be seen here too, not answered silently.
    InstallQtMessageBoxPresenter();

    QtTimerFactory timers;
    QPointer<frmBrowser> viewer = new frmBrowser(std::make_unique<WebEngineComponent>(timers),
                                                 timers, argumentAfter(argc, argv, "--start-page"));
    viewer->setAttribute(Qt::WA_DeleteOnClose);

    QSocketNotifier commands(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&commands, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            commands.setEnabled(false);
            QApplication::quit();
            return;
        }
        pending.append(buffer, int(got));
        int end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end + 1);
            pending.remove(0, end + 1);
            if (line == ViewerProtocol::Raise && viewer) {
                viewer->setWindowState((viewer->windowState() & ~Qt::WindowMinimized) |
                                       Qt::WindowActive);
                viewer->show();
                viewer->raise();
                viewer->activateWindow();
                say(ViewerProtocol::Raised);
            }
        }
    });

    viewer->Form_Load();
    say(ViewerProtocol::Shown);
    const int result = app.exec();
    delete viewer.data();
    return result;
}
