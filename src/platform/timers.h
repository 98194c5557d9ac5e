#pragma once
// Timers with an interval, an enabled state and a tick callback. The program uses real
// QTimers; tests use SimulatedClock, which runs hours of ticks in virtual time.
//
// Semantics shared by both implementations:
// - enabling a disabled timer starts a new period from now;
// - enabling an already enabled timer changes nothing (its phase is kept);
// - changing the interval of an enabled timer starts a new period from now;
// - a timer disabled inside any callback does not fire again.

#include <QtGlobal>
#include <functional>
#include <memory>
#include <vector>

class QTimer;

class Timer {
public:
    virtual ~Timer() = default;
    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    void setCallback(std::function<void()> callback) { m_callback = std::move(callback); }

protected:
    void fire() {
        if (m_callback)
            m_callback();
    }

private:
    std::function<void()> m_callback;
};

class TimerFactory {
public:
    virtual ~TimerFactory() = default;
    virtual std::unique_ptr<Timer> createTimer() = 0;
};

// Real timers on the GUI thread's event loop.
class QtTimerFactory : public TimerFactory {
public:
    std::unique_ptr<Timer> createTimer() override;
};

// Virtual time. Timers due at the same instant fire in the order they were created.
class SimulatedClock : public TimerFactory {
public:
    SimulatedClock();
    ~SimulatedClock() override;
    std::unique_ptr<Timer> createTimer() override;

    qint64 now() const { return m_now; }
    // Runs every tick due up to and including now() + milliseconds, then sets the clock there.
    void advance(qint64 milliseconds);
    void advanceTo(qint64 time);
    // Runs ticks until the next tick instant (if any lies within the horizon); returns false
    // when none is due within it.
    bool runNextInstant(qint64 horizon);
    int liveTimers() const;

private:
    class SimTimer;
    friend class SimTimer;
    SimTimer* nextDue(qint64 limit) const;

    qint64 m_now = 0;
    quint64 m_nextSerial = 0;
    std::vector<SimTimer*> m_timers;
    std::shared_ptr<SimulatedClock*> m_self;
};
