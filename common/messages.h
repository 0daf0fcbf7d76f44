#pragma once

#include <QString>
#include <functional>

// The one seam through which every layer asks or tells the user something. The programs install
// the message dialog of the widgets library; tests install a handler that records the texts and
// gives pre-set answers. Without a handler the text goes to the run log and the answer is the
// first button (OK or Yes).
enum class MsgIcon
{
    Information,
    Warning,
    Error,
    Question
};
enum class MsgButtons
{
    Ok,
    YesNo,
    YesNoCancel,
    YesCancel
};
enum class MsgResult
{
    Ok,
    Yes,
    No,
    Cancel
};

using MessageHandler = std::function<MsgResult(const QString& text, MsgIcon icon, MsgButtons buttons)>;

MsgResult ShowMessage(const QString& text, MsgIcon icon = MsgIcon::Information, MsgButtons buttons = MsgButtons::Ok);

// Installs a handler and returns the one it replaces.
MessageHandler SetMessageHandler(MessageHandler handler);
