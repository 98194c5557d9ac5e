#include "form4.h"

#include "core/center_form.h"
#include "core/module1.h"
#include "platform/desktop_window.h"
#include "platform/dialog_font.h"
#include "platform/failure.h"
#include "platform/message_box.h"
#include "platform/one_window.h"
#include "platform/screen_reader.h"
#include "platform/twips.h"
#include "settings/module1_settings.h"
#include "settings/settings_file.h"
#include "statistics_entry.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>

#include <QRegularExpression>
#include <cmath>

namespace {

// Layout is kept in twips.
int px(double twips) { return Twips::ToPixelsX(twips); }
void place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(Twips::ToPixelRect(left, top, width, height));
}

constexpr int RowTop = 1560;
constexpr int RowStep = 408;
constexpr int RowHeight = 255;
constexpr int HeaderLeft = 150;
constexpr int HeaderWidth = 4905;
constexpr int TodayLeft = 2850;
constexpr int InAllLeft = 4560;
constexpr int ActivityMinWidth = 855;
constexpr int ActivityMaxWidth = 1335;
constexpr int ClientWidth = 5265;
// The rows step 408 twips from 1560, so the ninth one spans 4824..5079: the window is tall
// enough to show it with the same margin as at the top, instead of the 4830 that cut it off.
constexpr int ClientHeight = 5265;

// The header is one plain text whose runs of spaces were measured for the classic dialog font,
// whose spaces are much narrower than any installed font's. No spacing of a proportional font
// puts both "Today" and "In All" over their columns (Qt's word spacing applies once per run of
// spaces), so the label keeps the exact text and lays it out itself: each word that follows a
// run of two or more spaces starts at the next column stop, or right after the gap if the font
// is too wide for that.
class HeaderLabel : public QLabel, public DialogFont::SelfMeasured {
public:
    HeaderLabel(const QString& text, QList<double> stops, QWidget* parent)
        : QLabel(text, parent), m_stops(std::move(stops)) {
        setTextFormat(Qt::PlainText);
    }

    QSizeF TextSize(const QFont& font) const override {
        const QFontMetricsF fm(font);
        double right = 0;
        layOut(fm, [&](double x, const QString& piece) {
            right = std::max(right, x + fm.horizontalAdvance(piece) -
                                        std::max(0.0, fm.rightBearing(piece.back())));
        });
        return {right, fm.height()};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setFont(font());
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       QPalette::WindowText));
        const QFontMetricsF fm(font());
        const double baseline = (height() - fm.height()) / 2 + fm.ascent();
        layOut(fm, [&](double x, const QString& piece) {
            painter.drawText(QPointF(x, baseline), piece);
        });
    }

private:
    // Calls place(x, piece) for each run of words, left to right.
    template <typename Place> void layOut(const QFontMetricsF& fm, Place&& place) const {
        static const QRegularExpression gap(QStringLiteral(" {2,}"));
        const QString content = text();
        double x = 0;
        int from = 0;
        int stop = 0;
        auto it = gap.globalMatch(content);
        while (true) {
            const bool more = it.hasNext();
            const QRegularExpressionMatch m = more ? it.next() : QRegularExpressionMatch();
            const int to = more ? m.capturedStart() : content.size();
            const QString piece = content.mid(from, to - from);
            if (!piece.isEmpty())
                place(x, piece);
            if (!more)
                break;
            const double end = x + fm.horizontalAdvance(piece);
            x = stop < m_stops.size()
                    ? std::max(end + fm.horizontalAdvance(QLatin1Char(' ')), m_stops[stop++])
                    : end + fm.horizontalAdvance(m.captured());
            from = m.capturedEnd();
        }
    }

private:
    QList<double> m_stops;
};

// 9.75 pt at 96 dpi.
constexpr int HeaderPixelSize = 13;

QString rowName(int i) { return QLatin1String(Module1::ExerciseNames[i]); }

// A row's figure, with a name that tells a screen reader which row and column it stands in.
void showFigure(QLabel* label, const QString& row, const char* column, const QString& figure) {
    label->setText(figure);
    label->setAccessibleName(row + QLatin1Char(' ') + QLatin1String(column) + QStringLiteral(": ") +
                             figure);
}

QPointer<Form4> g_instance;

} // namespace

QString Form4::HeaderText() {
    return QStringLiteral(" You have practiced:") + QString(17, QLatin1Char(' ')) +
           QStringLiteral("Today") + QString(25, QLatin1Char(' ')) + QStringLiteral("In All");
}

Form4::Form4(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral(" Lumivista: Statistics"));
    setFont(DialogFont::Font());
    setFixedSize(px(ClientWidth), px(ClientHeight));
    DesktopWindow::MakeFixed(this);

    lbl1 = new QLabel(QStringLiteral("Indicate the time spent:"), this);
    place(lbl1, 180, 210, 1695, 255);

    cmbActivite = new QComboBox(this);
    // Editable, its text read whole by screen readers as the minutes are.
    cmbActivite->setLineEdit(new ReadableLineEdit(cmbActivite));
    // The typed text is an entry, not a new item of the list.
    cmbActivite->setInsertPolicy(QComboBox::NoInsert);
    for (const char* text : StatisticsEntry::ActivityTexts)
        cmbActivite->addItem(QLatin1String(text));
    cmbActivite->setMaxVisibleItems(Module1::ExerciseCount);
    cmbActivite->setCurrentIndex(0);
    cmbActivite->setEditText(QLatin1String(StatisticsEntry::ActivityTexts[0]));
    cmbActivite->setToolTip(QStringLiteral("Choose an action"));
    lbl1->setBuddy(cmbActivite); // a screen reader's label for the box
    place(cmbActivite, 1980, 180, 1935, 315);

    txtMinPasses = new ReadableLineEdit(QStringLiteral("0"), this);
    txtMinPasses->setToolTip(QStringLiteral("Insert minutes"));
    txtMinPasses->setAccessibleName(QStringLiteral("Minutes"));
    place(txtMinPasses, 4020, 210, 495, 285);

    lbl3 = new QLabel(QStringLiteral("mins"), this);
    place(lbl3, 4680, 270, 375, 195);

    cmdMAZ = new QPushButton(QStringLiteral("Reset "), this);
    place(cmdMAZ, 180, 660, 1095, 375);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    place(cmdOK, 2100, 660, 1095, 375);
    cmdAnnuler = new QPushButton(QStringLiteral("Cancel"), this);
    place(cmdAnnuler, 3960, 660, 1095, 375);
    for (QPushButton* button : {cmdMAZ, cmdOK, cmdAnnuler}) {
        // The window itself gives Enter to the focused button (see keyPressEvent).
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::StrongFocus);
    }

    const QString header = HeaderText();
    lbl4 = new HeaderLabel(
        header, {double(px(TodayLeft) - px(HeaderLeft)), double(px(InAllLeft) - px(HeaderLeft))},
        this);
    place(lbl4, HeaderLeft, 1200, HeaderWidth, 330);
    lbl4->setFont(DialogFont::Fitted(DialogFont::Font(HeaderPixelSize), {lbl4}));

    for (int i = 0; i < Module1::ExerciseCount; ++i) {
        const int top = RowTop + RowStep * i;
        const QString activity = QLatin1String(StatisticsEntry::ActivityTexts[i]);
        lblA[i] = new QLabel(activity, this);
        // The combo box is named by the entry it shows ("1. Edging"); the row by its exercise.
        lblA[i]->setAccessibleName(rowName(i));
        // Measured at the widest a row may be; sized to its caption once the font is known.
        place(lblA[i], 180, top, ActivityMaxWidth, RowHeight);
        const QString row = rowName(i);
        lblJour[i] = new QLabel(this);
        showFigure(lblJour[i], row, "today", QStringLiteral("0"));
        place(lblJour[i], TodayLeft, top, 495, RowHeight);
        lblTot[i] = new QLabel(this);
        showFigure(lblTot[i], row, "in all", QStringLiteral("0"));
        place(lblTot[i], InAllLeft, top, 495, RowHeight);
    }

    QList<QWidget*> fixed = DialogFont::FixedTextControls(this);
    fixed.removeOne(lbl4); // in a font of its own
    setFont(DialogFont::Fitted(DialogFont::Font(), fixed));
    const QFontMetricsF rowMetrics(font());
    for (int i = 0; i < Module1::ExerciseCount; ++i) {
        // Sized to the caption, between the narrowest and the widest row.
        const int width =
            std::clamp(int(std::ceil(rowMetrics.horizontalAdvance(lblA[i]->text()) + 1) *
                           Twips::TwipsPerPixelX()),
                       ActivityMinWidth, ActivityMaxWidth);
        place(lblA[i], 180, RowTop + RowStep * i, width, RowHeight);
    }

    setTabOrder(txtMinPasses, cmdMAZ);
    setTabOrder(cmdMAZ, cmdOK);
    setTabOrder(cmdOK, cmdAnnuler);
    setTabOrder(cmdAnnuler, cmbActivite);
    txtMinPasses->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, &Form4::cmdOK_Click);
    connect(cmdMAZ, &QPushButton::clicked, this, &Form4::cmdMAZ_Click);
    connect(cmdAnnuler, &QPushButton::clicked, this, &Form4::cmdAnnuler_Click);
}

void Form4::Form_Load() {
    using namespace Module1;
    CenterForm(this);
    try {
        SettingsFileProtocol::Open();
        for (int i = 0; i < Module1::ExerciseCount; ++i) {
            SettingsFileProtocol::Read(i + 1);
            StoreRecordInTables(i);
            showFigure(lblTot[i], rowName(i), "in all",
                       QString::number(CurrentRecord.TotalMinutes));
        }
        for (int i = 0; i < Module1::ExerciseCount; ++i) {
            showFigure(lblJour[i], rowName(i), "today", QStringLiteral("0"));
            showFigure(lblTot[i], rowName(i), "in all", QString::number(ExerciseTotalMinutes[i]));
            // "Today" counts from this opening; the file keeps its LastMinutes.
            ExerciseLastMinutes[i] = 0;
        }
        m_fileLoaded = true;
    } catch (const Failure& failure) {
        m_loadFailure = failure.description();
        MsgBox(QStringLiteral("Erreur - statistique..."), MsgStyle::OkOnly, kApplicationTitle);
    }
}

bool Form4::refuseWithoutFile() {
    if (m_fileLoaded)
        return false;
    MsgBox(QStringLiteral("The file LOGO2.DAT could not be opened (%1), so nothing can be "
                          "recorded.\nClose this window and open it again from the menu.")
               .arg(m_loadFailure),
           MsgStyle::Exclamation, kApplicationTitle);
    return true;
}

bool Form4::selectActivity() {
    m_activityText = cmbActivite->currentText();
    const int number = StatisticsEntry::ActivityNumber(m_activityText);
    if (number == 0) {
        MsgBox(QStringLiteral("Choose an activity from the list: its text must begin with a "
                              "number from 1 to 9."),
               MsgStyle::Exclamation, kApplicationTitle);
        cmbActivite->setFocus();
        cmbActivite->lineEdit()->selectAll();
        return false;
    }
    ActivityNumber = std::int16_t(number);
    return true;
}

void Form4::refuseMinutes() {
    MsgBox(QStringLiteral("Enter the minutes as a number from -32768 to 32767."),
           MsgStyle::Exclamation, kApplicationTitle);
    txtMinPasses->setFocus();
    txtMinPasses->selectAll();
}

void Form4::cmdOK_Click() {
    using namespace Module1;
    if (refuseWithoutFile() || !selectActivity())
        return;
    const int n = ActivityNumber;
    const auto minutes = StatisticsEntry::ConvertMinutes(txtMinPasses->text());
    if (!minutes) {
        refuseMinutes();
        return;
    }
    // The new total comes from the window's own running total, not from the record.
    const auto total = StatisticsEntry::AddToTotal(ExerciseTotalMinutes[n - 1], *minutes);
    if (!total) {
        MsgBox(QStringLiteral("This entry would carry the total of \"%1\" beyond the range "
                              "-32768 to 32767. Reset the total or enter fewer minutes.")
                   .arg(QLatin1String(StatisticsEntry::ActivityTexts[n - 1])),
               MsgStyle::Exclamation, kApplicationTitle);
        txtMinPasses->setFocus();
        txtMinPasses->selectAll();
        return;
    }
    try {
        SettingsFileProtocol::Read(n);
        CurrentRecord.Number = std::int16_t(n);
        CurrentRecord.LastMinutes = *minutes;
        CurrentRecord.TotalMinutes = *total;
        SettingsFileProtocol::Write(n);
    } catch (const Failure& failure) {
        // Nothing reached the file, so the figures stay as they were.
        ShowErrorReport(QStringLiteral("cmdOK_Click"), failure);
        return;
    }
    ExerciseLastMinutes[n - 1] = *minutes;
    showFigure(lblJour[n - 1], rowName(n - 1), "today", QString::number(*minutes));
    ExerciseTotalMinutes[n - 1] = *total;
    showFigure(lblTot[n - 1], rowName(n - 1), "in all", QString::number(*total));
    ScreenReader::Announce(this, QStringLiteral("%1 minutes recorded for %2; %3 in all")
                                     .arg(*minutes)
                                     .arg(rowName(n - 1))
                                     .arg(*total));
}

void Form4::cmdMAZ_Click() {
    using namespace Module1;
    if (refuseWithoutFile() || !selectActivity())
        return;
    const int n = ActivityNumber;
    try {
        SettingsFileProtocol::Read(n);
        CurrentRecord.TotalMinutes = 0;
        SettingsFileProtocol::Write(n);
    } catch (const Failure& failure) {
        ShowErrorReport(QStringLiteral("cmdMAZ_Click"), failure);
        return;
    }
    txtMinPasses->setText(QStringLiteral("0"));
    ExerciseTotalMinutes[n - 1] = 0;
    showFigure(lblTot[n - 1], rowName(n - 1), "in all", QStringLiteral("0"));
    ScreenReader::Announce(this, QStringLiteral("Total of %1 reset to 0").arg(rowName(n - 1)));
}

void Form4::cmdAnnuler_Click() {
    SettingsFileProtocol::Close();
    close();
}

void Form4::keyPressEvent(QKeyEvent* event) {
    // As in a dialog: Enter presses the focused button, else OK; Escape presses Cancel.
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        mods == Qt::NoModifier) {
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        (focused && focused->window() == this ? focused : cmdOK)->click();
        return;
    }
    if (event->key() == Qt::Key_Escape && mods == Qt::NoModifier) {
        cmdAnnuler->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form4::closeEvent(QCloseEvent* event) {
    // However the window goes (Cancel, the title-bar close, the system menu), it lets go of
    // the file; the next opener starts afresh anyway.
    SettingsFileProtocol::Close();
    QWidget::closeEvent(event);
}

void ShowStatisticsWindow() { g_instance = ShowOneWindow(g_instance.data()); }

Form4* StatisticsWindow() { return g_instance.data(); }
