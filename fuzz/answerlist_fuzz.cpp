// Answer lists come from the students' computers and from result files. Input: a limit byte
// (signed), a partial-credit byte (odd: on), then the answer list in Windows-1251. It is graded
// against a fixed topic with every kind of question, odd prices and an unknown kind. Whatever the
// list, the total lies between 0 and 100 %, every line comes back in the output list, and the
// graded lines agree with the score list.
#include "codec.h"
#include "gradingfixture.h"
#include "listlines.h"
#include "valuation.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

Table makeTopic()
{
    Table table = fixture::questionTable();
    // id, kind, price, filled answers; kind 7 is unknown, price -3 corrupt.
    const int questions[][4] = {{1, 0, 1, 5},  {2, 0, 10, 7}, {3, 1, 2, 3},          {4, 2, 3, 8},
                                {5, 2, 7, 3},  {6, 3, 4, 8},  {7, 3, 1, 6},          {8, 7, 5, 2},
                                {9, 1, -3, 1}, {10, 2, 0, 4}, {11, 0, 2147483647, 6}};
    for (const auto& [id, kind, price, filled] : questions) {
        fixture::Question q;
        q.id = id;
        q.type = kind;
        q.price = price;
        q.correct = QStringLiteral("1357");
        for (int k = 1; k <= filled; ++k)
            q.answers.append(kind == 1 ? QStringLiteral("[a-я]*%1?").arg(k) : QString::number(k));
        fixture::addQuestion(table, q);
    }
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Table topic = makeTopic();
    static const QuestionSet set(topic);
    if (size < 2)
        return 0;
    const int limit = int(int8_t(data[0]));
    const bool partial = data[1] & 1;
    const QString list = fromCp1251(QByteArray(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2)));

    QStringList output;
    const GradeTotal total = ValuateAnswerList(set, list, partial, &output, limit);
    if (!total.percent.reaches(0) || total.percent.reaches(101) || total.percent.wholePart() > 100)
        std::abort();
    const double percent = total.percent.toDouble();
    if (!(percent >= 0 && percent <= 100) || total.priceSum < 0)
        std::abort();
    // Every line is given back, graded or copied.
    const QStringList lines = SplitListLines(list);
    if (output.size() != lines.size())
        std::abort();
    // The score lines are the graded lines of the output, in order.
    QStringList graded;
    for (qsizetype i = 0; i < output.size(); ++i) {
        if (output[i] != lines[i])
            graded.append(output[i]);
    }
    const QStringList scores = SplitListLines(total.scoreList);
    for (const QString& line : graded) {
        if (!scores.contains(line))
            std::abort();
    }
    // The same list without an output list gives the same total.
    if (!(ValuateAnswerList(set, list, partial, nullptr, limit).percent == total.percent))
        std::abort();
    return 0;
}
