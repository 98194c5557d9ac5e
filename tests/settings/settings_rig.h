#pragma once
// A floating window on virtual time with the configuration window wired to it, in the test's
// own application folder, every message box recorded.

#include "core/form1.h"
#include "core/form1_procedures.h"
#include "core/module1.h"
#include "platform/timers.h"
#include "settings/form2.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QtTest>
#include <memory>

struct SettingsRig {
    TestAppFolder folder;
    MessageBoxRecorder boxes;
    SimulatedClock clock;
    std::unique_ptr<Form1> form1;
    bool programEnded = false;

    // `folderParent`: where the application folder is made (a test's own file system).
    explicit SettingsRig(const QByteArray& settings = QByteArray(), bool writeSettings = true,
                         const QString& folderParent = QString())
        : folder(folderParent) {
        // The headless platform cannot raise, lower or grab; it says so every time.
        static const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (!message.contains(QLatin1String("This plugin does not support")))
                    previous(type, context, message);
            });
        if (writeSettings)
            folder.writeSettings(settings);
        Form1::SetInstanceLockPath(folder.path() + QStringLiteral("/instance.lock"));
        Form1::SetEndProgram([this] { programEnded = true; });
        form1 = std::make_unique<Form1>(clock);
        Form2::ConnectFloatingWindow(*form1);
        form1->Form_Load();
        boxes.clear();
    }

    ~SettingsRig() {
        Form2::Unload();
        flushDeletes();
        form1.reset();
        Form1::SetEndProgram(nullptr);
    }

    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // What a double-click on the logo does, then the first activation of the window.
    Form2* openConfiguration() {
        ResetExerciseTimers();
        form1->hooks.doubleClick();
        Form2* form2 = Form2::Loaded();
        if (form2 && form2->FreshlyLoaded())
            form2->Form_Activate();
        return form2;
    }

    bool anyWaitingTimer() const {
        for (int i = 0; i < Module1::ExerciseCount; ++i)
            if (form1->Timer1(i).isEnabled())
                return true;
        return false;
    }
    bool allWaitingTimers() const {
        for (int i = 0; i < Module1::ExerciseCount; ++i)
            if (!form1->Timer1(i).isEnabled())
                return false;
        return true;
    }
};

// A complete file: record i + 1 with the given frequency, timing, message and statistics.
inline QByteArray fullSettings(int timing = 10) {
    QByteArray bytes;
    for (int i = 0; i < Module1::ExerciseCount; ++i)
        bytes += handRecord(i + 1, 100 + i, timing, "Message " + QByteArray::number(i), 50 + i,
                            5 + i);
    return bytes;
}
