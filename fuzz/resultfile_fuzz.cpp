// Result files come from students' computers on any medium. Input: the first byte chooses how the
// rest is used. Odd: the rest is the whole file. Even: the rest is split at "|||" into the members
// "7.top", "addittional.dat", "RoutChecked.list" and "Criteria.list" (as many as there are pieces),
// which are packed as the writer packs them, so that the readers of the members are reached past
// the archive's checks. A file is either read or refused with a one-line message; nothing else.
#include "apperror.h"
#include "archive.h"
#include "resultfile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static QTemporaryDir work;
    const QString file = work.filePath(QStringLiteral("input.rslt4"));
    const QByteArray input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QFile::remove(file);
    if (data[0] & 1) {
        if (!writeFile(file, input))
            return 0;
    } else {
        static const QStringList names{QStringLiteral("7.top"), QStringLiteral("addittional.dat"),
                                       QStringLiteral("RoutChecked.list"), QStringLiteral("Criteria.list")};
        QList<QByteArray> members;
        qsizetype start = 0;
        while (members.size() < names.size() - 1) {
            const qsizetype at = input.indexOf("|||", start);
            if (at < 0)
                break;
            members.append(input.mid(start, at - start));
            start = at + 3;
        }
        members.append(input.mid(start));
        QStringList files;
        for (qsizetype i = 0; i < members.size(); ++i) {
            files.append(work.filePath(names[i]));
            if (!writeFile(files.last(), members[i]))
                return 0;
        }
        try {
            TZLibCompression().CompressFiles(files, file);
        } catch (const AppError&) {
            return 0;
        }
    }
    try {
        const ResultFileContents contents = ReadResultFile(file, work.path());
        if (!contents.savedAt.isValid() || (!contents.hasCriteria && !contents.work.criteriaList.isEmpty()))
            __builtin_trap();
    } catch (const AppError& e) {
        if (e.message().isEmpty() || e.message().contains(u'\n'))
            __builtin_trap();
    }
    return 0;
}
