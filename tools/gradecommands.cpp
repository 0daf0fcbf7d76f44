// vastrel grade: grades an answer list against a question table as the testing server does.
#include "adtg.h"
#include "apperror.h"
#include "codec.h"
#include "command.h"
#include "fixedtext.h"
#include "listlines.h"
#include "markscale.h"
#include "tablejson.h"
#include "valuation.h"

#include <QFile>

namespace {

QByteArray readWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("cannot read \"%1\": %2").arg(path, file.errorString()));
    return file.readAll();
}

// A question table is either a TableGram or the JSON that "vastrel table dump" prints; JSON is
// told by its first character after blanks.
Table readQuestionTable(const QString& path)
{
    const QByteArray bytes = readWholeFile(path);
    for (char c : bytes) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        if (c == '{')
            return TableFromJson(bytes);
        break;
    }
    return ReadAdtg(bytes);
}

int runGrade(const QStringList& args)
{
    QStringList files;
    QString criteriaPath;
    QString partialText;
    QString limitText;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        QString* option = arg == QLatin1String("--criteria")  ? &criteriaPath
                          : arg == QLatin1String("--partial") ? &partialText
                          : arg == QLatin1String("--limit")   ? &limitText
                                                              : nullptr;
        if (option) {
            if (i + 1 >= args.size())
                return fail(QStringLiteral("%1 needs a value").arg(arg));
            *option = args[++i];
        } else if (arg.startsWith(QLatin1String("--"))) {
            return fail(QStringLiteral("unknown option \"%1\"").arg(arg));
        } else {
            files.append(arg);
        }
    }
    if (files.size() != 2)
        return fail(QStringLiteral("usage: vastrel grade QUESTIONS ANSWERS [--criteria FILE] [--partial on|off] "
                                   "[--limit N]"));

    const Table questions = readQuestionTable(files[0]);
    const QString answers = fromCp1251(readWholeFile(files[1]));
    const QString criteria = criteriaPath.isEmpty() ? QString() : fromCp1251(readWholeFile(criteriaPath));

    bool partial = true;
    if (partialText == QLatin1String("on"))
        partial = true;
    else if (partialText == QLatin1String("off"))
        partial = false;
    else if (!partialText.isEmpty())
        return fail(QStringLiteral("--partial takes on or off, not \"%1\"").arg(partialText));
    else if (!criteria.isEmpty())
        partial = PartialCreditFromCriteria(criteria);

    int limit = int(SplitListLines(answers).size());
    if (!limitText.isEmpty()) {
        bool ok = false;
        limit = limitText.toInt(&ok);
        if (!ok)
            return fail(QStringLiteral("--limit takes a whole number, not \"%1\"").arg(limitText));
    }

    QStringList output;
    const GradeTotal total = ValuateAnswerList(questions, answers, partial, &output, limit);
    QString text;
    for (const QString& line : output)
        text += line + u'\n';
    text += QStringLiteral("Percent=%1\n").arg(FormatFixed(total.percent.toDouble(), 1));
    if (!criteriaPath.isEmpty())
        text += QStringLiteral("Mark=%1\n").arg(MarkText(criteria, MarkFromPercent(criteria, total.percent)));
    printOut(text);
    return 0;
}

const bool registered = registerCommand(
    {"grade", "grade QUESTIONS ANSWERS [--criteria FILE] [--partial on|off] [--limit N]",
     "grades an answer list (QueID=answer lines, Windows-1251) against a question table (TableGram or JSON); "
     "prints each line's weighted score, Percent= and, with a criteria list, Mark=",
     runGrade});

} // namespace
