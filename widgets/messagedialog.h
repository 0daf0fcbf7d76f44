#pragma once

#include "messages.h"

// The message dialog every program uses: a modal box with the icon and buttons the caller names.
// Installed behind ShowMessage() at start-up.
MsgResult ShowMessageDialog(const QString& text, MsgIcon icon, MsgButtons buttons);
void InstallMessageDialog();
