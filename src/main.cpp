#include "core/center_form.h"
#include "core/form1.h"
#include "info/form5.h"
#include "info/viewer_process.h"
#include "platform/desktop_window.h"
#include "platform/dialog_font.h"
#include "platform/keyboard_focus.h"
#include "platform/message_box_qt.h"
#include "platform/running_logo.h"
#include "platform/single_instance.h"
#include "platform/termination_signals.h"
#include "platform/timers.h"
#include "settings/form2.h"
#include "settings/module1_settings.h"
#include "settings/settings_file.h"
#include "statistics/form4.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // Placement and stay-on-top need X11; under a Wayland session run through XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    // A logout's SIGTERM or SIGHUP, or Ctrl+C, waits for the event loop from here on.
    TerminationSignals termination;
    QApplication::setApplicationName(QStringLiteral("Lumivista"));
    DialogFont::UseEverywhere();
    KeyboardFocus::UseClearFocusMarks();
    DesktopWindow::SetApplicationIdentity();
    // Boxes are centred on the primary monitor, as the windows are.
    InstallQtMessageBoxPresenter(&CenterForm);
    // Only unloading the floating window ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QtTimerFactory timers;
    const QString folder = QCoreApplication::applicationDirPath();
    FloatingWindowEnvironment environment(timers);
    environment.applicationFolder = folder;
    environment.lockPaths =
        SingleInstanceLock::defaultPaths(folder, SingleInstanceLock::passwordDatabaseHome());
    environment.lockExtraPaths = SingleInstanceLock::defaultExtraPaths(folder);
    environment.loadSettings = &Module1::LoadSettingsFile;
    environment.removeLeftoverFiles = &SettingsFileProtocol::RemoveLeftoverTemporaryFiles;
    environment.activateRunningInstance = [] { ActivateRunningLogo(); };
    Form1 form1(std::move(environment));
    // Form1 hooks (popup menu, double-click, Back/Front mark) are connected here, before
    // Form_Load: its step 6 clears the Back/Front mark.
    Form2::ConnectFloatingWindow(form1, {&ShowAboutWindow, &ShowStatisticsWindow});
    // They end the program as unloading the floating window does; the viewer closes with it.
    // One that comes while a message box of the start waits (the refusal of a second start)
    // closes the box, and the program ends there.
    bool ended = false;
    termination.onSignal([&form1, &ended] {
        ended = true;
        form1.Unload();
    });
    if (!form1.Form_Load() || ended)
        return 0; // another instance runs, or the session ends
    // The web page viewer is a process of its own: its closing is seen here.
    QObject::connect(&ViewerProcess::instance(), &ViewerProcess::viewerFinished, &form1,
                     [&form1] { form1.ReturnFocusToLogo(); });
    return app.exec();
}
