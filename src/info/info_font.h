#pragma once
// The information windows' font: the program's one family at the 11 px the fixed layouts were
// drawn for (each window fits it to its controls where the family is missing).

#include "platform/dialog_font.h"

inline QFont InfoWindowFont() {
    return DialogFont::Font();
}
