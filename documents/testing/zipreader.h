#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// The members of a zip file (an .xlsx or .odt) by name, for reading written documents back.
// Stored and deflated members only; anything else, or a damaged file, gives an error text.
struct ZipMembers
{
    QMap<QString, QByteArray> members;
    QString error; // empty when the file was read whole
};
ZipMembers ReadZip(const QString& path);
