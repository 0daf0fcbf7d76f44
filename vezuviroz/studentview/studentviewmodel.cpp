#include "studentviewmodel.h"

#include "fixedtext.h"
#include "listlines.h"
#include "studentviewtexts.h"
#include "valuation.h"

#include <algorithm>

namespace {

constexpr int SecondsPerMinute = 60;
constexpr double FullPercent = 100;
// Matching: answer k (left column) is the partner of answer k + PairOffset (right column).
constexpr int PairOffset = 4;

// The answer number (1..8) at 1-based position n of an answer string; 0 when there is none there.
int digitAt(QStringView answer, int n)
{
    if (n < 1 || n > answer.size())
        return 0;
    const int digit = answer[n - 1].unicode() - u'0';
    return digit >= 1 && digit <= StudentView::SlotCount ? digit : 0;
}

QString columnText(const QuestionRow& row, const QString& column)
{
    return row.table().value(row.index(), column).toString();
}

QByteArray pictureOf(const QuestionRow& row, int number)
{
    return row.hasPicture(number) ? row.table().value(row.index(), QStringLiteral("Pict%1").arg(number)).toByteArray()
                                  : QByteArray();
}

// Slot n showing answer `number` of the question.
AnswerSlotView slotOf(const QuestionRow& row, int number)
{
    AnswerSlotView slot;
    slot.shown = number >= 1 && IsAnswerPresent(row, number);
    if (slot.shown) {
        slot.text = row.answerText(number);
        slot.picture = pictureOf(row, number);
    }
    return slot;
}

QuestionKind shownKind(const QuestionRow& row)
{
    const int type = row.queType();
    // a kind the view does not know is shown with its answers as a choice question
    return type >= int(QuestionKind::Choice) && type <= int(QuestionKind::Matching) ? QuestionKind(type)
                                                                                    : QuestionKind::Choice;
}

} // namespace

double QuestionOwnPercent(const QuestionRow& question, QStringView answer, bool partialCredit)
{
    switch (question.queType()) {
    case int(QuestionKind::Choice):
        if (!partialCredit && IsChoiceExact(question, answer))
            return FullPercent;
        return ChoicePartialPercent(question, answer, false);
    case int(QuestionKind::Open):
        return answer.isEmpty() ? 0 : OpenAnswerPercent(question, answer, false);
    case int(QuestionKind::Ordering):
        return answer.isEmpty() ? 0 : OrderPercent(question, answer, false);
    case int(QuestionKind::Matching):
        return answer.isEmpty() ? 0 : MatchPercent(question, answer, false);
    default:
        return 0;
    }
}

StudentViewRow StudentViewRow::fromFields(const std::function<QVariant(const QString& column)>& field)
{
    StudentViewRow r;
    r.address = field(QStringLiteral("IP")).toString();
    r.results = field(QStringLiteral("Results")).toString();
    r.timeLimit = field(QStringLiteral("TimeLimit")).toBool();
    r.maxTime = field(QStringLiteral("MaxTime")).toInt();
    r.timeRemain = field(QStringLiteral("TimeRemain")).toInt();
    r.takePartialRight = field(QStringLiteral("TakePartialRight")).toBool();
    r.priceSum = field(QStringLiteral("PriceSum")).toInt();
    r.questionsGiven = field(QStringLiteral("QuestionsGiven")).toBool();
    r.topicId = field(QStringLiteral("CurrentTopicID")).toInt();
    return r;
}

StudentViewModel::StudentViewModel() = default;
StudentViewModel::~StudentViewModel() = default;

void StudentViewModel::setRow(const StudentViewRow& row, const Table* questions)
{
    m_row = row;
    m_lines = SplitListLines(row.results);
    m_lines.removeAll(QString()); // blank lines are no questions
    m_set.reset();
    m_questions = questions ? *questions : Table();
    if (questions)
        m_set = std::make_unique<QuestionSet>(m_questions);
    refresh();
}

void StudentViewModel::clear()
{
    m_row.reset();
    m_lines.clear();
    m_set.reset();
    m_questions = Table();
    refresh();
}

void StudentViewModel::firstQuestion()
{
    m_index = 0;
    refresh();
}

bool StudentViewModel::previous()
{
    if (!m_view.previousEnabled)
        return false;
    --m_index;
    refresh();
    return true;
}

bool StudentViewModel::next()
{
    if (!m_view.nextEnabled)
        return false;
    ++m_index;
    refresh();
    return true;
}

void StudentViewModel::refresh()
{
    m_view = StudentView();
    if (!m_row || m_lines.isEmpty())
        return;
    const StudentViewRow& row = *m_row;
    const int count = int(m_lines.size());
    m_index = std::clamp(m_index, 0, count - 1);
    m_view.hasData = true;
    m_view.numberText = StudentViewTexts::QuestionNumber.arg(m_index + 1).arg(count);
    m_view.previousEnabled = m_index > 0;
    m_view.nextEnabled = m_index < count - 1;

    m_view.timeShown = row.timeLimit;
    if (row.timeLimit) {
        m_view.timeMaximum = std::max(row.maxTime, 0);
        m_view.timeValue = std::clamp(row.timeRemain, 0, m_view.timeMaximum);
        m_view.minutesText = StudentViewTexts::Minutes.arg(row.timeRemain / SecondsPerMinute);
        m_view.timeShort = row.timeRemain < StudentView::ShortTimeSeconds;
    }

    const QString& line = m_lines[m_index];
    const qsizetype separator = line.indexOf(u'=');
    const QString answer = separator < 0 ? QString() : line.mid(separator + 1);
    if (answer.isEmpty()) {
        // the computer's route has not come in whole: it is asked for it again
        m_view.needRoute = true;
        return;
    }
    bool idOk = false;
    const int queId = line.left(separator).trimmed().toInt(&idOk);
    const int r = m_set && idOk ? m_set->rowOf(queId) : -1;
    if (r >= 0)
        showQuestion(m_set->row(r), answer);
}

void StudentViewModel::showQuestion(const QuestionRow& question, const QString& answer)
{
    const StudentViewRow& row = *m_row;
    StudentView& v = m_view;
    v.hasQuestion = true;
    v.kind = shownKind(question);
    v.question = columnText(question, QStringLiteral("Question"));
    v.questionPicture = question.table().value(question.index(), QStringLiteral("QuePict")).toByteArray();

    switch (v.kind) {
    case QuestionKind::Choice:
        for (int n = 1; n <= StudentView::SlotCount; ++n) {
            AnswerSlotView& slot = v.slots[n - 1];
            slot = slotOf(question, n);
            slot.checkBox = question.hasAnswerText(n);
            slot.ticked = slot.checkBox && answer.contains(QChar(u'0' + n));
            slot.right = question.isCorrect(n);
        }
        break;
    case QuestionKind::Open:
        v.openAnswer = answer == StudentViewTexts::EmptyOpenAnswer ? QString() : answer;
        v.rightAnswer = question.answerText(1);
        for (int k = 2; k <= StudentView::SlotCount; ++k) {
            if (question.hasAnswerText(k))
                v.variants.append(question.answerText(k));
        }
        break;
    case QuestionKind::Ordering:
        for (int n = 1; n <= StudentView::SlotCount; ++n) {
            const int number = digitAt(answer, n);
            AnswerSlotView& slot = v.slots[n - 1];
            slot = slotOf(question, number);
            slot.right = number == n;
            if (slot.shown)
                slot.orderLabel = QString::number(number);
        }
        break;
    case QuestionKind::Matching:
        for (int n = 1; n <= StudentView::SlotCount; ++n) {
            const int number = digitAt(answer, n);
            const bool left = n <= PairOffset;
            const int partner = digitAt(answer, left ? n + PairOffset : n - PairOffset);
            AnswerSlotView& slot = v.slots[n - 1];
            slot = slotOf(question, number);
            slot.right =
                number > 0 && partner > 0 && (left ? number + PairOffset == partner : number - PairOffset == partner);
            if (slot.shown && !left)
                slot.orderLabel = QString::number(number);
        }
        break;
    }
    for (AnswerSlotView& slot : v.slots) {
        if (!slot.shown)
            slot = AnswerSlotView();
    }

    const double percent = QuestionOwnPercent(question, answer, row.takePartialRight);
    const QString percentText = FormatFixed(percent, 0);
    v.scoreText = !row.takePartialRight && percent < FullPercent
                      ? StudentViewTexts::CorrectnessNotCounted.arg(percentText)
                      : StudentViewTexts::Correctness.arg(percentText);
    const int price = question.price();
    v.price = QString::number(price);
    if (row.priceSum != 0)
        v.priceShare = StudentViewTexts::PriceShare.arg(FormatFixed(price * FullPercent / row.priceSum, 1));
}
