// lumivista-picturegen: draws every picture of Lumivista into the assets folder.
//   lumivista-picturegen ASSETS_DIR [--contact-sheet FILE.png]
#include "picturegen.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageWriter>
#include <cstdio>

using namespace pg;

namespace {

bool saveImage(const QImage& img, const QString& path, QString* error, int quality = -1) {
    QImageWriter w(path);
    if (quality >= 0)
        w.setQuality(quality);
    if (!w.write(img)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, w.errorString());
        return false;
    }
    return true;
}

bool writeAnimations(const QDir& dir, QString* error) {
    for (const Animation& a : animations()) {
        for (int size : {33, 66}) {
            std::vector<QImage> colour, grey;
            std::vector<int> delays;
            for (int f = 0; f < a.frames; ++f) {
                colour.push_back(renderFrame(a, f, size));
                grey.push_back(toGrey(colour.back()));
                delays.push_back(a.delayMs(f));
            }
            const QString big = size == 66 ? QStringLiteral("Big") : QString();
            if (!writeGif(dir.filePath(a.base + big + ".gif"), colour, delays, false, error) ||
                !writeGif(dir.filePath(a.base + big + "BW.gif"), grey, delays, true, error))
                return false;
            // The shown animation's double-size twin, for scaled screens: the player picks
            // it by Qt's @2x naming, so the 66-px drawing is saved once more under that name.
            if (size == 66 &&
                !writeGif(dir.filePath(a.base + "@2x.gif"), colour, delays, false, error))
                return false;
        }
    }
    return true;
}

bool writePictures(const QDir& dir, QString* error) {
    if (!saveImage(drawLogo(), dir.filePath("logo.jpg"), error, 92) ||
        !saveImage(drawAbout(1), dir.filePath("about.png"), error) ||
        !saveImage(drawAbout(2), dir.filePath("about@2x.png"), error))
        return false;
    for (int i = 0; i < 9; ++i)
        if (!saveImage(drawExercisePicture(i, 25),
                       dir.filePath(QStringLiteral("exercise_%1.png").arg(i)), error) ||
            !saveImage(drawExercisePicture(i, 50),
                       dir.filePath(QStringLiteral("exercise_%1@2x.png").arg(i)), error))
            return false;
    for (const ToolbarIcon& t : toolbarIcons())
        if (!saveImage(renderToolbarIcon(t), dir.filePath(t.name + ".png"), error) ||
            !saveImage(renderToolbarIcon(t, 2), dir.filePath(t.name + "@2x.png"), error))
            return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString sheet;
    const int flag = args.indexOf(QStringLiteral("--contact-sheet"));
    if (flag >= 0 && flag + 1 < args.size()) {
        sheet = args.at(flag + 1);
        args.remove(flag, 2);
    }
    if (args.size() != 1 || args.first().startsWith('-')) {
        std::fprintf(stderr, "usage: lumivista-picturegen ASSETS_DIR [--contact-sheet FILE.png]\n");
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    const QDir assets(args.first());
    for (const char* sub : {"animations", "pictures", "icons"})
        if (!assets.mkpath(QString::fromLatin1(sub))) {
            std::fprintf(stderr, "cannot create %s/%s\n", qPrintable(assets.path()), sub);
            return 1;
        }
    QString error;
    bool ok = writeAnimations(QDir(assets.filePath("animations")), &error) &&
              writePictures(QDir(assets.filePath("pictures")), &error);
    for (int size : appIconSizes())
        ok = ok &&
             saveImage(drawAppIcon(size),
                       assets.filePath(QStringLiteral("icons/lumivista-%1.png").arg(size)), &error);
    if (ok && !sheet.isEmpty())
        ok = writeContactSheet(assets.path(), sheet, &error);
    if (!ok) {
        std::fprintf(stderr, "lumivista-picturegen: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("pictures written to %s in %lld ms\n", qPrintable(assets.path()), timer.elapsed());
    return 0;
}
