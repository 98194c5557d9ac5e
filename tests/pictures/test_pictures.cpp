// Checks every picture the program loads: names, sizes, formats, and that the
// animations are real looping animations small enough to ship.
#include "core/module1.h"

#include <QtTest>

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMovie>
#include <QSet>

namespace {

// The animations the program asks for.
const QStringList kBases = [] {
    QStringList bases;
    for (const char* base : Module1::AnimationBaseNames)
        bases << QLatin1String(base);
    return bases;
}();
constexpr QRgb kMask = 0xFFC0C0C0;

QString appFile(const QString& name) { return QDir(LUMI_APP_DIR).filePath(name); }
QString assetFile(const QString& name) { return QDir(LUMI_ASSETS_DIR).filePath(name); }

struct Gif {
    QList<QImage> frames;
    QList<int> delays;
};

Gif readGif(const QString& path) {
    Gif g;
    QImageReader r(path);
    QImage img;
    while (r.read(&img)) {
        g.frames << img.convertToFormat(QImage::Format_RGB32);
        g.delays << r.nextImageDelay();
    }
    return g;
}

QByteArray head(const QString& path, int n) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
}

int contentHeightAt(const QImage& icon, int x) {
    int n = 0;
    for (int y = 0; y < icon.height(); ++y)
        n += icon.pixel(x, y) != kMask;
    return n;
}

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

private slots:
    void animation_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<int>("size");
        for (const QString& b : kBases)
            for (const auto& [variant, size] :
                 {std::pair{"", 33}, std::pair{"Big", 66}, std::pair{"BW", 33},
                  std::pair{"BigBW", 66}, std::pair{"@2x", 66}})
                QTest::addRow("%s%s", qPrintable(b), variant) << b << QString(variant) << size;
    }

    void animation() {
        QFETCH(QString, base);
        QFETCH(QString, variant);
        QFETCH(int, size);
        const QString path = appFile(base + variant + ".gif");
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        QVERIFY(QFileInfo(path).size() < 30 * 1024);

        QMovie movie(path);
        QVERIFY(movie.isValid());
        QCOMPARE(movie.format(), QByteArray("gif"));
        QVERIFY(movie.frameCount() >= 8);
        QCOMPARE(movie.loopCount(), -1); // NETSCAPE2.0 with count 0: forever
        QVERIFY(movie.jumpToFrame(0));
        QCOMPARE(movie.currentImage().size(), QSize(size, size));

        const Gif gif = readGif(path);
        QCOMPARE(gif.frames.size(), movie.frameCount());
        for (int i = 0; i < gif.frames.size(); ++i) {
            QCOMPARE(gif.frames[i].size(), QSize(size, size));
            QVERIFY2(gif.delays[i] >= 100 && gif.delays[i] <= 200,
                     qPrintable(QString::number(gif.delays[i])));
        }
        if (variant.endsWith("BW")) {
            for (const QImage& f : gif.frames)
                for (int y = 0; y < size; ++y)
                    for (int x = 0; x < size; ++x) {
                        const QRgb px = f.pixel(x, y);
                        QVERIFY(qRed(px) == qGreen(px) && qGreen(px) == qBlue(px));
                    }
        }
    }

    // The small colour GIF moves, and its big and grey versions play the same
    // animation: same frames and timing, the big one drawn anew, not doubled.
    void animationVersionsMatch_data() {
        QTest::addColumn<QString>("base");
        for (const QString& b : kBases)
            QTest::newRow(qPrintable(b)) << b;
    }

    void animationVersionsMatch() {
        QFETCH(QString, base);
        const Gif small = readGif(appFile(base + ".gif"));
        QVERIFY(small.frames.size() >= 8);

        QSet<QByteArray> distinct;
        int mostChanged = 0;
        for (const QImage& f : small.frames) {
            distinct << QByteArray(reinterpret_cast<const char*>(f.constBits()),
                                   int(f.sizeInBytes()));
            int changed = 0;
            for (int y = 0; y < 33; ++y)
                for (int x = 0; x < 33; ++x)
                    changed += f.pixel(x, y) != small.frames[0].pixel(x, y);
            mostChanged = std::max(mostChanged, changed);
        }
        QVERIFY2(distinct.size() >= 3, "fewer than three different frames");
        QVERIFY2(mostChanged >= 33 * 33 / 50, "the frames hardly change");

        for (const char* variant : {"Big", "BW", "BigBW", "@2x"}) {
            const Gif other = readGif(appFile(base + variant + ".gif"));
            QCOMPARE(other.frames.size(), small.frames.size());
            QCOMPARE(other.delays, small.delays);
        }
        const Gif big = readGif(appFile(base + "Big.gif"));
        for (int i = 0; i < small.frames.size(); ++i)
            QVERIFY2(big.frames[i] != small.frames[i].scaled(66, 66),
                     "big frame is the small one doubled");
        // A scaled screen shows the @2x file: the same drawing at double size, not the small
        // frames blown up.
        const Gif twice = readGif(appFile(base + "@2x.gif"));
        for (int i = 0; i < small.frames.size(); ++i)
            QVERIFY2(twice.frames[i] != small.frames[i].scaled(66, 66),
                     "@2x frame is the small one doubled");
    }

    void picture_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");
        QTest::newRow("logo") << "pictures/logo.jpg" << QSize(348, 148);
        QTest::newRow("about") << "pictures/about.png" << QSize(215, 78);
        QTest::newRow("about@2x") << "pictures/about@2x.png" << QSize(430, 156);
        for (int i = 0; i < Module1::ExerciseCount; ++i) {
            QTest::addRow("exercise_%d", i)
                << QString("pictures/exercise_%1.png").arg(i) << QSize(25, 25);
            QTest::addRow("exercise_%d@2x", i)
                << QString("pictures/exercise_%1@2x.png").arg(i) << QSize(50, 50);
        }
        for (const char* tb : {"back", "forward", "stop", "refresh", "home", "search"}) {
            QTest::addRow("tb_%s", tb) << QString("pictures/tb_%1.png").arg(tb) << QSize(24, 24);
            QTest::addRow("tb_%s@2x", tb)
                << QString("pictures/tb_%1@2x.png").arg(tb) << QSize(48, 48);
        }
        for (int s : {48, 128, 256})
            QTest::addRow("icon %d", s) << QString("icons/lumivista-%1.png").arg(s) << QSize(s, s);
    }

    void picture() {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        const QString path = assetFile(file);
        // Decide by the bytes, not the name: a PNG saved as logo.jpg must fail.
        const QByteArray magic =
            file.endsWith(".jpg") ? QByteArray("\xFF\xD8\xFF") : QByteArray("\x89PNG");
        QCOMPARE(head(path, magic.size()), magic);
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), QByteArray(file.endsWith(".jpg") ? "jpeg" : "png"));
        const QImage img = reader.read();
        QVERIFY2(!img.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(img.size(), size);

        // Something is drawn: a fair share of the pixels is neither
        // transparent nor the background of the top-left corner.
        int drawn = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                drawn += qAlpha(img.pixel(x, y)) > 128 && img.pixel(x, y) != img.pixel(0, 0);
        QVERIFY(drawn > img.width() * img.height() / 8);
    }

    // Silver is keyed out as transparent: the corners must be exactly silver
    // and no pixel may be a blend of icon and silver (it would show as a halo).
    void toolbarIcon_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("side");
        for (const char* tb : {"back", "forward", "stop", "refresh", "home", "search"}) {
            QTest::newRow(tb) << QString("tb_%1").arg(tb) << 24;
            QTest::addRow("%s@2x", tb) << QString("tb_%1@2x").arg(tb) << 48;
        }
    }

    void toolbarIcon() {
        QFETCH(QString, name);
        QFETCH(int, side);
        const QImage img =
            QImage(assetFile("pictures/" + name + ".png")).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(img.size(), QSize(side, side));
        const int e = side - 1;
        for (const QPoint corner : {QPoint(0, 0), QPoint(e, 0), QPoint(0, e), QPoint(e, e)})
            QCOMPARE(img.pixel(corner), kMask);
        int mask = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const QRgb px = img.pixel(x, y);
                QCOMPARE(qAlpha(px), 255);
                if (px == kMask) {
                    ++mask;
                    continue;
                }
                const int d = std::abs(qRed(px) - 0xC0) + std::abs(qGreen(px) - 0xC0) +
                              std::abs(qBlue(px) - 0xC0);
                QVERIFY2(d > 40, qPrintable(QString("near-silver pixel at %1,%2").arg(x).arg(y)));
            }
        QVERIFY(mask > side * side / 10 && mask < side * side * 9 / 10);
        if (side == 48) {
            // The same drawing as the 24-px icon: mostly the same pixels are the mask.
            const QImage small = QImage(assetFile("pictures/" + name.chopped(3) + ".png"))
                                     .convertToFormat(QImage::Format_ARGB32);
            int agree = 0;
            for (int y = 0; y < 24; ++y)
                for (int x = 0; x < 24; ++x)
                    agree += (small.pixel(x, y) == kMask) == (img.pixel(2 * x, 2 * y) == kMask);
            QVERIFY2(agree > 24 * 24 * 85 / 100, qPrintable(QString::number(agree)));
        }
    }

    void toolbarArrowsPointTheRightWay() {
        const QImage back(assetFile("pictures/tb_back.png"));
        const QImage forward(assetFile("pictures/tb_forward.png"));
        // the arrow head is tall, the shaft low: the head must be on the pointing side
        QVERIFY(contentHeightAt(back, 7) > contentHeightAt(back, 17));
        QVERIFY(contentHeightAt(forward, 16) > contentHeightAt(forward, 6));
        QCOMPARE(forward.convertToFormat(QImage::Format_RGB32),
                 back.mirrored(true, false).convertToFormat(QImage::Format_RGB32));
        const QImage back2(assetFile("pictures/tb_back@2x.png"));
        const QImage forward2(assetFile("pictures/tb_forward@2x.png"));
        QCOMPARE(forward2.convertToFormat(QImage::Format_RGB32),
                 back2.mirrored(true, false).convertToFormat(QImage::Format_RGB32));
        const QRgb middle = back.pixel(12, 12);
        QVERIFY2(qBlue(middle) > 150 && qGreen(middle) > 150 && qRed(middle) < 100,
                 "arrow is not cyan");
    }

    void resourceFileListsEveryPicture() {
        // The windows' pictures are compiled in: every file under assets/pictures, by name.
        const QStringList compiled = QDir(QStringLiteral(":/pictures")).entryList(QDir::Files);
        const QStringList files = QDir(assetFile("pictures")).entryList(QDir::Files);
        QCOMPARE(QSet<QString>(compiled.begin(), compiled.end()),
                 QSet<QString>(files.begin(), files.end()));
        QVERIFY(compiled.contains("logo.jpg") && compiled.contains("tb_back.png"));
    }
};

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
