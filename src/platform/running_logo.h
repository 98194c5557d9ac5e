#pragma once
// The running logo a refused second start turns to. The first start marks its logo's window;
// a second start of the same user asks the window manager to activate the marked window, so
// the keyboard reaches the running program without anything sent to the process itself.

class QWidget;

// Marks the window as this user's running logo, the one a refused second start activates.
void MarkAsRunningLogo(QWidget* window);

// Asks the window manager to activate (raise and focus) the logo that another process of this
// user has marked. False when none is found or no window manager lists its clients.
bool ActivateRunningLogo();
