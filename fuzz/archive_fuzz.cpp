// Feeds arbitrary bytes to the archive reader as an archive file, listing it and unpacking it into
// a scratch folder. Any outcome but AppError (crash, hang, sanitizer report) is a finding.
#include "apperror.h"
#include "archive.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("input.cmpr"));
    const QString out = work.filePath(QStringLiteral("out"));
    {
        QFile f(archive);
        if (!f.open(QIODevice::WriteOnly))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    try {
        TZLibCompression().ListFiles(archive);
    } catch (const AppError&) {
    }
    try {
        TZLibCompression().DecompressFiles(archive, out);
    } catch (const AppError&) {
    }
    // Whatever the input, nothing may land beside the output folder.
    const QStringList beside = QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    if (beside.size() != 2)
        __builtin_trap();
    return 0;
}
