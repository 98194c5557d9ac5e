#pragma once
// Moving a borderless window by dragging one of its widgets with the left button. Once the
// pointer has gone past the platform's drag distance the window manager is asked to move the
// window (as if its title bar had been grabbed); where it refuses (no window manager,
// offscreen), the window follows the pointer by hand until the button is released. Either way
// the grabbed point stays under the pointer.

#include <QPoint>
#include <functional>

class QWidget;
class QWindow;

class FormDragger {
public:
    // `systemMove` stands in for the window manager's move (false = refused); empty = the real one.
    explicit FormDragger(QWidget* form, std::function<bool(QWindow*)> systemMove = {})
        : m_form(form), m_systemMove(std::move(systemMove)) {}

    // The left button alone went down at this global position.
    void pressed(const QPoint& globalPos);
    // Any other button combination: no drag until the next press.
    void cancel();
    // The pointer moved with these buttons held. Returns true when this move crossed the drag
    // distance: the caller starts the move (Form1.FormDrag), which calls start().
    bool moved(const QPoint& globalPos, bool leftHeld);
    void released();

    // Starts moving the window: the window manager's move, else the manual move.
    void start();

private:
    QWidget* m_form;
    std::function<bool(QWindow*)> m_systemMove;
    QPoint m_pressGlobal;
    QPoint m_lastGlobal;
    QPoint m_formAtPress;
    bool m_armed = false;
    bool m_manual = false;
};
