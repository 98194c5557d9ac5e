#pragma once
// The viewer's browser component on QtWebEngine. Only the viewer process links it, so the
// main program never loads the web engine.
//
// What a page may not do here: open any address but an http or https page (no other program
// is ever started for a link), show more than a few dialogs per page the user opens, keep the
// window from closing with a dialog, or use more memory than the viewer allows the process that
// runs it (that process then ends; the viewer lives on).

#include "info/browser_component.h"
#include "platform/timers.h"

#include <QPointer>
#include <QString>
#include <QUrl>
#include <memory>

class QDialog;
class QLabel;
class QWebEngineProfile;
class QWebEngineView;
class QWebEngineLoadingInfo;

// The component's own pages, what its Home and Search buttons open. They are the engine's
// settings, not the viewer's start page; reserved example sites, since the program has no
// portal or search provider of its own.
namespace ComponentPages {
inline const QString Home = QStringLiteral("https://www.example.com/");
inline const QString Search = QStringLiteral("https://www.example.net/");
} // namespace ComponentPages

class WebEngineComponent : public BrowserComponent {
    Q_OBJECT
public:
    explicit WebEngineComponent(TimerFactory& timers,
                                const QString& homePage = ComponentPages::Home,
                                const QString& searchPage = ComponentPages::Search,
                                QObject* parent = nullptr);
    ~WebEngineComponent() override;

    // The page area: a line for what the viewer has to say above the page itself.
    QWidget* widget() override;
    void Navigate(const QString& address) override;
    void GoBack() override;
    void GoForward() override;
    void GoHome() override;
    void GoSearch() override;
    void Refresh() override;
    void Stop() override;
    bool Busy() const override;
    QString LocationName() const override;
    QString LocationURL() const override;

    QWebEngineView* view() const { return m_view; }
    // The line above the page ("" when there is nothing to say).
    QString Notice() const;

    // Whether a page may go to this address: http and https only; a frame may also hold the
    // engine's own blank, data and blob documents, which reach no other program.
    static bool Opens(const QUrl& url, bool mainFrame = true);
    // Dialogs a page may show per page the user opens; the rest are answered at once.
    static constexpr int DialogsPerPage = 3;
    // Most a page's process may hold in data (bytes), and the pages' script heap (MB).
    static constexpr qint64 ProcessDataLimit = qint64(1) << 30;
    static constexpr int ScriptHeapLimitMB = 512;

    // Settings the engine reads at start-up; call before the QApplication is made.
    static void PrepareProcess();

private:
    friend class ViewerPage;
    void request();
    void settle();
    void loadingChanged(const QWebEngineLoadingInfo& info);
    void refuse(const QUrl& url);
    void pageEnded(int status);
    void showNotice(const QString& text);
    // Shows a page's dialog over the window: how it was closed, -1 when it was not shown.
    int runPageDialog(QDialog* dialog);
    bool eventFilter(QObject* watched, QEvent* event) override;

    QWebEngineProfile* m_profile = nullptr;
    QWidget* m_area = nullptr;
    QLabel* m_notice = nullptr;
    QWebEngineView* m_view = nullptr;
    QString m_homePage;
    QString m_searchPage;
    // A request made and not yet taken up by the engine; the timer drops it if nothing comes.
    bool m_requested = false;
    std::unique_ptr<Timer> m_requestTimer;
    bool m_ended = false;
    QString m_reported; // the address last given with NavigateComplete
    int m_dialogs = 0;
    QPointer<QDialog> m_dialog;
    bool m_closing = false;
};
