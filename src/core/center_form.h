#pragma once
class QWidget;

// Centres a window on the primary screen (the floating window's screen): left = screen left +
// screen width / 2 - window width / 2, top the same, in twips, for the outer frame the window
// manager draws. Not clamped: a window larger than the screen gets a negative position.
void CenterForm(QWidget* theForm);
