#include "message_box.h"

namespace {
MessageBoxPresenter& presenter() {
    static MessageBoxPresenter instance;
    return instance;
}
} // namespace

int DefaultAnswer(int style) {
    const bool yesNo = (style & MsgStyle::ButtonsMask) == MsgStyle::YesNo;
    if (!yesNo)
        return MsgAnswer::Ok;
    return (style & MsgStyle::DefaultButton2) ? MsgAnswer::No : MsgAnswer::Yes;
}

int MsgBox(const QString& text, int style, const QString& title) {
    MessageBoxRequest request{text, style, title.isEmpty() ? kApplicationTitle : title};
    if (presenter())
        return presenter()(request);
    return DefaultAnswer(style);
}

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter next) {
    MessageBoxPresenter previous = std::move(presenter());
    presenter() = std::move(next);
    return previous;
}
