#pragma once
// SIGTERM, SIGHUP and SIGINT (a logout, a closed terminal, Ctrl+C) end the program the way
// closing its window does, from the event loop: the signal handler only writes a byte to a
// pipe, so a save running on the GUI thread is finished first, never cut off halfway.

#include <QObject>
#include <csignal>
#include <functional>

class QSocketNotifier;

class TerminationSignals : public QObject {
public:
    // From now on the signals are caught (unless ignored, as under nohup); one that comes
    // waits for onSignal().
    TerminationSignals();
    // The signals we caught do again what they did before (by default, end the process).
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // `end` runs in the event loop for the signals that came and that come.
    void onSignal(std::function<void()> end);

    static constexpr int SignalCount = 3;

private:
    // What each signal did before, and whether we caught it.
    struct sigaction m_previous[SignalCount] = {};
    bool m_caught[SignalCount] = {};
    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    std::function<void()> m_end;
};
