#include "inputprompt.h"

#include <QInputDialog>

namespace {

PromptHandler& handler()
{
    static PromptHandler current;
    return current;
}

} // namespace

bool InputQuery(QWidget* parent, const QString& title, const QString& prompt, QString& value)
{
    if (handler())
        return handler()(title, prompt, value);
    bool ok = false;
    const QString answer = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, value, &ok);
    if (ok)
        value = answer;
    return ok;
}

PromptHandler SetPromptHandler(PromptHandler next)
{
    return std::exchange(handler(), std::move(next));
}
