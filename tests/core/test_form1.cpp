#include "core_rig.h"

#include "core/center_form.h"
#include "platform/failure.h"
#include "platform/message_box_qt.h"
#include "platform/single_instance.h"

#include <QApplication>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Module1;

namespace {
// Window and logo sizes in twips, width first.
QSizeF sizeTwips(Form1& f) { return QSizeF(f.Width(), f.Height()); }
QSizeF logo(Form1& f) { return QSizeF(f.Image2Width(), f.Image2Height()); }

// Whether another process holds the flock of `path`; a probe that leaves the file in place.
bool lockedElsewhere(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const bool held = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}
} // namespace

class TestForm1 : public QObject {
    Q_OBJECT
private slots:
    void startSequenceEndState() {
        CoreRig rig;
        rig.writeSettings({{0, {6, 10}}, {4, {3, 7}}});
        rig.make();
        bool topmostAtStep6 = false, visibleAtStep6 = false;
        rig.form->hooks.setBackFrontMark = [&](bool checked) {
            QVERIFY(!checked);
            ++rig.backFrontCalls;
            topmostAtStep6 = IsTopmost(rig.form.get());
            visibleAtStep6 = rig.form->isVisible();
        };
        QVERIFY(rig.form->Form_Load());
        Form1& f = *rig.form;

        QCOMPARE(rig.boxes.count(), 0);
        QCOMPARE(rig.backFrontCalls, 1);
        QVERIFY(visibleAtStep6);  // shown at step 5
        QVERIFY(!topmostAtStep6); // normal stacking from the moment it shows
        QVERIFY(!IsTopmost(&f));
        QVERIFY(f.isVisible());
        QVERIFY(f.testAttribute(Qt::WA_ShowWithoutActivating));
        QVERIFY(f.windowFlags() & Qt::FramelessWindowHint);

        QCOMPARE(sizeTwips(f), QSizeF(1305.0, 555.0));
        QCOMPARE(f.size(), QSize(87, 37));
        QCOMPARE(logo(f), QSizeF(1305.0, 555.0));
        QCOMPARE(f.ContentWidth(), std::int16_t(1305));
        QCOMPARE(f.ShownCount(), std::int16_t(0));
        QVERIFY(ResizeByUser);
        QCOMPARE(AnimationColumn, 1);
        QCOMPARE(AnimationRowOffset, 0);
        QCOMPARE(ExerciseFrequency[0], std::int16_t(6));
        QCOMPARE(ExerciseTiming[4], std::int16_t(7));
        for (int i = 0; i < ExerciseCount; ++i) {
            QVERIFY(f.Timer1(i).isEnabled());
            QCOMPARE(f.Timer1(i).interval(), 10000);
            QVERIFY(!f.Timer2(i).isEnabled());
            QCOMPARE(f.Timer2(i).interval(), 300);
            QCOMPARE(WaitTicks[i], std::int16_t(0));
            QVERIFY(!f.AniGif(i).Visible());
            QCOMPARE(f.AniGif(i).FileName(), AnimationTable[i][1]);
            QCOMPARE(f.AniGif(i).Width(), 495.0);
        }
        QVERIFY(f.AniGif(1).FileName().endsWith(QStringLiteral("/Palm.gif")));
        // Nothing can appear before the first waiting tick.
        rig.clock.advance(9999);
        QCOMPARE(rig.displayed(), 0);
    }

    // The logo and the animations are read when first drawn, not while the window starts:
    // the window still shows the logo at once, and every player plays its file when shown.
    void logoAndAnimationsShowAsLoaded() {
        CoreRig rig;
        rig.writeSettings({});
        for (const char* base : AnimationBaseNames) {
            const QString name = QLatin1String(base) + QStringLiteral(".gif");
            QVERIFY(QFile::copy(QStringLiteral(LUMI_SOURCE_DIR "/assets/animations/") + name,
                                rig.app.path() + QLatin1Char('/') + name));
        }
        Form1& f = rig.start();

        auto* logo = f.findChild<QWidget*>(QStringLiteral("Image2"));
        QVERIFY(logo);
        const QPixmap shot = logo->grab();
        QPixmap expected(shot.size());
        expected.setDevicePixelRatio(shot.devicePixelRatio());
        {
            QPainter painter(&expected);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawPixmap(logo->rect(), QPixmap(QStringLiteral(":/pictures/logo.jpg")));
        }
        QCOMPARE(shot.toImage().convertToFormat(QImage::Format_RGB32),
                 expected.toImage().convertToFormat(QImage::Format_RGB32));

        for (int i = 0; i < ExerciseCount; ++i) {
            AniGifPlayer& player = f.AniGif(i);
            QVERIFY(!player.IsPlaying());
            player.SetVisible(true);
            QVERIFY(!player.IsEmpty());
            QVERIFY(player.IsPlaying());
            QCOMPARE(player.CurrentFrame(), 0);
            player.SetVisible(false);
        }
    }

    void failingStepStopsTheSequence() {
        CoreRig rig;
        rig.writeSettings({{0, {1, 1}}});
        rig.make();
        rig.form->hooks.setBackFrontMark = [](bool) { throw Failure(FailureCode::WindowSystem); };
        QVERIFY(rig.form->Form_Load());
        QCOMPARE(rig.boxes.count(), 1);
        QCOMPARE(rig.boxes.last().title, QStringLiteral("Error 380 in Form_Load method!"));
        QCOMPARE(rig.boxes.last().style, MsgStyle::Exclamation);
        QVERIFY(rig.boxes.last().text.startsWith(QStringLiteral("Desc: ")));
        QVERIFY(rig.boxes.last().text.contains(QStringLiteral(", LastDLLError: ")));
        // Steps 7 to 15 skipped: design size, settings not read.
        QVERIFY(rig.form->isVisible());
        QVERIFY(!IsTopmost(rig.form.get()));
        QCOMPARE(sizeTwips(*rig.form), QSizeF(5385.0, 2970.0));
        QCOMPARE(ExerciseFrequency[0], std::int16_t(0));
        QCOMPARE(rig.form->Timer2(0).interval(), 200);
        QVERIFY(!ResizeByUser);
    }

    void secondInstanceRefused() {
        CoreRig rig;
        const QString lockPath = rig.app.path() + QStringLiteral("/run/lumivista.lock");
        SingleInstanceLock running(lockPath);
        QCOMPARE(running.state(), SingleInstanceLock::State::Acquired);
        int boxesBeforeActivation = -1;
        rig.env.activateRunningInstance = [&] { boxesBeforeActivation = rig.boxes.count(); };

        rig.make();
        QVERIFY(!rig.form->Form_Load());
        QCOMPARE(boxesBeforeActivation, 1); // once the message is dismissed
        QCOMPARE(rig.boxes.count(), 1);
        QCOMPARE(rig.boxes.last().text, QStringLiteral("Lumivista is already opened."));
        QCOMPARE(rig.boxes.last().style, MsgStyle::OkOnly);
        QCOMPARE(rig.boxes.last().title, QStringLiteral("Lumivista"));
        QVERIFY(!rig.form->isVisible());
        QCOMPARE(rig.backFrontCalls, 0);
        for (int i = 0; i < ExerciseCount; ++i)
            QVERIFY(!rig.form->Timer1(i).isEnabled());
        // The running instance keeps its lock.
        SingleInstanceLock third(lockPath);
        QCOMPARE(third.state(), SingleInstanceLock::State::HeldByOther);
    }

    void lockReleasedWithTheWindow() {
        CoreRig rig;
        rig.start();
        const QString lockPath = rig.app.path() + QStringLiteral("/run/lumivista.lock");
        QCOMPARE(SingleInstanceLock(lockPath).state(), SingleInstanceLock::State::HeldByOther);
        rig.form.reset();
        QCOMPARE(SingleInstanceLock(lockPath).state(), SingleInstanceLock::State::Acquired);
    }

    void staleLockRecovered() {
        CoreRig rig;
        const QString lockPath = rig.app.path() + QStringLiteral("/run/lumivista.lock");
        QDir().mkpath(rig.app.path() + QStringLiteral("/run"));
        // A crashed instance left its file behind, naming a PID that is now ours (containers
        // hand out the same low PIDs again).
        QFile stale(lockPath);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write(QByteArray::number(QCoreApplication::applicationPid()) + '\n');
        stale.close();
        rig.make();
        QVERIFY(rig.form->Form_Load());
        QCOMPARE(rig.boxes.count(), 0);
        QVERIFY(rig.form->isVisible());
    }

    void lockOfAKilledProcessRecovered() {
        const QString flockTool = QStandardPaths::findExecutable(QStringLiteral("flock"));
        if (flockTool.isEmpty())
            QSKIP("flock(1) not installed");
        CoreRig rig;
        const QString lockPath = rig.app.path() + QStringLiteral("/run/lumivista.lock");
        QDir().mkpath(rig.app.path() + QStringLiteral("/run"));
        QProcess holder;
        holder.start(flockTool, {QStringLiteral("-F"), lockPath, QStringLiteral("sleep"),
                                 QStringLiteral("60")});
        QVERIFY(holder.waitForStarted());
        QTRY_VERIFY(lockedElsewhere(lockPath));
        QCOMPARE(SingleInstanceLock(lockPath).state(), SingleInstanceLock::State::HeldByOther);
        holder.kill(); // no clean-up of any kind
        QVERIFY(holder.waitForFinished());
        rig.make();
        QVERIFY(rig.form->Form_Load());
        QCOMPARE(rig.boxes.count(), 0);
    }

    // What another user prepared (or anyone could have) is passed over: it neither blocks
    // the start nor holds our lock, which is taken in our own place instead.
    void lockTrustsOnlyWhatIsOurs_data() {
        QTest::addColumn<QString>("prepared");
        QTest::addColumn<bool>("needsRoot");
        QTest::newRow("another user's folder, held by them") << "foreign folder" << true;
        QTest::newRow("another user's file in our folder") << "foreign file" << true;
        QTest::newRow("a folder anyone can write") << "open folder" << false;
        QTest::newRow("a folder its group can write") << "group folder" << false;
        QTest::newRow("a link in place of the folder") << "linked folder" << false;
        QTest::newRow("a link in place of the file") << "linked file" << false;
        QTest::newRow("a folder that cannot be made") << "under a file" << false;
    }

    void lockTrustsOnlyWhatIsOurs() {
        QFETCH(QString, prepared);
        QFETCH(bool, needsRoot);
        if (needsRoot && ::geteuid() != 0)
            QSKIP("preparing files of another user needs root");
        QTemporaryDir scratch;
        const QString foreign = scratch.path() + QStringLiteral("/foreign");
        QString lockPath = foreign + QStringLiteral("/lumivista.lock");
        const QByteArray folder = QFile::encodeName(foreign), file = QFile::encodeName(lockPath);
        QProcess holder;
        if (prepared == QLatin1String("under a file")) {
            QFile plain(foreign);
            QVERIFY(plain.open(QIODevice::WriteOnly));
        } else if (prepared == QLatin1String("linked folder")) {
            QVERIFY(QDir().mkdir(scratch.path() + QStringLiteral("/elsewhere")));
            QVERIFY(QFile::link(scratch.path() + QStringLiteral("/elsewhere"), foreign));
        } else {
            QVERIFY(QDir().mkdir(foreign));
            if (prepared == QLatin1String("linked file")) {
                QVERIFY(QFile::link(scratch.path() + QStringLiteral("/target"), lockPath));
            } else {
                QFile lock(lockPath);
                QVERIFY(lock.open(QIODevice::WriteOnly));
            }
            if (prepared == QLatin1String("open folder") ||
                prepared == QLatin1String("group folder"))
                QCOMPARE(::chmod(folder.constData(), prepared.startsWith('o') ? 0777 : 0770), 0);
            if (prepared == QLatin1String("foreign file"))
                QCOMPARE(::chown(file.constData(), 65534, 65534), 0);
            if (prepared == QLatin1String("foreign folder")) {
                QCOMPARE(::chown(file.constData(), 65534, 65534), 0);
                QCOMPARE(::chown(folder.constData(), 65534, 65534), 0);
                QCOMPARE(::chmod(scratch.path().toLocal8Bit().constData(), 0755), 0);
                // Their own program holds their lock file.
                const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
                const QString flock = QStandardPaths::findExecutable(QStringLiteral("flock"));
                if (!setpriv.isEmpty() && !flock.isEmpty()) {
                    holder.start(setpriv,
                                 {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                  QStringLiteral("--clear-groups"), flock, QStringLiteral("-F"),
                                  lockPath, QStringLiteral("sleep"), QStringLiteral("60")});
                    QVERIFY(holder.waitForStarted());
                    QTRY_VERIFY(lockedElsewhere(lockPath));
                }
            }
        }
        const QString own = scratch.path() + QStringLiteral("/own/lumivista.lock");
        {
            SingleInstanceLock first({lockPath, own});
            QCOMPARE(first.state(), SingleInstanceLock::State::Acquired);
            QCOMPARE(first.heldPaths(), QStringList{own});
            SingleInstanceLock second({lockPath, own});
            QCOMPARE(second.state(), SingleInstanceLock::State::HeldByOther);
        }
        // Nowhere to lock at all: the program does not start unguarded.
        CoreRig rig;
        rig.env.lockPaths = {lockPath};
        rig.make();
        QVERIFY(!rig.form->Form_Load());
        QVERIFY(rig.boxes.last().text.startsWith(QStringLiteral("Lumivista cannot start")));
        QVERIFY(!rig.form->isVisible());
        holder.kill();
        holder.waitForFinished();
    }

    // Two starts agree whatever their environments: of the places every start sees, the first
    // usable one is taken, and the runtime folder besides; a runtime folder alone guards nothing.
    void lockAgreesAcrossEnvironments() {
        QTemporaryDir scratch;
        const QString unusable = QStringLiteral("/dev/null/lumivista.lock");
        const QString runtime = scratch.path() + QStringLiteral("/runtime/lumivista.lock");
        const QString home = scratch.path() + QStringLiteral("/home/.local/state/l/lumivista.lock");
        const QString tmp = scratch.path() + QStringLiteral("/tmp/lumivista.lock");
        {
            SingleInstanceLock withRuntime({home, tmp}, {runtime});
            QCOMPARE(withRuntime.heldPaths(), (QStringList{home, runtime}));
            QCOMPARE(SingleInstanceLock({home, tmp}).state(),
                     SingleInstanceLock::State::HeldByOther);
            QCOMPARE(SingleInstanceLock({unusable}, {tmp}).state(),
                     SingleInstanceLock::State::Unavailable);
        }
        QVERIFY(!QFile::exists(home)); // gone with its holder
        SingleInstanceLock homeUnusable({unusable, tmp}, {runtime});
        QCOMPARE(homeUnusable.heldPaths(), (QStringList{tmp, runtime}));

        // The real places follow neither $HOME nor $TMPDIR nor XDG_RUNTIME_DIR, and tell
        // installations apart but not two names of one. The home is a scratch one: the user's
        // own is not written.
        const QString app = scratch.path() + QStringLiteral("/app"), link = app + "-link";
        const QString user = scratch.path() + QStringLiteral("/user");
        QVERIFY(QDir().mkdir(app) && QFile::link(app, link) && QDir().mkdir(user));
        const QByteArrayList names{"HOME", "TMPDIR", "XDG_RUNTIME_DIR"};
        QByteArrayList before;
        for (const QByteArray& name : names)
            before << qgetenv(name);
        const QString account = SingleInstanceLock::passwordDatabaseHome();
        const QStringList defaults = SingleInstanceLock::defaultPaths(app, user);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(scratch.path()));
        SingleInstanceLock withRuntime(defaults, SingleInstanceLock::defaultExtraPaths(app));
        for (const QByteArray& name : names)
            qputenv(name, "/nonexistent");
        QCOMPARE(SingleInstanceLock::passwordDatabaseHome(), account);
        QCOMPARE(SingleInstanceLock::defaultPaths(app, user), defaults);
        QVERIFY(SingleInstanceLock::defaultPaths(scratch.path(), user) != defaults);
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(SingleInstanceLock(SingleInstanceLock::defaultPaths(link, user)).state(),
                 SingleInstanceLock::State::HeldByOther);
        for (qsizetype k = 0; k < names.size(); ++k)
            before[k].isNull() ? qunsetenv(names[k]) : qputenv(names[k], before[k]);
        QCOMPARE(withRuntime.heldPaths().size(), 2);
        QVERIFY(withRuntime.heldPaths()[0].startsWith(user + "/.local/state/lumivista/lumivista-"));
        QCOMPARE(account, QFile::decodeName(::getpwuid(::geteuid())->pw_dir));
    }

    void placementFigures_data() {
        QTest::addColumn<double>("widthTwips");
        QTest::addColumn<double>("heightTwips");
        QTest::addColumn<double>("tppX");
        QTest::addColumn<double>("tppY");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::newRow("1920x1080") << 28800.0 << 16200.0 << 15.0 << 15.0 << 1344 << 950 << 87 << 37;
        QTest::newRow("3840x2160")
            << 57600.0 << 32400.0 << 15.0 << 15.0 << 2688 << 1901 << 87 << 37;
        QTest::newRow("5120x2880")
            << 76800.0 << 43200.0 << 15.0 << 15.0 << 3584 << 2534 << 87 << 37;
        // 120 dpi: 12 twips per pixel.
        QTest::newRow("1920x1080@12")
            << 23040.0 << 12960.0 << 12.0 << 12.0 << 1344 << 950 << 109 << 46;
        // Vertical divisor rounded first (12.5 -> 12, ties to even); horizontal used as it is.
        QTest::newRow("odd tpp") << 24000.0 << 13500.0 << 12.5 << 12.5 << 1344 << 990 << 104 << 46;
    }
    void placementFigures() {
        QFETCH(double, widthTwips);
        QFETCH(double, heightTwips);
        QFETCH(double, tppX);
        QFETCH(double, tppY);
        const MainWindowPlacement p =
            ComputeMainWindowPlacement({widthTwips, heightTwips, tppX, tppY}, 1305, 555);
        QTEST(int(p.x), "x");
        QTEST(int(p.y), "y");
        QTEST(int(p.width), "w");
        QTEST(int(p.height), "h");
    }

    void startSequenceCompletesOnA4kScreen() {
        CoreRig rig;
        rig.writeSettings({{2, {1, 1}}});
        rig.env.screen = [] { return ScreenMetrics{57600, 32400, 15, 15}; };
        rig.start();
        QCOMPARE(rig.boxes.count(), 0);
        QCOMPARE(rig.form->pos(), QPoint(2688, 1901));
        QVERIFY(ResizeByUser);
        QCOMPARE(ExerciseFrequency[2], std::int16_t(1));
        rig.clock.advance(10000);
        QCOMPARE(rig.displayed(), 1);
    }

    // The primary monitor anywhere: the logo at its 70 % / 88 %, a message box centred on it
    // (as every window); the logo comes back to the primary when the monitor showing it goes.
    void placesAndCentresOnThePrimary_data() {
        QTest::addColumn<QRect>("primary");
        QTest::addColumn<QRect>("other");
        QTest::addColumn<QPoint>("logo");
        const QRect hd(0, 0, 1920, 1080), sxga(0, 0, 1280, 1024);
        QTest::newRow("left") << hd << hd.translated(1920, 0) << QPoint(1344, 950);
        QTest::newRow("right") << hd.translated(1920, 0) << hd << QPoint(3264, 950);
        QTest::newRow("below") << hd.translated(0, 1024) << sxga << QPoint(1344, 1974);
        QTest::newRow("1280x1024 right") << sxga.translated(1920, 0) << hd << QPoint(2816, 901);
    }
    void placesAndCentresOnThePrimary() {
        QFETCH(QRect, primary);
        QFETCH(QRect, other);
        QList<QRect> monitors{primary, other};
        CoreRig rig;
        rig.env.screen = [&] {
            const QRectF t(QPointF(primary.topLeft()) * 15, QSizeF(primary.size()) * 15);
            return ScreenMetrics{t.width(), t.height(), 15, 15, t.left(), t.top()};
        };
        rig.env.monitors = [&] { return monitors; };
        QTEST(rig.start().pos(), "logo");
        QRect box;
        QTimer::singleShot(0, [&] {
            box = QApplication::activeModalWidget()->frameGeometry();
            QApplication::activeModalWidget()->close();
        });
        ShowQtMessageBox({QStringLiteral("?"), MsgStyle::OkOnly, kApplicationTitle}, &CenterForm);
        QVERIFY((box.center() - primary.center()).manhattanLength() <= 2);
        rig.form->move(other.topLeft()); // dragged onto the other monitor
        rig.form->KeepOnScreen();
        QCOMPARE(rig.form->pos(), other.topLeft());
        // That monitor goes, and the primary shrinks.
        monitors = {primary = QRect(primary.topLeft(), QSize(1024, 768))};
        rig.form->KeepOnScreen();
        QCOMPARE(rig.form->pos(), primary.topLeft() + QPoint(717, 676));
    }

    void placementOnTheRealScreen() {
        CoreRig rig;
        rig.start();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(rig.form->pos(),
                 QPoint(qRound(0.7 * screen.width()), int(std::lrint(0.88 * screen.height()))));
    }

    void twipsToPixelsKeepsThe16BitRule() {
        // The procedure converts for the floating window's screen.
        CoreRig rig;
        ScreenMetrics screen{28800, 16200, 15, 15};
        rig.env.screen = [&] { return screen; };
        rig.make();
        std::int16_t x = 1305, y = 555;
        TwipsToPixels(x, y);
        QCOMPARE(x, std::int16_t(87));
        QCOMPARE(y, std::int16_t(37));
        x = 22, y = 22; // 1.4667 -> 1, ties and fractions to nearest
        TwipsToPixels(x, y);
        QCOMPARE(x, std::int16_t(1));
        screen = ScreenMetrics{28800, 16200, 0.5, 0.5};
        x = 20000, y = 10;
        QVERIFY_THROWS_EXCEPTION(Failure, TwipsToPixels(x, y));
    }

    void sizeCheckRows_data() {
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("logoH");
        QTest::addColumn<int>("logoW");
        QTest::addColumn<int>("windowH"); // -1: unchanged
        QTest::newRow("lower bounds") << 405 << 979 << 405 << 979 << -1;
        QTest::newRow("upper bounds") << 1350 << 3262 << 1350 << 3262 << -1;
        QTest::newRow("design logo") << 555 << 1305 << 555 << 1305 << -1;
        QTest::newRow("H 1351") << 1351 << 1305 << 1350 << 3263 << 1350;
        QTest::newRow("W 3263") << 555 << 3263 << 1350 << 3263 << 1350;
        QTest::newRow("both large") << 2000 << 5000 << 1350 << 3263 << 1350;
        QTest::newRow("H 404") << 404 << 1305 << 405 << 978 << 405;
        QTest::newRow("H 404 W huge") << 404 << 9000 << 405 << 978 << 405;
        QTest::newRow("W 978") << 555 << 978 << 405 << 978 << 405;
        QTest::newRow("H large W small") << 2000 << 500 << 405 << 978 << 405;
    }
    void sizeCheckRows() {
        QFETCH(int, h);
        QFETCH(int, w);
        QFETCH(int, windowH);
        const SizeCheckResult r = SizeCheckRow(h, w);
        QTEST(r.logoHeight, "logoH");
        QTEST(r.logoWidth, "logoW");
        QCOMPARE(r.windowHeightUnchanged, windowH < 0);
        if (windowH >= 0)
            QCOMPARE(r.windowHeight, windowH);
    }

    void sizeCheckThroughTheWindow() {
        CoreRig rig;
        Form1& f = rig.start();
        auto stopWaiting = [&] {
            for (int i = 0; i < ExerciseCount; ++i)
                f.Timer1(i).setEnabled(false);
        };
        auto waitingRuns = [&] {
            for (int i = 0; i < ExerciseCount; ++i)
                if (!f.Timer1(i).isEnabled())
                    return false;
            return true;
        };

        // Gated: nothing happens while the program itself is resizing.
        ResizeByUser = false;
        stopWaiting();
        f.SetHeight(405);
        f.SetWidth(5000);
        QCOMPARE(f.Width(), 5000.0);
        QCOMPARE(f.Image2Width(), 1305.0);
        QVERIFY(!waitingRuns());

        // Second row: both dimensions set, window height 1350.
        ResizeByUser = true;
        f.SetWidth(5001);
        QVERIFY(!ResizeByUser);
        QCOMPARE(logo(f), QSizeF(3263.0, 1350.0));
        QCOMPARE(sizeTwips(f), QSizeF(3263.0, 1350.0));
        QCOMPARE(f.ContentWidth(), std::int16_t(3263));
        QVERIFY(waitingRuns());
        // The next change acts no more until ResizeByUser is raised again.
        stopWaiting();
        f.SetHeight(100);
        QCOMPARE(f.Image2Height(), 1350.0);
        QVERIFY(!waitingRuns());

        // Third row: logo 405 x 978, window height follows the logo.
        ResizeByUser = true;
        f.SetHeight(404);
        QCOMPARE(logo(f), QSizeF(978.0, 405.0));
        QCOMPARE(sizeTwips(f), QSizeF(978.0, 405.0));
        QVERIFY(waitingRuns());

        // First row, bounds included: the logo takes the window's size.
        ResizeByUser = true;
        f.SetWidth(979);
        QCOMPARE(logo(f), QSizeF(979.0, 405.0));
        QCOMPARE(f.Width(), 979.0);
        ResizeByUser = false;
        f.SetHeight(1350);
        ResizeByUser = true;
        f.SetWidth(3262);
        QCOMPARE(logo(f), QSizeF(3262.0, 1350.0));
        QCOMPARE(f.size(), QSize(217, 90));
        QCOMPARE(rig.boxes.count(), 0);
    }

    void sizeCheckReportsItsFailure() {
        CoreRig rig;
        Form1& f = rig.start();
        ResizeByUser = true;
        f.SetWidth(40000); // beyond 16 bits
        QCOMPARE(rig.boxes.count(), 1);
        QCOMPARE(rig.boxes.last().title, QStringLiteral("Error 6 in Form_Resize method!"));
        QCOMPARE(rig.boxes.last().style, MsgStyle::Exclamation);
        QVERIFY(rig.boxes.last().text.startsWith(QStringLiteral("Error description: ")));
        QVERIFY(rig.boxes.last().text.contains(QStringLiteral(", LastDLLError: ")));
        QVERIFY(!ResizeByUser);
    }

    void dragMovesTheWindowByHand() {
        CoreRig rig;
        int systemMoves = 0;
        rig.env.systemMove = [&](QWindow*) {
            ++systemMoves;
            return false;
        };
        Form1& f = rig.start();
        QWindow* w = rig.window();
        const QPoint start = f.pos();
        const int d = QApplication::startDragDistance();

        QTest::mousePress(w, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(w, QPoint(10 + d - 1, 10)); // within the drag distance
        QCOMPARE(f.pos(), start);
        QCOMPARE(systemMoves, 0);
        QTest::mouseMove(w, QPoint(10 + 40, 10 + 20));
        QCOMPARE(systemMoves, 1);
        QCOMPARE(f.pos(), start + QPoint(40, 20));
        // The pointer stays over the same spot of the moving window.
        const QPoint target = start + QPoint(-100, -50);
        QTest::mouseMove(w, target + QPoint(10, 10) - f.pos());
        QCOMPARE(f.pos(), target);
        QTest::mouseRelease(w, Qt::LeftButton, {}, target + QPoint(10, 10) - f.pos());
        QTest::mouseMove(w, QPoint(60, 30));
        QCOMPARE(f.pos(), target);
        QCOMPARE(rig.doubleClicks, 0);
    }

    void dragHandsOverToTheWindowManager() {
        CoreRig rig;
        QWindow* moved = nullptr;
        rig.env.systemMove = [&](QWindow* window) {
            moved = window;
            return true;
        };
        Form1& f = rig.start();
        const QPoint start = f.pos();
        QTest::mousePress(rig.window(), Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(rig.window(), QPoint(40, 10));
        QCOMPARE(moved, rig.window());
        QCOMPARE(f.pos(), start); // the window manager moves it, not us
        QTest::mouseRelease(rig.window(), Qt::LeftButton, {}, QPoint(40, 10));
    }

    void doubleClickResetsAndOpensTheConfiguration() {
        CoreRig rig;
        Form1& f = rig.start({{0, {3, 5}}});
        rig.clock.advance(20000);
        QCOMPARE(WaitTicks[0], std::int16_t(2));
        const QPoint start = f.pos();
        QTest::mouseDClick(rig.window(), Qt::LeftButton, {}, QPoint(20, 12));
        QCOMPARE(rig.doubleClicks, 1);
        QCOMPARE(WaitTicks[0], std::int16_t(0));
        // No display was on: the width did not change, so the waiting timers stay stopped.
        for (int i = 0; i < ExerciseCount; ++i)
            QVERIFY(!f.Timer1(i).isEnabled());
        QCOMPARE(f.pos(), start);
    }

    void rightButtonAloneOpensTheMenu() {
        CoreRig rig;
        Form1& f = rig.start();
        QList<QPoint> menus;
        f.hooks.popupMenu = [&](QPoint p) { menus.append(p); };
        QTest::mousePress(rig.window(), Qt::RightButton, {}, QPoint(30, 8));
        QTest::mouseRelease(rig.window(), Qt::RightButton, {}, QPoint(30, 8));
        QCOMPARE(menus.size(), 1);
        QCOMPARE(menus.first(), f.mapToGlobal(QPoint(30, 8)));
        QTest::mouseClick(rig.window(), Qt::LeftButton, {}, QPoint(30, 8));
        QCOMPARE(menus.size(), 1);
    }

    void bothButtonsTogetherDoNothing() {
        CoreRig rig;
        int menus = 0, systemMoves = 0;
        rig.env.systemMove = [&](QWindow*) {
            ++systemMoves;
            return false;
        };
        Form1& f = rig.start();
        f.hooks.popupMenu = [&](QPoint) { ++menus; };
        const QPoint start = f.pos();
        // Left first, then right: no menu, and the drag is off.
        QTest::mousePress(rig.window(), Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mousePress(rig.window(), Qt::RightButton, {}, QPoint(10, 10));
        QTest::mouseMove(rig.window(), QPoint(60, 30));
        QTest::mouseRelease(rig.window(), Qt::RightButton, {}, QPoint(60, 30));
        QTest::mouseMove(rig.window(), QPoint(70, 30));
        QTest::mouseRelease(rig.window(), Qt::LeftButton, {}, QPoint(70, 30));
        QCOMPARE(menus, 0);
        QCOMPARE(systemMoves, 0);
        QCOMPARE(f.pos(), start);
        QCOMPARE(rig.doubleClicks, 0);
    }

    void stackingWithoutRecreatingTheWindow() {
        CoreRig rig;
        Form1& f = rig.start();
        QWindow* handle = f.windowHandle();
        const WId id = f.winId();
        SetWindowZOrder(&f, true);
        QVERIFY(IsTopmost(&f));
        QVERIFY(handle->flags() & Qt::WindowStaysOnTopHint);
        QVERIFY(handle->flags() & Qt::FramelessWindowHint);
        QCOMPARE(f.windowHandle(), handle);
        QCOMPARE(f.winId(), id);
        QVERIFY(f.isVisible());
        const QPoint pos = f.pos();
        SetWindowZOrder(&f, false);
        QVERIFY(!IsTopmost(&f));
        QVERIFY(!(handle->flags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(f.winId(), id);
        QVERIFY(f.isVisible());
        QCOMPARE(f.pos(), pos);
        QCOMPARE(f.size(), QSize(87, 37));
    }

    void unloadEndsTheProgram() {
        CoreRig rig;
        rig.writeSettings({{0, {1, 50}}});
        int ends = 0;
        rig.env.endProgram = [&] { ++ends; };
        Form1& f = rig.start();
        QWidget other;
        other.show();
        rig.clock.advance(10000);
        QVERIFY(f.Timer2(0).isEnabled());
        QVERIFY(f.close());
        QCOMPARE(ends, 1);
        QVERIFY(!other.isVisible());
        for (int i = 0; i < ExerciseCount; ++i) {
            QVERIFY(!f.Timer1(i).isEnabled());
            QVERIFY(!f.Timer2(i).isEnabled());
        }
        QCOMPARE(rig.boxes.count(), 0); // no prompt
    }
};

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
