// vastrel table dump|make: table files (question sets, ".top" members) to and from JSON text.
#include "adtg.h"
#include "apperror.h"
#include "command.h"
#include "tablejson.h"

#include <QFile>
#include <cstdio>

namespace {

int runTable(const QStringList& args)
{
    if (args.size() == 2 && args[0] == QLatin1String("dump")) {
        const QByteArray json = TableToJson(ReadAdtgFile(args[1]));
        std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
        return 0;
    }
    if (args.size() == 3 && args[0] == QLatin1String("make")) {
        QFile file(args[1]);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot open %1: %2").arg(args[1], file.errorString()));
        WriteAdtgFile(TableFromJson(file.readAll()), args[2]);
        return 0;
    }
    return fail(QStringLiteral("usage: vastrel table dump FILE | vastrel table make JSON OUT"));
}

const bool registered =
    registerCommand({"table", "table dump FILE | table make JSON OUT",
                     "prints a table file (ADTG) as JSON, or writes a table file from such JSON", runTable});

} // namespace
