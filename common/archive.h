#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One entry of a packed-files archive as the archive announces it.
struct TZLibEntry
{
    QString name;  // bare file name, decoded from Windows-1251
    qint32 size{}; // bytes before compression
};

// The name under which a file is packed so that the Windows programs unpack it as it was packed:
// each character that a Windows file name cannot hold (\\ / : * ? " < > | and control characters) or
// that Windows-1251 cannot encode becomes "_". Question and result files name their entries so.
QString PortableEntryName(const QString& name);

// Packs several files into one archive and unpacks it again. The archive is the container of the
// question files, of the question set sent to a student's computer and of saved works.
//
// Layout (all integers 32-bit signed little-endian):
//     count
//     count times: name length n, n bytes of the bare name in Windows-1251, size, one zlib stream
// No compressed length is stored: an entry ends where its zlib stream ends, so a reader has to walk
// every stream to find the next entry.
//
// Every failure raises AppError with a message naming the file and the cause. Archives are written
// under a temporary name and renamed at the end, so a failed packing leaves no partial archive and
// keeps the previous one; each unpacked file is likewise written whole or not at all.
class TZLibCompression
{
public:
    // Packs the files, in list order, into a new archive (an existing one is replaced). Each entry
    // keeps only the file's bare name. An empty list writes nothing.
    void CompressFiles(const QStringList& files, const QString& archivePath);
    // Packs one file into a new archive; an empty file path does nothing.
    void CompressFile(const QString& file, const QString& archivePath);
    // Unpacks every entry into the folder, replacing existing files, and gives the entries in
    // archive order. Stops at the first damaged entry or unsafe name; the files unpacked before it
    // stay.
    QList<TZLibEntry> DecompressFiles(const QString& archivePath, const QString& folder);
    // The entries of an archive, found by walking (and checking) every stream without writing files.
    QList<TZLibEntry> ListFiles(const QString& archivePath);
};
