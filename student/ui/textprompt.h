#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

// The seam for the one-line prompts of Student (the server address, the surname): the program
// asks the system's input dialog, tests install a handler with pre-set answers. Nothing when the
// student cancels.
using TextPromptHandler =
    std::function<std::optional<QString>(const QString& title, const QString& prompt, const QString& initial)>;

std::optional<QString> AskText(QWidget* parent, const QString& title, const QString& prompt, const QString& initial);

// Installs a handler and returns the one it replaces; an empty handler brings back the dialog.
TextPromptHandler SetTextPromptHandler(TextPromptHandler handler);
