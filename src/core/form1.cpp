#include "form1.h"

#include "core/module1.h"
#include "platform/desktop_window.h"
#include "platform/failure.h"
#include "platform/form_drag.h"
#include "platform/int16.h"
#include "platform/keyboard_focus.h"
#include "platform/message_box.h"
#include "platform/monitors.h"
#include "platform/picture_file.h"
#include "platform/running_logo.h"
#include "platform/screen_reader.h"
#include "platform/single_instance.h"
#include "platform/twips.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QRegion>

namespace {
QString animationDescription(int i) {
    return QStringLiteral("Animation of the ") + QLatin1String(Module1::ExerciseNames[i]) +
           QStringLiteral(" exercise");
}

// Design size of the window's client area, in twips.
constexpr double DesignWidth = 5385;
constexpr double DesignHeight = 2970;
} // namespace

// Image2: the logo, stretched over its control. Target of the drag, the double-click and the
// right-button press.
class LogoImage : public QWidget {
public:
    explicit LogoImage(Form1* form)
        : QWidget(form), m_form(form), m_dragger(form, form->m_env.systemMove) {
        // The keyboard reaches every command of the logo once the window has the focus.
        setFocusPolicy(Qt::StrongFocus);
        setObjectName(QStringLiteral("Image2"));
    }
    FormDragger& dragger() { return m_dragger; }

protected:
    void paintEvent(QPaintEvent*) override {
        // Decoded at the first paint, once: loading the JPEG reader and decoding took an eighth
        // of the start-up before the window could map.
        if (!m_logoLoaded) {
            m_logoLoaded = true;
            m_logo = ReadPicture(QStringLiteral(":/pictures/logo.jpg"), "jpeg");
        }
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(rect(), m_logo);
        if (hasFocus())
            KeyboardFocus::DrawFocusMark(painter, rect(), palette());
    }

    void mousePressEvent(QMouseEvent* event) override {
        const QPoint global = event->globalPosition().toPoint();
        if (event->button() == Qt::RightButton && event->buttons() == Qt::RightButton) {
            m_dragger.cancel();
            if (m_form->hooks.popupMenu)
                m_form->hooks.popupMenu(global);
            return;
        }
        if (event->button() == Qt::LeftButton && event->buttons() == Qt::LeftButton)
            m_dragger.pressed(global);
        else
            m_dragger.cancel(); // both buttons together, or a third one: nothing
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        const bool leftAlone = event->buttons() == Qt::LeftButton;
        if (m_dragger.moved(event->globalPosition().toPoint(), leftAlone))
            m_form->FormDrag();
    }

    void mouseReleaseEvent(QMouseEvent*) override { m_dragger.released(); }

    void keyPressEvent(QKeyEvent* event) override {
        const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
        if ((event->key() == Qt::Key_Menu && mods == Qt::NoModifier) ||
            (event->key() == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
            openMenuAtLogo();
        } else if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
                   mods == Qt::NoModifier) {
            m_dragger.cancel();
            m_form->logoDoubleClicked(); // the same path as a double-click
        } else {
            QWidget::keyPressEvent(event);
        }
    }

    // The window system turns the Menu key into a context menu request as well.
    void contextMenuEvent(QContextMenuEvent* event) override {
        if (event->reason() == QContextMenuEvent::Keyboard)
            openMenuAtLogo();
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override {
        m_dragger.cancel();
        if (event->button() == Qt::LeftButton && event->buttons() == Qt::LeftButton)
            m_form->logoDoubleClicked();
    }

private:
    void openMenuAtLogo() {
        m_dragger.cancel();
        if (m_form->hooks.popupMenu)
            m_form->hooks.popupMenu(mapToGlobal(rect().center()));
    }

    Form1* m_form;
    FormDragger m_dragger;
    QPixmap m_logo;
    bool m_logoLoaded = false;
};

namespace {
// The application as screen readers see it: its shown windows, and the popup menu while it is
// open. A menu is a window of its own, so its accessible parent is the application; but Qt
// leaves popups out of the application's children, so a reader walking down from the
// application never found the open menu. Windows loaded hidden (the configuration window owns
// the menu) are left out.
class ApplicationWithMenus : public QAccessibleApplication {
public:
    int childCount() const override { return int(shown().size()); }
    QAccessibleInterface* child(int index) const override { return shown().value(index); }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return shown().indexOf(const_cast<QAccessibleInterface*>(child));
    }

private:
    QList<QAccessibleInterface*> shown() const {
        QList<QAccessibleInterface*> children;
        for (int i = 0; i < QAccessibleApplication::childCount(); ++i) {
            QAccessibleInterface* window = QAccessibleApplication::child(i);
            if (window && !window->state().invisible)
                children << window;
        }
        // Open menus that name the application as their parent (a submenu names its menu).
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* menu = qobject_cast<QMenu*>(window);
            if (!menu || !menu->isVisible())
                continue;
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(menu);
            if (face && face->parent() == this)
                children << face;
        }
        return children;
    }
};

QAccessibleInterface* form1AccessibleFactory(const QString&, QObject* object) {
    if (object == qApp)
        return new ApplicationWithMenus;
    auto* widget = qobject_cast<QWidget*>(object);
    // The program's own windows are windows, not panels.
    if (widget && widget->isWindow() && !qobject_cast<QMenu*>(widget) &&
        widget->metaObject()->superClass() == &QWidget::staticMetaObject)
        return new QAccessibleWidget(widget, QAccessible::Window);
    // The logo and the animations are pictures, not panels.
    if (widget && qobject_cast<Form1*>(widget->parentWidget()) &&
        (qobject_cast<AniGifPlayer*>(widget) || widget->objectName() == QLatin1String("Image2")))
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    return nullptr;
}
} // namespace

Form1::Form1(FloatingWindowEnvironment environment, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_env(std::move(environment)) {
    Module1::ApplicationFolder = m_env.applicationFolder;
    TimerFactory& timers = m_env.timers;
    static const bool accessibleFactory =
        (QAccessible::installFactory(form1AccessibleFactory), true);
    Q_UNUSED(accessibleFactory);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QString());

    m_image2 = new LogoImage(this);
    m_image2->hide(); // until the window shows
    for (int i = 0; i < Module1::ExerciseCount; ++i)
        m_aniGif[i] = new AniGifPlayer(this);
    m_image2->lower(); // a player placed over a shrunken logo stays visible

    auto guarded = [](const char* procedure, auto&& body) {
        // The ticks have no error handling of their own; an exception must still never leave
        // the event loop.
        try {
            body();
        } catch (const Failure& failure) {
            ShowErrorReport(QLatin1String(procedure), failure);
        }
    };
    for (int i = 0; i < Module1::ExerciseCount; ++i) {
        m_timer1[i] = timers.createTimer();
        m_timer1[i]->setInterval(10000);
        m_timer1[i]->setCallback(
            [this, i, guarded] { guarded("Timer1_Timer", [&] { Timer1_Timer(i); }); });
    }
    for (int i = 0; i < Module1::ExerciseCount; ++i) {
        m_timer2[i] = timers.createTimer();
        m_timer2[i]->setInterval(200);
        m_timer2[i]->setCallback(
            [this, i, guarded] { guarded("Timer2_Timer", [&] { Timer2_Timer(i); }); });
    }

    m_parts.window = this;
    for (int i = 0; i < Module1::ExerciseCount; ++i) {
        m_parts.players[i] = m_aniGif[i];
        m_parts.waitingTimers[i] = m_timer1[i].get();
    }
    m_parts.sizeTwips = [this] { return QSizeF(m_widthTwips, m_heightTwips); };
    m_parts.narrowToLogo = [this] { SetWidth(Int16::FromDouble(m_image2Width)); };
    m_parts.screen = m_env.screen ? m_env.screen : &PrimaryScreenMetrics;
    RegisterFloatingWindow(&m_parts);

    m_widthTwips = DesignWidth;
    m_heightTwips = DesignHeight;
    applyGeometry();
    DesktopWindow::MakeFloating(this);
    MarkAsRunningLogo(this);
    m_focusGuide = std::make_unique<KeyboardFocus::FocusGuide>(m_image2);
    Monitors::WatchChanges(this, [this] { KeepOnScreen(); });
}

Form1::~Form1() {
    for (auto& t : m_timer1)
        t->setEnabled(false);
    for (auto& t : m_timer2)
        t->setEnabled(false);
    UnregisterFloatingWindow(&m_parts);
}

bool Form1::Form_Load() {
    using namespace Module1;
    // 1. One instance per user; the running one is left alone.
    m_instanceLock = std::make_unique<SingleInstanceLock>(m_env.lockPaths, m_env.lockExtraPaths);
    switch (m_instanceLock->state()) {
    case SingleInstanceLock::State::Acquired:
        break;
    case SingleInstanceLock::State::HeldByOther:
        m_instanceLock.reset();
        MsgBox(QStringLiteral("Lumivista is already opened."), MsgStyle::OkOnly,
               QStringLiteral("Lumivista"));
        // Starting the program again is the keyboard's way to the logo.
        if (m_env.activateRunningInstance)
            m_env.activateRunningInstance();
        return false;
    case SingleInstanceLock::State::Unavailable:
        // Two copies would overwrite each other's settings and minutes: better not to start.
        m_instanceLock.reset();
        MsgBox(QStringLiteral("Lumivista cannot start: it found no private folder for its lock "
                              "file (~/.local/state/lumivista, /run/user, /tmp or its own "
                              "folder), so it cannot make sure that it runs only once."),
               MsgStyle::Exclamation, QStringLiteral("Lumivista"));
        return false;
    }
    // The waiting timers are enabled by design: they run from the moment the window loads.
    for (auto& t : m_timer1)
        t->setEnabled(true);

    try {
        BuildAnimationTable();  // 2
        AnimationRowOffset = 0; // 3
        AnimationColumn = 1;
        LoadAnimations();     // 4
        PositionMainWindow(); // 5
        showLogoAndNames();
        if (hooks.setBackFrontMark) // 6
            hooks.setBackFrontMark(false);
        SetWindowZOrder(this, false);             // 7
        for (int i = 0; i < ExerciseCount; ++i) { // 8
            WaitTicks[i] = 0;
            ShowTicks[i] = 0;
        }
        ResizeByUser = false;      // 9
        SetHeight(m_image2Height); // 10
        m_contentWidth = Int16::FromDouble(m_image2Width);
        SetWidth(m_contentWidth);
        // Saves interrupted by a crash may have left a temporary file. The instance lock keeps
        // no other save away (another user's copy of a shared installation saves the same
        // file), but a save under way holds its own flock on LOGO2.DAT and its file is kept.
        if (m_env.removeLeftoverFiles)
            m_env.removeLeftoverFiles();
        if (m_env.loadSettings) // 11
            m_env.loadSettings();
        for (int i = 0; i < ExerciseCount; ++i) { // 12
            Timer1(i).setInterval(10000);
            Timer2(i).setInterval(300);
        }
        m_shownCount = 0;                         // 13
        for (int i = 0; i < ExerciseCount; ++i) { // 14
            Timer1(i).setEnabled(true);
            Timer2(i).setEnabled(false);
        }
        ResizeByUser = true; // 15
    } catch (const Failure& failure) {
        ShowErrorReport(QStringLiteral("Form_Load"), failure);
    }
    return true;
}

// The logo and the names for screen readers follow the window once it is on its way to the
// screen, before anything is painted: the first of them wakes the screen reader bridge, whose
// wait for the session bus held the window back for several milliseconds.
void Form1::showLogoAndNames() {
    m_image2->show();
    setAccessibleName(QStringLiteral("Lumivista"));
    m_image2->setAccessibleName(QStringLiteral("Lumivista"));
    m_image2->setAccessibleDescription(
        QStringLiteral("The Lumivista logo. Enter opens the configuration; the Menu key or "
                       "Shift+F10 opens the menu."));
    for (int i = 0; i < Module1::ExerciseCount; ++i) {
        const QString exercise = QLatin1String(Module1::ExerciseNames[i]);
        m_aniGif[i]->setAccessibleName(exercise);
        m_aniGif[i]->setAccessibleDescription(animationDescription(i));
    }
}

void Form1::announceExercise(int i) {
    const QString exercise = QLatin1String(Module1::ExerciseNames[i]);
    const QString message = Module1::ExerciseMessage[i];
    m_aniGif[i]->setAccessibleDescription(message.isEmpty() ? animationDescription(i) : message);
    m_aniGif[i]->setToolTip(message);
    ScreenReader::Announce(this, message.isEmpty() ? exercise
                                                   : exercise + QStringLiteral(": ") + message);
}

void Form1::SetWidth(double twips) { setSizeTwips(twips, m_heightTwips); }
void Form1::SetHeight(double twips) { setSizeTwips(m_widthTwips, twips); }

// The one way code changes the window's size: the size check follows at once, nested.
void Form1::setSizeTwips(double width, double height) {
    if (width == m_widthTwips && height == m_heightTwips)
        return;
    m_widthTwips = width;
    m_heightTwips = height;
    applyGeometry();
    Form_Resize();
}

void Form1::applyGeometry() {
    // A size only the program changes: tiling window managers float such a window.
    setFixedSize(std::max(1, Twips::ToPixelsX(m_widthTwips)),
                 std::max(1, Twips::ToPixelsY(m_heightTwips)));
    m_image2->setGeometry(0, 0, std::max(1, Twips::ToPixelsX(m_image2Width)),
                          std::max(1, Twips::ToPixelsY(m_image2Height)));
}

void Form1::Form_Resize() {
    if (!Module1::ResizeByUser)
        return;
    Module1::ResizeByUser = false; // until the exercise cycle raises it again
    try {
        const int h = Int16::FromDouble(m_heightTwips);
        const int w = Int16::FromDouble(m_widthTwips);
        const SizeCheckResult row = SizeCheckRow(h, w);
        m_image2Height = row.logoHeight;
        m_image2Width = row.logoWidth;
        applyGeometry();
        if (!row.windowHeightUnchanged)
            SetHeight(row.windowHeight);
        m_contentWidth = Int16::FromDouble(m_image2Width);
        SetWidth(m_contentWidth);
        StartExerciseTimers();
    } catch (const Failure& failure) {
        ShowErrorReport(QStringLiteral("Form_Resize"), failure,
                        QStringLiteral("Error description: "));
    }
}

void Form1::FormDrag() { m_image2->dragger().start(); }

void Form1::logoDoubleClicked() {
    ResetExerciseTimers();
    if (hooks.doubleClick)
        hooks.doubleClick();
}

void Form1::KeepOnScreen() {
    if (!isVisible() || m_unloading)
        return;
    QRegion shown;
    for (const QRect& area : m_env.monitors ? m_env.monitors() : Monitors::Areas())
        shown += area;
    const QRect logo(mapToGlobal(m_image2->pos()), m_image2->size());
    if (QRegion(logo).subtracted(shown).isEmpty())
        return;
    try {
        PositionMainWindow();
    } catch (const Failure& failure) {
        ShowErrorReport(QStringLiteral("PositionMainWindow"), failure);
    }
}

void Form1::ReturnFocusToLogo() {
    if (m_focusGuide)
        m_focusGuide->returnIfAlone();
}

void Form1::Unload() { close(); }

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    if (m_unloading)
        return;
    m_unloading = true;
    m_focusGuide.reset(); // the windows closing now give the focus to nobody
    // The program ends here: no timer fires again and no other window's own closing runs.
    for (auto& t : m_timer1)
        t->setEnabled(false);
    for (auto& t : m_timer2)
        t->setEnabled(false);
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != this && window->isVisible())
            window->hide();
    if (m_env.endProgram)
        m_env.endProgram();
    else
        QCoreApplication::exit(0);
}
