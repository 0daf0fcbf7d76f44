#include "valuation.h"

#include "answerpattern.h"
#include "fixedtext.h"
#include "listlines.h"
#include "markscale.h"

#include <QLocale>
#include <algorithm>
#include <limits>

namespace {

const QString NoTickText = QStringLiteral("0");
const QString EmptyOpenText = QStringLiteral("***");

// Scores are kept in whole units of 1/840 percent (see ExactPercent).
constexpr qint64 FullUnits = 100 * UnitsPerPercent;

// Blanks and control characters, as typed answers and answer texts are trimmed.
QStringView trimAnswer(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= u' ')
        ++begin;
    while (end > begin && text[end - 1].unicode() <= u' ')
        --end;
    return text.sliced(begin, end - begin);
}

// A corrupt negative price must not turn the weighted mean upside down: it weighs nothing.
int weightOf(const QuestionRow& row)
{
    return std::max(row.price(), 0);
}

// right of count as units; count is at most 8, so the division is exact.
qint64 shareUnits(int right, int count)
{
    return count == 0 ? 0 : right * FullUnits / count;
}

qint64 weightedUnits(const QuestionRow& row, qint64 units, bool weight)
{
    return weight ? units * weightOf(row) : units;
}

double percentOf(qint64 units)
{
    return double(units) / double(UnitsPerPercent);
}

// Bit k set when the digit k occurs in the answer.
unsigned digitsIn(QStringView answer)
{
    unsigned digits = 0;
    for (QChar c : answer) {
        if (c >= u'0' && c <= u'9')
            digits |= 1u << (c.unicode() - u'0');
    }
    return digits;
}

// The digit at a 1-based position of an answer string, -1 when it is missing or not a digit.
int digitAt(QStringView answer, int position)
{
    if (position < 1 || position > answer.size())
        return -1;
    const char16_t c = answer[position - 1].unicode();
    return c >= u'0' && c <= u'9' ? c - u'0' : -1;
}

// The per-question percentages in units, unweighted.
qint64 choicePartialUnits(const QuestionRow& row, QStringView answer)
{
    if (answer == NoTickText)
        return 0;
    const unsigned digits = digitsIn(answer);
    int filled = 0;
    int ticked = 0;
    int agreeing = 0;
    bool rightTicked = false;
    for (int k = 1; k <= ChoiceAnswerCount; ++k) {
        if (!row.hasAnswerText(k))
            continue;
        ++filled;
        const bool tick = digits & (1u << k);
        const bool correct = row.isCorrect(k);
        if (tick)
            ++ticked;
        if (tick == correct)
            ++agreeing;
        if (tick && correct)
            rightTicked = true;
    }
    // Ticking everything, or nothing that is right, earns nothing.
    if (ticked == filled || !rightTicked)
        return 0;
    return shareUnits(agreeing, filled);
}

qint64 openAnswerUnits(const QuestionRow& row, QStringView answer)
{
    const QStringView typed = trimAnswer(answer);
    if (typed.isEmpty())
        return 0;
    for (int k = 1; k <= QuestionColumns::MaxAnswers; ++k) {
        const QString text = row.answerText(k);
        const QStringView accepted = trimAnswer(text);
        if (!accepted.isEmpty() && AnswerMatchesPattern(typed, accepted))
            return FullUnits;
    }
    return 0;
}

qint64 orderUnits(const QuestionRow& row, QStringView answer)
{
    int filled = 0;
    int right = 0;
    for (int k = 1; k <= QuestionColumns::MaxAnswers; ++k) {
        if (!row.hasAnswerText(k))
            continue;
        ++filled;
        if (digitAt(answer, k) == k)
            ++right;
    }
    return shareUnits(right, filled);
}

qint64 matchUnits(const QuestionRow& row, QStringView answer)
{
    static constexpr int Pairs = 4;
    int pairs = 0;
    int right = 0;
    for (int k = 1; k <= Pairs; ++k) {
        if (!IsAnswerPresent(row, k) || !IsAnswerPresent(row, k + Pairs))
            continue;
        ++pairs;
        const int left = digitAt(answer, k);
        if (left >= 0 && digitAt(answer, k + Pairs) == left + Pairs)
            ++right;
    }
    return shareUnits(right, pairs);
}

// The question id of an answer-list line; plain digits are read directly.
bool parseId(QStringView name, int* id)
{
    static constexpr int MaxPlainDigits = 9; // fits an int whatever the digits
    if (!name.isEmpty() && name.size() <= MaxPlainDigits) {
        int value = 0;
        bool plain = true;
        for (QChar c : name) {
            if (c < u'0' || c > u'9') {
                plain = false;
                break;
            }
            value = value * 10 + (c.unicode() - u'0');
        }
        if (plain) {
            *id = value;
            return true;
        }
    }
    bool ok = false;
    *id = name.toInt(&ok);
    return ok;
}

QuestionKind kindOf(const QuestionRow& row, bool* known)
{
    const int type = row.queType();
    *known = type >= int(QuestionKind::Choice) && type <= int(QuestionKind::Matching);
    return QuestionKind(type);
}

// The weighted score of a question in units.
qint64 scoreOfKind(QuestionKind kind, const QuestionRow& row, QStringView answer, bool partial)
{
    switch (kind) {
    case QuestionKind::Choice:
        if (partial)
            return weightedUnits(row, choicePartialUnits(row, answer), true);
        return IsChoiceExact(row, answer) ? weightedUnits(row, FullUnits, true) : 0;
    case QuestionKind::Open:
        return answer.isEmpty() ? 0 : weightedUnits(row, openAnswerUnits(row, answer), true);
    case QuestionKind::Ordering:
    case QuestionKind::Matching: {
        if (answer.isEmpty())
            return 0;
        const qint64 units = kind == QuestionKind::Ordering ? orderUnits(row, answer) : matchUnits(row, answer);
        if (!partial && units != FullUnits)
            return 0;
        return weightedUnits(row, units, true);
    }
    }
    return 0;
}

// The running sum of one total and its score list.
class TotalBuilder
{
public:
    explicit TotalBuilder(qsizetype expectedLength) : m_separator(QLocale().decimalPoint())
    {
        m_total.scoreList.reserve(expectedLength);
    }

    // Adds a question's score and writes its score line; gives the score as written.
    QStringView add(QStringView idText, qint64 scoreUnits, int price)
    {
        char16_t text[FixedTextCapacity];
        const qsizetype n = FormatFixedInto(text, percentOf(scoreUnits), 2, m_separator);
        QString& list = m_total.scoreList;
        list += idText;
        list += u'=';
        const qsizetype at = list.size();
        list += QStringView(text, n);
        list += QLatin1String("\r\n");
        m_units += scoreUnits;
        m_priceSum += price;
        return QStringView(list).sliced(at, n);
    }

    GradeTotal finish()
    {
        m_total.percent = ExactPercent(m_units, m_priceSum);
        m_total.priceSum = int(std::min<qint64>(m_priceSum, std::numeric_limits<int>::max()));
        return std::move(m_total);
    }

private:
    QString m_separator;
    GradeTotal m_total;
    ExactPercent::Int128 m_units = 0;
    qint64 m_priceSum = 0;
};

template <typename AnswerOf> QString buildList(const Table& set, const QList<int>& ids, int count, AnswerOf answerOf)
{
    const QuestionSet questions(set);
    QString list;
    const qsizetype n = std::min<qsizetype>(std::max(count, 0), ids.size());
    for (qsizetype i = 0; i < n; ++i) {
        const int r = questions.rowOf(ids[i]);
        if (r < 0)
            continue;
        list += QString::number(ids[i]) + u'=' + answerOf(questions.row(r)) + QLatin1String("\r\n");
    }
    return list;
}

} // namespace

QString BuildFactString(const QuestionRow& row)
{
    QString text;
    for (int k = 1; k <= ChoiceAnswerCount; ++k) {
        if (row.isTicked(k))
            text += QChar(u'0' + k);
    }
    return text.isEmpty() ? NoTickText : text;
}

QString BuildFactList(const Table& set, const QList<int>& ids, int count)
{
    return buildList(set, ids, count, [](const QuestionRow& row) { return BuildFactString(row); });
}

QString BuildRsltList(const Table& set, const QList<int>& ids, int count)
{
    return buildList(set, ids, count, [](const QuestionRow& row) {
        const QVariant rslt = row.rslt();
        if (!rslt.isNull())
            return rslt.toString();
        switch (row.queType()) {
        case int(QuestionKind::Open):
            return EmptyOpenText;
        case int(QuestionKind::Ordering):
        case int(QuestionKind::Matching):
            return row.howMixed();
        default:
            return NoTickText;
        }
    });
}

bool IsAnswerPresent(const QuestionRow& row, int number)
{
    return row.hasAnswerText(number) || row.hasPicture(number);
}

bool IsChoiceExact(const QuestionRow& row, QStringView answer)
{
    const unsigned digits = digitsIn(answer);
    for (int k = 1; k <= ChoiceAnswerCount; ++k) {
        if (row.isCorrect(k) != bool(digits & (1u << k)))
            return false;
    }
    return true;
}

double ChoicePartialPercent(const QuestionRow& row, QStringView answer, bool weight)
{
    return percentOf(weightedUnits(row, choicePartialUnits(row, answer), weight));
}

double OpenAnswerPercent(const QuestionRow& row, QStringView answer, bool weight)
{
    return percentOf(weightedUnits(row, openAnswerUnits(row, answer), weight));
}

double OrderPercent(const QuestionRow& row, QStringView answer, bool weight)
{
    return percentOf(weightedUnits(row, orderUnits(row, answer), weight));
}

double MatchPercent(const QuestionRow& row, QStringView answer, bool weight)
{
    return percentOf(weightedUnits(row, matchUnits(row, answer), weight));
}

double QuestionScore(const QuestionRow& row, QStringView answer, bool partial)
{
    bool known = false;
    const QuestionKind kind = kindOf(row, &known);
    return known ? percentOf(scoreOfKind(kind, row, answer, partial)) : 0.0;
}

bool PartialCreditFromCriteria(const QString& criteriaList)
{
    return CriteriaInteger(criteriaList, QStringLiteral("TakePartialRight"), -1) != 0;
}

// The Student's totals: every listed question that the set holds counts, answered or not.
template <typename ScoreOf>
GradeTotal valuateIds(const Table& set, const QList<int>& ids, const QString& criteriaList, ScoreOf scoreOf)
{
    const bool partial = PartialCreditFromCriteria(criteriaList);
    const QuestionSet questions(set);
    static constexpr int ScoreLineLength = 16;
    TotalBuilder total(ids.size() * ScoreLineLength);
    for (int id : ids) {
        const int r = questions.rowOf(id);
        if (r < 0)
            continue;
        const QuestionRow row = questions.row(r);
        total.add(QString::number(id), scoreOf(row, partial), weightOf(row));
    }
    return total.finish();
}

GradeTotal ValuateByRslt(const Table& set, const QList<int>& ids, const QString& criteriaList)
{
    return valuateIds(set, ids, criteriaList, [](const QuestionRow& row, bool partial) {
        bool known = false;
        const QuestionKind kind = kindOf(row, &known);
        return known ? scoreOfKind(kind, row, row.rslt().toString(), partial) : 0;
    });
}

GradeTotal ValuateByFacts(const Table& set, const QList<int>& ids, const QString& criteriaList)
{
    return valuateIds(set, ids, criteriaList, [](const QuestionRow& row, bool partial) {
        return scoreOfKind(QuestionKind::Choice, row, BuildFactString(row), partial);
    });
}

GradeTotal ValuateAnswerList(const QuestionSet& set, const QString& answerList, bool partial, QStringList* output,
                             int limit)
{
    if (output)
        output->clear();
    TotalBuilder total(answerList.size() * 2);
    const qint64 shownCount = -qint64(limit); // with limit <= 0: the lines shown so far
    ListLineReader lines(answerList);
    QStringView line;
    qint64 place = 0;
    while ((limit <= 0 || place < limit) && lines.next(&line)) {
        const qint64 index = place++;
        const qsizetype eq = line.indexOf(u'=');
        int id = 0;
        const int r = eq >= 0 && parseId(line.first(eq), &id) ? set.rowOf(id) : -1;
        if (r < 0) {
            if (output)
                output->append(line.toString());
            continue;
        }
        const QStringView name = line.first(eq);
        const QuestionRow row = set.row(r);
        const QStringView answer = line.sliced(eq + 1);
        bool known = false;
        const QuestionKind kind = kindOf(row, &known);
        qint64 score = 0;
        const bool notShownYet =
            limit <= 0 && index >= shownCount && (kind == QuestionKind::Ordering || kind == QuestionKind::Matching);
        if (known && !notShownYet)
            score = scoreOfKind(kind, row, answer, partial);
        const QStringView scoreText = total.add(name, score, weightOf(row));
        if (output) {
            QString outputLine;
            outputLine.reserve(name.size() + 1 + scoreText.size());
            outputLine.append(name).append(u'=').append(scoreText);
            output->append(std::move(outputLine));
        }
    }
    // Lines past the limit are copied as they are.
    if (output)
        output->append(SplitListLines(lines.rest()));
    return total.finish();
}

GradeTotal ValuateAnswerList(const Table& set, const QString& answerList, bool partial, QStringList* output, int limit)
{
    return ValuateAnswerList(QuestionSet(set), answerList, partial, output, limit);
}
