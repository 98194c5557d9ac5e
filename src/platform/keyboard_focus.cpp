#include "keyboard_focus.h"

#include "screen_reader.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTimer>
#include <QWindow>

namespace {

class ClearFocusStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (element != CE_PushButton || !button) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        QStyleOptionButton shown(*button);
        const bool focused = shown.state & State_HasFocus;
        if (!focused && anotherButtonFocused(widget))
            shown.features &= ~QStyleOptionButton::DefaultButton;
        QProxyStyle::drawControl(element, &shown, painter, widget);
        if (focused)
            KeyboardFocus::DrawFocusMark(*painter, shown.rect, shown.palette);
    }

private:
    static bool anotherButtonFocused(const QWidget* widget) {
        const QWidget* focused = widget ? widget->window()->focusWidget() : nullptr;
        return focused && focused != widget && qobject_cast<const QPushButton*>(focused);
    }
};

// A window the program opens itself, as opposed to menus, tooltips and Qt's own helpers.
bool isProgramWindow(QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || !widget->isWindow())
        return false;
    const Qt::WindowType type = widget->windowType();
    return type == Qt::Window || type == Qt::Dialog;
}

} // namespace

namespace KeyboardFocus {

void DrawFocusMark(QPainter& painter, const QRect& rect, const QPalette& palette) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    // The highlight outside, its text colour inside: seen on light and dark surroundings alike.
    painter.setPen(
        QPen(palette.color(QPalette::Highlight), 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(QRectF(rect).adjusted(1, 1, -1, -1));
    painter.setPen(QPen(palette.color(QPalette::HighlightedText), 1));
    painter.drawRect(QRectF(rect).adjusted(2.5, 2.5, -2.5, -2.5));
    painter.restore();
}

void UseClearFocusMarks() {
    if (!dynamic_cast<ClearFocusStyle*>(QApplication::style()))
        QApplication::setStyle(new ClearFocusStyle(QApplication::style()->name()));
}

FocusGuide::FocusGuide(QWidget* home) : m_home(home) {
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* focused) {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (focused && window->windowHandle() == focused)
                activated(window);
    });
}

// A window is first met when it takes the focus; from then on its own showing and hiding are
// watched.
void FocusGuide::activated(QWidget* window) {
    if (!isProgramWindow(window) || !m_home || window == m_home->window())
        return;
    if (!m_watched.contains(window)) {
        m_watched.insert(window);
        m_fresh.insert(window);
        window->installEventFilter(this);
        connect(window, &QObject::destroyed, this, [this](QObject* gone) {
            m_watched.remove(gone);
            m_fresh.remove(gone);
        });
    }
    if (m_fresh.remove(window) && !window->inherits("QMessageBox")) {
        // Once the focus has landed: activation comes before the focus-in.
        QPointer<QWidget> shown(window);
        QTimer::singleShot(0, this, [shown] {
            if (shown && shown->isVisible())
                ScreenReader::Announce(shown, ScreenReader::WindowSummary(shown));
        });
    }
}

bool FocusGuide::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        m_fresh.insert(watched);
    } else if (event->type() == QEvent::Hide) {
        m_fresh.remove(watched);
        QTimer::singleShot(0, this, [this] { returnIfAlone(); });
    }
    return false;
}

void FocusGuide::returnIfAlone() {
    if (!m_home || !m_home->isVisible())
        return;
    QWidget* home = m_home->window();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != home && window->isVisible() && isProgramWindow(window))
            return;
    home->activateWindow();
    m_home->setFocus(Qt::ActiveWindowFocusReason);
}

} // namespace KeyboardFocus
