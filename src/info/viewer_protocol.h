#pragma once
// The main program talks to the viewer process through the viewer's standard input, one
// command a line. The end of the input (the program gone) closes the viewer.

#include <QByteArray>

namespace ViewerProtocol {
// Bring the viewer's window to the front and activate it.
inline const QByteArray Raise = QByteArrayLiteral("raise\n");
// Written by the viewer on its standard output once its window is shown, and after each
// raise, for whoever waits on it.
inline const QByteArray Shown = QByteArrayLiteral("shown\n");
inline const QByteArray Raised = QByteArrayLiteral("raised\n");
} // namespace ViewerProtocol
