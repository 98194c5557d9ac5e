#pragma once
// What the program tells screen readers beyond what its widgets say by themselves: spoken
// notices, the opening of a window, and accessible interfaces where Qt's own fall short.

#include <QLineEdit>
#include <QString>

class QWidget;

namespace ScreenReader {

// Speaks the text as a notification from this window (or menu), without showing anything.
// Readers hear it whichever control has the focus.
void Announce(QWidget* from, const QString& text);

// The window's title, then its focused control's name, value and description.
QString WindowSummary(QWidget* window);

// Makes checkable menu items reach readers as check boxes, so "not checked" is read as well as
// "checked", each item at its place in its menu. Idempotent.
void InstallInterfaces();

} // namespace ScreenReader

// A line edit whose text attributes come as one run over the whole text. Qt's own line edit
// answers attribute requests with an empty run, and readers then drop its last character
// (270 was read as "27", a lone 0 as nothing).
class ReadableLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit ReadableLineEdit(const QString& text = QString(), QWidget* parent = nullptr);
    explicit ReadableLineEdit(QWidget* parent) : ReadableLineEdit(QString(), parent) {}
};
