#include "timers.h"

#include <QTimer>
#include <algorithm>
#include <limits>

namespace {
class QtTimer final : public Timer {
public:
    QtTimer() {
        // Coarse timers let the system batch wake-ups; 5 % slack is invisible here.
        m_timer.setTimerType(Qt::CoarseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { fire(); });
    }
    void setInterval(int ms) override { m_timer.setInterval(ms); }
    int interval() const override { return m_timer.interval(); }
    void setEnabled(bool enabled) override {
        if (enabled && !m_timer.isActive())
            m_timer.start();
        else if (!enabled)
            m_timer.stop();
    }
    bool isEnabled() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};
} // namespace

std::unique_ptr<Timer> QtTimerFactory::createTimer() { return std::make_unique<QtTimer>(); }

class SimulatedClock::SimTimer final : public Timer {
public:
    SimTimer(std::shared_ptr<SimulatedClock*> clock, quint64 serial)
        : m_clock(std::move(clock)), m_serial(serial) {}
    ~SimTimer() override {
        if (SimulatedClock* clock = *m_clock) {
            auto& list = clock->m_timers;
            list.erase(std::remove(list.begin(), list.end(), this), list.end());
        }
    }
    void setInterval(int ms) override {
        m_interval = std::max(0, ms);
        if (m_enabled)
            arm();
    }
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override {
        if (enabled && !m_enabled) {
            m_enabled = true;
            arm();
        } else if (!enabled) {
            m_enabled = false;
        }
    }
    bool isEnabled() const override { return m_enabled; }

    void arm() {
        if (SimulatedClock* clock = *m_clock)
            m_due = clock->m_now + std::max(1, m_interval);
    }
    void tick() {
        arm(); // the next period starts now, unless the callback re-arms or disables
        fire();
    }

    std::shared_ptr<SimulatedClock*> m_clock;
    quint64 m_serial;
    int m_interval = 0;
    bool m_enabled = false;
    qint64 m_due = 0;
};

SimulatedClock::SimulatedClock() : m_self(std::make_shared<SimulatedClock*>(this)) {}

SimulatedClock::~SimulatedClock() { *m_self = nullptr; }

std::unique_ptr<Timer> SimulatedClock::createTimer() {
    auto timer = std::make_unique<SimTimer>(m_self, m_nextSerial++);
    m_timers.push_back(timer.get());
    return timer;
}

SimulatedClock::SimTimer* SimulatedClock::nextDue(qint64 limit) const {
    SimTimer* best = nullptr;
    for (SimTimer* t : m_timers) {
        if (!t->m_enabled || t->m_due > limit)
            continue;
        if (!best || t->m_due < best->m_due ||
            (t->m_due == best->m_due && t->m_serial < best->m_serial))
            best = t;
    }
    return best;
}

void SimulatedClock::advance(qint64 milliseconds) { advanceTo(m_now + milliseconds); }

void SimulatedClock::advanceTo(qint64 time) {
    while (SimTimer* t = nextDue(time)) {
        m_now = t->m_due;
        t->tick();
    }
    m_now = std::max(m_now, time);
}

bool SimulatedClock::runNextInstant(qint64 horizon) {
    SimTimer* first = nextDue(m_now + horizon);
    if (!first)
        return false;
    const qint64 instant = first->m_due;
    while (SimTimer* t = nextDue(instant)) {
        m_now = instant;
        t->tick();
    }
    m_now = instant;
    return true;
}

int SimulatedClock::liveTimers() const { return static_cast<int>(m_timers.size()); }
