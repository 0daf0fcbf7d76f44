#include "messages.h"

#include "runlog.h"

namespace {

MessageHandler& currentHandler()
{
    static MessageHandler handler;
    return handler;
}

} // namespace

MsgResult ShowMessage(const QString& text, MsgIcon icon, MsgButtons buttons)
{
    if (const MessageHandler& handler = currentHandler())
        return handler(text, icon, buttons);
    LogText(text);
    return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Yes;
}

MessageHandler SetMessageHandler(MessageHandler handler)
{
    MessageHandler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}
