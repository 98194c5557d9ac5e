#include "message_box_qt.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>

namespace {
// A box is sized only as it is shown, so it is placed then, before it reaches the screen.
class PlacedMessageBox : public QMessageBox {
public:
    explicit PlacedMessageBox(const MessageBoxPlacement& place) : m_place(place) {}

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        if (m_place && !event->spontaneous())
            m_place(this);
    }

private:
    const MessageBoxPlacement& m_place;
};
} // namespace

int ShowQtMessageBox(const MessageBoxRequest& request, const MessageBoxPlacement& place) {
    PlacedMessageBox box(place);
    box.setWindowTitle(request.title);
    box.setText(request.text);
    switch (request.style & MsgStyle::IconMask) {
    case MsgStyle::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgStyle::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgStyle::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgStyle::Information:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
    }
    if ((request.style & MsgStyle::ButtonsMask) == MsgStyle::YesNo) {
        QPushButton* yes = box.addButton(QMessageBox::Yes);
        QPushButton* no = box.addButton(QMessageBox::No);
        yes->setText(QObject::tr("&Yes"));
        no->setText(QObject::tr("&No"));
        box.setDefaultButton((request.style & MsgStyle::DefaultButton2) ? no : yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgAnswer::Ok;
}

void InstallQtMessageBoxPresenter(MessageBoxPlacement place) {
    SetMessageBoxPresenter(
        [place](const MessageBoxRequest& request) { return ShowQtMessageBox(request, place); });
}
