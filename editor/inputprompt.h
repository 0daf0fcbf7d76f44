#pragma once

#include <QString>
#include <functional>

class QWidget;

// The seam for the editor's one-line text prompts (new topic, rename), as ShowMessage is for
// messages: the windows ask here, tests install a handler that answers. An empty optional answer
// is a cancelled prompt.
using PromptHandler = std::function<bool(const QString& title, const QString& prompt, QString& value)>;

// Shows the prompt with the value filled in; true with the value changed on OK.
bool InputQuery(QWidget* parent, const QString& title, const QString& prompt, QString& value);
PromptHandler SetPromptHandler(PromptHandler handler);
