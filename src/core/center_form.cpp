#include "center_form.h"

#include "platform/desktop_window.h"
#include "platform/int16.h"
#include "platform/twips.h"

#include <QWidget>

namespace {
// The top left corner of a centred outer frame of this size, in pixels.
QPoint centredFrameTopLeft(const QSize& outer) {
    const double width = Twips::FromPixelsX(outer.width());
    const double height = Twips::FromPixelsY(outer.height());
    const double left = Twips::ScreenWidth() / 2 - width / 2;
    const double top = Twips::ScreenHeight() / 2 - height / 2;
    return QPoint(int(Int16::RoundHalfEven(left / Twips::TwipsPerPixelX())),
                  int(Int16::RoundHalfEven(top / Twips::TwipsPerPixelY())));
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
