#include "sway_client.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstring>

namespace {
// "i3-ipc", the payload's length and the message's type, in the machine's byte order.
constexpr qsizetype HeaderSize = 14;
const QByteArray Magic("i3-ipc");

QByteArray framed(SwayClient::Message type, const QByteArray& payload) {
    const quint32 header[] = {quint32(payload.size()), quint32(type)};
    return Magic + QByteArray(reinterpret_cast<const char*>(header), sizeof header) + payload;
}
} // namespace

SwayClient::SwayClient(const QString& socketPath, TimerFactory& timers, int deadlineMs, int quietMs)
    : m_path(socketPath), m_deadlineMs(deadlineMs), m_quietMs(quietMs),
      m_deadline(timers.createTimer()), m_resubscribe(timers.createTimer()),
      m_resubscribeMs(quietMs) {
    m_deadline->setCallback([this] { deadlinePassed(); });
    m_resubscribe->setCallback([this] {
        m_resubscribe->setEnabled(false);
        sendSubscription();
    });
    // Before its first socket write QtNetwork ignores SIGPIPE for the whole process: a peer
    // that has hung up is an error here, not a signal that ends the program.
    QObject::connect(&m_socket, &QLocalSocket::connected, &m_context, [this] { writeWaiting(); });
    QObject::connect(&m_socket, &QLocalSocket::readyRead, &m_context, [this] { readAnswers(); });
    QObject::connect(&m_socket, &QLocalSocket::disconnected, &m_context, [this] { fail(); });
    QObject::connect(&m_socket, &QLocalSocket::errorOccurred, &m_context, [this] { fail(); });
}

SwayClient::~SwayClient() {
    QObject::disconnect(&m_socket, nullptr, &m_context, nullptr);
    m_socket.abort();
}

void SwayClient::ask(Message type, const QByteArray& payload, Answer answered) {
    if (!connectIfClosed()) {
        failLater(std::move(answered));
        return;
    }
    m_unsent.push_back({framed(type, payload), std::move(answered), QDeadlineTimer(m_deadlineMs)});
    if (m_socket.state() == QLocalSocket::ConnectedState)
        writeWaiting();
    armDeadline();
}

void SwayClient::subscribe(const QByteArray& events, EventHandler handler) {
    m_events = events;
    m_eventHandler = std::move(handler);
    sendSubscription();
}

void SwayClient::sendSubscription() {
    ask(Message::Subscribe, m_events, [this](const std::optional<QByteArray>& answer) {
        if (!answer)
            resubscribeLater();
        else if (QJsonDocument::fromJson(*answer).object().value(QLatin1String("success")).toBool())
            m_resubscribeMs = m_quietMs;
    });
}

bool SwayClient::connectIfClosed() {
    if (m_socket.state() != QLocalSocket::UnconnectedState)
        return true;
    if (!m_quiet.hasExpired())
        return false;
    m_buffer.clear();
    m_socket.connectToServer(m_path);
    return m_socket.state() != QLocalSocket::UnconnectedState;
}

void SwayClient::writeWaiting() {
    while (!m_unsent.empty()) {
        m_socket.write(m_unsent.front().message);
        m_sent.push_back(std::move(m_unsent.front()));
        m_unsent.pop_front();
    }
    m_socket.flush(); // as much as the socket takes now, without waiting
}

void SwayClient::readAnswers() {
    m_buffer += m_socket.readAll();
    while (m_buffer.size() >= HeaderSize) {
        quint32 length = 0;
        quint32 type = 0;
        std::memcpy(&length, m_buffer.constData() + 6, sizeof length);
        std::memcpy(&type, m_buffer.constData() + 10, sizeof type);
        const bool event = (type & 0x80000000u) != 0;
        if (!m_buffer.startsWith(Magic) || length > LargestAnswer || (!event && m_sent.empty())) {
            fail(); // not sway speaking
            return;
        }
        if (m_buffer.size() < HeaderSize + qsizetype(length))
            break;
        const QByteArray payload = m_buffer.mid(HeaderSize, length);
        m_buffer.remove(0, HeaderSize + length);
        if (event) {
            if (m_eventHandler)
                m_eventHandler(type, payload);
            continue;
        }
        Answer answered = std::move(m_sent.front().answered);
        m_sent.pop_front();
        if (answered)
            answered(payload);
    }
    armDeadline();
}

void SwayClient::armDeadline() {
    m_deadline->setEnabled(false);
    const Request* first = !m_sent.empty()     ? &m_sent.front()
                           : !m_unsent.empty() ? &m_unsent.front()
                                               : nullptr;
    if (!first)
        return;
    m_deadline->setInterval(int(std::max<qint64>(1, first->deadline.remainingTime())));
    m_deadline->setEnabled(true);
}

void SwayClient::deadlinePassed() {
    m_deadline->setEnabled(false);
    const bool late = (!m_sent.empty() && m_sent.front().deadline.hasExpired()) ||
                      (!m_unsent.empty() && m_unsent.front().deadline.hasExpired());
    if (late)
        fail(); // the rest was asked behind it, on the same connection
    else
        armDeadline();
}

void SwayClient::fail() {
    std::deque<Request> failed;
    failed.swap(m_sent);
    std::move(m_unsent.begin(), m_unsent.end(), std::back_inserter(failed));
    m_unsent.clear();
    m_buffer.clear();
    m_deadline->setEnabled(false);
    m_quiet.setRemainingTime(m_quietMs);
    if (m_socket.state() != QLocalSocket::UnconnectedState)
        m_socket.abort();
    if (!m_events.isEmpty())
        resubscribeLater();
    for (Request& request : failed)
        failLater(std::move(request.answered));
}

// Each time a little later: a socket that hangs up at once is not knocked at on every tick.
void SwayClient::resubscribeLater() {
    if (m_resubscribe->isEnabled())
        return;
    m_resubscribe->setInterval(m_resubscribeMs);
    m_resubscribe->setEnabled(true);
    m_resubscribeMs = std::min(2 * m_resubscribeMs, 60000);
}

void SwayClient::failLater(Answer answered) {
    if (answered)
        QMetaObject::invokeMethod(
            &m_context, [answered = std::move(answered)] { answered(std::nullopt); },
            Qt::QueuedConnection);
}
