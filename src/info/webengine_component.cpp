#include "webengine_component.h"

#include <QCoreApplication>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <unistd.h>

void WebEngineComponent::PrepareProcess() {
    // Chromium refuses to run its sandbox as root; only then is it turned off.
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // A page viewer, not a browser: no traffic of the engine's own in the background.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    for (const char* flag :
         {"--disable-background-networking", "--disable-component-update",
          "--disable-domain-reliability", "--no-pings", "--dns-prefetch-disable"}) {
        if (!flags.contains(flag))
            flags += (flags.isEmpty() ? "" : " ") + QByteArray(flag);
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    // QtWebEngine needs the shared OpenGL context, set before the application object.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

WebEngineComponent::WebEngineComponent(const QString& homePage, const QString& searchPage,
                                       QObject* parent)
    : BrowserComponent(parent), m_homePage(homePage), m_searchPage(searchPage) {
    // Off the record: nothing of a visit is written to disk, and every viewer starts afresh.
    m_profile = new QWebEngineProfile(this);
    m_view = new QWebEngineView;
    m_view->setPage(new QWebEnginePage(m_profile, m_view));
    connect(m_view->page(), &QWebEnginePage::loadingChanged, this,
            &WebEngineComponent::loadingChanged);
    // The window deletes the view with its children; forget it then.
    connect(m_view, &QObject::destroyed, this, [this] { m_view = nullptr; });
}

WebEngineComponent::~WebEngineComponent() {
    // The page must go before its profile.
    delete m_view;
}

QWidget* WebEngineComponent::widget() { return m_view; }

// Busy is set as the request goes out, so a poll right after it already sees the load; an
// address the engine cannot read starts nothing and leaves the component idle.
void WebEngineComponent::Navigate(const QString& address) {
    const QUrl url = QUrl::fromUserInput(address);
    if (!url.isValid())
        return;
    m_busy = true;
    m_view->setUrl(url);
}

void WebEngineComponent::GoBack() {
    if (!m_view->history()->canGoBack())
        return;
    m_busy = true;
    m_view->back();
}

void WebEngineComponent::GoForward() {
    if (!m_view->history()->canGoForward())
        return;
    m_busy = true;
    m_view->forward();
}

void WebEngineComponent::GoHome() { Navigate(m_homePage); }
void WebEngineComponent::GoSearch() { Navigate(m_searchPage); }

void WebEngineComponent::Refresh() {
    if (!m_view->url().isEmpty())
        m_busy = true;
    m_view->reload();
}
void WebEngineComponent::Stop() { m_view->stop(); }

QString WebEngineComponent::LocationName() const { return m_view ? m_view->title() : QString(); }

QString WebEngineComponent::LocationURL() const {
    return m_view ? m_view->url().toString() : QString();
}

void WebEngineComponent::loadingChanged(const QWebEngineLoadingInfo& info) {
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        m_busy = true;
        break;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
    case QWebEngineLoadingInfo::LoadFailedStatus:
        // A failed load still reaches a page (the engine's error page for that address).
        m_busy = false;
        emit NavigateComplete(LocationURL());
        emit DownloadComplete();
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        m_busy = false;
        emit DownloadComplete();
        break;
    }
}
