#include "core/module1.h"
#include "platform/failure.h"
#include "settings/module1_settings.h"
#include "settings/settings_file.h"
#include "settings_writer_contents.h"
#include "test_support.h"

#include <QtTest>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>
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

// Binds a socket at `path`, leaving the socket file behind; 0 when done.
int bindSocket(const char* path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path, sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const int bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::close(fd);
    return bound;
}

QStringList leftovers(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*LOGO2.DAT.*")}, QDir::Files | QDir::Hidden);
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
        // There is no record 0: refused, on a file that could be written.
        QVERIFY_THROWS_EXCEPTION(Failure, P::Write(0));
        QVERIFY_THROWS_EXCEPTION(Failure, P::WriteRecords({{1, ExerciseRecord()}, {0, {}}}));
        QCOMPARE(folder.readSettings(), after);
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

    // Two programs saving their own records of one file at once take turns: each reads its
    // record, counts it up and saves it, and no save undoes one of the other's.
    void concurrentSavesTakeTurns() {
        TestAppFolder folder;
        folder.writeSettings(usedFile());
        const int saves = 150;
        QProcess writers[2];
        for (int w = 0; w < 2; ++w)
            writers[w].start(QStringLiteral(WRITER_CHILD),
                             {folder.path(), QStringLiteral("count"), QString(QChar('c' + w)),
                              QString::number(saves)});
        QByteArray expected = usedFile();
        for (int w = 0; w < 2; ++w) {
            QVERIFY(writers[w].waitForFinished(60000));
            QVERIFY2(writers[w].exitCode() == 0, writers[w].readAll().constData());
            const int n = 3 + w;
            expected.replace((n - 1) * 70, 70,
                             handRecord(n, 10 * n + saves, 20, "keep this message", 100 + n, n));
        }
        QCOMPARE(folder.readSettings(), expected);
        QVERIFY(leftovers(folder.path()).isEmpty());
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
    // Once it is in place, the save has succeeded whatever fails after.
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
        bool renamed = false;
        for (const QByteArray& kind : calls) {
            if (kind.isEmpty())
                continue;
            const int n = ++occurrence[kind];
            const QByteArray expected = renamed ? nineRecordsA() + usedFile().mid(630) : usedFile();
            renamed = renamed || kind == "rename";
            for (int error : {EIO, ENOSPC}) {
                folder.writeSettings(usedFile());
                const QString fault = QStringLiteral("LUMI_FAULT=%1:%2:%3")
                                          .arg(QString::fromLatin1(kind))
                                          .arg(n)
                                          .arg(error);
                QByteArray output;
                const int exit = runWriterOnce(folder.path(), {shim, fault}, &output);
                QVERIFY2(exit == (expected == usedFile() ? 1 : 0),
                         qPrintable(fault + QStringLiteral(" exit %1: ").arg(exit) +
                                    QString::fromLocal8Bit(output)));
                QVERIFY2(folder.readSettings() == expected, qPrintable(fault));
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
        struct stat before = {};
        QCOMPARE(::stat(QFile::encodeName(folder.settingsPath()).constData(), &before), 0);
        P::WriteRecords({{2, WriterContents::recordB(2)}});
        struct stat after = {};
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

    void aSaveKeepsWhatTheFileIs_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<QString>("refusal"); // empty when the save goes through
        const QString notRegular = QStringLiteral(", not a regular file");
        QTest::newRow("mode 0640") << "mode 0640" << false << "";
        QTest::newRow("a symbolic link") << "symbolic link" << false << "";
        QTest::newRow("a hard link") << "hard link" << true << "";
        // Carried: the user's attributes and the ACL; left to the folder's policy: a security
        // label; written in place: what cannot be carried (trusted.* needs root to set).
        QTest::newRow("user attributes and an ACL") << "attributes" << false << "";
        QTest::newRow("attributes and a hard link") << "attributes, hard link" << true << "";
        QTest::newRow("a security label") << "security label" << false << "";
        QTest::newRow("an attribute it cannot carry") << "trusted attribute" << true << "";
        QTest::newRow("another owner") << "another owner" << true << "";
        QTest::newRow("2 GB, sparse") << "2 GB" << true << "";
        QTest::newRow("read-only")
            << "read-only" << true << "Permission denied|Operation not permitted";
        QTest::newRow("a FIFO") << "FIFO" << true << "Is a named pipe \\(FIFO\\)" + notRegular;
        QTest::newRow("a link to /dev/null")
            << "/dev/null" << true << "Is a character device" + notRegular;
        QTest::newRow("a socket") << "socket" << true << "Is a socket" + notRegular;
        QTest::newRow("a folder") << "folder" << true << "Is a directory";
    }

    // A save keeps what the file is (its kind, links, owner, mode and attributes), replacing
    // it only when a new file can be all that, else writing in place; what is not a regular
    // file is refused at once with the reason, and a file that cannot be written is still read.
    void aSaveKeepsWhatTheFileIs() {
        QFETCH(QString, file);
        QFETCH(bool, inPlace);
        QFETCH(QString, refusal);
        if (file == QLatin1String("another owner") && ::geteuid() != 0)
            QSKIP("giving a file to another user needs root");
        TestAppFolder folder;
        QTemporaryDir elsewhere;
        MessageBoxRecorder boxes;
        const QByteArray path = QFile::encodeName(folder.settingsPath());
        const QByteArray other = QFile::encodeName(elsewhere.filePath(QStringLiteral("other")));
        const bool regular = refusal.isEmpty() || file == QLatin1String("read-only");
        if (file == QLatin1String("symbolic link"))
            QCOMPARE(::symlink(other.constData(), path.constData()), 0);
        if (regular)
            folder.writeSettings(usedFile());
        const char* const p = path.constData();
        const QByteArray acl = QByteArray::fromHex("02000000" // version, then tag, perm, id
                                                   "01000600ffffffff02000400e8030000"
                                                   "04000400ffffffff10000400ffffffff"
                                                   "20000000ffffffff");
        const auto attributes = [&] {
            return ::setxattr(p, "user.xdg.origin.url", "https://example.org", 19, 0) ||
                   ::setxattr(p, "system.posix_acl_access", acl.constData(), size_t(acl.size()), 0);
        };
        const std::map<QString, std::function<int()>> prepare = {
            {"mode 0640", [&] { return ::chmod(p, 0640); }},
            {"hard link", [&] { return ::link(p, other.constData()); }},
            {"attributes", attributes},
            {"attributes, hard link", [&] { return attributes() || ::link(p, other.constData()); }},
            {"security label", [&] { return ::setxattr(p, "security.lumivista", "x", 1, 0); }},
            {"trusted attribute", [&] { return ::setxattr(p, "trusted.lumivista", "kept", 4, 0); }},
            {"another owner", [&] { return ::chown(p, 65534, 65534); }},
            {"2 GB", [&] { return ::truncate(p, off_t(2) << 30); }},
            {"read-only", [&] { return setWritable(folder.settingsPath(), false) ? 0 : -1; }},
            {"FIFO", [&] { return ::mkfifo(p, 0644); }},
            {"/dev/null", [&] { return ::symlink("/dev/null", p); }},
            {"socket", [&] { return bindSocket(p); }},
            {"folder", [&] { return ::mkdir(p, 0755); }}};
        if (const auto step = prepare.find(file); step != prepare.end()) {
            const int prepared = step->second();
            if (prepared != 0 && (errno == ENOTSUP || (errno == EPERM && !file.contains("link"))))
                QSKIP("the file system or the user may not set these extended attributes");
            QCOMPARE(prepared, 0);
        }
        // What a save must keep: the name's own kind, then the file's behind any link.
        const auto status = [p](struct stat& file) {
            struct stat name = {};
            const bool found = ::stat(p, &file) == 0 && ::lstat(p, &name) == 0;
            return std::tuple(found, name.st_mode, file.st_mode, file.st_uid, file.st_gid,
                              file.st_nlink, file.st_size);
        };
        struct stat before = {};
        const auto kept = status(before);
        QVERIFY(std::get<0>(kept));

        Module1::ExerciseFrequency.fill(-7);
        Module1::LoadSettingsFile();
        QCOMPARE(boxes.count(), regular ? 0 : 1);
        QCOMPARE(int(Module1::ExerciseFrequency[8]), regular ? 90 : -7);
        try {
            P::WriteRecords(recordsA());
            QVERIFY2(refusal.isEmpty(), "the save went through");
        } catch (const Failure& failure) {
            const QRegularExpression reason("\\(LOGO2\\.DAT: (" + refusal + ")");
            QVERIFY2(!refusal.isEmpty() && failure.description().contains(reason),
                     qPrintable(failure.description()));
        }

        struct stat after = {};
        QCOMPARE(status(after), kept);
        QCOMPARE(after.st_ino == before.st_ino, inPlace);
        QVERIFY(after.st_blocks < 1024); // a sparse file stays sparse
        if (regular) {
            QFile saved(folder.settingsPath());
            QVERIFY(saved.open(QIODevice::ReadOnly));
            QCOMPARE(saved.read(637),
                     refusal.isEmpty() ? nineRecordsA() + usedFile().mid(630) : usedFile());
        }
        const auto attribute = [p](const char* name) {
            char value[64] = {};
            return QByteArray(value, int(std::max(::getxattr(p, name, value, 64), ssize_t(0))));
        };
        if (file.startsWith(QLatin1String("attributes"))) {
            QCOMPARE(attribute("user.xdg.origin.url"), QByteArray("https://example.org"));
            QCOMPARE(attribute("system.posix_acl_access"), acl);
        }
        if (file == QLatin1String("trusted attribute"))
            QCOMPARE(attribute("trusted.lumivista"), QByteArray("kept"));
        if (file.endsWith(QLatin1String("hard link"))) {
            QFile twin(QFile::decodeName(other));
            QVERIFY(twin.open(QIODevice::ReadOnly));
            QCOMPARE(twin.readAll(), folder.readSettings());
        }
        QCOMPARE(leftovers(folder.path()), QStringList());
    }

    void leftoverTemporaryFiles_data() {
        QTest::addColumn<QString>("name");
        // file; folder; link; locked: a file while a save holds the lock; target: a file
        // beside notes.txt in another folder, to which LOGO2.DAT is a link
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("otherOwner");
        QTest::addColumn<bool>("removed");
        const QString ours = QStringLiteral(".LOGO2.DAT.lumivista-4242-0a1b2c3d.tmp");
        const auto row = [](const char* title, QString name, QString kind, bool other, bool gone) {
            QTest::newRow(title) << name << kind << other << gone;
        };
        row("ours", ours, "file", false, true);
        row("a backup", "LOGO2.DAT.bak001", "file", false, false);
        row("six letters and digits", "LOGO2.DAT.KjtwCn", "file", false, false);
        row("an earlier fixed name", "LOGO2.DAT.saving", "file", false, false);
        row("ours but not hidden", ours.mid(1), "file", false, false);
        row("ours with more after", ours + ".old", "file", false, false);
        row("a folder", ours, "folder", false, false);
        row("a link", ours, "link", false, false);
        row("another user's", ours, "file", true, false);
        row("a save under way", ours, "locked", false, false);
        row("beside the link's target", ".notes.txt.lumivista-77-fedcba98.tmp", "target", false,
            true);
        row("a backup beside the target", "notes.txt.bak001", "target", false, false);
    }

    void leftoverTemporaryFiles() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(bool, otherOwner);
        QFETCH(bool, removed);
        if (otherOwner && ::geteuid() != 0)
            QSKIP("giving a file to another user needs root");
        TestAppFolder folder;
        QTemporaryDir elsewhere;
        QString path = folder.path() + QLatin1Char('/') + name;
        if (kind == QLatin1String("target")) {
            const QString notes = elsewhere.filePath(QStringLiteral("notes.txt"));
            QVERIFY(QFile::link(notes, folder.settingsPath()));
            path = elsewhere.filePath(name);
        }
        folder.writeSettings(usedFile());
        if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(path));
        } else if (kind == QLatin1String("link")) {
            QVERIFY(QFile::link(folder.settingsPath(), path));
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("half a save");
            file.close();
            if (otherOwner)
                QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        }
        QFile saving(folder.settingsPath());
        if (kind == QLatin1String("locked")) {
            QVERIFY(saving.open(QIODevice::ReadOnly));
            QCOMPARE(::flock(saving.handle(), LOCK_EX), 0);
        }
        QCOMPARE(P::RemoveLeftoverTemporaryFiles(), removed ? 1 : 0);
        QCOMPARE(QFileInfo::exists(path) || QFileInfo(path).isSymLink(), !removed);
        QCOMPARE(folder.readSettings(), usedFile());
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "test_settings_file.moc"
