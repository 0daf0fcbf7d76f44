#pragma once

#include <QAbstractSocket>
#include <QString>

// The system's message text for a Windows-sockets error code (WSAE...), as used in the log entries
// "ErrorCode=%D (%S)": at most 255 characters, trailing characters below "!" and trailing full
// stops cut off. Codes below 10000 are taken as the local system's error numbers.
QString SocketErrorText(int code);

// The Windows-sockets code that corresponds to a Qt socket error, so that log entries carry the
// codes the Windows programs write.
int WsaErrorCode(QAbstractSocket::SocketError error);
