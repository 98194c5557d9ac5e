#pragma once
#include "message_box.h"

// Draws a MessageBoxRequest with QMessageBox: the styles' buttons, icon and default button.
int ShowQtMessageBox(const MessageBoxRequest& request);

// Makes MsgBox() draw real boxes.
void InstallQtMessageBoxPresenter();
