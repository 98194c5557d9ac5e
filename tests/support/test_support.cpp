#include "test_support.h"

#include "core/module1.h"
#include "settings/module1_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

TestAppFolder::TestAppFolder(const QString& parent)
    : m_dir(parent.isEmpty() ? QDir::tempPath() + QStringLiteral("/lumivista-test-XXXXXX")
                             : parent + QStringLiteral("/app-XXXXXX")) {
    Module1::ResetState();
    Module1::ResetFileState();
    // The state the file layer reads; a floating window is given the same folder when made.
    Module1::ApplicationFolder = m_dir.path();
}

TestAppFolder::~TestAppFolder() {
    // A test may have taken the write permission away; the folder must still go.
    if (QFileInfo(settingsPath()).isFile())
        setWritable(settingsPath(), true);
    QFile::setPermissions(m_dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    Module1::ResetState();
    Module1::ResetFileState();
}

QString TestAppFolder::settingsPath() const { return m_dir.path() + QStringLiteral("/LOGO2.DAT"); }

void TestAppFolder::writeSettings(const QByteArray& bytes) const {
    QFile file(settingsPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test's LOGO2.DAT");
}

QByteArray TestAppFolder::readSettings() const {
    QFile file(settingsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TestAppFolder::settingsExists() const { return QFile::exists(settingsPath()); }

SmallFileSystem::SmallFileSystem() {
    if (::geteuid() != 0)
        return;
    m_mounted = ::mount("tmpfs", QFile::encodeName(path()).constData(), "tmpfs", 0,
                        "size=256k,mode=0755") == 0;
}

SmallFileSystem::~SmallFileSystem() {
    for (const QString& bind : m_binds)
        ::umount2(QFile::encodeName(bind).constData(), MNT_DETACH);
    if (m_mounted)
        ::umount2(QFile::encodeName(path()).constData(), MNT_DETACH);
}

void SmallFileSystem::fill() const {
    QFile filler(path() + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        qFatal("cannot create the filler file");
    const QByteArray block(4096, 'f');
    while (filler.write(block) > 0) {
    }
    const QByteArray byte(1, 'f');
    while (filler.write(byte) > 0) {
    }
}

void SmallFileSystem::release() const { QFile::remove(path() + QStringLiteral("/filler")); }

bool SmallFileSystem::makeReadOnlyWithWritable(const QString& file) {
    // A read-only bind of the folder over itself (files already open there stay writable
    // through the mount below it), then the writable copy bound over the file.
    const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
    const QString outside = m_outside.path() + QStringLiteral("/bound");
    if (!m_mounted || !QFile::copy(file, outside) ||
        ::mount(folder.constData(), folder.constData(), nullptr, MS_BIND, nullptr) != 0)
        return false;
    m_binds.prepend(QString::fromLocal8Bit(folder));
    if (::mount(nullptr, folder.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) !=
            0 ||
        ::mount(QFile::encodeName(outside).constData(), QFile::encodeName(file).constData(),
                nullptr, MS_BIND, nullptr) != 0)
        return false;
    m_binds.prepend(file);
    return true;
}

bool setWritable(const QString& file, bool writable) {
    const QByteArray path = QFile::encodeName(file);
    if (::geteuid() != 0)
        return ::chmod(path.constData(), writable ? 0644 : 0444) == 0;
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    int flags = 0;
    const bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                      (flags = writable ? flags & ~FS_IMMUTABLE_FL : flags | FS_IMMUTABLE_FL,
                       ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (fd >= 0)
        ::close(fd);
    return done;
}

bool forbidNewFilesInFolder(SmallFileSystem& disk, const TestAppFolder& folder) {
    if (disk.mounted())
        return disk.makeReadOnlyWithWritable(folder.settingsPath());
    if (::geteuid() == 0)
        return false;
    return QFile::setPermissions(folder.settingsPath(),
                                 QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
           QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
}

MessageBoxRecorder::MessageBoxRecorder() {
    m_previous = SetMessageBoxPresenter([this](const MessageBoxRequest& request) {
        m_shown.append(request);
        if (!m_actions.empty()) {
            auto action = std::move(m_actions.front());
            m_actions.pop_front();
            action();
        }
        if (m_answers.empty())
            return DefaultAnswer(request.style);
        const int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder() { SetMessageBoxPresenter(std::move(m_previous)); }

QByteArray handRecord(int number, int frequency, int timing, const QByteArray& message, int total,
                      int last) {
    auto le = [](int v) {
        QByteArray b(2, '\0');
        b[0] = char(v & 0xFF);
        b[1] = char((v >> 8) & 0xFF);
        return b;
    };
    QByteArray text = message.left(60);
    text.append(QByteArray(60 - text.size(), ' '));
    return le(number) + le(frequency) + le(timing) + text + le(total) + le(last);
}
