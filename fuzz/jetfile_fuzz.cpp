// Damaged Jet files: a genuine small Jet 4 file with the input written over it (the first four
// bytes of the input choose where), read whole by the reader. Every read must end in rows or an
// AppError; the Jet library's own faults stay in the reading child.
#include "apperror.h"
#include "jetreader.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

const QByteArray& genuine()
{
    static const QByteArray bytes = [] {
        QFile f(QStringLiteral(VASTREL_JET_SAMPLE));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4 || genuine().isEmpty())
        return 0;
    quint32 at = 0;
    std::memcpy(&at, data, 4);
    QByteArray bytes = genuine();
    at %= quint32(bytes.size());
    const size_t patch = std::min<size_t>(size - 4, size_t(bytes.size()) - at);
    std::memcpy(bytes.data() + at, data + 4, patch);

    const QString path = QDir::temp().filePath(QStringLiteral("jetfile_fuzz_%1.mdb").arg(qint64(getpid())));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return 0;
    out.write(bytes);
    out.close();
    try {
        const JetReader reader(path);
        for (const QString& table : reader.tableNames())
            reader.readTable(table);
    } catch (const AppError&) {
    }
    QFile::remove(path);
    return 0;
}
