#pragma once
// Form5: the About window. The program's name and version, the maker's notices, a picture,
// and two buttons: OK, and a visit to the maker's home page in the web page viewer.
// All texts are fixed; the maker's come from info/maker.h.

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;

class Form5 : public QDialog {
    Q_OBJECT
public:
    explicit Form5(QWidget* parent = nullptr);
    ~Form5() override;

    // The loaded About window, nullptr when none.
    static Form5* instance();

    void Form_Load();
    void cmdOK_Click();
    void cmd2_Click();

    QLabel* Label1 = nullptr;
    QLabel* lbl6 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QWidget* Picture1 = nullptr;
    QLabel* Label5 = nullptr;
    QPushButton* cmd2 = nullptr;
    QPushButton* cmdOK = nullptr;

private:
    static QPointer<Form5> s_instance;
};

// The About command: loads the About window if it is not loaded (it centres itself), then
// shows it modeless and activates it; an open one is only brought to the front.
void ShowAboutWindow();
