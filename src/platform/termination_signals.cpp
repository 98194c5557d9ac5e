#include "termination_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int Caught[TerminationSignals::SignalCount] = {SIGTERM, SIGHUP, SIGINT};
volatile sig_atomic_t g_writeEnd = -1;

void noteSignal(int) {
    const int saved = errno;
    const char byte = 1;
    (void)!::write(g_writeEnd, &byte, 1); // a full pipe has enough notes already
    errno = saved;
}
} // namespace

TerminationSignals::TerminationSignals() {
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep their default action
    g_writeEnd = m_pipe[1];
    struct sigaction action = {};
    action.sa_handler = &noteSignal;
    sigemptyset(&action.sa_mask);
    // Calls the signal interrupts go on: a save must not fail on EINTR.
    action.sa_flags = SA_RESTART;
    for (int k = 0; k < SignalCount; ++k) {
        m_caught[k] = ::sigaction(Caught[k], nullptr, &m_previous[k]) == 0 &&
                      m_previous[k].sa_handler != SIG_IGN &&
                      ::sigaction(Caught[k], &action, nullptr) == 0;
    }
}

TerminationSignals::~TerminationSignals() {
    if (m_pipe[1] < 0)
        return;
    for (int k = 0; k < SignalCount; ++k) {
        struct sigaction now = {};
        if (m_caught[k] && ::sigaction(Caught[k], nullptr, &now) == 0 &&
            now.sa_handler == &noteSignal)
            ::sigaction(Caught[k], &m_previous[k], nullptr);
        m_caught[k] = false;
    }
    g_writeEnd = -1;
    // The notifier watches the read end: it goes before the descriptor it names is closed.
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void TerminationSignals::onSignal(std::function<void()> end) {
    m_end = std::move(end);
    if (m_pipe[0] < 0 || m_notifier)
        return;
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char notes[64];
        while (::read(m_pipe[0], notes, sizeof notes) > 0) {
        }
        if (m_end)
            m_end();
    });
}
