// vastrel question-file show FILE: what a question file holds, without a question bank.
#include "command.h"
#include "questionfile.h"

namespace {

static constexpr int QuestionTextShown = 60;

QString cell(const Table& table, int row, const char* column)
{
    const QVariant v = table.value(row, QString::fromLatin1(column));
    return v.isValid() ? v.toString() : QString();
}

int runQuestionFile(const QStringList& args)
{
    if (args.size() != 2 || args[0] != QLatin1String("show"))
        return fail(QStringLiteral("usage: vastrel question-file show FILE"));
    const QuestionFileContents file = ReadQuestionFile(args[1]);
    QString out = QStringLiteral("Topic: %1\n").arg(file.topicName);
    if (file.hasSettings) {
        out += QStringLiteral("[Fields]\n");
        for (const auto& [key, value] : file.fields)
            out += key + u'=' + value + u'\n';
        out += QStringLiteral("Remark: %1\n").arg(file.remark);
    } else {
        out += QStringLiteral("No settings\n");
    }
    const Table& q = file.questions;
    out += QStringLiteral("Questions: %1\n").arg(q.rowCount());
    out += QStringLiteral("QueID\tQueType\tPrice\tQuestion\n");
    for (int r = 0; r < q.rowCount(); ++r) {
        // One line per question: its line breaks are shown as blanks.
        QString text = cell(q, r, "Question").left(QuestionTextShown);
        text.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(u'\r', u' ').replace(u'\n', u' ');
        out += cell(q, r, "QueID") + u'\t' + cell(q, r, "QueType") + u'\t' + cell(q, r, "Price") + u'\t' + text + u'\n';
    }
    printOut(out);
    return 0;
}

const bool registered = registerCommand(
    {"question-file", "question-file show FILE",
     "prints a question file's topic, its settings and remark, and a line per question (QueID, QueType, Price, "
     "the first 60 characters of the text)",
     runQuestionFile});

} // namespace
