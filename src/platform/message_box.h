#pragma once
// Every message box of the program goes through MsgBox(). The window layer installs a
// presenter that draws it with QMessageBox; tests install one that answers from a queue.

#include <QString>
#include <functional>

namespace MsgStyle {
constexpr int OkOnly = 0;
constexpr int YesNo = 4;
constexpr int Critical = 16;    // stop icon
constexpr int Question = 32;    // question-mark icon
constexpr int Exclamation = 48; // exclamation icon
constexpr int Information = 64; // information icon
constexpr int DefaultButton2 = 256;
// The parts of a style: its buttons and its icon.
constexpr int ButtonsMask = 0xF;
constexpr int IconMask = 0x70;
} // namespace MsgStyle

namespace MsgAnswer {
constexpr int Ok = 1;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace MsgAnswer

inline const QString kApplicationTitle = QStringLiteral("Lumivista");

struct MessageBoxRequest {
    QString text;
    int style = 0;
    QString title;
};

using MessageBoxPresenter = std::function<int(const MessageBoxRequest&)>;

// Shows a modal box and returns the answer (1 OK, 6 Yes, 7 No). An empty title stands for
// the application title.
int MsgBox(const QString& text, int style = MsgStyle::OkOnly, const QString& title = QString());

// Installs the presenter; returns the previous one. Without a presenter a box answers with
// its default button, so widget-free code never blocks.
MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter);

// The answer a box gives when its default button is taken (Enter).
int DefaultAnswer(int style);
