#pragma once
// A client of sway's IPC socket that never makes the program wait: one connection kept open,
// requests written as they come and answered through callbacks, in order, as sway answers
// them. A request with no whole answer within its deadline fails, and the connection is reset:
// whatever was asked behind it fails with it. After a failure the socket is left alone for a
// while, so a sway that is gone costs nothing; a connection subscribed to events reconnects by
// itself, more and more rarely. A peer that hangs up never raises SIGPIPE.

#include "platform/timers.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

class SwayClient {
public:
    // sway's message types, as its IPC numbers them.
    enum class Message : quint32 {
        RunCommand = 0,
        GetWorkspaces = 1,
        Subscribe = 2,
        GetOutputs = 3,
        GetTree = 4,
    };
    // Events carry the high bit in the type.
    static constexpr quint32 WindowEvent = 0x80000003;
    // A tree of windows is far smaller; more is a peer that is not sway.
    static constexpr qint64 LargestAnswer = 16 << 20;

    // The answer's payload; none when the request failed.
    using Answer = std::function<void(const std::optional<QByteArray>& payload)>;
    using EventHandler = std::function<void(quint32 type, const QByteArray& payload)>;

    SwayClient(const QString& socketPath, TimerFactory& timers, int deadlineMs = 1000,
               int quietMs = 1000);
    ~SwayClient();
    SwayClient(const SwayClient&) = delete;
    SwayClient& operator=(const SwayClient&) = delete;

    // `answered` is called once, later, never from within ask().
    void ask(Message type, const QByteArray& payload, Answer answered = {});

    // Subscribes this connection to the events named (a JSON list such as ["window"]); they
    // reach `handler`, also after a reconnection. A connection that asks nothing else keeps
    // the events apart from the answers.
    void subscribe(const QByteArray& events, EventHandler handler);

private:
    struct Request {
        QByteArray message;
        Answer answered;
        QDeadlineTimer deadline;
    };
    bool connectIfClosed();
    void writeWaiting();
    void readAnswers();
    void armDeadline();
    void deadlinePassed();
    void fail();
    void failLater(Answer answered);
    void sendSubscription();
    void resubscribeLater();

    const QString m_path;
    const int m_deadlineMs;
    const int m_quietMs;
    QObject m_context; // queued calls die with the client
    QLocalSocket m_socket;
    QByteArray m_buffer;
    std::deque<Request> m_unsent; // while the connection is made
    std::deque<Request> m_sent;
    std::unique_ptr<Timer> m_deadline;
    std::unique_ptr<Timer> m_resubscribe;
    QDeadlineTimer m_quiet{0};
    int m_resubscribeMs;
    QByteArray m_events;
    EventHandler m_eventHandler;
};
