#pragma once

#include <QString>
#include <stdexcept>

// A failure carrying the system's own message text (Russian where the system speaks to a user).
// Raised by any layer; each program's general handler shows it in the message dialog.
class AppError : public std::runtime_error
{
public:
    explicit AppError(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};
