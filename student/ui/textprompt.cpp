#include "textprompt.h"

#include <QInputDialog>

namespace {

TextPromptHandler& handler()
{
    static TextPromptHandler installed;
    return installed;
}

} // namespace

std::optional<QString> AskText(QWidget* parent, const QString& title, const QString& prompt, const QString& initial)
{
    if (handler())
        return handler()(title, prompt, initial);
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

TextPromptHandler SetTextPromptHandler(TextPromptHandler handler_)
{
    return std::exchange(handler(), std::move(handler_));
}
