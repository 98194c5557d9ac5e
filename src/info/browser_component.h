#pragma once
// The web browser component of the viewer: the operations and notifications frmBrowser uses.
// The viewer process puts a QtWebEngine page behind it; tests use a scripted fake, so the
// viewer's logic runs without a web engine.

#include <QObject>
#include <QString>

class QWidget;

class BrowserComponent : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~BrowserComponent() override = default;

    // The widget that shows the page; frmBrowser adopts it as its child.
    virtual QWidget* widget() = 0;

    // The address is passed as typed; the component reads it as a browser's address bar does.
    virtual void Navigate(const QString& address) = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    // The component's own home and search pages (its settings, not the viewer's start page).
    virtual void GoHome() = 0;
    virtual void GoSearch() = 0;
    virtual void Refresh() = 0;
    virtual void Stop() = 0;

    virtual bool Busy() const = 0;
    virtual QString LocationName() const = 0;
    virtual QString LocationURL() const = 0;

signals:
    // A download (page load, reload or stopped load) has ended.
    void DownloadComplete();
    // Navigation to a page has completed; carries the address reached.
    void NavigateComplete(const QString& url);
};
