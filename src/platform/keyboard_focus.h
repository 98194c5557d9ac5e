#pragma once
// Keyboard focus that can be seen and that never falls to the desktop.

#include <QObject>
#include <QPointer>
#include <QSet>

class QPainter;
class QPalette;
class QRect;
class QWidget;

namespace KeyboardFocus {

// A 2-pixel frame in the highlight colour, drawn inside the rectangle: the control keeps its
// size.
void DrawFocusMark(QPainter& painter, const QRect& rect, const QPalette& palette);

// The application's style marks the focused button with that frame, and a default button
// stops looking ready while another button has the focus: Enter presses the focused one.
void UseClearFocusMarks();

// Guides the keyboard focus through the program's windows. When the last one other than the
// home window closes, the home widget's window is activated and the widget takes the focus.
// Each window, as it is activated after being shown, is announced to screen readers with its
// focused control. Only the windows that have had the focus are watched, not every event of
// the application.
class FocusGuide : public QObject {
public:
    explicit FocusGuide(QWidget* home);

    // Activates the home when no other program window is open (a window of another process
    // of the program, such as the web page viewer, has just closed).
    void returnIfAlone();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void activated(QWidget* window);

    QPointer<QWidget> m_home;
    QSet<QObject*> m_watched;
    QSet<QObject*> m_fresh; // shown, not yet activated
};

} // namespace KeyboardFocus
