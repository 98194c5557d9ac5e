#pragma once
// The program's one font family: Liberation Sans (Debian package fonts-liberation2), in every
// window, the popup menu and the message boxes. The windows' twips layouts were drawn for an
// 11-px narrow sans serif; Liberation Sans has those widths and a line short enough for the
// 19-px boxes. Where it is missing, a window's font shrinks to the largest pixel size at
// which every fixed-size control's text fits: a text is never cut and never elided.

#include <QFont>
#include <QList>
#include <QSizeF>
#include <QString>

class QWidget;

namespace DialogFont {
inline constexpr int DesignPixelSize = 11;
// Below this nothing is readable; a window needing less keeps it and shows its texts cut.
inline constexpr int SmallestPixelSize = 6;

QString Family();
// The family at the given pixel size, other families only as fontconfig's fallback.
QFont Font(int pixelSize = DesignPixelSize);

// A control that lays out its text itself tells how much room the text needs in a font.
class SelfMeasured {
public:
    virtual ~SelfMeasured() = default;
    virtual QSizeF TextSize(const QFont& font) const = 0;
};

// Whether the control's text fits its fixed rectangle in the given font: labels (one line,
// several lines or word-wrapped), buttons, edit boxes and every entry of a combo box. A
// control without text fits.
bool TextFits(const QWidget* control, const QFont& font);

// The text controls of a window whose size is fixed by its layout (every labelled child
// that is not part of another control).
QList<QWidget*> FixedTextControls(const QWidget* window);

// The largest font, from `design` down to SmallestPixelSize in whole pixels, in which every
// one of `controls` fits; `design` itself when they all fit in it.
QFont Fitted(const QFont& design, const QList<QWidget*>& controls);

// Makes the family the application's font, the popup menu's and the message boxes' too, at
// the desktop's size.
void UseEverywhere();
} // namespace DialogFont
