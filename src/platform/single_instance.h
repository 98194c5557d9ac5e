#pragma once
// One running copy per user. The lock is an flock() on a file in a private folder of the user:
// the kernel drops it when the holding process ends, however it ends, so a lock left by a
// crash never blocks the next start, whatever PID the next process gets.
//
// Only folders and files that belong to this user, and that no one else can write, are
// trusted; whatever another user prepared is passed over, so it can neither block the start
// nor hold our lock. The lock is taken in every trusted place at once, so two starts agree
// even when their environments differ (one with a runtime folder, one without).

#include <QString>
#include <QStringList>
#include <vector>

class SingleInstanceLock {
public:
    enum class State {
        Acquired,    // this process is the one instance
        HeldByOther, // another live process of this user holds the lock
        Unavailable, // no trusted place for the lock: the start cannot be guarded
    };

    // Lock files, tried in order; the last ones only serve when none before them can be used.
    explicit SingleInstanceLock(const QStringList& paths, int fallbacks = 0);
    explicit SingleInstanceLock(const QString& path) : SingleInstanceLock(QStringList{path}) {}
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    State state() const { return m_state; }
    // The lock files this process holds.
    QStringList heldPaths() const { return m_heldPaths; }

    // The runtime folder's lock (when XDG_RUNTIME_DIR is set), then $TMPDIR/lumivista-UID's; and,
    // when neither can be used, a hidden lock file in the application folder.
    static QStringList defaultPaths(const QString& applicationFolder);
    static constexpr int DefaultFallbacks = 1;

private:
    enum class Attempt { Taken, Busy, Untrusted };
    Attempt tryLock(const QString& path);

    std::vector<int> m_fds;
    QStringList m_heldPaths;
    State m_state = State::Unavailable;
};
