#include "test_support.h"

#include "core/module1.h"

#include <QFile>

TestAppFolder::TestAppFolder() {
    Module1::ResetState();
    Module1::SetApplicationFolder(m_dir.path());
}

TestAppFolder::~TestAppFolder() {
    Module1::ResetState();
    Module1::SetApplicationFolder(QString());
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

MessageBoxRecorder::MessageBoxRecorder() {
    m_previous = setMessageBoxPresenter([this](const MessageBoxRequest& request) {
        m_shown.append(request);
        if (!m_actions.empty()) {
            auto action = std::move(m_actions.front());
            m_actions.pop_front();
            action();
        }
        if (m_answers.empty())
            return defaultAnswer(request.style);
        const int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder() { setMessageBoxPresenter(std::move(m_previous)); }

QByteArray handRecord(int number, int frequency, int timing, const QByteArray& message,
                      int total, int last) {
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
