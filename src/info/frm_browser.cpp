#include "frm_browser.h"

#include "info/maker.h"
#include "platform/dialog_font.h"
#include "platform/failure.h"
#include "platform/twips.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QAction>
#include <QBitmap>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QToolBar>

namespace {

// Design-time layout, in twips.
constexpr double kClientWidth = 6540, kClientHeight = 5130;
constexpr double kToolBarHeight = 540;
constexpr double kPicAddressTop = 540, kPicAddressHeight = 675;
constexpr double kLblLeft = 45, kLblTop = 60, kLblWidth = 3075, kLblHeight = 255;
constexpr double kCboLeft = 45, kCboTop = 300, kCboWidth = 3795, kCboHeight = 315;
constexpr double kBrwLeft = 50, kBrwTop = 1215, kBrwWidth = 5393, kBrwHeight = 3734;

const QString kLoadingCaption = QStringLiteral("Loading the page, please wait...");

// The viewer is a window to a screen reader, not a panel.
QAccessibleInterface* viewerAccessible(const QString&, QObject* object) {
    auto* viewer = qobject_cast<frmBrowser*>(object);
    return viewer ? new QAccessibleWidget(viewer, QAccessible::Window) : nullptr;
}

int px(double twips) { return Twips::ToPixelsX(twips); }
int py(double twips) { return Twips::ToPixelsY(twips); }

// The handlers that ignore failures: a failing component call ends the handler, no box.
template <typename F> void Quietly(F&& body) {
    try {
        body();
    } catch (const std::exception&) {
    }
}

// The handlers without their own handling must still not end the program.
template <typename F> void Guarded(const char* procedure, F&& body) {
    try {
        body();
    } catch (const Failure& failure) {
        ShowErrorReport(QString::fromLatin1(procedure), failure);
    } catch (const std::exception&) {
        ShowErrorReport(QString::fromLatin1(procedure), Failure(FailureCode::WindowSystem));
    }
}

// An icon of the image list: 24 x 24 on silver, silver being the transparent colour, with
// its 48-px drawing for scaled screens.
QIcon listImage(const QString& key) {
    const QString path = QStringLiteral(":/pictures/tb_%1.png").arg(key.toLower());
    QPixmap pixmap(path);
    pixmap.setMask(pixmap.createMaskFromColor(QColor(0xC0, 0xC0, 0xC0), Qt::MaskInColor));
    QIcon icon(pixmap);
    QPixmap twice(QStringLiteral(":/pictures/tb_%1@2x.png").arg(key.toLower()));
    twice.setMask(twice.createMaskFromColor(QColor(0xC0, 0xC0, 0xC0), Qt::MaskInColor));
    twice.setDevicePixelRatio(2);
    icon.addPixmap(twice);
    return icon;
}

} // namespace

const QStringList frmBrowser::ButtonKeys = {QStringLiteral("Back"), QStringLiteral("Forward"),
                                            QStringLiteral("Stop"), QStringLiteral("Refresh"),
                                            QStringLiteral("Home"), QStringLiteral("Search")};

frmBrowser::frmBrowser(std::unique_ptr<BrowserComponent> component, TimerFactory& timers,
                       const QString& homePage, QWidget* parent)
    : QWidget(parent, Qt::Window), m_component(std::move(component)),
      m_timTimer(timers.createTimer()),
      m_homePage(homePage.isEmpty() ? Maker::HomePage : homePage) {
    static const bool accessibleRole = (QAccessible::installFactory(viewerAccessible), true);
    Q_UNUSED(accessibleRole);
    setWindowTitle(QStringLiteral(" ") + Maker::Name);
    setFont(DialogFont::Font());
    resize(px(kClientWidth), py(kClientHeight));

    for (const QString& key : ButtonKeys)
        imlIcons.append(listImage(key));

    tbToolBar = new QToolBar(this);
    tbToolBar->setObjectName(QStringLiteral("tbToolBar"));
    tbToolBar->setMovable(false);
    tbToolBar->setFloatable(false);
    tbToolBar->setIconSize(QSize(24, 24));
    tbToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tbToolBar->setAccessibleName(QStringLiteral("Navigation"));
    for (int k = 0; k < ButtonKeys.size(); ++k) {
        const QString key = ButtonKeys[k];
        QAction* button = tbToolBar->addAction(imlIcons[k], key);
        button->setObjectName(key);
        button->setShortcuts(ButtonShortcuts(key));
        button->setToolTip(ButtonToolTip(key));
        connect(button, &QAction::triggered, this, [this, key] { tbToolBar_ButtonClick(key); });
        // Tab reaches the buttons too, not only the mouse.
        tbToolBar->widgetForAction(button)->setFocusPolicy(Qt::TabFocus);
    }
    // The toolbar's own button for buttons that do not fit: hidden at this width, but a screen
    // reader lists it, and it should not be a button without a name.
    if (auto* more = tbToolBar->findChild<QWidget*>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("More buttons"));

    picAddress = new QWidget(this);
    picAddress->setObjectName(QStringLiteral("picAddress"));
    lblAddress = new QLabel(QStringLiteral("&Address:"), picAddress);
    lblAddress->setObjectName(QStringLiteral("lblAddress"));
    lblAddress->setGeometry(px(kLblLeft), py(kLblTop), px(kLblWidth), py(kLblHeight));
    cboAddress = new QComboBox(picAddress);
    cboAddress->setObjectName(QStringLiteral("cboAddress"));
    cboAddress->setEditable(true);
    // The list is kept by the navigation-complete handler alone, entries differing only in
    // letter case included; typed text is taken as it stands, never completed.
    cboAddress->setInsertPolicy(QComboBox::NoInsert);
    cboAddress->setDuplicatesEnabled(true);
    cboAddress->setCompleter(nullptr);
    cboAddress->setGeometry(px(kCboLeft), py(kCboTop), px(kCboWidth), py(kCboHeight));
    cboAddress->setAccessibleName(QStringLiteral("Address"));
    cboAddress->lineEdit()->installEventFilter(this);
    cboAddress->installEventFilter(this);
    lblAddress->setBuddy(cboAddress);
    connect(cboAddress, qOverload<int>(&QComboBox::activated), this,
            [this] { cboAddress_Click(); });

    m_browserWidget = m_component->widget();
    m_browserWidget->setParent(this);
    m_browserWidget->setObjectName(QStringLiteral("brwWebBrowser"));
    m_browserWidget->setAccessibleName(QStringLiteral("Web page"));
    m_browserWidget->setGeometry(px(kBrwLeft), py(kBrwTop), px(kBrwWidth), py(kBrwHeight));
    connect(m_component.get(), &BrowserComponent::DownloadComplete, this,
            &frmBrowser::brwWebBrowser_DownloadComplete);
    connect(m_component.get(), &BrowserComponent::NavigateComplete, this,
            &frmBrowser::brwWebBrowser_NavigateComplete);

    m_timTimer->setInterval(5);
    m_timTimer->setEnabled(false);
    m_timTimer->setCallback([this] { timTimer_Timer(); });

    setTabOrder(cboAddress, m_browserWidget);
    dockTopControls();
    setFont(DialogFont::Fitted(DialogFont::Font(), {lblAddress}));
}

QList<QKeySequence> frmBrowser::ButtonShortcuts(const QString& key) {
    // The keys every browser uses.
    if (key == QLatin1String("Back"))
        return {QKeySequence(Qt::ALT | Qt::Key_Left)};
    if (key == QLatin1String("Forward"))
        return {QKeySequence(Qt::ALT | Qt::Key_Right)};
    if (key == QLatin1String("Stop"))
        return {QKeySequence(Qt::Key_Escape)};
    if (key == QLatin1String("Refresh"))
        return {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)};
    if (key == QLatin1String("Home"))
        return {QKeySequence(Qt::ALT | Qt::Key_Home)};
    if (key == QLatin1String("Search"))
        return {QKeySequence(Qt::CTRL | Qt::Key_E)};
    return {};
}

QString frmBrowser::ButtonToolTip(const QString& key) {
    QStringList keys;
    for (const QKeySequence& sequence : ButtonShortcuts(key))
        keys << sequence.toString(QKeySequence::NativeText);
    return keys.isEmpty()
               ? key
               : key + QStringLiteral(" (") + keys.join(QStringLiteral(" or ")) + QLatin1Char(')');
}

frmBrowser::~frmBrowser() {
    m_timTimer->setEnabled(false);
    // The component's widget is a child of this window; let the window delete it first so the
    // component never outlives the widget it hands out.
    delete m_browserWidget;
    m_browserWidget = nullptr;
}

void frmBrowser::Form_Load() {
    StartingAddress = m_homePage;
    show();
    tbToolBar->update();
    Form_Resize();
    const QRect current = cboAddress->geometry();
    const double top =
        Twips::FromPixelsY(lblAddress->y()) + Twips::FromPixelsY(lblAddress->height()) + 15;
    cboAddress->setGeometry(px(50), py(top), current.width(), current.height());
    cboAddress->setEditText(StartingAddress);
    cboAddress->addItem(StartingAddress);
    cboAddress->setEditText(StartingAddress);
    m_timTimer->setEnabled(true);
    Quietly([&] { m_component->Navigate(StartingAddress); });
}

void frmBrowser::Form_Resize() {
    const double w = Twips::FromPixelsX(width());
    const double h = Twips::FromPixelsY(height());
    // A size the control cannot take (negative, the window made very small or minimised)
    // leaves that control as it was.
    const double cboWidth = w - 100;
    if (cboWidth >= 0)
        cboAddress->resize(px(cboWidth), cboAddress->height());
    const double brwWidth = w - 100;
    if (brwWidth >= 0)
        m_browserWidget->resize(px(brwWidth), m_browserWidget->height());
    const double below =
        Twips::FromPixelsY(picAddress->y()) + Twips::FromPixelsY(picAddress->height());
    const double brwHeight = h - below - 100;
    if (brwHeight >= 0)
        m_browserWidget->resize(m_browserWidget->width(), py(brwHeight));
}

void frmBrowser::tbToolBar_ButtonClick(const QString& key) {
    m_timTimer->setEnabled(true);
    Quietly([&] {
        if (key == QLatin1String("Back")) {
            m_component->GoBack();
        } else if (key == QLatin1String("Forward")) {
            m_component->GoForward();
        } else if (key == QLatin1String("Refresh")) {
            m_component->Refresh();
        } else if (key == QLatin1String("Home")) {
            m_component->GoHome();
        } else if (key == QLatin1String("Search")) {
            m_component->GoSearch();
        } else if (key == QLatin1String("Stop")) {
            m_timTimer->setEnabled(false);
            m_component->Stop();
            setWindowTitle(m_component->LocationName());
        }
    });
}

void frmBrowser::cboAddress_Click() {
    if (UpdatingAddressList)
        return;
    Guarded("cboAddress_Click", [&] {
        m_timTimer->setEnabled(true);
        m_component->Navigate(cboAddress->currentText());
    });
}

void frmBrowser::cboAddress_KeyPress(int keyAscii) {
    if (keyAscii == 13)
        cboAddress_Click();
}

void frmBrowser::timTimer_Timer() {
    Guarded("timTimer_Timer", [&] {
        if (m_component->Busy()) {
            setWindowTitle(kLoadingCaption);
        } else {
            m_timTimer->setEnabled(false);
            setWindowTitle(m_component->LocationName());
        }
    });
}

void frmBrowser::brwWebBrowser_DownloadComplete() {
    Quietly([&] { setWindowTitle(m_component->LocationName()); });
}

void frmBrowser::brwWebBrowser_NavigateComplete(const QString& url) {
    Q_UNUSED(url); // the list takes the component's LocationURL, as the caption its LocationName
    Guarded("brwWebBrowser_NavigateComplete", [&] {
        setWindowTitle(m_component->LocationName());
        const QString reached = m_component->LocationURL();
        int found = -1;
        for (int i = 0; i < cboAddress->count(); ++i) {
            if (cboAddress->itemText(i) == reached) {
                found = i;
                break;
            }
        }
        UpdatingAddressList = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{UpdatingAddressList};
        if (found >= 0)
            cboAddress->removeItem(found);
        cboAddress->insertItem(0, reached);
        cboAddress->setCurrentIndex(0);
        // Selecting an entry raises the box's click notification, as a pick by the user does.
        cboAddress_Click();
    });
}

void frmBrowser::dockTopControls() {
    tbToolBar->setGeometry(0, 0, width(), py(kToolBarHeight));
    picAddress->setGeometry(0, py(kPicAddressTop), width(), py(kPicAddressHeight));
}

void frmBrowser::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    dockTopControls();
    Form_Resize();
}

bool frmBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        (watched == cboAddress || watched == cboAddress->lineEdit())) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            !cboAddress->view()->isVisible()) {
            cboAddress_KeyPress(13);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
