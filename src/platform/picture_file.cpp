#include "picture_file.h"

#include <QImageReader>

QPixmap ReadPicture(const QString& path, const char* format) {
    QImageReader reader(path, format);
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}
