#pragma once
// frmBrowser: the small web page viewer the About window opens. A toolbar of six navigation
// buttons, an address box with the list of addresses reached, and the browser component.
// Sizes are kept in twips like every window of the program; the component is given from
// outside (QtWebEngine in the viewer process, a fake in tests).

#include "info/browser_component.h"
#include "platform/timers.h"

#include <QIcon>
#include <QKeySequence>
#include <QList>
#include <QString>
#include <QWidget>
#include <memory>

class QComboBox;
class QLabel;
class QToolBar;

class frmBrowser : public QWidget {
    Q_OBJECT
public:
    // homePage is what Form_Load puts into StartingAddress (the maker's, unless a test
    // serves its own pages).
    frmBrowser(std::unique_ptr<BrowserComponent> component, TimerFactory& timers,
               const QString& homePage = QString(), QWidget* parent = nullptr);
    ~frmBrowser() override;

    QString StartingAddress;
    bool UpdatingAddressList = false;

    // Toolbar keys, left to right; button k shows image k of imlIcons.
    static const QStringList ButtonKeys;
    // The keyboard keys of a toolbar button, and its tooltip naming them: "Back (Alt+Left)".
    static QList<QKeySequence> ButtonShortcuts(const QString& key);
    static QString ButtonToolTip(const QString& key);

    void Form_Load();
    void Form_Resize();
    void tbToolBar_ButtonClick(const QString& key);
    void cboAddress_Click();
    void cboAddress_KeyPress(int keyAscii);
    void timTimer_Timer();
    void brwWebBrowser_DownloadComplete();
    void brwWebBrowser_NavigateComplete(const QString& url);

    QToolBar* tbToolBar = nullptr;
    QWidget* picAddress = nullptr;
    QLabel* lblAddress = nullptr;
    QComboBox* cboAddress = nullptr;
    QList<QIcon> imlIcons;
    BrowserComponent& brwWebBrowser() { return *m_component; }
    QWidget* brwWebBrowserWidget() const { return m_browserWidget; }
    Timer& timTimer() { return *m_timTimer; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void dockTopControls();

    std::unique_ptr<BrowserComponent> m_component;
    QWidget* m_browserWidget = nullptr;
    std::unique_ptr<Timer> m_timTimer;
    QString m_homePage;
};
