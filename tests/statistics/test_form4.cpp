#include "core/module1.h"
#include "platform/twips.h"
#include "settings/config_text_box.h"
#include "settings/form2.h"
#include "settings/module1_settings.h"
#include "settings/settings_file.h"
#include "statistics/form4.h"
#include "statistics/statistics_entry.h"
#include "test_support.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace P = SettingsFileProtocol;
using Module1::ExerciseLastMinutes;
using Module1::ExerciseTotalMinutes;

namespace {

constexpr int kTotals[Module1::ExerciseCount] = {12, 0, 7, 1234, -5, 30, 0, 99, 10};
constexpr int kLasts[Module1::ExerciseCount] = {44, 3, -2, 8, 1, 0, 6, 7, 9};

QByteArray recordOf(int i, int total, int last) {
    return handRecord(i + 1, 20 + i, 3 + i, "Message " + QByteArray::number(i), total, last);
}

// The sample file, with the totals of some exercises (index, total) changed.
QByteArray sampleFile(std::initializer_list<std::pair<int, int>> changedTotals = {}) {
    int totals[Module1::ExerciseCount];
    std::copy(std::begin(kTotals), std::end(kTotals), totals);
    for (const auto& [i, total] : changedTotals)
        totals[i] = total;
    QByteArray bytes;
    for (int i = 0; i < Module1::ExerciseCount; ++i)
        bytes += recordOf(i, totals[i], kLasts[i]);
    return bytes;
}

// The sample file with some records (index, total, last) rewritten, as entries leave it.
QByteArray sampleFileWith(std::initializer_list<std::array<int, 3>> records) {
    QByteArray bytes = sampleFile();
    for (const auto& [i, total, last] : records)
        bytes.replace(i * 70, 70, recordOf(i, total, last));
    return bytes;
}

QByteArray recordIn(const QByteArray& file, int n) { return file.mid((n - 1) * 70, 70); }

// Twips of the layout table to device-independent pixels.
int px(int twips) { return qRound(twips / 15.0); }

// The configuration window, shared with this one: it opens the file when it first becomes
// active, and its OK rewrites every record from a fresh read of the file.
void configurationOpens() {
    Form2* form = Form2::Load();
    form->ShowModeless();
    if (form->FreshlyLoaded())
        form->Form_Activate();
}
// Types the frequency into every row and presses OK.
void configurationSaves(int frequency) {
    Form2* form = Form2::Loaded();
    for (int i = 0; i < Module1::ExerciseCount; ++i) {
        form->Text2(i)->selectAll();
        QTest::keyClicks(form->Text2(i), QString::number(frequency));
    }
    QTest::mouseClick(form->Command1(), Qt::LeftButton);
}
void configurationCancels() { QTest::mouseClick(Form2::Loaded()->Command2(), Qt::LeftButton); }

// Left edges of the ink runs of a rendered widget, where runs closer than minGap merge.
QList<int> inkRuns(QWidget* widget, int minGap, int* lastInk = nullptr) {
    const QImage image = widget->grab().toImage();
    const int threshold = qGray(widget->palette().color(QPalette::Window).rgb()) - 60;
    QList<int> starts;
    int previous = -1000;
    for (int x = 0; x < image.width(); ++x) {
        bool ink = false;
        for (int y = 0; y < image.height() && !ink; ++y)
            ink = qGray(image.pixel(x, y)) < threshold;
        if (!ink)
            continue;
        if (x - previous > minGap)
            starts.append(x);
        previous = x;
    }
    if (lastInk)
        *lastInk = previous;
    return starts;
}

} // namespace

class TestForm4 : public QObject {
    Q_OBJECT

    std::unique_ptr<TestSandbox> m_app;

    // A fresh application folder inside `parent`; the old one goes first (one at a time).
    void moveFolderTo(const QString& parent) {
        m_app.reset();
        m_app = std::make_unique<TestSandbox>(parent);
    }
    // Opens the window, on `file` written as LOGO2.DAT first when given.
    Form4* open(const QByteArray& file = QByteArray()) {
        if (!file.isNull())
            m_app->folder.writeSettings(file);
        ShowStatisticsWindow();
        Form4* form = StatisticsWindow();
        if (!form)
            qFatal("the statistics window did not load");
        return form;
    }
    void enter(Form4* form, const QString& activity, const QString& minutes) {
        form->cmbActivite->setEditText(activity);
        form->txtMinPasses->setText(minutes);
        QTest::mouseClick(form->cmdOK, Qt::LeftButton);
    }
    void reset(Form4* form, const QString& activity) {
        form->cmbActivite->setEditText(activity);
        QTest::mouseClick(form->cmdMAZ, Qt::LeftButton);
    }
    QStringList column(const std::array<QLabel*, Module1::ExerciseCount>& labels) {
        QStringList texts;
        for (QLabel* label : labels)
            texts << label->text();
        return texts;
    }
    // An exercise's row: today's minutes, then the total.
    QStringList row(Form4* f, int i) { return {f->lblJour[i]->text(), f->lblTot[i]->text()}; }
    // Cancel closes the window and unloads it.
    void cancel(Form4* form) {
        QPointer<Form4> guard = form;
        QTest::mouseClick(form->cmdAnnuler, Qt::LeftButton);
        QTRY_VERIFY(guard.isNull());
    }

    // What a refused entry must leave alone: the figures shown and held, and the file.
    struct Figures {
        QStringList today, totals;
        decltype(ExerciseTotalMinutes) memoryTotals;
        decltype(ExerciseLastMinutes) memoryLast;
        QByteArray file;
    };
    Figures figures(Form4* f) {
        return {column(f->lblJour), column(f->lblTot), ExerciseTotalMinutes, ExerciseLastMinutes,
                m_app->folder.readSettings()};
    }
    // Besides, the minutes box keeps what was typed and the window stays open.
    void verifyNothingChanged(Form4* f, const Figures& before, const QString& minutes) {
        const Figures now = figures(f);
        QCOMPARE(now.today, before.today);
        QCOMPARE(now.totals, before.totals);
        QVERIFY(now.memoryTotals == before.memoryTotals);
        QVERIFY(now.memoryLast == before.memoryLast);
        QCOMPARE(now.file.toHex(), before.file.toHex());
        QCOMPARE(f->txtMinPasses->text(), minutes);
        QVERIFY(f->isVisible());
    }

private slots:
    void init() { m_app = std::make_unique<TestSandbox>(); }
    void cleanup() {
        delete StatisticsWindow();
        Form2::Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_app.reset();
    }

    void windowMatchesItsLayoutTable() {
        Form4* f = open(sampleFile());
        QCOMPARE(f->windowTitle(), QStringLiteral(" Lumivista: Statistics"));
        QCOMPARE(f->minimumSize(), f->maximumSize());
        QCOMPARE(f->width(), px(5265));
        // Tall enough for the ninth row with the top margin below it.
        QVERIFY(f->height() >= f->lblA[8]->geometry().bottom() + px(180));
        const Qt::WindowFlags flags = f->windowFlags();
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);

        const struct {
            QWidget* widget;
            QString text;
            int left, top, width, height;
        } table[] = {
            {f->lbl1, QStringLiteral("Indicate the time spent:"), 180, 210, 1695, 255},
            {f->cmbActivite, QStringLiteral("1. Edging"), 1980, 180, 1935, 315},
            {f->txtMinPasses, QStringLiteral("0"), 4020, 210, 495, 285},
            {f->lbl3, QStringLiteral("mins"), 4680, 270, 375, 195},
            {f->cmdMAZ, QStringLiteral("Reset "), 180, 660, 1095, 375},
            {f->cmdOK, QStringLiteral("OK"), 2100, 660, 1095, 375},
            {f->cmdAnnuler, QStringLiteral("Cancel"), 3960, 660, 1095, 375},
            {f->lbl4, Form4::HeaderText(), 150, 1200, 4905, 330},
        };
        for (const auto& row : table) {
            QCOMPARE(row.widget->geometry(),
                     Twips::ToPixelRect(row.left, row.top, row.width, row.height));
            QString text;
            if (auto* label = qobject_cast<QLabel*>(row.widget))
                text = label->text();
            else if (auto* button = qobject_cast<QPushButton*>(row.widget))
                text = button->text();
            else if (auto* edit = qobject_cast<QLineEdit*>(row.widget))
                text = edit->text();
            else if (auto* combo = qobject_cast<QComboBox*>(row.widget))
                text = combo->currentText();
            QCOMPARE(text, row.text);
        }
        QCOMPARE(Form4::HeaderText().size(), 73);
        QCOMPARE(Form4::HeaderText(),
                 QStringLiteral(
                     " You have practiced:                 Today                         In All"));
        QCOMPARE(f->cmbActivite->toolTip(), QStringLiteral("Choose an action"));
        QCOMPARE(f->txtMinPasses->toolTip(), QStringLiteral("Insert minutes"));
        QVERIFY(f->cmbActivite->isEditable());
        QCOMPARE(f->cmbActivite->count(), Module1::ExerciseCount);
        for (int i = 0; i < Module1::ExerciseCount; ++i) {
            const QString activity = QString::fromLatin1(StatisticsEntry::ActivityTexts[i]);
            QCOMPARE(f->cmbActivite->itemText(i), activity);
            QCOMPARE(f->lblA[i]->text(), activity);
            const int top = px(1560 + 408 * i);
            QCOMPARE(f->lblA[i]->pos(), QPoint(px(180), top));
            QVERIFY(f->lblA[i]->width() >= px(855) && f->lblA[i]->width() <= px(1335));
            QCOMPARE(f->lblJour[i]->geometry(), QRect(px(2850), top, px(495), px(255)));
            QCOMPARE(f->lblTot[i]->geometry(), QRect(px(4560), top, px(495), px(255)));
        }
    }

    void captionsFitTheirControls() {
        Form4* f = open();
        QList<QLabel*> labels = {f->lbl1, f->lbl3};
        for (int i = 0; i < Module1::ExerciseCount; ++i)
            labels << f->lblA[i] << f->lblJour[i] << f->lblTot[i];
        // The ink must fit; the blank bearing after the last glyph may overhang ("spent:").
        for (QLabel* label : labels) {
            QPainterPath outline;
            outline.addText(0, 0, label->font(), label->text());
            QVERIFY2(outline.boundingRect().right() <= label->width(), qPrintable(label->text()));
        }
        for (QPushButton* button : {f->cmdMAZ, f->cmdOK, f->cmdAnnuler})
            QVERIFY(button->fontMetrics().horizontalAdvance(button->text()) < button->width());
    }

    void headerWordsStandOverTheirColumns() {
        Form4* f = open();
        int lastInk = 0;
        // Words of the header are a few pixels apart; the two column gaps are far wider.
        const QList<int> runs = inkRuns(f->lbl4, 12, &lastInk);
        QCOMPARE(runs.size(), 3);
        const int today = f->lbl4->x() + runs[1];
        const int inAll = f->lbl4->x() + runs[2];
        QVERIFY2(qAbs(today - f->lblJour[0]->x()) <= 2, qPrintable(QString::number(today)));
        QVERIFY2(qAbs(inAll - f->lblTot[0]->x()) <= 2, qPrintable(QString::number(inAll)));
        // "In All" is drawn whole, not cut by the label's right edge.
        QVERIFY(lastInk < f->lbl4->width() - 1);
    }

    void focusOrderStartsInTheMinutesBox() {
        Form4* f = open();
        QVERIFY(QTest::qWaitForWindowActive(f));
        QCOMPARE(QApplication::focusWidget(), f->txtMinPasses);
        const QList<QWidget*> order = {f->cmdMAZ, f->cmdOK, f->cmdAnnuler, f->cmbActivite,
                                       f->txtMinPasses};
        for (QWidget* expected : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), expected);
        }
    }

    void loadShowsTotalsWithTodayAtZero() {
        ExerciseLastMinutes.fill(77);
        Form4* f = open(sampleFile());
        QCOMPARE(m_app->boxes.count(), 0);
        QVERIFY(f->isVisible());
        QCOMPARE(column(f->lblTot),
                 QStringList({"12", "0", "7", "1234", "-5", "30", "0", "99", "10"}));
        QCOMPARE(column(f->lblJour), QStringList(Module1::ExerciseCount, QStringLiteral("0")));
        for (int i = 0; i < Module1::ExerciseCount; ++i) {
            QCOMPARE(int(ExerciseTotalMinutes[i]), kTotals[i]);
            QCOMPARE(int(ExerciseLastMinutes[i]), 0);
            // The cycle's settings are refreshed too.
            QCOMPARE(int(Module1::ExerciseFrequency[i]), 20 + i);
            QCOMPARE(int(Module1::ExerciseTiming[i]), 3 + i);
        }
        // Loading keeps the file's LastMinutes: it writes nothing.
        QCOMPARE(m_app->folder.readSettings(), sampleFile());
    }

    void missingFileLoadsAsZeros() {
        Form4* f = open();
        QCOMPARE(m_app->boxes.count(), 0);
        QVERIFY(m_app->folder.settingsExists());
        QCOMPARE(column(f->lblTot), QStringList(Module1::ExerciseCount, QStringLiteral("0")));
        enter(f, QStringLiteral("2. Palming"), QStringLiteral("6"));
        const QByteArray file = m_app->folder.readSettings();
        QCOMPARE(file.size(), 140);
        QCOMPARE(recordIn(file, 1), QByteArray(70, '\0'));
        QCOMPARE(recordIn(file, 2).toHex(), (QByteArray::fromHex("0200") + QByteArray(64, '\0') +
                                             QByteArray::fromHex("06000600"))
                                                .toHex());
    }

    void entryForBlinkingRewritesRecordThree() {
        Form4* f = open(sampleFile());
        enter(f, QStringLiteral("3. Blinking"), QStringLiteral("15"));
        QCOMPARE(m_app->boxes.count(), 0);
        QCOMPARE(row(f, 2), QStringList({"15", "22"}));
        QCOMPARE(int(ExerciseTotalMinutes[2]), 22);
        QCOMPARE(int(ExerciseLastMinutes[2]), 15);
        QCOMPARE(m_app->folder.readSettings().toHex(), sampleFileWith({{2, 22, 15}}).toHex());
        // The boxes keep their contents and the window stays.
        QCOMPARE(f->txtMinPasses->text(), QStringLiteral("15"));
        QCOMPARE(f->cmbActivite->currentText(), QStringLiteral("3. Blinking"));
        QVERIFY(f->isVisible());
    }

    void negativeAndFractionalMinutes() {
        Form4* f = open(sampleFile());
        enter(f, QStringLiteral("1. Edging"), QStringLiteral("-5"));
        QCOMPARE(row(f, 0), QStringList({"-5", "7"}));
        QCOMPARE(recordIn(m_app->folder.readSettings(), 1), recordOf(0, 7, -5));
        enter(f, QStringLiteral("2. Palming"), QStringLiteral("2.5"));
        QCOMPARE(f->lblJour[1]->text(), QStringLiteral("2"));
        QCOMPARE(recordIn(m_app->folder.readSettings(), 2), recordOf(1, 2, 2));
        enter(f, QStringLiteral("2. Palming"), QStringLiteral("3.5"));
        QCOMPARE(row(f, 1), QStringList({"4", "6"}));
        QCOMPARE(recordIn(m_app->folder.readSettings(), 2), recordOf(1, 6, 4));
        QCOMPARE(m_app->boxes.count(), 0);
    }

    void okTwiceAddsTwice() {
        Form4* f = open(sampleFile());
        enter(f, QStringLiteral("8. Doing the wave"), QStringLiteral("10"));
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QCOMPARE(row(f, 7), QStringList({"10", "119"}));
        enter(f, QStringLiteral("8. Doing the wave"), QStringLiteral("5"));
        QCOMPARE(row(f, 7), QStringList({"5", "124"}));
        QCOMPARE(recordIn(m_app->folder.readSettings(), 8), recordOf(7, 124, 5));
    }

    void newTotalComesFromTheWindowsOwnTotal() {
        Form4* f = open(sampleFile());
        // Another program changes the file behind the window's back.
        m_app->folder.writeSettings(sampleFile({{3, 5000}}));
        enter(f, QStringLiteral("4. Looking"), QStringLiteral("6"));
        QCOMPARE(f->lblTot[3]->text(), QStringLiteral("1240"));
        QCOMPARE(recordIn(m_app->folder.readSettings(), 4), recordOf(3, 1240, 6));
    }

    void resetKeepsToday() {
        Form4* f = open(sampleFile());
        enter(f, QStringLiteral("9. Making 'X's"), QStringLiteral("4"));
        QCOMPARE(f->lblTot[8]->text(), QStringLiteral("14"));
        reset(f, QStringLiteral("9. Making 'X's"));
        QCOMPARE(m_app->boxes.count(), 0);
        QCOMPARE(f->txtMinPasses->text(), QStringLiteral("0"));
        QCOMPARE(row(f, 8), QStringList({"4", "0"}));
        QCOMPARE(int(ExerciseTotalMinutes[8]), 0);
        QCOMPARE(int(ExerciseLastMinutes[8]), 4);
        QCOMPARE(m_app->folder.readSettings().toHex(), sampleFileWith({{8, 0, 4}}).toHex());
        // The other rows are untouched.
        for (int i = 0; i < 8; ++i)
            QCOMPARE(f->lblTot[i]->text(), QString::number(kTotals[i]));
    }

    void typedActivityIsItsFirstDigit() {
        Form4* f = open(sampleFile());
        enter(f, QStringLiteral("4 anything"), QStringLiteral("3"));
        QCOMPARE(m_app->boxes.count(), 0);
        QCOMPARE(row(f, 3), QStringList({"3", "1237"}));
        QCOMPARE(recordIn(m_app->folder.readSettings(), 4), recordOf(3, 1237, 3));
        // Enter in the combo box's text does not add the typed text to the list.
        QTest::keyClick(f->cmbActivite, Qt::Key_Return);
        QCOMPARE(f->cmbActivite->count(), Module1::ExerciseCount);
    }

    void cancelKeepsEntriesAndReopeningStartsTodayAfresh() {
        Form4* f = open(sampleFile());
        enter(f, QStringLiteral("6. Calculating"), QStringLiteral("20"));
        reset(f, QStringLiteral("1. Edging"));
        cancel(f);
        QVERIFY(!StatisticsWindow());
        QVERIFY(!P::IsOpen());
        Form4* again = open();
        QVERIFY(again->isVisible());
        QCOMPARE(again->lblTot[5]->text(), QStringLiteral("50"));
        QCOMPARE(again->lblTot[0]->text(), QStringLiteral("0"));
        QCOMPARE(column(again->lblJour), QStringList(Module1::ExerciseCount, QStringLiteral("0")));
        QCOMPARE(recordIn(m_app->folder.readSettings(), 6), recordOf(5, 50, 20));
    }

    void showingAgainKeepsTheLoadedWindow() {
        Form4* f = open(sampleFile());
        enter(f, QStringLiteral("5. Walking"), QStringLiteral("9"));
        // A later change of the file is not picked up: Form_Load does not run again.
        m_app->folder.writeSettings(sampleFile());
        ShowStatisticsWindow();
        QCOMPARE(StatisticsWindow(), f);
        QCOMPARE(row(f, 4), QStringList({"9", "4"}));
        QCOMPARE(f->findChildren<QLabel*>().size(), 3 + 27);
    }

    void titleBarCloseReleasesTheFile() {
        QPointer<Form4> f = open(sampleFile());
        QVERIFY(P::IsOpen());
        QVERIFY(f->close());
        QVERIFY(!P::IsOpen());
        QTRY_VERIFY(f.isNull());
        QCOMPARE(m_app->folder.readSettings(), sampleFile());
    }

    void refusedActivityChangesNothing_data() {
        QTest::addColumn<QString>("activity");
        QTest::newRow("empty") << QString();
        QTest::newRow("word") << QStringLiteral("Blinking");
        QTest::newRow("zero") << QStringLiteral("0. Rest");
        QTest::newRow("leading blank") << QStringLiteral(" 3. Blinking");
        QTest::newRow("minus") << QStringLiteral("-1");
    }
    void refusedActivityChangesNothing() {
        QFETCH(QString, activity);
        Form4* f = open(sampleFile());
        const Figures before = figures(f);
        enter(f, activity, QStringLiteral("15"));
        QCOMPARE(m_app->boxes.count(), 1);
        QVERIFY(m_app->boxes.last().text.contains(QStringLiteral("1 to 9")));
        QCOMPARE(m_app->boxes.last().style, MsgStyle::Exclamation);
        reset(f, activity);
        QCOMPARE(m_app->boxes.count(), 2);
        verifyNothingChanged(f, before, QStringLiteral("15"));
    }

    void refusedMinutesChangeNothing_data() {
        QTest::addColumn<QString>("minutes");
        QTest::newRow("empty") << QString();
        QTest::newRow("word") << QStringLiteral("ten");
        QTest::newRow("trailing text") << QStringLiteral("5 min");
        QTest::newRow("comma") << QStringLiteral("2,5");
        QTest::newRow("too big") << QStringLiteral("32768");
        QTest::newRow("too small") << QStringLiteral("-32769");
        QTest::newRow("rounds out") << QStringLiteral("32767.5");
        QTest::newRow("huge") << QStringLiteral("1") + QString(400, QLatin1Char('0'));
    }
    void refusedMinutesChangeNothing() {
        QFETCH(QString, minutes);
        Form4* f = open(sampleFile());
        const Figures before = figures(f);
        enter(f, QStringLiteral("3. Blinking"), minutes);
        QCOMPARE(m_app->boxes.count(), 1);
        QVERIFY(m_app->boxes.last().text.contains(QStringLiteral("-32768 to 32767")));
        verifyNothingChanged(f, before, minutes);
    }

    void refusedTotalOutsideSixteenBits() {
        Form4* f = open(sampleFile({{0, 32767}, {1, -32768}}));
        const Figures before = figures(f);
        enter(f, QStringLiteral("1. Edging"), QStringLiteral("1"));
        enter(f, QStringLiteral("2. Palming"), QStringLiteral("-1"));
        QCOMPARE(m_app->boxes.count(), 2);
        QVERIFY(m_app->boxes.shown()[0].text.contains(QStringLiteral("\"1. Edging\"")));
        QVERIFY(m_app->boxes.shown()[1].text.contains(QStringLiteral("\"2. Palming\"")));
        QCOMPARE(before.totals.mid(0, 2), QStringList({"32767", "-32768"}));
        verifyNothingChanged(f, before, QStringLiteral("-1"));
        // Reaching the limit exactly is fine.
        enter(f, QStringLiteral("1. Edging"), QStringLiteral("0"));
        enter(f, QStringLiteral("2. Palming"), QStringLiteral("32767"));
        QCOMPARE(m_app->boxes.count(), 2);
        QCOMPARE(f->lblTot[1]->text(), QStringLiteral("-1"));
    }

    void failedLoadRefusesOkAndReset() {
        // A folder where LOGO2.DAT should be: the file cannot be opened.
        QVERIFY(QDir(m_app->folder.path()).mkdir(QStringLiteral("LOGO2.DAT")));
        Form4* f = open();
        const Figures before = figures(f);
        QCOMPARE(m_app->boxes.count(), 1);
        QCOMPARE(m_app->boxes.last().text, QStringLiteral("Erreur - statistique..."));
        QCOMPARE(m_app->boxes.last().style, MsgStyle::OkOnly);
        QCOMPARE(m_app->boxes.last().title, QStringLiteral("Lumivista"));
        QVERIFY(f->isVisible());
        QVERIFY(!f->IsFileLoaded());
        enter(f, QStringLiteral("3. Blinking"), QStringLiteral("15"));
        reset(f, QStringLiteral("3. Blinking"));
        QCOMPARE(m_app->boxes.count(), 3);
        for (int k = 1; k < 3; ++k)
            QVERIFY(m_app->boxes.shown()[k].text.contains(
                QStringLiteral("could not be opened (Path/File access error (LOGO2.DAT: Is a "
                               "directory))")));
        QCOMPARE(before.totals, QStringList(Module1::ExerciseCount, QStringLiteral("0")));
        verifyNothingChanged(f, before, QStringLiteral("15"));
        QVERIFY(QFileInfo(m_app->folder.settingsPath()).isDir());
        // Cancel still closes the window.
        cancel(f);
    }

    // A writable LOGO2.DAT in a folder that forbids new files: entries and resets still land.
    void entriesInAFolderThatForbidsNewFiles() {
        SmallFileSystem disk;
        moveFolderTo(disk.mounted() ? disk.path() : QString());
        m_app->folder.writeSettings(sampleFile());
        if (!forbidNewFilesInFolder(disk, m_app->folder))
            QSKIP("needs root (a read-only mount) or a user whom permissions bind");
        Form4* f = open();
        enter(f, QStringLiteral("3. Blinking"), QStringLiteral("15"));
        reset(f, QStringLiteral("5. Walking"));
        QCOMPARE(m_app->boxes.count(), 0);
        QCOMPARE(m_app->folder.readSettings().toHex(),
                 sampleFileWith({{2, 22, 15}, {4, 0, 1}}).toHex());
        delete StatisticsWindow();
        m_app.reset(); // before its file system goes
    }

    void failedWriteLeavesTheFiguresAlone_data() {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* name, QString cause, QString reason) {
            QTest::newRow(name) << cause << "LOGO2.DAT: " + reason;
        };
        row("a folder in its place", "folder", "Is a directory");
        row("a full disk", "full disk", "No space left on device");
        // Read, so the window shows the file's figures; only the writes are refused.
        row("a read-only file", "read-only", "(Permission denied|Operation not permitted)");
    }

    void failedWriteLeavesTheFiguresAlone() {
        QFETCH(QString, cause);
        QFETCH(QString, reason);
        const bool fullDisk = cause == QLatin1String("full disk");
        SmallFileSystem disk;
        if (fullDisk && !disk.mounted())
            QSKIP("mounting a small file system needs root");
        if (fullDisk)
            moveFolderTo(disk.path());
        m_app->folder.writeSettings(sampleFile());
        if (cause == QLatin1String("read-only"))
            QVERIFY(setWritable(m_app->folder.settingsPath(), false));
        Form4* f = open();
        QVERIFY(f->IsFileLoaded());
        QCOMPARE(f->lblTot[2]->text(), QString::number(ExerciseTotalMinutes[2]));
        if (fullDisk) {
            disk.fill();
        } else if (cause == QLatin1String("folder")) {
            // the file turns into something that cannot be read while the window is open
            QVERIFY(QFile::remove(m_app->folder.settingsPath()));
            QVERIFY(QDir(m_app->folder.path()).mkdir(QStringLiteral("LOGO2.DAT")));
        }
        const Figures before = figures(f);
        enter(f, QStringLiteral("3. Blinking"), QStringLiteral("15"));
        reset(f, QStringLiteral("4. Looking"));
        QCOMPARE(m_app->boxes.count(), 2);
        QVERIFY(m_app->boxes.shown()[0].title.endsWith(QStringLiteral(" in cmdOK_Click method!")));
        QVERIFY(m_app->boxes.shown()[1].title.endsWith(QStringLiteral(" in cmdMAZ_Click method!")));
        QVERIFY2(m_app->boxes.shown()[0].text.contains(QRegularExpression(reason)),
                 qPrintable(m_app->boxes.shown()[0].text));
        verifyNothingChanged(f, before, QStringLiteral("15"));
        if (fullDisk) {
            delete StatisticsWindow();
            m_app.reset(); // before its file system goes
        }
    }

    // Statistics first, configuration second: the configuration's opening takes the shared
    // handle, its Cancel closes it, and the statistics entries still land in the file.
    void configurationOpenedWhileStatisticsIsOpen() {
        Form4* f = open(sampleFile());
        configurationOpens();
        enter(f, QStringLiteral("3. Blinking"), QStringLiteral("15"));
        configurationCancels();
        QVERIFY(!P::IsOpen());
        enter(f, QStringLiteral("4. Looking"), QStringLiteral("6"));
        reset(f, QStringLiteral("5. Walking"));
        QCOMPARE(m_app->boxes.count(), 0);
        QCOMPARE(m_app->folder.readSettings().toHex(),
                 sampleFileWith({{2, 22, 15}, {3, 1240, 6}, {4, 0, 1}}).toHex());
    }

    // Configuration first: the statistics window takes the handle; entries made meanwhile
    // survive the configuration's OK (which gives every row the first row's timing), and
    // entries after it add to the same totals.
    void statisticsOpenedWhileConfigurationIsOpen() {
        m_app->folder.writeSettings(sampleFile());
        configurationOpens();
        Form4* f = open();
        enter(f, QStringLiteral("1. Edging"), QStringLiteral("8"));
        reset(f, QStringLiteral("8. Doing the wave"));
        configurationSaves(2);
        QVERIFY(!Form2::Loaded());
        QCOMPARE(m_app->boxes.count(), 0);
        enter(f, QStringLiteral("1. Edging"), QStringLiteral("1"));
        QCOMPARE(f->lblTot[0]->text(), QStringLiteral("21"));
        cancel(f);
        const QByteArray file = m_app->folder.readSettings();
        QCOMPARE(file.size(), 630);
        for (int i = 0; i < Module1::ExerciseCount; ++i) {
            int total = kTotals[i], last = kLasts[i];
            if (i == 0)
                total = 21, last = 1;
            if (i == 7)
                total = 0;
            QCOMPARE(
                recordIn(file, i + 1).toHex(),
                handRecord(i + 1, 2, 3, "Message " + QByteArray::number(i), total, last).toHex());
            QCOMPARE(int(Module1::ExerciseFrequency[i]), 2);
        }
    }

    // Both windows write in turn, several times, each closing and reopening the handle.
    void interleavedWritesAllReachTheFile() {
        Form4* f = open(sampleFile());
        int expected = kTotals[6];
        for (int round = 1; round <= 5; ++round) {
            configurationOpens();
            enter(f, QStringLiteral("7. Breathing"), QString::number(round));
            expected += round;
            configurationSaves(round);
            QCOMPARE(int(ExerciseTotalMinutes[6]), expected);
            QCOMPARE(recordIn(m_app->folder.readSettings(), 7),
                     handRecord(7, round, 3, "Message 6", expected, round));
        }
        QCOMPARE(f->lblTot[6]->text(), QString::number(expected));
        QCOMPARE(m_app->boxes.count(), 0);
    }

    // As in a dialog: Enter presses the focused button or else OK, Escape presses Cancel.
    void enterAndEscape_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("outcome"); // "entered", "reset", "closed"
        QTest::newRow("Enter in the minutes") << "minutes" << int(Qt::Key_Return) << "entered";
        QTest::newRow("keypad Enter in the activity")
            << "activity" << int(Qt::Key_Enter) << "entered";
        QTest::newRow("Enter on OK") << "OK" << int(Qt::Key_Return) << "entered";
        QTest::newRow("Enter on Reset") << "Reset" << int(Qt::Key_Return) << "reset";
        QTest::newRow("Enter on Cancel") << "Cancel" << int(Qt::Key_Return) << "closed";
        QTest::newRow("Escape in the minutes") << "minutes" << int(Qt::Key_Escape) << "closed";
        QTest::newRow("Escape in the activity") << "activity" << int(Qt::Key_Escape) << "closed";
    }

    void enterAndEscape() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(QString, outcome);
        Form4* f = open(sampleFile());
        f->cmbActivite->setEditText("2. Palming");
        f->txtMinPasses->setText("15");
        const QStringList entered{"15", QString::number(f->lblTot[1]->text().toInt() + 15)};
        const QList<QWidget*> widgets{f->txtMinPasses, f->cmbActivite, f->cmdOK, f->cmdMAZ,
                                      f->cmdAnnuler};
        QWidget* target =
            widgets[QStringList{"minutes", "activity", "OK", "Reset", "Cancel"}.indexOf(focus)];
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key),
                        key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        if (outcome == "closed") {
            QTRY_VERIFY(!StatisticsWindow());
            return;
        }
        QVERIFY(StatisticsWindow());
        QCOMPARE(row(f, 1), outcome == "entered" ? entered : QStringList({"0", "0"}));
        QCOMPARE(m_app->boxes.count(), 0);
    }
};

QTEST_MAIN(TestForm4)
#include "test_form4.moc"
