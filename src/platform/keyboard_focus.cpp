#include "keyboard_focus.h"

#include "screen_reader.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTimer>

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

HomeWindow::HomeWindow(QWidget* home) : m_home(home) { qApp->installEventFilter(this); }

HomeWindow::~HomeWindow() { qApp->removeEventFilter(this); }

bool HomeWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Show:
        if (isProgramWindow(watched) && m_home && watched != m_home->window())
            m_fresh.insert(watched);
        break;
    case QEvent::WindowActivate:
        if (m_fresh.remove(watched) && !watched->inherits("QMessageBox")) {
            // Once the focus has landed: activation comes before the focus-in.
            QPointer<QWidget> window(static_cast<QWidget*>(watched));
            QTimer::singleShot(0, this, [window] {
                if (window && window->isVisible())
                    ScreenReader::Announce(window, ScreenReader::WindowSummary(window));
            });
        }
        break;
    case QEvent::Hide:
        if (isProgramWindow(watched) && m_home && watched != m_home->window()) {
            m_fresh.remove(watched);
            QTimer::singleShot(0, this, [this] { returnIfAlone(); });
        }
        break;
    default:
        break;
    }
    return false;
}

void HomeWindow::returnIfAlone() {
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
