#pragma once
// One running copy per user and installation. The lock is an flock() on a file in a private
// folder of the user: the kernel drops it when the holding process ends, however it ends, so a
// lock left by a crash never blocks the next start, whatever PID the next process gets.
//
// Only folders and files that belong to this user, and that no one else can write, are
// trusted; whatever another user prepared is passed over, so it can neither block the start
// nor hold our lock. Every start of the user finds the same places, whatever its environment:
// the first of them that can be used is taken, and the places only some environments have
// (the runtime folder) are taken as well.

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

    // `paths`: the places every start sees alike, by preference; the first that can be used is
    // taken, and without one the start is not guarded. `extraPaths`: places only some starts
    // see; each is taken as well when it can be used.
    explicit SingleInstanceLock(const QStringList& paths, const QStringList& extraPaths = {});
    explicit SingleInstanceLock(const QString& path) : SingleInstanceLock(QStringList{path}) {}
    // Releases the lock and removes the files it held.
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    State state() const { return m_state; }
    // The lock files this process holds.
    QStringList heldPaths() const { return m_heldPaths; }

    // A folder in `home` (the program gives passwordDatabaseHome()), then /run/user/UID,
    // /tmp/lumivista-UID and a hidden file in the application folder. The file's name tells the
    // machine and the application folder apart: copies of other installations, or on other
    // machines sharing the home, are not this one.
    static QStringList defaultPaths(const QString& applicationFolder, const QString& home);
    // The home the password database names: unlike $HOME, the same in every environment of the
    // user. Empty when there is none.
    static QString passwordDatabaseHome();
    // $XDG_RUNTIME_DIR's lock, when it is set.
    static QStringList defaultExtraPaths(const QString& applicationFolder);

private:
    enum class Attempt { Taken, Busy, Untrusted };
    Attempt tryLock(const QString& path);
    void release();

    std::vector<int> m_fds;
    QStringList m_heldPaths;
    State m_state = State::Unavailable;
};
