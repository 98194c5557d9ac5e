#pragma once
// Form4, the statistics window: minutes practised per exercise, the latest entry ("Today")
// and the running total ("In All"), kept in LOGO2.DAT and in Module1's tables.

#include "core/module1.h"

#include <QWidget>
#include <array>
#include <cstdint>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class Form4 : public QWidget {
    Q_OBJECT
public:
    explicit Form4(QWidget* parent = nullptr);

    // Runs once, when the window is loaded: centres it, opens LOGO2.DAT and fills the rows.
    void Form_Load();

    // True once Form_Load has read all nine records; OK and Reset refuse otherwise.
    bool IsFileLoaded() const { return m_fileLoaded; }

    // The header of the rows, 73 characters spaced to stand over the two columns.
    static QString HeaderText();

    QLabel* lbl1 = nullptr;
    QComboBox* cmbActivite = nullptr;
    QLineEdit* txtMinPasses = nullptr;
    QLabel* lbl3 = nullptr;
    QPushButton* cmdMAZ = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdAnnuler = nullptr;
    QLabel* lbl4 = nullptr;
    std::array<QLabel*, Module1::ExerciseCount> lblA{};
    std::array<QLabel*, Module1::ExerciseCount> lblJour{};
    std::array<QLabel*, Module1::ExerciseCount> lblTot{};

public slots:
    void cmdOK_Click();
    void cmdMAZ_Click();
    void cmdAnnuler_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Takes the combo box text into the window variables; false (after telling the user) when
    // it names no activity.
    bool selectActivity();
    bool refuseWithoutFile();
    void refuseMinutes();

    QString m_activityText;
    std::int16_t ActivityNumber = 0;
    bool m_fileLoaded = false;
    QString m_loadFailure; // why the load failed, in words
};

// The popup menu's Statistics command: loads Form4 if it is not loaded (Form_Load runs), then
// shows it modeless and brings it to the front. A loaded window is only brought to the front.
void ShowStatisticsWindow();

// The loaded statistics window, or nullptr.
Form4* StatisticsWindow();
