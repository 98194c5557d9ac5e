#pragma once
// The information windows' font: the classic 8 pt dialog font's size (11 px), in one of its
// metric twins when installed, so the fixed layouts hold the texts they were drawn for.

#include <QFont>
#include <QStringList>

inline QFont InfoWindowFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Nimbus Sans"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial"), QStringLiteral("Helvetica"),
                      QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}
