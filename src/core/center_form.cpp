#include "center_form.h"

#include "core/form1_procedures.h"
#include "platform/desktop_window.h"
#include "platform/int16.h"

#include <QWidget>

namespace {
// The top left corner of a centred outer frame of this size, in pixels. The screen is the one
// the floating window is placed on, the primary monitor, wherever it lies.
QPoint centredFrameTopLeft(const QSize& outer) {
    const ScreenMetrics screen = CurrentScreenMetrics();
    const double width = outer.width() * screen.twipsPerPixelX;
    const double height = outer.height() * screen.twipsPerPixelY;
    const double left = screen.leftTwips + screen.widthTwips / 2 - width / 2;
    const double top = screen.topTwips + screen.heightTwips / 2 - height / 2;
    return QPoint(int(Int16::RoundHalfEven(left / screen.twipsPerPixelX)),
                  int(Int16::RoundHalfEven(top / screen.twipsPerPixelY)));
}

// With the window manager's frame known, the window itself goes inside the centred frame.
void centreInFrame(QWidget* theForm, const QMargins& frame) {
    const QPoint frameTopLeft = centredFrameTopLeft(theForm->size().grownBy(frame));
    theForm->setGeometry(QRect(frameTopLeft + QPoint(frame.left(), frame.top()), theForm->size()));
}
} // namespace

void CenterForm(QWidget* theForm) {
    if (const std::optional<QMargins> frame = DesktopWindow::FrameExtents(theForm)) {
        centreInFrame(theForm, *frame);
        return;
    }
    // Otherwise as far as Qt knows the frame; once the window manager has drawn it, again.
    theForm->move(centredFrameTopLeft(theForm->frameGeometry().size()));
    DesktopWindow::WhenFrameKnown(
        theForm, [theForm](const QMargins& known) { centreInFrame(theForm, known); });
}
