#include "valuation.h"

#include "answerpattern.h"
#include "markscale.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

QString LastScoreList;
double LastResultPercent = 0;
int PriceSum = 0;

namespace {

const QString NoTickText = QStringLiteral("0");
const QString EmptyOpenText = QStringLiteral("***");

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

double weighted(const QuestionRow& row, double percent, bool weight)
{
    return weight ? percent * weightOf(row) : percent;
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

QString decimalSeparator()
{
    return QLocale().decimalPoint();
}

// "%.<decimals>F" exactly as printf rounds it, with the given decimal separator, into out;
// gives the length. The score list is written for every report the server receives, so this
// avoids the locale's general formatter and any allocation.
static constexpr int FixedBufferSize = 400; // the longest double in fixed notation, and then some

qsizetype formatFixedInto(char16_t* out, double value, int decimals, QStringView separator)
{
    char buffer[FixedBufferSize];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer - 8, value, std::chars_format::fixed, std::clamp(decimals, 0, 20));
    qsizetype n = 0;
    if (result.ec != std::errc()) // not reached for finite values
        return 0;
    for (const char* c = buffer; c != result.ptr; ++c) {
        if (*c == '.') {
            for (QChar s : separator)
                out[n++] = s.unicode();
        } else {
            out[n++] = char16_t(uchar(*c));
        }
    }
    return n;
}

QString formatFixed(double value, int decimals, QStringView separator)
{
    char16_t text[FixedBufferSize + 16];
    return QString(reinterpret_cast<const QChar*>(text), formatFixedInto(text, value, decimals, separator));
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

double scoreOfKind(QuestionKind kind, const QuestionRow& row, QStringView answer, bool partial)
{
    switch (kind) {
    case QuestionKind::Choice:
        if (partial)
            return answer == NoTickText ? 0.0 : ChoicePartialPercent(row, answer, true);
        return IsChoiceExact(row, answer) ? 100.0 * weightOf(row) : 0.0;
    case QuestionKind::Open:
        return answer.isEmpty() ? 0.0 : OpenAnswerPercent(row, answer, true);
    case QuestionKind::Ordering:
    case QuestionKind::Matching: {
        if (answer.isEmpty())
            return 0.0;
        const double percent =
            kind == QuestionKind::Ordering ? OrderPercent(row, answer, false) : MatchPercent(row, answer, false);
        if (!partial && percent != 100.0)
            return 0.0;
        return weighted(row, percent, true);
    }
    }
    return 0.0;
}

// The running sum of one total and its score list.
class Total
{
public:
    explicit Total(qsizetype expectedLength) : m_separator(decimalSeparator()) { m_scoreList.reserve(expectedLength); }

    // Adds a question's score and writes its score line; gives the score as written.
    QStringView add(QStringView idText, double score, int price)
    {
        char16_t text[FixedBufferSize + 16];
        const qsizetype n = formatFixedInto(text, score, 2, m_separator);
        m_scoreList += idText;
        m_scoreList += u'=';
        const qsizetype at = m_scoreList.size();
        m_scoreList += QStringView(text, n);
        m_scoreList += QLatin1String("\r\n");
        m_sum += score;
        m_priceSum += price;
        return QStringView(m_scoreList).sliced(at, n);
    }

    // Stores the process-wide results and gives the total percentage.
    double finish()
    {
        const double percent = m_priceSum == 0 ? 0.0 : m_sum / double(m_priceSum);
        LastScoreList = m_scoreList;
        LastResultPercent = percent;
        PriceSum = int(std::clamp<qint64>(m_priceSum, 0, std::numeric_limits<int>::max()));
        return percent;
    }

private:
    QString m_separator;
    QString m_scoreList;
    double m_sum = 0;
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

QString FormatFixed(double value, int decimals)
{
    return formatFixed(value, decimals, decimalSeparator());
}

QStringList SplitListLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

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
    if (answer == NoTickText)
        return 0.0;
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
        return 0.0;
    return weighted(row, double(agreeing) / filled * 100, weight);
}

double OpenAnswerPercent(const QuestionRow& row, QStringView answer, bool weight)
{
    const QStringView typed = trimAnswer(answer);
    if (typed.isEmpty())
        return 0.0;
    for (int k = 1; k <= QuestionColumns::MaxAnswers; ++k) {
        const QString text = row.answerText(k);
        const QStringView accepted = trimAnswer(text);
        if (!accepted.isEmpty() && AnswerMatchesPattern(typed, accepted))
            return weighted(row, 100.0, weight);
    }
    return 0.0;
}

double OrderPercent(const QuestionRow& row, QStringView answer, bool weight)
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
    return filled == 0 ? 0.0 : weighted(row, double(right) * 100 / filled, weight);
}

double MatchPercent(const QuestionRow& row, QStringView answer, bool weight)
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
    return pairs == 0 ? 0.0 : weighted(row, double(right) * 100 / pairs, weight);
}

double QuestionScore(const QuestionRow& row, QStringView answer, bool partial)
{
    bool known = false;
    const QuestionKind kind = kindOf(row, &known);
    return known ? scoreOfKind(kind, row, answer, partial) : 0.0;
}

bool PartialCreditFromCriteria(const QString& criteriaList)
{
    return CriteriaInteger(criteriaList, QStringLiteral("TakePartialRight"), -1) != 0;
}

// The Student's totals: every listed question that the set holds counts, answered or not.
template <typename ScoreOf>
double valuateIds(const Table& set, const QList<int>& ids, const QString& criteriaList, ScoreOf scoreOf)
{
    const bool partial = PartialCreditFromCriteria(criteriaList);
    const QuestionSet questions(set);
    static constexpr int ScoreLineLength = 16;
    Total total(ids.size() * ScoreLineLength);
    for (int id : ids) {
        const int r = questions.rowOf(id);
        if (r < 0)
            continue;
        const QuestionRow row = questions.row(r);
        total.add(QString::number(id), scoreOf(row, partial), weightOf(row));
    }
    return total.finish();
}

double ValuateByRslt(const Table& set, const QList<int>& ids, const QString& criteriaList)
{
    return valuateIds(set, ids, criteriaList, [](const QuestionRow& row, bool partial) {
        return QuestionScore(row, row.rslt().toString(), partial);
    });
}

double ValuateByFacts(const Table& set, const QList<int>& ids, const QString& criteriaList)
{
    return valuateIds(set, ids, criteriaList, [](const QuestionRow& row, bool partial) {
        return scoreOfKind(QuestionKind::Choice, row, BuildFactString(row), partial);
    });
}

double ValuateAnswerList(const QuestionSet& set, const QString& answerList, bool partial, QStringList* output,
                         int limit)
{
    if (output)
        output->clear();
    Total total(answerList.size() * 2);
    const qint64 shownCount = -qint64(limit); // with limit <= 0: the lines shown so far
    const QStringView text(answerList);
    const qsizetype n = text.size();
    qsizetype start = 0;
    qint64 place = 0;
    while (start < n && (limit <= 0 || place < limit)) {
        qsizetype end = start;
        while (end < n && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const QStringView line = text.sliced(start, end - start);
        start = end + (end + 1 < n && text[end] == u'\r' && text[end + 1] == u'\n' ? 2 : 1);

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
        double score = 0.0;
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
    if (output && start < n)
        output->append(SplitListLines(answerList.mid(start)));
    return total.finish();
}

double ValuateAnswerList(const Table& set, const QString& answerList, bool partial, QStringList* output, int limit)
{
    return ValuateAnswerList(QuestionSet(set), answerList, partial, output, limit);
}
