// vastrel pack / unpack / list: the packed-files archive from the command line.
#include "archive.h"
#include "command.h"

#include <QDir>

namespace {

int runPack(const QStringList& args)
{
    if (args.size() < 2)
        return fail(QStringLiteral("usage: vastrel pack ARCHIVE FILE..."));
    TZLibCompression().CompressFiles(args.mid(1), args[0]);
    return 0;
}

int runUnpack(const QStringList& args)
{
    if (args.size() != 2)
        return fail(QStringLiteral("usage: vastrel unpack ARCHIVE FOLDER"));
    if (!QDir().mkpath(args[1]))
        return fail(QStringLiteral("Не удалось создать папку \"%1\"").arg(args[1]));
    TZLibCompression().DecompressFiles(args[0], args[1]);
    return 0;
}

int runList(const QStringList& args)
{
    if (args.size() != 1)
        return fail(QStringLiteral("usage: vastrel list ARCHIVE"));
    QString text;
    for (const TZLibEntry& entry : TZLibCompression().ListFiles(args[0]))
        text += entry.name + QLatin1Char('\t') + QString::number(entry.size) + QLatin1Char('\n');
    printOut(text);
    return 0;
}

const bool registered =
    registerCommand({"pack", "pack ARCHIVE FILE...", "packs the files (bare names) into a new archive", runPack}) &&
    registerCommand(
        {"unpack", "unpack ARCHIVE FOLDER", "unpacks every file of the archive into the folder", runUnpack}) &&
    registerCommand({"list", "list ARCHIVE", "prints each entry's name, a TAB and its unpacked size", runList});

} // namespace
