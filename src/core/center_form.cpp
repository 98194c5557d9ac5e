#include "center_form.h"

#include "platform/int16.h"
#include "platform/twips.h"

#include <QWidget>

void CenterForm(QWidget* theForm) {
    const QRect frame = theForm->frameGeometry();
    const double width = Twips::FromPixelsX(frame.width());
    const double height = Twips::FromPixelsY(frame.height());
    const double left = Twips::ScreenWidth() / 2 - width / 2;
    const double top = Twips::ScreenHeight() / 2 - height / 2;
    theForm->move(int(Int16::roundHalfEven(left / Twips::TwipsPerPixelX())),
                  int(Int16::roundHalfEven(top / Twips::TwipsPerPixelY())));
}
