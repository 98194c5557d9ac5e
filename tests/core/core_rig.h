#pragma once
// A floating window started in virtual time, in its own application folder, with message
// boxes recorded and its own single-instance lock.

#include "core/form1.h"
#include "core/module1.h"
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
    std::unique_ptr<Form1> form;
    int backFrontCalls = 0;
    int doubleClicks = 0;

    CoreRig() { Form1::SetInstanceLockPath(app.path() + QStringLiteral("/run/lumivista.lock")); }
    ~CoreRig() {
        form.reset();
        Form1::SetInstanceLockPath(QString());
        SetScreenMetricsOverride(std::nullopt);
    }

    // Exercise index -> (Frequency, Timing); the others are 0, 0.
    void writeSettings(const std::map<int, std::pair<int, int>>& settings) {
        QByteArray bytes;
        for (int i = 0; i < Module1::ExerciseCount; ++i) {
            auto it = settings.find(i);
            const int f = it == settings.end() ? 0 : it->second.first;
            const int t = it == settings.end() ? 0 : it->second.second;
            bytes += handRecord(i + 1, f, t, "message", 0, 0);
        }
        app.writeSettings(bytes);
    }

    Form1& make() {
        form = std::make_unique<Form1>(clock);
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

    QWindow* window() const { return form->windowHandle(); }

    int displayed() const {
        int n = 0;
        for (int i = 0; i < Module1::ExerciseCount; ++i)
            n += form->Timer2(i).isEnabled() ? 1 : 0;
        return n;
    }
};
