#include "core/module1.h"
#include "platform/failure.h"
#include "settings/module1_settings.h"
#include "settings/settings_file.h"
#include "settings_writer_contents.h"
#include "test_support.h"

#include <QtTest>
#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace P = SettingsFileProtocol;

namespace {
// Record 3 with Frequency 10, Timing -1, "Hi é€" and totals 300 / 15, byte by byte.
const QByteArray kRecord3 = QByteArray::fromHex("0300"
                                                "0a00"
                                                "ffff"
                                                "486920e980") +
                            QByteArray(55, ' ') +
                            QByteArray::fromHex("2c01"
                                                "0f00");

// Nine records and a tail of seven bytes: the 637-byte file of a user who has used it a while.
QByteArray usedFile() {
    QByteArray bytes;
    for (int n = 1; n <= Module1::ExerciseCount; ++n)
        bytes += handRecord(n, 10 * n, 20, "keep this message", 100 + n, n);
    return bytes + QByteArray("tail\x01\x02\xff", 7);
}

QByteArray nineRecordsA() {
    QByteArray bytes;
    for (int n = 1; n <= Module1::ExerciseCount; ++n)
        bytes += WriterContents::recordA(n).toBytes();
    return bytes;
}

std::vector<std::pair<int, ExerciseRecord>> recordsA() {
    std::vector<std::pair<int, ExerciseRecord>> records;
    for (int n = 1; n <= Module1::ExerciseCount; ++n)
        records.emplace_back(n, WriterContents::recordA(n));
    return records;
}

QStringList leftovers(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("LOGO2.DAT.*")}, QDir::Files | QDir::Hidden);
}

// Runs the writer child once with the given environment additions; returns its exit code.
int runWriterOnce(const QString& folder, const QStringList& environment,
                  QByteArray* output = nullptr) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : environment)
        env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    child.setProcessEnvironment(env);
    child.start(QStringLiteral(WRITER_CHILD), {folder, QStringLiteral("once")});
    if (!child.waitForFinished(30000))
        return -1;
    if (output)
        *output = child.readAllStandardOutput() + child.readAllStandardError();
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}
} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void recordBytesMatchTheLayout() {
        QCOMPARE(kRecord3.size(), 70);
        ExerciseRecord r;
        r.Number = 3;
        r.Frequency = 10;
        r.Timing = -1;
        r.setMessage(QStringLiteral("Hi é€"));
        r.TotalMinutes = 300;
        r.LastMinutes = 15;
        QCOMPARE(r.toBytes().toHex(), kRecord3.toHex());
        const ExerciseRecord back = ExerciseRecord::fromBytes(kRecord3);
        QVERIFY(back == r);
        QCOMPARE(int(back.Timing), -1);
        QCOMPARE(back.message().size(), 60);
    }

    void extremeNumbersAndShortInput() {
        const QByteArray bytes = QByteArray::fromHex("ffff0080ff7f") + QByteArray(64, ' ');
        const ExerciseRecord r = ExerciseRecord::fromBytes(bytes);
        QCOMPARE(int(r.Number), -1);
        QCOMPARE(int(r.Frequency), -32768);
        QCOMPARE(int(r.Timing), 32767);
        const ExerciseRecord partial = ExerciseRecord::fromBytes(QByteArray::fromHex("0700"));
        QCOMPARE(int(partial.Number), 7);
        QCOMPARE(partial.message(), QString(60, QChar(0)));
        QCOMPARE(int(partial.LastMinutes), 0);
    }

    void messageIsCutAndPadded() {
        ExerciseRecord r;
        r.setMessage(QString(61, QLatin1Char('x')) + QStringLiteral("yz"));
        QCOMPARE(r.message(), QString(60, QLatin1Char('x')));
        r.setMessage(QStringLiteral("0123456789"));
        QCOMPARE(r.message(), QStringLiteral("0123456789") + QString(50, QLatin1Char(' ')));
        QCOMPARE(r.toBytes().mid(6, 60), QByteArray("0123456789") + QByteArray(50, ' '));
    }

    void windows1252RoundTrip() {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        QCOMPARE(Cp1252::FromUnicode(Cp1252::ToUnicode(all)), all);
        QCOMPARE(Cp1252::ToUnicode(QByteArray("\x80\x8c\x9f\xe9", 4)), QStringLiteral("€ŒŸé"));
        // Characters the page cannot hold become '?', one per character.
        QCOMPARE(Cp1252::FromUnicode(QStringLiteral("a日b😀c")), QByteArray("a?b?c"));
        ExerciseRecord r;
        r.setMessage(QStringLiteral("Œil très fatigué"));
        QCOMPARE(ExerciseRecord::fromBytes(r.toBytes()).message(), r.message());
    }

    void pathRule() {
        QCOMPARE(P::ComposeSettingsPath(QStringLiteral("/opt/lumi")),
                 QStringLiteral("/opt/lumi/LOGO2.DAT"));
        QCOMPARE(P::ComposeSettingsPath(QStringLiteral("/")), QStringLiteral("/LOGO2.DAT"));
        QCOMPARE(P::ComposeSettingsPath(QStringLiteral("/x//")), QStringLiteral("/x//LOGO2.DAT"));
    }

    void openCreatesAnEmptyFileAndReadsBeyondEndAsZero() {
        TestAppFolder folder;
        QVERIFY(!folder.settingsExists());
        P::Open();
        QVERIFY(folder.settingsExists());
        QCOMPARE(P::Length(), qint64(0));
        QCOMPARE(int(Module1::SettingsFile), 1);
        QCOMPARE(Module1::SettingsPath, folder.settingsPath());
        Module1::CurrentRecord.Number = 42;
        P::Read(9);
        QCOMPARE(Module1::CurrentRecord.toBytes(), QByteArray(70, '\0'));
        P::Close();
        QCOMPARE(folder.readSettings().size(), 0); // reading never extends the file
    }

    void writeExtendsWithZerosAndKeepsExtraBytes() {
        TestAppFolder folder;
        P::Open();
        Module1::CurrentRecord = ExerciseRecord::fromBytes(kRecord3);
        P::Write(3);
        QByteArray expected = QByteArray(140, '\0') + kRecord3;
        QCOMPARE(folder.readSettings().toHex(), expected.toHex());

        const QByteArray tail("extra bytes after record nine");
        QByteArray full;
        for (int n = 1; n <= Module1::ExerciseCount; ++n)
            full += handRecord(n, n, 10, "m", 0, 0);
        folder.writeSettings(full + tail);
        Module1::CurrentRecord = ExerciseRecord::fromBytes(kRecord3);
        P::Write(9);
        const QByteArray after = folder.readSettings();
        QCOMPARE(after.size(), full.size() + tail.size());
        QCOMPARE(after.left(560), full.left(560));
        QCOMPARE(after.mid(560, 70), kRecord3);
        QCOMPARE(after.mid(630), tail);
        P::Close();
    }

    void loadSettingsFileFillsTheTables() {
        TestAppFolder folder;
        MessageBoxRecorder boxes;
        QByteArray file;
        for (int n = 1; n <= Module1::ExerciseCount; ++n)
            file += handRecord(n, n * 2, n == 4 ? 0xFFFF : 10, "msg", n * 100, n);
        folder.writeSettings(file);
        Module1::LoadSettingsFile();
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(int(Module1::ExerciseFrequency[8]), 18);
        QCOMPARE(int(Module1::ExerciseTiming[3]), -1);
        QCOMPARE(int(Module1::ExerciseTotalMinutes[0]), 100);
        QCOMPARE(int(Module1::ExerciseLastMinutes[6]), 7);
        QVERIFY(!P::IsOpen());
    }

    void loadSettingsFileOnAShortOrMissingFile() {
        TestAppFolder folder;
        MessageBoxRecorder boxes;
        Module1::ExerciseFrequency.fill(5);
        Module1::LoadSettingsFile(); // missing: created empty, every record reads as zero
        QCOMPARE(boxes.count(), 0);
        QVERIFY(folder.settingsExists());
        QCOMPARE(int(Module1::ExerciseFrequency[0]), 0);

        folder.writeSettings(handRecord(1, 3, 4, "", 0, 0) + QByteArray::fromHex("01000500"));
        Module1::LoadSettingsFile();
        QCOMPARE(int(Module1::ExerciseFrequency[0]), 3);
        QCOMPARE(int(Module1::ExerciseFrequency[1]), 5); // a partial record reads what is there
        QCOMPARE(int(Module1::ExerciseTiming[1]), 0);
    }

    void loadSettingsFileReportsAnUnusableFile() {
        TestAppFolder folder;
        MessageBoxRecorder boxes;
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("LOGO2.DAT"))); // unusable even for root
        Module1::LoadSettingsFile();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().text, QStringLiteral("Error with file LOGO2.DAT!"));
        QCOMPARE(boxes.last().title, QStringLiteral("Avertissement"));
        QCOMPARE(boxes.last().style, MsgStyle::OkOnly);
    }

    void failedWriteReportsAndChangesNothing() {
        TestAppFolder folder;
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("LOGO2.DAT")));
        Module1::CurrentRecord = ExerciseRecord::fromBytes(kRecord3);
        QVERIFY_THROWS_EXCEPTION(Failure, P::Write(1));
        QVERIFY(QFileInfo(folder.settingsPath()).isDir());
        QVERIFY_THROWS_EXCEPTION(Failure, P::Read(1));
        QVERIFY_THROWS_EXCEPTION(Failure, P::Write(0));
    }

    void twoWindowsWritingInTurnBothReachTheFile() {
        TestAppFolder folder;
        // The statistics window opens the file, then the configuration window opens it too
        // (closing every file first), then closes it; the statistics window writes afterwards.
        P::Open();
        P::Open();
        Module1::CurrentRecord = ExerciseRecord::fromBytes(handRecord(1, 5, 6, "config", 0, 0));
        P::Write(1);
        P::Close();
        QVERIFY(!P::IsOpen());
        P::Read(2);
        Module1::CurrentRecord.Number = 2;
        Module1::CurrentRecord.TotalMinutes = 15;
        P::Write(2);
        const QByteArray bytes = folder.readSettings();
        QCOMPARE(bytes.left(70), handRecord(1, 5, 6, "config", 0, 0));
        QCOMPARE(bytes.mid(70, 70), QByteArray::fromHex("0200") + QByteArray(64, '\0') +
                                        QByteArray::fromHex("0f000000"));
    }

    void killedWriterLeavesAWholeFile() {
        TestAppFolder folder;
        const QByteArray tail("tail survives");
        QByteArray original;
        for (int n = 1; n <= Module1::ExerciseCount; ++n)
            original += handRecord(n, n, n, "keep", n, n);
        folder.writeSettings(original + tail);
        const QByteArray a = WriterContents::recordA(5).toBytes();
        const QByteArray b = WriterContents::recordB(5).toBytes();
        for (int round = 0; round < 6; ++round) {
            QProcess child;
            child.start(QStringLiteral(WRITER_CHILD), {folder.path()});
            QVERIFY(child.waitForStarted());
            // Let some writes finish, then kill at a moment that varies from round to round.
            int lines = 0;
            while (lines < 3 + round * 7 && child.waitForReadyRead(5000))
                lines += child.readAll().count('\n');
            QVERIFY(lines > 0);
            ::kill(pid_t(child.processId()), SIGKILL);
            child.waitForFinished();
            const QByteArray now = folder.readSettings();
            QCOMPARE(now.size(), original.size() + tail.size());
            QCOMPARE(now.left(280), original.left(280));
            const QByteArray record5 = now.mid(280, 70);
            QVERIFY2(record5 == a || record5 == b, record5.toHex().constData());
            QCOMPARE(now.mid(350), original.mid(350) + tail);
        }
        QVERIFY(leftovers(folder.path()).size() <= 1);
        QProcess startUp;
        startUp.start(QStringLiteral(WRITER_CHILD), {folder.path(), QStringLiteral("start-up")});
        QVERIFY(startUp.waitForFinished());
        QCOMPARE(leftovers(folder.path()), QStringList());
    }

    // Only "no such file" may read as an empty file: a folder that is a file (ENOTDIR), a
    // file that is a folder (EISDIR) and a failed lookup are failures, never an empty read.
    void onlyAMissingFileReadsAsEmpty() {
        TestAppFolder folder;
        QFile plain(folder.path() + QStringLiteral("/plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        Module1::SettingsPath = P::ComposeSettingsPath(plain.fileName());
        QVERIFY_THROWS_EXCEPTION(Failure, P::Read(1));
        QVERIFY_THROWS_EXCEPTION(Failure, P::Length());
        QVERIFY_THROWS_EXCEPTION(Failure, P::Write(1));

        Module1::SettingsPath.clear();
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("LOGO2.DAT")));
        try {
            P::Write(1);
            QFAIL("a folder in place of the file was written");
        } catch (const Failure& failure) {
            // The reason in words, with the file's name, not only a number.
            QVERIFY2(failure.description().contains(QStringLiteral("LOGO2.DAT: Is a directory")),
                     qPrintable(failure.description()));
        }
    }

    // Every system call of a save, made to fail in turn: before the new file is renamed into
    // place the old one stays byte for byte and the save says it failed; nothing is left over.
    void aFailedSystemCallLeavesTheFileUntouched() {
        TestAppFolder folder;
        const QString shim = QStringLiteral("LD_PRELOAD=" FAULT_INJECTION);
        const QString log = folder.path() + QStringLiteral("/calls.log");
        folder.writeSettings(usedFile());
        QCOMPARE(runWriterOnce(folder.path(), {shim, QStringLiteral("LUMI_FAULT_LOG=") + log}), 0);
        QCOMPARE(folder.readSettings(), nineRecordsA() + usedFile().mid(630));
        QFile logFile(log);
        QVERIFY(logFile.open(QIODevice::ReadOnly));
        const QList<QByteArray> calls = logFile.readAll().split('\n');
        QVERIFY2(calls.contains("write") && calls.contains("fsync") && calls.contains("rename"),
                 logFile.fileName().toUtf8());
        std::map<QByteArray, int> occurrence;
        int injected = 0;
        for (const QByteArray& kind : calls) {
            if (kind.isEmpty())
                continue;
            const int n = ++occurrence[kind];
            for (int error : {EIO, ENOSPC}) {
                folder.writeSettings(usedFile());
                const QString fault = QStringLiteral("LUMI_FAULT=%1:%2:%3")
                                          .arg(QString::fromLatin1(kind))
                                          .arg(n)
                                          .arg(error);
                QByteArray output;
                const int exit = runWriterOnce(folder.path(), {shim, fault}, &output);
                QVERIFY2(exit == 1, qPrintable(fault + QStringLiteral(" exit %1: ").arg(exit) +
                                               QString::fromLocal8Bit(output)));
                QVERIFY2(folder.readSettings() == usedFile(), qPrintable(fault));
                QVERIFY2(leftovers(folder.path()).isEmpty(), qPrintable(fault));
                ++injected;
            }
        }
        QVERIFY(injected >= 12);
    }

    void aFullFileSystemLeavesTheFileUntouched() {
        SmallFileSystem disk;
        if (!disk.mounted())
            QSKIP("mounting a small file system needs root");
        TestAppFolder folder(disk.path());
        folder.writeSettings(usedFile());
        disk.fill();
        try {
            P::WriteRecords(recordsA());
            QFAIL("a save on a full disk reported success");
        } catch (const Failure& failure) {
            QCOMPARE(failure.code(), FailureCode::DiskFull);
            QVERIFY(failure.description().contains(QStringLiteral("LOGO2.DAT")));
        }
        QCOMPARE(folder.readSettings(), usedFile());
        QCOMPARE(leftovers(folder.path()), QStringList());
        disk.release(); // once there is room again, the same save goes through
        P::WriteRecords(recordsA());
        QCOMPARE(folder.readSettings(), nineRecordsA() + usedFile().mid(630));
    }

    // A writable file in a folder that forbids new files is written in place; a writable
    // folder gets the whole-file replacement (a new inode), so a crash cannot tear it.
    void savesInAReadOnlyFolderAndAtomicallyElsewhere() {
        SmallFileSystem disk;
        TestAppFolder folder(disk.mounted() ? disk.path() : QString());
        folder.writeSettings(usedFile());
        struct stat before {};
        QCOMPARE(::stat(QFile::encodeName(folder.settingsPath()).constData(), &before), 0);
        P::WriteRecords({{2, WriterContents::recordB(2)}});
        struct stat after {};
        QCOMPARE(::stat(QFile::encodeName(folder.settingsPath()).constData(), &after), 0);
        QVERIFY(before.st_ino != after.st_ino);
        QByteArray expected = usedFile();
        expected.replace(70, 70, WriterContents::recordB(2).toBytes());
        QCOMPARE(folder.readSettings(), expected);

        QVERIFY(forbidNewFilesInFolder(disk, folder));
        P::WriteRecords(recordsA());
        QCOMPARE(folder.readSettings(), nineRecordsA() + usedFile().mid(630));
        QCOMPARE(leftovers(folder.path()), QStringList());
    }

    void leftoverTemporaryFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind"); // file, folder, link
        QTest::addColumn<int>("ageSeconds");
        QTest::addColumn<bool>("otherOwner");
        QTest::addColumn<bool>("removed");
        QTest::newRow("ours, fresh") << "LOGO2.DAT.saving"
                                     << "file" << 0 << false << true;
        QTest::newRow("earlier name, old") << "LOGO2.DAT.KjtwCn"
                                           << "file" << 120 << false << true;
        QTest::newRow("earlier name, fresh") << "LOGO2.DAT.KjtwCn"
                                             << "file" << 5 << false << false;
        QTest::newRow("other suffix") << "LOGO2.DAT.backup"
                                      << "file" << 120 << false << false;
        QTest::newRow("a capitalised word") << "LOGO2.DAT.Backup"
                                            << "file" << 120 << false << false;
        QTest::newRow("digits and capitals") << "LOGO2.DAT.X4Z9QA"
                                             << "file" << 120 << false << true;
        QTest::newRow("five letters") << "LOGO2.DAT.Kjtwx"
                                      << "file" << 120 << false << false;
        QTest::newRow("a folder") << "LOGO2.DAT.saving"
                                  << "folder" << 120 << false << false;
        QTest::newRow("a link") << "LOGO2.DAT.saving"
                                << "link" << 120 << false << false;
        QTest::newRow("another user's") << "LOGO2.DAT.saving"
                                        << "file" << 120 << true << false;
    }

    void leftoverTemporaryFiles() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(int, ageSeconds);
        QFETCH(bool, otherOwner);
        QFETCH(bool, removed);
        if (otherOwner && ::geteuid() != 0)
            QSKIP("giving a file to another user needs root");
        TestAppFolder folder;
        folder.writeSettings(usedFile());
        const QString path = folder.path() + QLatin1Char('/') + name;
        if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(path));
        } else if (kind == QLatin1String("link")) {
            QVERIFY(QFile::link(folder.settingsPath(), path));
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("half a save");
            file.flush();
            file.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                             QFileDevice::FileModificationTime);
            file.close();
            if (otherOwner)
                QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        }
        QCOMPARE(P::RemoveLeftoverTemporaryFiles(), removed ? 1 : 0);
        QCOMPARE(QFileInfo::exists(path) || QFileInfo(path).isSymLink(), !removed);
        QCOMPARE(folder.readSettings(), usedFile());
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "test_settings_file.moc"
