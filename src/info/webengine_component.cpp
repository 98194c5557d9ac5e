#include "webengine_component.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <sys/resource.h>
#include <unistd.h>

#include <utility>

namespace {

// The engine reads QTWEBENGINE_CHROMIUM_FLAGS as words split at spaces, a part in double quotes
// kept whole (without its quotes); the flags are read and written back the same way.
QStringList splitFlags(const QByteArray& line) {
    QStringList words;
    QString word;
    bool quoted = false;
    for (const QChar c : QString::fromLocal8Bit(line)) {
        if (c == u'"')
            quoted = !quoted;
        else if (c == u' ' && !quoted)
            words << std::exchange(word, QString());
        else
            word += c;
    }
    words << word;
    words.removeAll(QString());
    return words;
}

QByteArray joinFlags(const QStringList& words) {
    QStringList quoted;
    for (const QString& word : words)
        quoted << (word.contains(u' ') ? QStringLiteral("\"%1\"").arg(word) : word);
    return quoted.join(u' ').toLocal8Bit();
}

// "--name=value" -> "name".
QString flagName(const QString& flag) {
    QString name = flag.section(u'=', 0, 0);
    while (name.startsWith(u'-'))
        name.remove(0, 1);
    return name;
}

// A flag the user has set already is theirs to keep.
void addFlag(QStringList& flags, const QString& flag) {
    for (const QString& present : flags) {
        if (flagName(present) == flagName(flag))
            return;
    }
    flags << flag;
}

// The script engine's flags go inside --js-flags, of which the last one counts, beside the
// user's own; the script engine reads '_' and '-' in a name alike.
void addScriptFlag(QStringList& flags, const QString& flag) {
    const auto scriptName = [](const QString& option) {
        return flagName(option).replace(u'_', u'-');
    };
    for (auto it = flags.rbegin(); it != flags.rend(); ++it) {
        if (flagName(*it) != QLatin1String("js-flags"))
            continue;
        const QStringList options = it->section(u'=', 1).split(u' ', Qt::SkipEmptyParts);
        for (const QString& option : options) {
            if (scriptName(option) == scriptName(flag))
                return;
        }
        *it = QStringLiteral("--js-flags=") + (options + QStringList{flag}).join(u' ');
        return;
    }
    flags << QStringLiteral("--js-flags=") + flag;
}

// A page's text, shown as it stands, never as markup.
QMessageBox* pageMessage(const QUrl& origin, const QString& text,
                         QMessageBox::StandardButtons buttons) {
    auto* box = new QMessageBox(QMessageBox::NoIcon,
                                QStringLiteral("The page at %1").arg(origin.host()), text, buttons);
    box->setTextFormat(Qt::PlainText);
    return box;
}

} // namespace

// The engine's page with the viewer's rules: the addresses it may go to and its dialogs.
class ViewerPage : public QWebEnginePage {
public:
    ViewerPage(QWebEngineProfile* profile, QWidget* view, WebEngineComponent* component)
        : QWebEnginePage(profile, view), m_component(component) {}

protected:
    // Every navigation, a link's to another program's address included, passes here; refused,
    // the engine starts nothing for it.
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        if (WebEngineComponent::Opens(url, isMainFrame))
            return true;
        m_component->refuse(url);
        return false;
    }
    void javaScriptAlert(const QUrl& origin, const QString& text) override {
        QPointer<QDialog> box = pageMessage(origin, text, QMessageBox::Ok);
        m_component->runPageDialog(box);
        delete box.data();
    }
    bool javaScriptConfirm(const QUrl& origin, const QString& text) override {
        QPointer<QDialog> box = pageMessage(origin, text, QMessageBox::Ok | QMessageBox::Cancel);
        const bool ok = m_component->runPageDialog(box) == QMessageBox::Ok;
        delete box.data();
        return ok;
    }
    bool javaScriptPrompt(const QUrl& origin, const QString& text, const QString& value,
                          QString* result) override {
        QPointer<QInputDialog> input = new QInputDialog;
        input->setWindowTitle(QStringLiteral("The page at %1").arg(origin.host()));
        input->setLabelText(Qt::convertFromPlainText(text));
        input->setTextValue(value);
        const bool ok = m_component->runPageDialog(input.data()) == QDialog::Accepted && input;
        if (ok && result)
            *result = input->textValue();
        delete input.data();
        return ok;
    }

private:
    WebEngineComponent* m_component;
};

void WebEngineComponent::PrepareProcess() {
    // Chromium refuses to run its sandbox as root; only then is it turned off.
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QStringList flags = splitFlags(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"));
    // A page viewer, not a browser: no traffic of the engine's own in the background.
    for (const char* flag :
         {"--disable-background-networking", "--disable-component-update",
          "--disable-domain-reliability", "--no-pings", "--dns-prefetch-disable"})
        addFlag(flags, QLatin1String(flag));
    // Pages are read to a screen reader as soon as one listens, not only once it has asked.
    addFlag(flags, QStringLiteral("--force-renderer-accessibility"));
    qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
    // A page that eats memory ends with its renderer: its script heap is bounded (and its
    // other data, see the constructor).
    addScriptFlag(flags, QStringLiteral("--max-old-space-size=%1").arg(ScriptHeapLimitMB));
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", joinFlags(flags));
    // QtWebEngine needs the shared OpenGL context, set before the application object.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

bool WebEngineComponent::Opens(const QUrl& url, bool mainFrame) {
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("chrome-error"))
        return true;
    return !mainFrame && (scheme == QLatin1String("about") || scheme == QLatin1String("data") ||
                          scheme == QLatin1String("blob"));
}

WebEngineComponent::WebEngineComponent(TimerFactory& timers, const QString& homePage,
                                       const QString& searchPage, QObject* parent)
    : BrowserComponent(parent), m_homePage(homePage), m_searchPage(searchPage),
      m_requestTimer(timers.createTimer()) {
    // The engine starts its helper processes with its first profile, and the renderers are
    // forked from them: they inherit a bound on their data, this process does not keep it. So
    // a page that eats memory ends with its renderer, never with the viewer, which also draws
    // the pages. Reserved address space is not counted, so the engine runs as usual.
    static bool engineStarted = false;
    rlimit own = {};
    bool bound = false;
    if (!engineStarted && ::getrlimit(RLIMIT_DATA, &own) == 0 &&
        (own.rlim_cur == RLIM_INFINITY || own.rlim_cur > rlim_t(ProcessDataLimit))) {
        rlimit helpers = own;
        helpers.rlim_cur = rlim_t(ProcessDataLimit);
        bound = ::setrlimit(RLIMIT_DATA, &helpers) == 0;
    }
    // Off the record: nothing of a visit is written to disk, and every viewer starts afresh.
    m_profile = new QWebEngineProfile(this);
    engineStarted = true;
    if (bound)
        ::setrlimit(RLIMIT_DATA, &own);
    m_area = new QWidget;
    m_notice = new QLabel(m_area);
    m_notice->setObjectName(QStringLiteral("notice"));
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setWordWrap(true);
    m_notice->setMargin(m_notice->fontMetrics().height() / 3);
    m_notice->setAutoFillBackground(true);
    m_notice->setBackgroundRole(QPalette::ToolTipBase);
    m_notice->setForegroundRole(QPalette::ToolTipText);
    m_notice->hide();
    m_view = new QWebEngineView(m_area);
    auto* page = new ViewerPage(m_profile, m_view, this);
    m_view->setPage(page);
    auto* layout = new QVBoxLayout(m_area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_notice);
    layout->addWidget(m_view, 1);
    m_area->setFocusProxy(m_view);

    connect(page, &QWebEnginePage::loadingChanged, this, &WebEngineComponent::loadingChanged);
    // A move within the page (its #fragment, its script's history entries) loads nothing.
    connect(page, &QWebEnginePage::urlChanged, this, [this] {
        if (!Busy())
            settle();
    });
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status) { pageEnded(status); });
    // The window deletes the page area with its children; forget it then.
    connect(m_area, &QObject::destroyed, this, [this] {
        m_area = nullptr;
        m_view = nullptr;
        m_notice = nullptr;
    });
    m_requestTimer->setInterval(1000);
    m_requestTimer->setEnabled(false);
    m_requestTimer->setCallback([this] {
        m_requestTimer->setEnabled(false);
        m_requested = false;
        if (!Busy())
            settle();
    });
}

WebEngineComponent::~WebEngineComponent() {
    // The page must go before its profile.
    delete m_area;
}

QWidget* WebEngineComponent::widget() { return m_area; }

QString WebEngineComponent::Notice() const {
    return m_notice && !m_notice->isHidden() ? m_notice->text() : QString();
}

// Busy is set as the request goes out, so a poll right after it already sees the load; the
// engine's own loading state takes over from there.
bool WebEngineComponent::Busy() const {
    return m_view && !m_ended && (m_requested || m_view->page()->isLoading());
}

void WebEngineComponent::request() {
    if (m_dialog)
        m_dialog->reject();
    m_dialogs = 0;
    m_ended = false;
    m_requested = true;
    m_requestTimer->setEnabled(false);
    m_requestTimer->setEnabled(true);
}

// A request that loads nothing (a move within the page) or a load the engine has ended.
void WebEngineComponent::settle() {
    m_requested = false;
    m_requestTimer->setEnabled(false);
    if (LocationURL() != m_reported) {
        m_reported = LocationURL();
        emit NavigateComplete(m_reported);
    }
    emit DownloadComplete();
}

void WebEngineComponent::Navigate(const QString& address) {
    const QUrl url = QUrl::fromUserInput(address);
    if (!url.isValid())
        return;
    if (!Opens(url)) {
        refuse(url);
        emit DownloadComplete();
        return;
    }
    const QUrl current = m_view->url();
    const bool withinPage =
        url.hasFragment() && url != current &&
        url.adjusted(QUrl::RemoveFragment) == current.adjusted(QUrl::RemoveFragment);
    if (!withinPage)
        request();
    m_view->setUrl(url);
}

void WebEngineComponent::GoBack() {
    if (!m_view->history()->canGoBack())
        return;
    request();
    m_view->back();
}

void WebEngineComponent::GoForward() {
    if (!m_view->history()->canGoForward())
        return;
    request();
    m_view->forward();
}

void WebEngineComponent::GoHome() { Navigate(m_homePage); }
void WebEngineComponent::GoSearch() { Navigate(m_searchPage); }

// Also what brings back a page whose renderer has ended.
void WebEngineComponent::Refresh() {
    if (!m_view->url().isEmpty())
        request();
    m_view->reload();
}

void WebEngineComponent::Stop() {
    m_requested = false;
    m_requestTimer->setEnabled(false);
    m_view->stop();
}

QString WebEngineComponent::LocationName() const {
    if (!m_view)
        return QString();
    if (!m_ended)
        return m_view->title();
    const QString ended = QStringLiteral("The page has ended");
    return m_view->title().isEmpty() ? ended : ended + QStringLiteral(": ") + m_view->title();
}

QString WebEngineComponent::LocationURL() const {
    return m_view ? m_view->url().toString() : QString();
}

void WebEngineComponent::loadingChanged(const QWebEngineLoadingInfo& info) {
    // An address refused in acceptNavigationRequest may still be reported as a load that
    // starts and is aborted (Qt 6.8): it reaches no page, and the line saying so stays.
    if (!Opens(info.url()))
        return;
    m_requested = false;
    m_requestTimer->setEnabled(false);
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        m_ended = false;
        if (m_notice)
            m_notice->hide();
        break;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
    case QWebEngineLoadingInfo::LoadFailedStatus:
        // A failed load still reaches a page (the engine's error page for that address).
        m_reported = LocationURL();
        emit NavigateComplete(m_reported);
        emit DownloadComplete();
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        emit DownloadComplete();
        break;
    }
}

void WebEngineComponent::refuse(const QUrl& url) {
    QString shown = url.toDisplayString();
    if (shown.size() > 100)
        shown = shown.left(100) + QStringLiteral("...");
    showNotice(QStringLiteral("%1 was not opened: this viewer opens only http and https pages.")
                   .arg(shown));
}

void WebEngineComponent::pageEnded(int status) {
    m_ended = true;
    m_requested = false;
    m_requestTimer->setEnabled(false);
    const QString why =
        status == QWebEnginePage::KilledTerminationStatus
            ? QStringLiteral("it was stopped from outside")
        : status == QWebEnginePage::NormalTerminationStatus
            ? QStringLiteral("its process closed")
            : QStringLiteral("it failed, or wanted more memory than the viewer allows");
    showNotice(QStringLiteral("The page has ended: %1. Refresh (F5) loads it again.").arg(why));
    emit DownloadComplete();
}

void WebEngineComponent::showNotice(const QString& text) {
    if (!m_notice)
        return;
    m_notice->setText(text);
    m_notice->show();
    QAccessibleEvent said(m_notice, QAccessible::Alert);
    QAccessible::updateAccessibility(&said);
}

int WebEngineComponent::runPageDialog(QDialog* dialog) {
    if (!dialog || !m_view || m_closing || m_dialog || !m_view->window()->isVisible())
        return -1;
    if (++m_dialogs > DialogsPerPage) {
        if (m_dialogs == DialogsPerPage + 1)
            showNotice(QStringLiteral("This page wants more dialogs; the viewer shows no more of "
                                      "them until you open a page."));
        return -1;
    }
    QPointer<QWidget> window = m_view->window();
    dialog->setParent(window, dialog->windowFlags() | Qt::Dialog);
    // Modal to the page alone, as in a browser's tab: the window's close button still closes
    // it, and the page takes no input until the dialog is answered.
    dialog->setWindowModality(Qt::NonModal);
    m_view->setEnabled(false);
    window->installEventFilter(this);
    m_dialog = dialog;
    int result = -1;
    QEventLoop loop;
    connect(dialog, &QDialog::finished, &loop, [&](int code) {
        result = code;
        loop.quit();
    });
    connect(dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
    dialog->show();
    loop.exec();
    m_dialog = nullptr;
    if (window)
        window->removeEventFilter(this);
    if (m_view)
        m_view->setEnabled(true);
    return result;
}

bool WebEngineComponent::eventFilter(QObject* watched, QEvent* event) {
    // The window closes while a page's dialog waits: the dialog goes first, the page gets no
    // other, and the window closes once the page's script has its answer.
    if (event->type() == QEvent::Close && m_dialog) {
        m_closing = true;
        event->ignore();
        m_dialog->reject();
        QMetaObject::invokeMethod(
            this,
            [this, window = QPointer<QWidget>(qobject_cast<QWidget*>(watched))] {
                // Closed, or kept open by its owner: a page may ask again in a window shown.
                if (window)
                    window->close();
                m_closing = false;
            },
            Qt::QueuedConnection);
        return true;
    }
    return BrowserComponent::eventFilter(watched, event);
}
