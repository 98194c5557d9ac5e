#pragma once
// Helpers every test uses: a private application folder, and message boxes answered from a
// queue and recorded, so no test ever blocks on a modal box.

#include "platform/message_box.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>

// A fresh temporary application folder for the test's lifetime, with Module1 reset; inside
// `parent` when given (a small file system of the test's own, say).
class TestAppFolder {
public:
    explicit TestAppFolder(const QString& parent = QString());
    ~TestAppFolder();
    QString path() const { return m_dir.path(); }
    QString settingsPath() const;
    void writeSettings(const QByteArray& bytes) const;
    QByteArray readSettings() const;
    bool settingsExists() const;

private:
    QTemporaryDir m_dir;
};

// A small file system mounted for the test's lifetime (tmpfs; needs root, so a test checks
// mounted() and skips without it). fill() takes every free byte, release() gives them back.
class SmallFileSystem {
public:
    SmallFileSystem();
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    bool mounted() const { return m_mounted; }
    QString path() const { return m_mountPoint.path(); }
    void fill() const;
    void release() const;
    // Remounts it read-only, with `file` (which must exist inside it) replaced by a writable
    // file bound in from elsewhere: a read-only folder holding a writable LOGO2.DAT.
    bool makeReadOnlyWithWritable(const QString& file);

private:
    QTemporaryDir m_mountPoint;
    QTemporaryDir m_outside;
    QStringList m_binds; // innermost first
    bool m_mounted = false;
};

// Makes the application folder forbid new files while its LOGO2.DAT stays writable: on `disk`,
// read-only with the file bound in, when it is mounted (the folder must live on it); otherwise
// by permissions (which root would ignore). Returns false when neither can be done.
bool forbidNewFilesInFolder(SmallFileSystem& disk, const TestAppFolder& folder);

// Makes `file` readable but not writable (for root: immutable, where the file system allows
// it), or writable again. Returns false when it cannot.
bool setWritable(const QString& file, bool writable);

class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    // The answer for the next box; without one a box takes its default button.
    void queueAnswer(int answer) { m_answers.push_back(answer); }
    // Runs while the next box is "open" (to check what happens only after it is dismissed).
    void onNextBox(std::function<void()> action) { m_actions.push_back(std::move(action)); }
    const QList<MessageBoxRequest>& shown() const { return m_shown; }
    int count() const { return m_shown.size(); }
    MessageBoxRequest last() const {
        return m_shown.isEmpty() ? MessageBoxRequest{} : m_shown.last();
    }
    void clear() { m_shown.clear(); }

private:
    QList<MessageBoxRequest> m_shown;
    std::deque<int> m_answers;
    std::deque<std::function<void()>> m_actions;
    MessageBoxPresenter m_previous;
};

// What a window test starts each test function with: its own application folder and a box
// recorder. Made in init() and dropped in cleanup(); the recorder goes before the folder.
struct TestSandbox {
    explicit TestSandbox(const QString& parent = QString()) : folder(parent) {}
    TestAppFolder folder;
    MessageBoxRecorder boxes;
};

// A 70-byte record written out by hand for byte comparisons: little-endian numbers and a
// message padded with spaces.
QByteArray handRecord(int number, int frequency, int timing, const QByteArray& message, int total,
                      int last);
