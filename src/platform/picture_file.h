#pragma once

#include <QPixmap>
#include <QString>

// Reads a picture whose format is known. A reader left to guess asks every image plug-in in
// turn, and loading them all made up a noticeable share of the start.
QPixmap ReadPicture(const QString& path, const char* format);
