#pragma once
// Form2: the configuration window. One row per exercise with its picture, its name and three
// boxes (Frequency, the common Timing, Message), filled from LOGO2.DAT when the window first
// becomes active and written back by OK. The same window owns the popup menu MNU_Options of
// the floating window, so it is loaded hidden whenever the menu is needed.
//
// A single instance, loaded and unloaded: Load() creates it hidden, Unload() destroys it and
// its menu with it; the next Load() builds both afresh.

#include "core/module1.h"
#include "settings/exercise_record.h"

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

class ConfigTextBox;
class Form1;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

// Commands of the popup menu that open windows living in other folders. main() gives them, so
// the settings windows do not depend on the statistics or information windows.
struct MenuCommands {
    std::function<void()> showAbout;
    std::function<void()> showStatistics;
};

class Form2 : public QWidget {
    Q_OBJECT
public:
    // The loaded window, nullptr when it is not loaded.
    static Form2* Loaded();
    // Loads the window hidden when it is not loaded, acting on this floating window (nullptr:
    // none) with these menu commands; returns it.
    static Form2* Load(Form1* form1 = nullptr, const MenuCommands& commands = {});
    // Destroys the window (and the menu) if loaded. Nothing is saved.
    static void Unload();

    // Connects the floating window's logo commands and its start-up mark to this window, which
    // is loaded with these menu commands.
    static void ConnectFloatingWindow(Form1& form1, const MenuCommands& commands = {});

    ~Form2() override;

    // Shows the window modeless and brings it to the front.
    void ShowModeless();

    // Controls, by their names and indices. They are built when first needed: the window is
    // loaded hidden at start-up only for its menu, and building them costs a start-up delay.
    QLabel* lblT(int i) {
        ensureControls();
        return m_lblT[i];
    }
    QLabel* Image1(int i) {
        ensureControls();
        return m_image1[i];
    }
    QLabel* lblA(int i) {
        ensureControls();
        return m_lblA[i];
    }
    ConfigTextBox* Text2(int i) {
        ensureControls();
        return m_text2[i];
    }
    ConfigTextBox* Text3(int i) {
        ensureControls();
        return m_text3[i];
    }
    ConfigTextBox* Text4(int i) {
        ensureControls();
        return m_text4[i];
    }
    QPushButton* Command1() {
        ensureControls();
        return m_command1;
    }
    QPushButton* Command2() {
        ensureControls();
        return m_command2;
    }

    QMenu* MNU_Options() const { return m_mnuOptions; }
    QAction* MNU_Apropos() const { return m_mnuApropos; }
    QAction* MNU_Configurer() const { return m_mnuConfigurer; }
    QAction* MNU_Statistiques() const { return m_mnuStatistiques; }
    QAction* MNU_EnArriere() const { return m_mnuEnArriere; }
    QAction* MNU_Desactiver() const { return m_mnuDesactiver; }

    bool FreshlyLoaded() const { return m_freshlyLoaded; }
    // True when the file could not be opened or read at the first activation: OK saves nothing.
    bool SettingsUnavailable() const { return m_settingsUnavailable; }

    // Runs when the window becomes the active window (the file work happens once per load).
    void Form_Activate();
    void ReadRecord(std::int16_t Num);
    // The record as it is to be written, left in CurrentRecord. Throws Failure when the file
    // cannot be read or a number does not fit 16 bits.
    ExerciseRecord ComposeRecord(std::int16_t Num);

    void Command1_Click(); // OK
    void Command2_Click(); // Cancel

    void Text2_Change(int index);
    void Text3_Change(int index);

    // The popup menu and its commands.
    void PopupMenu(const QPoint& globalPos);
    void SetBackFrontMark(bool checked);
    void MNU_Apropos_Click();
    void MNU_Configurer_Click();
    void MNU_Statistiques_Click();
    void MNU_EnArriere_Click();
    void MNU_Desactiver_Click();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Form2(Form1* form1, MenuCommands commands);
    void buildControls();
    void ensureControls();
    void buildMenu();
    void Form_Load();
    // Checks every row fits the record before anything is written; names the first that does
    // not and puts the focus on it.
    bool validateRows();
    void endWithoutSaving();
    // The box's tooltip: what its number means, for the value it holds now.
    static void updateMeaning(QLineEdit* box, QString (*meaning)(const QString&));

    std::array<QLabel*, 4> m_lblT{};
    std::array<QLabel*, Module1::ExerciseCount> m_image1{};
    std::array<QLabel*, Module1::ExerciseCount> m_lblA{};
    std::array<ConfigTextBox*, Module1::ExerciseCount> m_text2{};
    std::array<ConfigTextBox*, Module1::ExerciseCount> m_text3{};
    std::array<ConfigTextBox*, Module1::ExerciseCount> m_text4{};
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;

    QMenu* m_mnuOptions = nullptr;
    QAction* m_mnuApropos = nullptr;
    QAction* m_mnuConfigurer = nullptr;
    QAction* m_mnuStatistiques = nullptr;
    QAction* m_mnuEnArriere = nullptr;
    QAction* m_mnuDesactiver = nullptr;

    Form1* m_form1;
    MenuCommands m_commands;
    bool m_controlsBuilt = false;
    bool m_freshlyLoaded = false;
    bool m_settingsUnavailable = false;
    bool m_unloading = false;
};
