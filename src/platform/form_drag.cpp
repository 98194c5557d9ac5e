#include "form_drag.h"

#include "desktop_window.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

void FormDragger::pressed(const QPoint& globalPos) {
    m_pressGlobal = m_lastGlobal = globalPos;
    m_formAtPress = m_form->pos();
    m_armed = true;
    m_manual = false;
}

void FormDragger::cancel() {
    m_armed = false;
    m_manual = false;
}

bool FormDragger::moved(const QPoint& globalPos, bool leftHeld) {
    m_lastGlobal = globalPos;
    if (!leftHeld) {
        cancel();
        return false;
    }
    if (m_manual) {
        m_form->move(m_formAtPress + (globalPos - m_pressGlobal));
        return false;
    }
    if (m_armed &&
        (globalPos - m_pressGlobal).manhattanLength() >= QApplication::startDragDistance()) {
        m_armed = false;
        return true;
    }
    return false;
}

void FormDragger::released() { cancel(); }

void FormDragger::start() {
    QWindow* window = m_form->windowHandle();
    bool started = false;
    if (window) {
        started = m_systemMove ? m_systemMove(window)
                               : DesktopWindow::StartMove(m_form, m_lastGlobal - m_pressGlobal);
    }
    if (started) {
        // The window manager owns the pointer until the button is released.
        m_manual = false;
        return;
    }
    m_manual = true;
    m_form->move(m_formAtPress + (m_lastGlobal - m_pressGlobal));
}
