#pragma once

#include "table.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

namespace jetstream {
class Decoder;
}

// Reads Microsoft Jet 3 and Jet 4 database files (the question banks of the Windows programs).
//
// The file is checked before the Jet library sees it (header signature, version, size a whole
// number of pages), and the library itself runs in a child process for every read: a damaged
// file can make it crash or loop, and that must cost only the child. Whatever goes wrong ends in
// an AppError that says what, in words; a read never crashes the program and never writes.
class JetReader
{
public:
    static constexpr int HeaderBytes = 0x80;
    static constexpr int Jet3PageSize = 2048;
    static constexpr int Jet4PageSize = 4096;
    // The child is given up when it sends nothing for this long.
    static constexpr int IdleTimeoutMs = 30000;

    enum Version
    {
        Jet3 = 0,
        Jet4 = 1
    };

    // True when the bytes begin the way a Jet (or later Access) database file begins.
    static bool hasJetSignature(const QByteArray& head);
    static bool isJetFile(const QString& path);

    // Checks the file and reads the names of its user tables; AppError when it is not a readable
    // Jet database.
    explicit JetReader(const QString& path);

    QString path() const { return m_path; }
    int version() const { return m_version; }
    int codePage() const { return m_codePage; }
    // The user tables (system tables left out), in the file's catalogue order.
    QStringList tableNames() const { return m_tables; }
    // The name as the file spells it, found regardless of case; empty when there is none.
    QString findTable(const QString& name) const;

    using ColumnsHandler = std::function<void(const QList<Column>&)>;
    using RowHandler = std::function<void(const QVariantList&)>;
    // Streams one table: its columns first, then every row in file order. The handlers may throw;
    // the read stops there. AppError when the table cannot be read whole.
    void readTable(const QString& name, const ColumnsHandler& onColumns, const RowHandler& onRow) const;
    Table readTable(const QString& name) const;

private:
    // Runs the Jet library on the file in a child process and feeds what it sends to the decoder.
    void run(const QByteArray& table, jetstream::Decoder& decoder) const;
    [[noreturn]] void fail(const QString& reason) const;

    QString m_path;
    qint64 m_size = 0;
    int m_version = Jet3;
    int m_codePage = 0;
    QStringList m_tables;
};
