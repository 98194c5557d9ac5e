#pragma once
#include "message_box.h"

#include <functional>

class QWidget;

// Where a box goes once its size is known; empty = where Qt puts a box without a parent (on the
// monitor under the pointer).
using MessageBoxPlacement = std::function<void(QWidget* box)>;

// Draws a MessageBoxRequest with QMessageBox: the styles' buttons, icon and default button.
int ShowQtMessageBox(const MessageBoxRequest& request, const MessageBoxPlacement& place = {});

// Makes MsgBox() draw real boxes, each placed by `place`.
void InstallQtMessageBoxPresenter(MessageBoxPlacement place = {});
