#pragma once
// The maker of the program, as the About window and the web page viewer show it. One fixed
// text: every window takes it from here.

#include <QString>

namespace Maker {

inline const QString Name = QStringLiteral("Quillmere Optics Workshop");

// One item per line, as printed under the picture.
inline const QString PostalAddress =
    QStringLiteral("14 Lantern Row, Fennick Cross\nWestmarch WM4 2QL");

// Shown on the visit button and in the notice; HomePage is what the viewer opens.
inline const QString WebAddress = QStringLiteral("www.example.org");
inline const QString HomePage = QStringLiteral("https://www.example.org/");

inline const QString LegalNotice = QStringLiteral(
    "This program is protected by copyright law. Copying, lending or selling it, in whole or "
    "in part, without the written consent of its maker is forbidden.");
inline const QString LegalReference = QStringLiteral("Registered design QOW-2004-0187");
inline const QString CopyrightLine =
    QStringLiteral("Copyright \u00A9 2004 Quillmere Optics Workshop");

// The statement under the picture: whose property the program is, then name, address and
// web address, one item per line.
inline QString PropertyStatement() {
    return QStringLiteral("Property of ") + Name + QLatin1Char('\n') + PostalAddress +
           QLatin1Char('\n') + WebAddress;
}

} // namespace Maker
