#include "config_text_box.h"

#include "settings/numeric_input.h"

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QToolTip>

ConfigTextBox::ConfigTextBox(QWidget* parent) : ReadableLineEdit(parent) {}

void ConfigTextBox::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    // Control-key combinations (copy, paste, undo ...) are control codes and always pass,
    // whatever text the platform attaches to them.
    const bool controlKey = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    if (m_digitFilter && !typed.isEmpty() && !controlKey) {
        const QString kept = NumericInput::FilterTyped(typed);
        if (kept.isEmpty()) {
            // Discarded silently; left to the window so its own keys still work.
            event->ignore();
            return;
        }
        if (kept != typed) {
            insert(kept);
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void ConfigTextBox::inputMethodEvent(QInputMethodEvent* event) {
    if (!m_digitFilter || event->commitString().isEmpty()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(NumericInput::FilterTyped(event->commitString()),
                             event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
}

void ConfigTextBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    switch (event->reason()) {
    case Qt::MouseFocusReason:
        // The click that gave the focus would place the caret afterwards; select once it is
        // over, unless the user dragged a selection of their own.
        m_selectOnRelease = true;
        break;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
        // Coming back to the window keeps the caret and selection the user left.
        break;
    default:
        selectAll();
        // Once the focus has settled: a tooltip closes at any focus change.
        if (m_digitFilter)
            QTimer::singleShot(0, this, [this] {
                if (hasFocus() && !toolTip().isEmpty())
                    QToolTip::showText(mapToGlobal(QPoint(0, height())), toolTip(), this);
            });
        break;
    }
}

void ConfigTextBox::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (m_digitFilter)
        QToolTip::hideText();
    // Leaving for another window or a menu keeps the caret where the user left it.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        setCursorPosition(0);
}

void ConfigTextBox::mouseReleaseEvent(QMouseEvent* event) {
    QLineEdit::mouseReleaseEvent(event);
    if (m_selectOnRelease && !hasSelectedText())
        selectAll();
    m_selectOnRelease = false;
}
