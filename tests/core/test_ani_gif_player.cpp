#include "core/ani_gif_player.h"
#include "test_support.h"

#include <QFile>
#include <QImageReader>
#include <QMovie>
#include <QTest>

namespace {
QString shipped(const char* name) {
    return QStringLiteral(LUMI_SOURCE_DIR "/assets/animations/") + QLatin1String(name);
}

// A player on a shown window, given a shipped file.
struct ShownPlayer {
    explicit ShownPlayer(const char* file) {
        host.resize(200, 100);
        host.show();
        player.SetFileName(shipped(file));
    }
    QWidget host;
    AniGifPlayer player{&host};
};
} // namespace

class TestAniGifPlayer : public QObject {
    Q_OBJECT
private slots:
    void playsOnlyWhileVisible() {
        ShownPlayer shown("Palm.gif");
        AniGifPlayer& player = shown.player;
        QVERIFY(!player.IsEmpty());
        QVERIFY(!player.IsPlaying());
        QVERIFY(!player.isVisible());
        player.SetVisible(true);
        QVERIFY(player.IsPlaying());
        QVERIFY(player.isVisible());
        player.SetVisible(false);
        QVERIFY(!player.IsPlaying());
    }

    void reloadRestartsFromTheFirstFrame() {
        ShownPlayer shown("Palm.gif");
        AniGifPlayer& player = shown.player;
        player.SetVisible(true);
        QTRY_VERIFY_WITH_TIMEOUT(player.CurrentFrame() >= 2, 5000);
        // Reloaded while running, it must run again from the start, not freeze.
        player.SetFileName(shipped("Blink.gif"));
        QCOMPARE(player.CurrentFrame(), 0);
        QVERIFY(player.IsPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(player.CurrentFrame() >= 1, 5000);
        // Hidden, reloaded, shown again: from the first frame.
        player.SetVisible(false);
        player.SetFileName(shipped("Blink.gif"));
        player.SetVisible(true);
        QCOMPARE(player.CurrentFrame(), 0);
        QVERIFY(player.IsPlaying());
    }

    void missingOrDamagedFilesLeaveAnEmptyPlayer() {
        TestAppFolder app;
        QWidget host;
        host.show();
        AniGifPlayer player(&host);
        player.SetFileName(app.path() + QStringLiteral("/Nothing.gif"));
        player.SetVisible(true);
        QVERIFY(player.IsEmpty());
        QVERIFY(!player.IsPlaying());
        QCOMPARE(player.CurrentFrame(), -1);

        // A GIF whose header is fine and whose body is cut off.
        QFile source(shipped("Palm.gif"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        const QString cut = app.path() + QStringLiteral("/Cut.gif");
        QFile out(cut);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes.left(40));
        out.close();
        player.SetVisible(false);
        player.SetFileName(cut);
        player.SetVisible(true);
        QTRY_VERIFY_WITH_TIMEOUT(player.IsEmpty(), 5000);
        QVERIFY(!player.IsPlaying());
        player.grab(); // painting an empty player is fine

        // A good file afterwards plays again.
        player.SetFileName(shipped("Palm.gif"));
        QVERIFY(!player.IsEmpty());
        QVERIFY(player.IsPlaying());
    }

    void geometryInTwips() {
        QWidget host;
        AniGifPlayer player(&host);
        QCOMPARE(player.Width(), 495.0);
        player.SetLeft(1305);
        player.SetTop(0);
        QCOMPARE(player.geometry(), QRect(87, 0, 33, 33));
        player.SetLeft(1800);
        QCOMPARE(player.geometry().x(), 120);
    }

    void shownFile_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QString>("shown");
        QTest::newRow("1x") << shipped("Blink.gif") << 1.0 << shipped("Blink.gif");
        QTest::newRow("1.5x") << shipped("XAnim.gif") << 1.5 << shipped("XAnim@2x.gif");
        QTest::newRow("2x without a twin")
            << shipped("BlinkBW.gif") << 2.0 << shipped("BlinkBW.gif");
        QTest::newRow("2x missing") << shipped("Nothing.gif") << 2.0 << shipped("Nothing.gif");
    }

    void shownFile() {
        QFETCH(QString, path);
        QFETCH(qreal, ratio);
        QFETCH(QString, shown);
        QCOMPARE(AniGifPlayer::ShownFile(path, ratio), shown);
    }

    // Run as it stands (1x) and again with QT_SCALE_FACTOR=2: every pixel the player shows is
    // the pixel of one frame of the file for that scale, so nothing is resampled.
    void drawsEveryPixelFromAFrameOfItsFile() {
        ShownPlayer shown("Blink.gif");
        AniGifPlayer& player = shown.player;
        QCOMPARE(player.FileName(), shipped("Blink.gif"));
        const qreal ratio = shown.host.devicePixelRatioF();
        const QString file = ratio > 1 ? shipped("Blink@2x.gif") : shipped("Blink.gif");
        QCOMPARE(player.ShownFileName(), file);

        QList<QImage> frames;
        QImageReader reader(file);
        QImage frame;
        while (reader.read(&frame))
            frames << frame.convertToFormat(QImage::Format_RGB32);
        QVERIFY(frames.size() >= 8);

        player.SetVisible(true);
        // The player's own movie, stepped through every frame rather than waited for.
        QMovie* movie = player.findChild<QMovie*>();
        QVERIFY(movie);
        for (int step = 0; step < frames.size(); ++step) {
            const int number = player.CurrentFrame();
            QCOMPARE(number, step);
            const QImage shot = player.grab().toImage().convertToFormat(QImage::Format_RGB32);
            QCOMPARE(shot.size(), QSize(33, 33) * ratio);
            QVERIFY2(shot == frames.value(number),
                     qPrintable(
                         QStringLiteral("frame %1 is not drawn as it is in the file").arg(number)));
            movie->jumpToNextFrame();
        }
    }
};

QTEST_MAIN(TestAniGifPlayer)
#include "test_ani_gif_player.moc"
