#pragma once
// A browser component whose pages load only when the test says so. Navigations are recorded
// and finish with finishLoad(); titles come from a table the test fills.

#include "info/browser_component.h"
#include "platform/failure.h"

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class FakeBrowser : public BrowserComponent {
public:
    QStringList calls;              // "Navigate:<text>", "GoBack", "Stop", ...
    QHash<QString, QString> titles; // address -> page title
    QString homePage = QStringLiteral("http://component.home.test/");
    QString searchPage = QStringLiteral("http://component.search.test/");
    bool failNavigate = false;
    bool busy = false;

    FakeBrowser() : m_widget(new QWidget) {}
    ~FakeBrowser() override { delete m_widget.data(); }

    QWidget* widget() override { return m_widget; }

    void Navigate(const QString& address) override {
        calls << QStringLiteral("Navigate:") + address;
        if (failNavigate)
            throw Failure(FailureCode::WindowSystem);
        startLoad(address);
    }
    void GoBack() override {
        calls << QStringLiteral("GoBack");
        if (m_index > 0)
            startLoad(m_history[m_index - 1], -1);
    }
    void GoForward() override {
        calls << QStringLiteral("GoForward");
        if (m_index + 1 < m_history.size())
            startLoad(m_history[m_index + 1], +1);
    }
    void GoHome() override {
        calls << QStringLiteral("GoHome");
        startLoad(homePage);
    }
    void GoSearch() override {
        calls << QStringLiteral("GoSearch");
        startLoad(searchPage);
    }
    void Refresh() override {
        calls << QStringLiteral("Refresh");
        if (m_index >= 0)
            startLoad(m_history[m_index], 0);
    }
    void Stop() override {
        calls << QStringLiteral("Stop");
        busy = false;
        m_pending.clear();
    }
    bool Busy() const override { return busy; }
    QString LocationName() const override {
        return m_index >= 0 ? titles.value(m_history[m_index], m_history[m_index]) : QString();
    }
    QString LocationURL() const override { return m_index >= 0 ? m_history[m_index] : QString(); }

    // The pending load reaches its page: both notifications, as the engine gives them.
    void finishLoad() {
        if (m_pending.isEmpty())
            return;
        const QString url = m_pending;
        m_pending.clear();
        if (m_move == 2) {
            m_history = m_history.mid(0, m_index + 1);
            m_history << url;
            m_index = m_history.size() - 1;
        } else {
            m_index += m_move;
        }
        busy = false;
        emit NavigateComplete(url);
        emit DownloadComplete();
    }
    QString pending() const { return m_pending; }
    int navigateCount() const { return calls.filter(QStringLiteral("Navigate:")).size(); }

private:
    // move: 2 = a new entry after the current one, else a step in the history.
    void startLoad(const QString& url, int move = 2) {
        m_pending = url;
        m_move = move;
        busy = true;
    }

    QPointer<QWidget> m_widget;
    QStringList m_history;
    int m_index = -1;
    QString m_pending;
    int m_move = 2;
};
