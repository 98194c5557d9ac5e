#pragma once
// The viewer's browser component on QtWebEngine. Only the viewer process links it, so the
// main program never loads the web engine.

#include "info/browser_component.h"

#include <QString>
#include <QUrl>

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
    explicit WebEngineComponent(const QString& homePage = ComponentPages::Home,
                                const QString& searchPage = ComponentPages::Search,
                                QObject* parent = nullptr);
    ~WebEngineComponent() override;

    QWidget* widget() override;
    void Navigate(const QString& address) override;
    void GoBack() override;
    void GoForward() override;
    void GoHome() override;
    void GoSearch() override;
    void Refresh() override;
    void Stop() override;
    bool Busy() const override { return m_busy; }
    QString LocationName() const override;
    QString LocationURL() const override;

    QWebEngineView* view() const { return m_view; }

    // Settings the engine reads at start-up; call before the QApplication is made.
    static void PrepareProcess();

private:
    void loadingChanged(const QWebEngineLoadingInfo& info);

    QWebEngineProfile* m_profile = nullptr;
    QWebEngineView* m_view = nullptr;
    QString m_homePage;
    QString m_searchPage;
    bool m_busy = false;
};
