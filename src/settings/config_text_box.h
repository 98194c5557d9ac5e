#pragma once
// The edit box of the configuration window. Every box selects its whole text when the focus
// moves into it; the Frequency and Timing boxes also pass typed characters through the key
// filter (SaisieNumerique), so letters and signs never reach them from the keyboard.

#include <QLineEdit>

class ConfigTextBox : public QLineEdit {
    Q_OBJECT
public:
    explicit ConfigTextBox(QWidget* parent = nullptr);

    void setDigitFilter(bool on) { m_digitFilter = on; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_digitFilter = false;
    bool m_selectOnRelease = false;
};
