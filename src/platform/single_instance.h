#pragma once
// One running copy per user. The lock is an flock() on a file in the user's runtime folder:
// the kernel drops it when the holding process ends, however it ends, so a lock left by a
// crash never blocks the next start, whatever PID the next process gets.

#include <QString>

class SingleInstanceLock {
public:
    enum class State {
        Acquired,     // this process is the one instance
        HeldByOther,  // another live process holds the lock
        Unavailable,  // the lock file cannot be made; the program runs unguarded
    };

    explicit SingleInstanceLock(const QString& path);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    State state() const { return m_state; }
    QString path() const { return m_path; }

    // <runtime folder of the user>/lumivista.lock
    static QString DefaultPath();

private:
    QString m_path;
    int m_fd = -1;
    State m_state = State::Unavailable;
};
