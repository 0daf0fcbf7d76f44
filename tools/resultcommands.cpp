// vastrel result show FILE: a saved work as the teacher's program grades it.
#include "command.h"
#include "fixedtext.h"
#include "listlines.h"
#include "markscale.h"
#include "resultfile.h"
#include "valuation.h"

namespace {

int runResult(const QStringList& args)
{
    if (args.size() != 2 || args[0] != QLatin1String("show"))
        return fail(QStringLiteral("usage: vastrel result show FILE"));
    const ResultFileContents file = ReadResultFile(args[1]);
    const ResultWork& work = file.work;
    QString out = QStringLiteral("Student=%1\nTopicID=%2\nSaved=%3\nMaxTime=%4\nTimeRemain=%5\n")
                      .arg(work.studentName)
                      .arg(work.topicId)
                      .arg(FormatSavingTime(file.savedAt))
                      .arg(work.maxTime)
                      .arg(work.timeRemain);

    // Graded as the archive's viewer grades a saved work: every line, partial credit as the
    // criteria say (on without them).
    const QStringList answers = SplitListLines(work.answerList);
    const bool partial = PartialCreditFromCriteria(work.criteriaList);
    QStringList scores;
    const GradeTotal total = ValuateAnswerList(work.questions, work.answerList, partial, &scores, int(answers.size()));
    const QuestionSet questions(work.questions);
    for (qsizetype i = 0; i < answers.size(); ++i) {
        const QString& line = answers[i];
        const qsizetype eq = line.indexOf(u'=');
        bool isId = false;
        const int id = eq < 0 ? 0 : QStringView(line).first(eq).toInt(&isId);
        const bool graded = isId && questions.rowOf(id) >= 0 && i < scores.size();
        out += line + u'=' + (graded ? scores[i].mid(scores[i].indexOf(u'=') + 1) : QStringLiteral("missing")) + u'\n';
    }
    out += QStringLiteral("Percent=%1\n").arg(FormatFixed(total.percent.toDouble(), 1));
    if (file.hasCriteria) {
        const int mark = MarkFromPercent(work.criteriaList, total.percent);
        out += QStringLiteral("Mark=%1\n").arg(MarkText(work.criteriaList, mark));
    }
    printOut(out);
    return 0;
}

const bool registered = registerCommand(
    {"result", "result show FILE",
     "prints a saved work (.rslt4, .rslt): the student, topic, saving time and time values, a line per answer "
     "(QueID=answer=weighted score), Percent= and, with a criteria list, Mark=",
     runResult});

} // namespace
