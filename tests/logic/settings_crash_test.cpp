// The kill test of LOGO2.DAT saves: a writer child alternates a save of all nine records with a
// save of one record and is killed with SIGKILL at a random moment, again and again. After every
// kill the file must hold exactly the old or the new contents, with the bytes after record 9
// intact; after the last one, the next start must leave no temporary file behind.
// With `concurrent`, two writers save all nine records at once, each killed on its own: the file
// must always be one whole save, beside at most one temporary file of ours and nothing else.
//   settings_crash_test [KILLS] [concurrent]   (1,000 kills; prints its figures, fails on a fault)
#include "core/module1.h"
#include "settings_writer_contents.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>
#include <csignal>
#include <cstdio>

namespace {
QByteArray withRecords(QByteArray bytes, char contents, bool onlyRecord5) {
    for (int n = 1; n <= Module1::ExerciseCount; ++n) {
        if (onlyRecord5 && n != 5)
            continue;
        const ExerciseRecord r =
            contents == 'A' ? WriterContents::recordA(n) : WriterContents::recordB(n);
        bytes.replace((n - 1) * 70, 70, r.toBytes());
    }
    return bytes;
}

// Counts our temporary files in the folder, and every other file but LOGO2.DAT into `foreign`.
int leftoverCount(const QString& folder, int* foreign = nullptr) {
    static const QRegularExpression ours(QStringLiteral("^\\.LOGO2\\.DAT\\.lumivista-.*\\.tmp$"));
    int count = 0;
    for (const QString& name : QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                      QDir::System | QDir::NoDotAndDotDot)) {
        if (ours.match(name).hasMatch())
            ++count;
        else if (foreign && name != QLatin1String("LOGO2.DAT"))
            ++*foreign;
    }
    return count;
}

bool startWriter(QProcess& child, const QString& folder, const QStringList& mode) {
    child.start(QStringLiteral(WRITER_CHILD), QStringList{folder} + mode);
    return child.waitForStarted() && child.waitForReadyRead(10000);
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int kills = argc > 1 ? QByteArray(argv[1]).toInt() : 1000;
    const bool concurrent = argc > 2 && QByteArray(argv[2]) == "concurrent";
    TestAppFolder folder;
    QByteArray original;
    for (int n = 1; n <= Module1::ExerciseCount; ++n)
        original += handRecord(n, 10 * n, 20, "before the kills", 100 + n, n);
    const QByteArray tail("tail after record nine");
    original += tail;
    folder.writeSettings(original);
    // Every state a finished save can leave: the first file, all nine records A, then record 5 B.
    const QByteArray allA = withRecords(original, 'A', false);
    const QByteArray fiveB = withRecords(allA, 'B', true);

    QRandomGenerator rng(1000);
    int torn = 0, lostTails = 0, shortFiles = 0, mostLeftovers = 0, killsWithLeftover = 0;
    int foreign = 0, writerFailures = 0;
    QElapsedTimer clock;
    clock.start();
    for (int k = 0; k < kills; k += concurrent ? 2 : 1) {
        QProcess first, second;
        if (!startWriter(first, folder.path(),
                         concurrent ? QStringList{"whole", "c"} : QStringList{"mixed"}) ||
            (concurrent && !startWriter(second, folder.path(), {"whole", "d"}))) {
            std::fprintf(stderr, "the writer did not start\n");
            return 2;
        }
        // Saves are under way: kill at a random moment within the next few saves.
        for (QProcess* child : {&first, &second}) {
            if (child->state() == QProcess::NotRunning) {
                writerFailures += concurrent || child == &first ? 1 : 0;
                continue;
            }
            QThread::usleep(rng.bounded(20000));
            ::kill(pid_t(child->processId()), SIGKILL);
            child->waitForFinished();
        }
        const QByteArray now = folder.readSettings();
        if (now != original &&
            (concurrent ? !WriterContents::isOneTaggedSave(now) : now != allA && now != fiveB))
            ++torn;
        if (!now.endsWith(tail))
            ++lostTails;
        if (now.size() < 630)
            ++shortFiles;
        const int left = leftoverCount(folder.path(), &foreign);
        mostLeftovers = std::max(mostLeftovers, left);
        killsWithLeftover += left > 0 ? 1 : 0;
    }
    const int leftBeforeStart = leftoverCount(folder.path());
    QProcess startUp;
    startUp.start(QStringLiteral(WRITER_CHILD), {folder.path(), QStringLiteral("start-up")});
    startUp.waitForFinished();
    const int leftAfterStart = leftoverCount(folder.path());

    std::printf("%skills: %d in %.1f s\n", concurrent ? "two writers at once, " : "", kills,
                clock.elapsed() / 1000.0);
    std::printf("torn files: %d\nlost tails: %d\nfiles under 630 bytes: %d\n", torn, lostTails,
                shortFiles);
    std::printf("%s that left a temporary file: %d (never more than %d at once)\n",
                concurrent ? "rounds of two kills" : "kills", killsWithLeftover, mostLeftovers);
    std::printf("files other than LOGO2.DAT and ours: %d\nwriters that failed: %d\n", foreign,
                writerFailures);
    std::printf("temporary files before the next start: %d, after it: %d\n", leftBeforeStart,
                leftAfterStart);
    return torn == 0 && lostTails == 0 && shortFiles == 0 && mostLeftovers <= 1 && foreign == 0 &&
                   writerFailures == 0 && leftAfterStart == 0
               ? 0
               : 1;
}
