#pragma once
// The edit box of the configuration window. Every box selects its whole text when the focus
// moves into it; the Frequency and Timing boxes also pass typed characters through the key
// filter (SaisieNumerique), so letters and signs never reach them from the keyboard, and show
// their tooltip (what the number means) when the keyboard brings the focus, not only on hover.
// A message box scrolled along its text shows its start again once the focus has left.

#include "platform/screen_reader.h"

class ConfigTextBox : public ReadableLineEdit {
    Q_OBJECT
public:
    explicit ConfigTextBox(QWidget* parent = nullptr);

    void setDigitFilter(bool on) { m_digitFilter = on; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_digitFilter = false;
    bool m_selectOnRelease = false;
};
