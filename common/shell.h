#pragma once

#include <QString>
#include <functional>

// Asks the desktop to open a document, program or web address: an executable file is started, any
// other existing file is opened with its application, anything else is taken as an address.
// True when the desktop accepted it.
bool ShellOpen(const QString& target);

// Starts a new message in the user's mail program: "mailto:" address "?subject=" subject and, when
// a body is given, "&body=" body, with blanks, CR and LF written %20, %0D and %0A.
// Raises AppError "Cannot run default Email Client!" when no mail program takes it.
void SendMailLink(const QString& address, const QString& subject, const QString& body = {});
QString MailLink(const QString& address, const QString& subject, const QString& body = {});

// Opens the user guide, help/index.html in the programs' data folder, with the desktop's browser.
// Raises AppError with the system's text when the desktop cannot open it (no guide, no browser).
void OpenHelp();
QString HelpFilePath();

// Replaces what ShellOpen does (tests record the targets instead of starting programs).
// Returns the handler it replaces; an empty handler restores the desktop.
using ShellHandler = std::function<bool(const QString& target)>;
ShellHandler SetShellHandler(ShellHandler handler);
