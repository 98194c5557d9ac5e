#include "center_form.h"

#include "core/form1_procedures.h"
#include "platform/desktop_window.h"
#include "platform/int16.h"

#include <QWidget>

namespace {
// The top left corner of a centred outer frame of this size, in pixels, unrounded. The screen is
// the one the floating window is placed on, the primary monitor, wherever it lies.
QPointF centredFrameTopLeft(const QSizeF& outer) {
    const ScreenMetrics screen = CurrentScreenMetrics();
    const double width = outer.width() * screen.twipsPerPixelX;
    const double height = outer.height() * screen.twipsPerPixelY;
    const double left = screen.leftTwips + screen.widthTwips / 2 - width / 2;
    const double top = screen.topTwips + screen.heightTwips / 2 - height / 2;
    return QPointF(left / screen.twipsPerPixelX, top / screen.twipsPerPixelY);
}

// Rounded once, at the end: on a scaled screen a pixel lost to each rounding on the way would
// show as more than one.
QPoint rounded(const QPointF& at) {
    return QPoint(int(Int16::RoundHalfEven(at.x())), int(Int16::RoundHalfEven(at.y())));
}

// With the window manager's frame known, the window itself goes inside the centred frame.
void centreInFrame(QWidget* theForm, const QMarginsF& frame) {
    const QPointF frameTopLeft = centredFrameTopLeft(QSizeF(theForm->size()).grownBy(frame));
    theForm->setGeometry(
        QRect(rounded(frameTopLeft + QPointF(frame.left(), frame.top())), theForm->size()));
}
} // namespace

void CenterForm(QWidget* theForm) {
    DesktopWindow::KeepPlace(theForm);
    if (const std::optional<QMarginsF> frame = DesktopWindow::FrameExtents(theForm)) {
        centreInFrame(theForm, *frame);
        return;
    }
    // Otherwise as far as Qt knows the frame; once the window manager has drawn it, again.
    theForm->move(rounded(centredFrameTopLeft(theForm->frameGeometry().size())));
    DesktopWindow::WhenFrameKnown(
        theForm, [theForm](const QMarginsF& known) { centreInFrame(theForm, known); });
}
