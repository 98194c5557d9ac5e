#pragma once
// A floating window started in virtual time, in its own application folder, with message
// boxes recorded and its own single-instance lock: all of it given to the window when it is
// made, as main() gives the real ones, so nothing outlives the test.

#include "core/form1.h"
#include "core/module1.h"
#include "settings/module1_settings.h"
#include "settings/settings_file.h"
#include "test_support.h"

#include <QFile>
#include <QTest>
#include <QWindow>
#include <map>
#include <memory>
#include <utility>

struct CoreRig {
    TestAppFolder app;
    MessageBoxRecorder boxes;
    SimulatedClock clock;
    // What make() gives the window; a test changes it before.
    FloatingWindowEnvironment env{clock};
    std::unique_ptr<Form1> form;
    int backFrontCalls = 0;
    int doubleClicks = 0;

    // `folderParent`: where the application folder is made (a test's own file system).
    explicit CoreRig(const QString& folderParent = QString()) : app(folderParent) {
        env.applicationFolder = app.path();
        env.lockPaths = {app.path() + QStringLiteral("/run/lumivista.lock")};
        env.loadSettings = &Module1::LoadSettingsFile;
        env.removeLeftoverFiles = &SettingsFileProtocol::RemoveLeftoverTemporaryFiles;
    }
    ~CoreRig() { form.reset(); }

    // A file of exercise index -> (Frequency, Timing); the others are 0, 0.
    using Settings = std::map<int, std::pair<int, int>>;
    static QByteArray settingsBytes(const Settings& settings) {
        QByteArray bytes;
        for (int i = 0; i < Module1::ExerciseCount; ++i) {
            auto it = settings.find(i);
            const int f = it == settings.end() ? 0 : it->second.first;
            const int t = it == settings.end() ? 0 : it->second.second;
            bytes += handRecord(i + 1, f, t, "message", 0, 0);
        }
        return bytes;
    }
    void writeSettings(const Settings& settings) { app.writeSettings(settingsBytes(settings)); }

    Form1& make() {
        form = std::make_unique<Form1>(env);
        form->hooks.setBackFrontMark = [this](bool) { ++backFrontCalls; };
        form->hooks.doubleClick = [this] { ++doubleClicks; };
        return *form;
    }

    Form1& start() {
        make();
        if (!form->Form_Load())
            qFatal("Form_Load refused");
        return *form;
    }
    Form1& start(const Settings& settings) {
        writeSettings(settings);
        return start();
    }

    QWindow* window() const { return form->windowHandle(); }

    int displayed() const {
        int n = 0;
        for (int i = 0; i < Module1::ExerciseCount; ++i)
            n += form->Timer2(i).isEnabled() ? 1 : 0;
        return n;
    }
};
