#pragma once
// The core rig's floating window with the configuration window wired to it, as main() wires
// them, started at once; the menu's window commands are the rig's own.

#include "../core/core_rig.h"
#include "core/form1_procedures.h"
#include "platform/timers.h"
#include "settings/form2.h"

#include <QCoreApplication>
#include <QtTest>
#include <functional>

struct SettingsRig : CoreRig {
    bool programEnded = false;
    // What the menu's About and Statistics run; empty = nothing.
    std::function<void()> showAbout;
    std::function<void()> showStatistics;

    // `folderParent`: where the application folder is made (a test's own file system).
    explicit SettingsRig(const QByteArray& settings = QByteArray(), bool writeSettings = true,
                         const QString& folderParent = QString())
        : CoreRig(folderParent) {
        // The headless platform cannot raise, lower or grab; it says so every time.
        static const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (!message.contains(QLatin1String("This plugin does not support")))
                    previous(type, context, message);
            });
        if (writeSettings)
            app.writeSettings(settings);
        env.endProgram = [this] { programEnded = true; };
        make();
        auto run = [](const std::function<void()>& command) {
            if (command)
                command();
        };
        Form2::ConnectFloatingWindow(
            *form, {[this, run] { run(showAbout); }, [this, run] { run(showStatistics); }});
        form->Form_Load();
        boxes.clear();
    }

    ~SettingsRig() {
        Form2::Unload();
        flushDeletes();
    }

    static void flushDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // What a double-click on the logo does, then the first activation of the window.
    Form2* openConfiguration() {
        ResetExerciseTimers();
        form->hooks.doubleClick();
        Form2* form2 = Form2::Loaded();
        if (form2 && form2->FreshlyLoaded())
            form2->Form_Activate();
        return form2;
    }

    bool anyWaitingTimer() const {
        for (int i = 0; i < Module1::ExerciseCount; ++i)
            if (form->Timer1(i).isEnabled())
                return true;
        return false;
    }
    bool allWaitingTimers() const {
        for (int i = 0; i < Module1::ExerciseCount; ++i)
            if (!form->Timer1(i).isEnabled())
                return false;
        return true;
    }
};

// A complete file: record i + 1 with the given frequency, timing, message and statistics.
inline QByteArray fullSettings(int timing = 10) {
    QByteArray bytes;
    for (int i = 0; i < Module1::ExerciseCount; ++i)
        bytes +=
            handRecord(i + 1, 100 + i, timing, "Message " + QByteArray::number(i), 50 + i, 5 + i);
    return bytes;
}
