#include "form2.h"

#include "core/center_form.h"
#include "core/form1.h"
#include "core/form1_procedures.h"
#include "core/module1.h"
#include "platform/desktop_window.h"
#include "platform/dialog_font.h"
#include "platform/failure.h"
#include "platform/int16.h"
#include "platform/message_box.h"
#include "platform/screen_reader.h"
#include "platform/twips.h"
#include "settings/config_text_box.h"
#include "settings/module1_settings.h"
#include "settings/numeric_input.h"
#include "settings/settings_file.h"

#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <vector>

namespace {
Form2* g_instance = nullptr;

// The window's design, in twips.
constexpr int ClientWidth = 7800;
constexpr int ClientHeight = 4365;
constexpr int RowTop = 540;
constexpr int RowPitch = 360;
constexpr int BoxHeight = 285;
constexpr int LabelHeight = 255;

constexpr const char* kHeaders[4] = {"Logos", "Frequency", "Timing", "Messages"};
constexpr int kHeaderLeft[4] = {120, 1920, 2760, 3480};
constexpr int kHeaderWidth[4] = {1755, 795, 675, 4155};

constexpr const char* kBuiltInFrequency[Module1::ExerciseCount] = {"0", "1", "0", "0", "1",
                                                                   "0", "0", "0", "0"};
constexpr const char* kBuiltInTiming = "10";

// The exercise's small picture, compiled in with its @2x version.
QPixmap exercisePicture(int index, const QSize& size, qreal ratio) {
    return QIcon(QStringLiteral(":/pictures/exercise_%1.png").arg(index)).pixmap(size, ratio);
}

QString exerciseName(int row) { return QLatin1String(Module1::ExerciseNames[row]); }
} // namespace

Form2* Form2::Loaded() { return g_instance; }

Form2* Form2::Load(Form1* form1, const MenuCommands& commands) {
    if (!g_instance) {
        g_instance = new Form2(form1, commands);
        g_instance->Form_Load();
    }
    return g_instance;
}

void Form2::Unload() {
    Form2* form = g_instance;
    if (!form)
        return;
    g_instance = nullptr;
    form->m_unloading = true;
    form->hide();
    // Later, so a handler of the window (OK, Cancel, the close button) can finish first.
    form->deleteLater();
}

Form2::Form2(Form1* form1, MenuCommands commands)
    : QWidget(nullptr), m_form1(form1), m_commands(std::move(commands)) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral(" Lumivista: Logo Configuration Window"));
    setFixedSize(Twips::ToPixelsX(ClientWidth), Twips::ToPixelsY(ClientHeight));
    DesktopWindow::MakeFixed(this);
    buildMenu();
}

Form2::~Form2() {
    if (g_instance == this)
        g_instance = nullptr;
}

void Form2::buildControls() {
    setFont(DialogFont::Font());

    for (int i = 0; i < 4; ++i) {
        m_lblT[i] = new QLabel(QLatin1String(kHeaders[i]), this);
        m_lblT[i]->setGeometry(
            Twips::ToPixelRect(kHeaderLeft[i], 120, kHeaderWidth[i], LabelHeight));
        // A reader names a box by its row and column; the header itself is the column.
        m_lblT[i]->setAccessibleName(QLatin1String(kHeaders[i]) + QStringLiteral(" column"));
    }
    m_lblT[1]->setToolTip(NumberMeaning::Frequency(QStringLiteral("270")));
    m_lblT[2]->setToolTip(NumberMeaning::Timing(QStringLiteral("18")));
    for (int i = 0; i < Module1::ExerciseCount; ++i) {
        const int top = RowTop + RowPitch * i;

        m_image1[i] = new QLabel(this);
        m_image1[i]->setGeometry(Twips::ToPixelRect(120, top - 45, 375, 375));
        m_image1[i]->setPixmap(exercisePicture(i, m_image1[i]->size(), devicePixelRatioF()));
        m_image1[i]->setAccessibleName(exerciseName(i) + QStringLiteral(" picture"));
        m_image1[i]->setAccessibleDescription(QStringLiteral("A small picture of the ") +
                                              exerciseName(i) + QStringLiteral(" exercise"));

        m_lblA[i] = new QLabel(exerciseName(i), this);
        m_lblA[i]->setGeometry(Twips::ToPixelRect(600, 600 + RowPitch * i, 1275, LabelHeight));

        m_text2[i] = new ConfigTextBox(this);
        m_text2[i]->setGeometry(Twips::ToPixelRect(1920, top, 735, BoxHeight));
        m_text2[i]->setDigitFilter(true);
        m_text2[i]->setText(QLatin1String(kBuiltInFrequency[i]));
        m_text2[i]->setAccessibleName(exerciseName(i) + QStringLiteral(" frequency"));
        connect(m_text2[i], &QLineEdit::textChanged, this, [this, i] { Text2_Change(i); });

        m_text3[i] = new ConfigTextBox(this);
        m_text3[i]->setGeometry(Twips::ToPixelRect(2760, top, 615, BoxHeight));
        m_text3[i]->setDigitFilter(true);
        m_text3[i]->setText(QLatin1String(kBuiltInTiming));
        m_text3[i]->setVisible(i == 0);
        // The one visible box is every exercise's Timing.
        m_text3[i]->setAccessibleName(i == 0 ? QStringLiteral("Timing")
                                             : exerciseName(i) + QStringLiteral(" timing"));
        connect(m_text3[i], &QLineEdit::textChanged, this, [this, i] { Text3_Change(i); });

        m_text4[i] = new ConfigTextBox(this);
        m_text4[i]->setGeometry(Twips::ToPixelRect(3450, top, 4185, BoxHeight));
        m_text4[i]->setText(QLatin1String(Module1::BuiltInMessages[i]));
        m_text4[i]->setCursorPosition(0);
        m_text4[i]->setAccessibleName(exerciseName(i) + QStringLiteral(" message"));
    }
    m_command1 = new QPushButton(QStringLiteral("OK"), this);
    m_command1->setGeometry(Twips::ToPixelRect(2880, 3840, 855, 375));
    m_command1->setAutoDefault(false);
    connect(m_command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    m_command2 = new QPushButton(QStringLiteral("Cancel"), this);
    m_command2->setGeometry(Twips::ToPixelRect(3960, 3840, 855, 375));
    m_command2->setAutoDefault(false);
    connect(m_command2, &QPushButton::clicked, this, &Form2::Command2_Click);

    std::vector<QWidget*> order;
    for (auto* column : {&m_text2, &m_text3, &m_text4})
        for (ConfigTextBox* box : *column)
            order.push_back(box);
    order.push_back(m_command1);
    order.push_back(m_command2);
    for (std::size_t k = 1; k < order.size(); ++k)
        QWidget::setTabOrder(order[k - 1], order[k]);
    m_text2[0]->setFocus(Qt::OtherFocusReason);
    for (int i = 0; i < Module1::ExerciseCount; ++i) {
        updateMeaning(m_text2[i], &NumberMeaning::Frequency);
        updateMeaning(m_text3[i], &NumberMeaning::Timing);
    }

    // Measured on the built-in texts, which are also those of a new user's file.
    setFont(DialogFont::Fitted(DialogFont::Font(), DialogFont::FixedTextControls(this)));
}

void Form2::updateMeaning(QLineEdit* box, QString (*meaning)(const QString&)) {
    box->setToolTip(meaning(box->text()));
}

void Form2::keyPressEvent(QKeyEvent* event) {
    // As in a dialog: Enter presses the focused button, else OK; Escape presses Cancel. The
    // boxes leave both keys to the window.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->modifiers() & ~Qt::KeypadModifier)
            break;
        if (m_command2 && focusWidget() == m_command2)
            m_command2->click();
        else if (m_command1)
            m_command1->click();
        return;
    case Qt::Key_Escape:
        if (event->modifiers() != Qt::NoModifier)
            break;
        if (m_command2)
            m_command2->click();
        return;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void Form2::ensureControls() {
    if (m_controlsBuilt)
        return;
    m_controlsBuilt = true;
    buildControls();
}

void Form2::Form_Load() { m_freshlyLoaded = true; }

void Form2::ShowModeless() {
    ensureControls();
    if (!isVisible()) {
        // Centred before it appears, so the window does not jump when it becomes active.
        CenterForm(this);
        show();
    }
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

bool Form2::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    return handled;
}

void Form2::Form_Activate() {
    if (!m_freshlyLoaded)
        return;
    m_freshlyLoaded = false;
    ensureControls();
    CenterForm(this);
    try {
        SettingsFileProtocol::Open();
        const double records = double(SettingsFileProtocol::Length()) / ExerciseRecord::Size;
        if (Int16::RoundHalfEven(records) != 0) {
            for (int i = 0; i < Module1::ExerciseCount; ++i)
                ReadRecord(std::int16_t(i + 1));
        } else {
            m_text2[0]->setText(QStringLiteral("0"));
            m_text3[0]->setText(QStringLiteral("0"));
            m_text4[0]->setText(QString(10, QLatin1Char(' ')));
        }
    } catch (const Failure&) {
        // The window stays usable, but its boxes may not show the file: OK must not write them.
        m_settingsUnavailable = true;
        MsgBox(QStringLiteral("Error with file LOGO2.DAT!"), MsgStyle::OkOnly,
               QStringLiteral("Avertissement"));
    }
    for (ConfigTextBox* box : m_text4)
        box->setCursorPosition(0);
    // The focus lands in the first box as the window activates; its text is selected then.
    if (focusWidget() == m_text2[0])
        m_text2[0]->selectAll();
}

void Form2::ReadRecord(std::int16_t Num) {
    ensureControls();
    SettingsFileProtocol::Read(Num);
    const ExerciseRecord& record = Module1::CurrentRecord;
    const int row = Num - 1;
    m_text2[row]->setText(NumericInput::FormatStored(record.Frequency));
    m_text3[row]->setText(NumericInput::FormatStored(record.Timing));
    m_text4[row]->setText(record.message());
}

ExerciseRecord Form2::ComposeRecord(std::int16_t Num) {
    ensureControls();
    SettingsFileProtocol::Read(Num);
    ExerciseRecord& record = Module1::CurrentRecord;
    const int row = Num - 1;
    record.Number = Num;
    record.Frequency = Int16::FromDouble(NumericValue(m_text2[row]->text()));
    record.Timing = Int16::FromDouble(NumericValue(m_text3[0]->text()));
    record.setMessage(m_text4[row]->text());
    return record;
}

bool Form2::validateRows() {
    ensureControls();
    auto refuse = [](ConfigTextBox* box, const QString& what) {
        MsgBox(what + QStringLiteral(" cannot be saved: \"") + box->text().trimmed() +
                   QStringLiteral("\" is not a whole number from -32768 to 32767."),
               MsgStyle::Exclamation);
        box->setFocus(Qt::OtherFocusReason);
        box->selectAll();
        return false;
    };
    for (int i = 0; i < Module1::ExerciseCount; ++i)
        if (!NumericInput::StoredValue(m_text2[i]->text()))
            return refuse(m_text2[i], QStringLiteral("The Frequency of ") + exerciseName(i));
    if (!NumericInput::StoredValue(m_text3[0]->text()))
        return refuse(m_text3[0], QStringLiteral("The Timing"));
    return true;
}

void Form2::Command1_Click() {
    if (!validateRows())
        return;
    if (m_settingsUnavailable) {
        MsgBox(QStringLiteral("Nothing could be saved: the file LOGO2.DAT could not be opened "
                              "when this window opened."),
               MsgStyle::Exclamation);
        endWithoutSaving();
        return;
    }
    try {
        // All nine records reach the file in one replacement, or none of them does.
        std::vector<std::pair<int, ExerciseRecord>> records;
        for (int i = 0; i < Module1::ExerciseCount; ++i)
            records.emplace_back(i + 1, ComposeRecord(std::int16_t(i + 1)));
        SettingsFileProtocol::WriteRecords(records);
    } catch (const Failure& failure) {
        // The window stays with every edit, so the user can mend the cause (free some space,
        // grant the permission) and press OK again, or give up with Cancel.
        MsgBox(QStringLiteral("The settings could not be saved: the file LOGO2.DAT cannot be "
                              "written (") +
                   failure.description() +
                   QStringLiteral(").\nYour changes are still in this window: mend the cause "
                                  "and press OK again, or press Cancel."),
               MsgStyle::Exclamation);
        return;
    }
    SettingsFileProtocol::Close();
    Module1::LoadSettingsFile();
    StartExerciseTimers();
    // Said by the logo, which has the focus once this window has gone.
    ScreenReader::Announce(m_form1 ? static_cast<QWidget*>(m_form1) : this,
                           QStringLiteral("Configuration saved"));
    Unload();
}

// The end of OK when nothing was written: the cycle runs on with the settings it had.
void Form2::endWithoutSaving() {
    SettingsFileProtocol::Close();
    StartExerciseTimers();
    Unload();
}

void Form2::Command2_Click() {
    if (m_form1)
        m_form1->EndDisplays(m_form1->DisplaysInProgress());
    StartExerciseTimers();
    SettingsFileProtocol::Close();
    Unload();
}

void Form2::closeEvent(QCloseEvent* event) {
    // The title-bar close button and the window menu act as Cancel.
    if (!m_unloading)
        Command2_Click();
    event->accept();
}

void Form2::Text2_Change(int index) {
    ensureControls();
    updateMeaning(m_text2[index], &NumberMeaning::Frequency);
    if (NumericInput::ExceedsLimit(m_text2[index]->text())) {
        MsgBox(QStringLiteral("You should not exced 32767 !"));
        m_text2[index]->setText(QString());
    }
}

void Form2::Text3_Change(int index) {
    ensureControls();
    updateMeaning(m_text3[index], &NumberMeaning::Timing);
    if (NumericInput::ExceedsLimit(m_text3[index]->text())) {
        MsgBox(QStringLiteral(" You should not exced 32767 !"));
        m_text3[index]->setText(QString());
    }
}
