#include "testengine.h"

#include "adtg.h"
#include "apperror.h"
#include "appfolder.h"
#include "archive.h"
#include "enginetexts.h"
#include "fixedtext.h"
#include "listlines.h"
#include "markscale.h"
#include "questionfile.h"
#include "resultfile.h"
#include "runlog.h"
#include "valuation.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>

namespace {

// The work folder "Temp" under the program's folder, made when missing.
QString tempFolder()
{
    const QString temp = AppFilePath(QStringLiteral("Temp"));
    QDir().mkpath(temp);
    return temp;
}

const QString DefaultOrder = QStringLiteral("12345678");
static constexpr int MatchingPairs = 4;
static constexpr int SecondsPerMinute = 60;
static constexpr int HowMixedSize = 50;
static constexpr int RsltSize = 255;

class QtEngineTimer : public EngineTimer
{
public:
    QtEngineTimer(std::function<void()> onTimeout, bool singleShot)
    {
        m_timer.setSingleShot(singleShot);
        QObject::connect(&m_timer, &QTimer::timeout, std::move(onTimeout));
    }
    void start(int intervalMs) override { m_timer.start(intervalMs); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

QString digit(int n)
{
    return QString(QChar(u'0' + n));
}

// The digits of an arrangement source; the answers in stored order when the text is no
// arrangement of n answers (a damaged working field must not move answers off the screen).
Arrangement arrangementOf(const QString& text, int n)
{
    Arrangement a{};
    const QString& source = text.size() >= n ? text : DefaultOrder;
    for (int k = 0; k < MaxAnswerPositions; ++k) {
        const int d = k < source.size() ? source[k].unicode() - u'0' : k + 1;
        a[k] = d >= 1 && d <= MaxAnswerPositions ? d : k + 1;
    }
    return a;
}

QString percentShare(double part, int whole)
{
    return FormatFixed(part * 100.0 / whole, 1) + u'%';
}

// The weighted score of each score-list line, in list order, read with the locale's separator.
QList<double> scoresOf(const QString& scoreList)
{
    QList<double> scores;
    const QLocale locale;
    for (const QString& line : SplitListLines(scoreList)) {
        const qsizetype eq = line.indexOf(u'=');
        scores.append(eq < 0 ? 0.0 : locale.toDouble(QStringView(line).sliced(eq + 1)));
    }
    return scores;
}

} // namespace

TimerFactory EventLoopTimers()
{
    return [](std::function<void()> onTimeout, bool singleShot) -> std::unique_ptr<EngineTimer> {
        return std::make_unique<QtEngineTimer>(std::move(onTimeout), singleShot);
    };
}

TestEngine::TestEngine(EngineSender& sender, EngineNotices& notices, quint32 seed, TimerFactory timers, QObject* parent)
    : QObject(parent), m_sender(sender), m_notices(notices), m_random(seed),
      m_countdown(timers([this] { WorkTimerTimer(); }, false)), m_setWait(timers([this] { RcvQueTimerTimer(); }, true))
{
    clearView();
}

TestEngine::~TestEngine() = default;

bool TestEngine::timed() const
{
    // A limit of no minutes is no limit: the countdown would start at 0 and never end the test.
    return m_settings.TimeLimit && m_settings.MaxTime > 0;
}

// --- settings and question sets ---

bool TestEngine::ApplySettingsList(const QString& text, bool fromFile)
{
    SettingsListValues values;
    try {
        values = ReadSettingsList(text, fromFile ? SettingsListSource::TopicSettingsFile : SettingsListSource::Network);
    } catch (const AppError& e) {
        LogText(EngineText::SettingsRefusedLog.arg(e.message()));
        if (fromFile) {
            m_notices.tellUser(e.message());
        } else {
            // The question set that follows belongs to this list: it is refused too.
            m_settingsRefused = true;
            failSetIntake(e.message());
        }
        return false;
    }
    m_settings = values;
    m_settingsRefused = false;
    m_criteriaList = JoinListLines(values.criteriaList);
    if (!fromFile) {
        m_notices.applyAppearance(values.appearance);
        m_phase = TestPhase::Waiting;
        stopCountdown(); // no clock runs without a test
        m_setWait->start(QuestionSetWaitMs);
    }
    updateButtons();
    Q_EMIT changed();
    return true;
}

void TestEngine::failSetIntake(const QString& problem)
{
    m_sender.reportReceivingFailure();
    Q_EMIT questionSetRefused();
    m_notices.tellUser(EngineText::SetNotTaken);
    m_notices.tellUser(problem);
}

bool TestEngine::LoadQuestionSet(const QByteArray& package)
{
    if (m_settingsRefused) {
        LogText(EngineText::SetAfterRefusedSettingsLog);
        return false;
    }
    const QString temp = tempFolder();
    const QString packagePath = QDir(temp).filePath(EngineText::PackageName);
    {
        QFile file(packagePath);
        const bool written =
            file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(package) == package.size();
        file.close();
        if (!written) { // a short write stops the load without a word; the wait then resets
            QFile::remove(packagePath);
            return false;
        }
    }
    try {
        // Unpacked into a folder of its own: whatever the package holds goes away with it.
        QTemporaryDir unpacked(QDir(temp).filePath(QStringLiteral("set-XXXXXX")));
        if (!unpacked.isValid())
            throw AppError(unpacked.errorString());
        QString member;
        for (const TZLibEntry& entry : TZLibCompression().DecompressFiles(packagePath, unpacked.path()))
            if (entry.name.compare(EngineText::SetMemberName, Qt::CaseInsensitive) == 0)
                member = entry.name;
        if (member.isEmpty())
            throw AppError(EngineText::NoSetMember);
        takeSet(ReadAdtgFile(QDir(unpacked.path()).filePath(member)));
    } catch (const AppError& e) {
        QFile::remove(packagePath);
        failSetIntake(e.message());
        return false;
    }
    QFile::remove(packagePath);
    return true;
}

bool TestEngine::LoadQuestionSet(Table questions)
{
    try {
        takeSet(std::move(questions));
    } catch (const AppError& e) {
        m_notices.tellUser(e.message());
        return false;
    }
    return true;
}

// The working fields belong to this test: a set never brings ticks or answers of its own. Fields
// the set lacks are added, unless that would change its format (the column count tells it).
static void prepareWorkingColumns(Table& set, bool seven)
{
    const int answers = seven ? MaxAnswerPositions - 1 : MaxAnswerPositions;
    QList<Column> missing;
    const auto need = [&](const QString& name, ColumnType type, int size, bool nullable) {
        if (!set.hasColumn(name))
            missing.append({name, type, size, nullable});
    };
    need(QStringLiteral("Used"), ColumnType::Bool, 0, false);
    for (int k = 1; k <= answers; ++k)
        need(QStringLiteral("Fact%1").arg(k), ColumnType::Bool, 0, false);
    need(QStringLiteral("Rslt"), ColumnType::Text, RsltSize, true);
    need(QStringLiteral("HowMixed"), ColumnType::Text, HowMixedSize, true);
    if (!missing.isEmpty() && (set.columnCount() + missing.size() < QuestionColumns::EightAnswerMinColumns) != seven)
        throw AppError(EngineText::NoWorkingField.arg(missing.first().name));
    for (const Column& c : missing) {
        set.addColumn(c);
        for (int r = 0; r < set.rowCount(); ++r)
            set.setValue(r, set.columnCount() - 1, c.nullable ? QVariant() : QVariant(false));
    }
    const QuestionColumns columns(set);
    for (int r = 0; r < set.rowCount(); ++r) {
        for (int k = 0; k < answers; ++k)
            set.setValue(r, columns.fact[k], false);
        set.setValue(r, columns.rslt, QVariant());
    }
}

void TestEngine::takeSet(Table questions)
{
    // Everything that can refuse the set runs before the running test is touched.
    const int idColumn = questions.columnIndex(QStringLiteral("QueID"));
    if (idColumn < 0 || questions.rowCount() == 0 || m_settings.GiveMaxCount <= 0)
        throw AppError(EngineText::EmptySet);
    QSet<int> ids;
    for (int r = 0; r < questions.rowCount(); ++r) {
        const int id = questions.value(r, idColumn).toInt();
        if (ids.contains(id))
            throw AppError(EngineText::RepeatedQuestion.arg(id));
        ids.insert(id);
    }
    const bool seven = questions.columnCount() < QuestionColumns::EightAnswerMinColumns;
    prepareWorkingColumns(questions, seven);

    m_set = std::move(questions);
    m_sevenAnswer = seven;
    m_columns = QuestionColumns(m_set);
    SelectQuestions();
    BuildHowMixed();
    m_notices.closeDetails();
    m_highestShown = -1;
    m_index = 0;
    m_phase = TestPhase::Answering;
    m_nextAction = NextAction::NextQuestion;
    m_questionReadyEnabled = true;
    m_readyDone = false;
    m_gaugeRed = false;
    stopCountdown();
    m_secondsLeft = timed() ? m_settings.MaxTime * SecondsPerMinute : 0;
    ShowQuestion(0);
    if (timed())
        m_countdown->start(CountdownMs);
    updateTime();
    m_notices.withdrawAllNotices();
    LogText(EngineText::SetReceivedLog);
    Q_EMIT changed();
}

int TestEngine::draw(int n)
{
    return int(m_random.bounded(quint32(n))) + 1;
}

void TestEngine::SelectQuestions()
{
    const int rows = m_set.rowCount();
    const int count = std::min(m_settings.GiveMaxCount, rows);
    const int used = m_set.columnIndex(QStringLiteral("Used"));
    m_presentation.clear();
    m_priceSum = 0;
    for (int r = 0; r < rows; ++r)
        m_set.setValue(r, used, false);
    const auto take = [&](int r) {
        const QuestionRow row(m_columns, m_set, r);
        m_presentation.append(row.queId());
        m_priceSum += row.price();
        m_set.setValue(r, used, true);
    };
    for (int i = 0; i < count; ++i) {
        if (m_settings.RandomOrder) {
            int r = draw(rows) - 1;
            while (m_set.value(r, used).toBool())
                r = draw(rows) - 1;
            take(r);
        } else {
            take(i);
        }
    }
    m_routePending = true;
    for (int r = rows - 1; r >= 0; --r)
        if (!m_set.value(r, used).toBool())
            m_set.removeRow(r);
    m_rows.clear();
    for (int r = 0; r < m_set.rowCount(); ++r)
        m_rows.insert(QuestionRow(m_columns, m_set, r).queId(), r);
}

QuestionKind TestEngine::kindOf(const QuestionRow& row) const
{
    const int type = row.queType(); // always a choice in the seven-answer format
    return type >= int(QuestionKind::Choice) && type <= int(QuestionKind::Matching) ? QuestionKind(type)
                                                                                    : QuestionKind::Choice;
}

void TestEngine::BuildHowMixed()
{
    for (int id : std::as_const(m_presentation)) {
        const int r = rowIndexOf(id);
        const QuestionRow row(m_columns, m_set, r);
        const QString mixed =
            kindOf(row) == QuestionKind::Matching ? MixHalf(row, 1, 4) + MixHalf(row, 5, 8) : MixPositions(row);
        m_set.setValue(r, m_columns.howMixed, mixed);
    }
}

QString TestEngine::MixPositions(const QuestionRow& row)
{
    const int n = answerCount();
    if (!m_settings.MixAnswers)
        return DefaultOrder.left(n);
    QString mixed;
    for (int k = 1; k <= n; ++k) {
        if (!row.hasAnswerText(k)) { // an empty answer, or one with only a picture, keeps its place
            mixed += digit(k);
            continue;
        }
        int r = draw(n);
        while (mixed.contains(digit(r)) || !row.hasAnswerText(r))
            r = draw(n);
        mixed += digit(r);
    }
    return mixed;
}

QString TestEngine::MixHalf(const QuestionRow& row, int from, int to)
{
    const int base = to - MatchingPairs;
    QString mixed;
    for (int k = from; k <= to; ++k) {
        if (!row.hasAnswerText(k)) {
            mixed += digit(k);
            continue;
        }
        int r = base + draw(MatchingPairs);
        while (mixed.contains(digit(r)) || !row.hasAnswerText(r))
            r = base + draw(MatchingPairs);
        mixed += digit(r);
    }
    return mixed;
}

// --- showing a question ---

QuestionRow TestEngine::rowOf(int index) const
{
    return QuestionRow(m_columns, m_set, rowIndexOf(m_presentation[index]));
}

void TestEngine::ShowQuestion(int index)
{
    const QuestionRow row = rowOf(index);
    const QuestionKind kind = kindOf(row);
    const int n = answerCount();
    EngineView& v = m_view;
    v.hasQuestion = true;
    v.index = index;
    v.count = int(m_presentation.size());
    v.row = row.index();
    v.queId = row.queId();
    v.kind = kind;
    v.answerCount = n;

    const QString rslt = row.rslt().toString();
    const QString howMixed = row.howMixed();
    m_arrangement = arrangementOf(rslt.isEmpty() ? howMixed : rslt, n);
    const Arrangement mixed = arrangementOf(howMixed, n);
    v.marksShown = m_phase == TestPhase::Reviewing || m_phase == TestPhase::Confirmed;
    v.rightAnswerShown = v.marksShown && kind == QuestionKind::Open;
    v.rightCount = 0;
    for (int k = 1; k <= n; ++k)
        v.rightCount += row.isCorrect(k) ? 1 : 0;
    for (int k = 1; k <= MaxAnswerPositions; ++k) {
        AnswerPosition& p = v.positions[k - 1];
        p = {};
        if (k > n)
            continue;
        p.answer = kind == QuestionKind::Choice ? mixed[k - 1] : kind == QuestionKind::Open ? 1 : m_arrangement[k - 1];
        p.shown = IsAnswerPresent(row, p.answer);
        if (!v.marksShown || !p.shown)
            continue;
        switch (kind) {
        case QuestionKind::Choice:
            p.right = row.isCorrect(p.answer);
            break;
        case QuestionKind::Open:
            break;
        case QuestionKind::Ordering:
            p.right = p.answer == k;
            p.orderMark = p.answer;
            break;
        case QuestionKind::Matching:
            if (k <= MatchingPairs) {
                p.right = m_arrangement[k + MatchingPairs - 1] == p.answer + MatchingPairs;
            } else {
                p.right = p.answer == m_arrangement[k - MatchingPairs - 1] + MatchingPairs;
                for (int left = 1; left <= MatchingPairs; ++left)
                    if (m_arrangement[left - 1] + MatchingPairs == p.answer)
                        p.orderMark = left;
            }
            break;
        }
    }
    v.price = row.price();
    v.pricePanelShown = m_settings.ShowPrice;
    v.priceShare = m_priceSum == 0 ? QString() : u'(' + percentShare(row.price(), m_priceSum) + u')';
    if (index > m_highestShown)
        m_highestShown = index;
    v.titleSuffix = EngineText::TitleQuestionOf.arg(index + 1).arg(v.count);
    v.questionNumber = EngineText::QuestionOf.arg(index + 1).arg(v.count);
    v.rightCountShown = kind == QuestionKind::Choice && m_settings.ShowRightCount;
    if (m_settings.ShowRightsInstant && m_phase == TestPhase::Answering)
        m_nextAction = NextAction::QuestionReady;
    else if (m_phase == TestPhase::Confirmed)
        m_nextAction = NextAction::NextQuestion;
    m_index = index;
    updateButtons();
    Q_EMIT changed();
}

void TestEngine::updateButtons()
{
    EngineView& v = m_view;
    const bool waiting = m_phase == TestPhase::Waiting || !v.hasQuestion;
    const int last = int(m_presentation.size()) - 1;
    v.nextAction = m_nextAction;
    v.prevVisible = m_settings.AllowBack || m_phase == TestPhase::Reviewing;
    v.prevEnabled = !waiting && m_phase != TestPhase::Finished &&
                    (m_settings.AllowBack || m_phase == TestPhase::Reviewing) && m_index >= 1;
    v.nextEnabled = !waiting && (m_nextAction == NextAction::QuestionReady ? m_questionReadyEnabled : m_index < last);
    v.readyEnabled = !waiting && !m_readyDone && m_index == last &&
                     (m_phase == TestPhase::Answering || m_phase == TestPhase::Confirmed);
    v.questionReadyEnabled = m_questionReadyEnabled;
    v.answersEnabled = m_phase == TestPhase::Answering;
    v.criteriaEnabled = m_phase != TestPhase::Waiting;
}

void TestEngine::updateTime()
{
    EngineView& v = m_view;
    v.timeShown = timed() && (m_phase == TestPhase::Answering || m_phase == TestPhase::Confirmed);
    v.secondsLeft = m_secondsLeft;
    v.secondsTotal = timed() ? m_settings.MaxTime * SecondsPerMinute : 0;
    v.minutesText = EngineText::Minutes.arg(m_secondsLeft / SecondsPerMinute);
    v.secondsText = EngineText::Seconds.arg(m_secondsLeft % SecondsPerMinute);
    v.gaugeRed = m_gaugeRed;
}

// --- answers ---

void TestEngine::ToggleTick(int answerNumber)
{
    if (m_phase != TestPhase::Answering || !m_view.hasQuestion || m_view.kind != QuestionKind::Choice ||
        answerNumber < 1 || answerNumber > answerCount())
        return;
    const int r = m_view.row;
    const int column = m_columns.fact[answerNumber - 1];
    m_set.setValue(r, column, !m_set.value(r, column).toBool());
    Q_EMIT changed();
}

void TestEngine::SetOpenAnswer(const QString& text)
{
    if (m_phase != TestPhase::Answering || !m_view.hasQuestion || m_view.kind != QuestionKind::Open)
        return;
    // A line break or NUL would end the answer's line in the lists and its field on the wire; an
    // answer longer than its field could not be saved with the work.
    QString answer = text;
    for (QChar& c : answer)
        if (c.unicode() < u' ')
            c = u' ';
    // A set's file declares its text columns wider than the bank keeps them; the bank's width holds.
    const int declared = m_set.column(m_columns.rslt).size;
    const int size = declared > 0 ? std::min(declared, RsltSize) : RsltSize;
    m_set.setValue(m_view.row, m_columns.rslt, answer.left(size));
}

bool TestEngine::SetArrangement(const Arrangement& arrangement)
{
    if (m_phase != TestPhase::Answering || !m_view.hasQuestion ||
        (m_view.kind != QuestionKind::Ordering && m_view.kind != QuestionKind::Matching))
        return false;
    const QuestionRow row = rowOf(m_index);
    // Rows of absent answers, and the left column of a matching question, never move.
    const int firstMovable = m_view.kind == QuestionKind::Matching ? MatchingPairs + 1 : 1;
    Arrangement before = m_arrangement;
    Arrangement after = arrangement;
    for (int k = 1; k <= MaxAnswerPositions; ++k) {
        const bool fixed = k < firstMovable || !IsAnswerPresent(row, m_arrangement[k - 1]);
        if (fixed && arrangement[k - 1] != m_arrangement[k - 1])
            return false;
    }
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    if (before != after)
        return false;
    m_arrangement = arrangement;
    for (int k = 1; k <= MaxAnswerPositions; ++k)
        m_view.positions[k - 1].answer = m_arrangement[k - 1];
    Q_EMIT changed();
    return true;
}

QString TestEngine::BuildArrangementAnswer(int first) const
{
    QString answer;
    if (first == 1) {
        for (int k = 0; k < MaxAnswerPositions; ++k)
            answer += digit(m_arrangement[k]);
    } else {
        answer = rowOf(m_index).howMixed().left(MatchingPairs);
        for (int k = MatchingPairs; k < MaxAnswerPositions; ++k)
            answer += digit(m_arrangement[k]);
    }
    return answer;
}

QStringList TestEngine::routeList() const
{
    QStringList route;
    for (int id : m_presentation) {
        const QuestionRow row(m_columns, m_set, rowIndexOf(id));
        const QString rslt = row.rslt().toString();
        switch (kindOf(row)) {
        case QuestionKind::Choice:
            route.append(QString::number(id));
            break;
        case QuestionKind::Open:
            route.append(QString::number(id) + u'=' + (rslt.isEmpty() ? EngineText::EmptyOpenAnswer : rslt));
            break;
        case QuestionKind::Ordering:
        case QuestionKind::Matching:
            route.append(QString::number(id) + u'=' + (rslt.isEmpty() ? row.howMixed() : rslt));
            break;
        }
    }
    return route;
}

void TestEngine::ReportCurrentQuestion()
{
    if (m_routePending) {
        m_sender.sendRout(m_priceSum, routeList()); // the sender pauses after it
        m_routePending = false;
    }
    const QuestionRow row = rowOf(m_index);
    QString answer;
    switch (kindOf(row)) {
    case QuestionKind::Choice:
        answer = BuildFactString(row);
        break;
    case QuestionKind::Open: {
        const QString rslt = row.rslt().toString();
        answer = rslt.isEmpty() ? EngineText::EmptyOpenAnswer : rslt;
        break;
    }
    case QuestionKind::Ordering:
        answer = BuildArrangementAnswer(1);
        break;
    case QuestionKind::Matching:
        answer = BuildArrangementAnswer(MatchingPairs + 1);
        break;
    }
    if (!m_sevenAnswer && kindOf(row) != QuestionKind::Open)
        m_set.setValue(row.index(), m_columns.rslt, answer);
    m_sender.sendReport({row.queId(), answer, shownCount(), m_secondsLeft});
}

// --- moving ---

void TestEngine::btnNextClick()
{
    if (!m_view.hasQuestion || m_index >= int(m_presentation.size()) - 1 || m_nextAction == NextAction::QuestionReady ||
        m_phase == TestPhase::Waiting)
        return;
    if (m_phase == TestPhase::Answering)
        ReportCurrentQuestion();
    else if (m_phase == TestPhase::Confirmed)
        m_phase = TestPhase::Answering;
    ShowQuestion(m_index + 1);
}

void TestEngine::btnPrevClick()
{
    if (!m_view.prevEnabled)
        return;
    if (m_phase == TestPhase::Answering)
        ReportCurrentQuestion();
    ShowQuestion(m_index - 1);
}

void TestEngine::acQuestionReadyExecute()
{
    if (m_phase != TestPhase::Answering || !m_view.hasQuestion || !m_questionReadyEnabled)
        return;
    m_phase = TestPhase::Confirmed;
    ReportCurrentQuestion();
    ShowQuestion(m_index);
}

void TestEngine::ChooseQuestion(int index)
{
    if (!m_settings.ShowRights || m_phase != TestPhase::Reviewing || index < 0 || index >= m_presentation.size())
        return;
    ShowQuestion(index);
}

// --- time ---

void TestEngine::WorkTimerTimer()
{
    if (!m_countdown->isActive())
        return;
    --m_secondsLeft;
    if (m_secondsLeft == WarningSeconds) {
        m_gaugeRed = true;
        m_notices.showNotice(
            {EngineText::OneMinuteTitle, EngineText::OneMinuteText, NoticeIcon::Warning, NoticeColour::Magenta, 5});
    }
    updateTime();
    Q_EMIT changed();
    if (m_secondsLeft <= 0) {
        stopCountdown();
        m_notices.showNotice(
            {EngineText::TimeUpTitle, EngineText::TimeUpText, NoticeIcon::Warning, NoticeColour::Red, 20});
        endTest();
    }
}

void TestEngine::stopCountdown()
{
    m_countdown->stop();
}

void TestEngine::RcvQueTimerTimer()
{
    m_setWait->stop();
    if (m_phase == TestPhase::Answering)
        return;
    m_sender.abortQuestionSet();
    ResetForNextStudent();
    if (m_sender.requestOffered())
        m_notices.tellBesideGetQuestions(EngineText::NetworkFailure);
}

// --- the end ---

void TestEngine::btnReadyClick()
{
    if (!m_view.readyEnabled)
        return;
    endTest();
}

QString TestEngine::AnswerList() const
{
    const int count = int(m_presentation.size());
    return m_sevenAnswer ? BuildFactList(m_set, m_presentation, count) : BuildRsltList(m_set, m_presentation, count);
}

// The one place that asks grading for a total.
TestOutcome TestEngine::grade() const
{
    const GradeTotal total = m_sevenAnswer ? ValuateByFacts(m_set, m_presentation, m_criteriaList)
                                           : ValuateByRslt(m_set, m_presentation, m_criteriaList);
    TestOutcome o;
    o.percent = total.percent.toDouble();
    o.scoreList = total.scoreList;
    o.priceSum = total.priceSum;
    o.percentText = FormatFixed(o.percent, 1);
    o.mark = MarkFromPercent(m_criteriaList, total.percent);
    o.markText = MarkText(m_criteriaList, o.mark);
    return o;
}

TestDetails TestEngine::details() const
{
    TestDetails d;
    d.percentText = m_outcome.percentText;
    d.markText = m_outcome.markText;
    const QList<double> scores = scoresOf(m_outcome.scoreList);
    const int sum = m_outcome.priceSum;
    const QLocale locale;
    for (int i = 0; i < m_presentation.size() && i < scores.size(); ++i) {
        const int price = QuestionRow(m_columns, m_set, rowIndexOf(m_presentation[i])).price();
        const double s = scores[i];
        DetailsRow row;
        row.number = QString::number(i + 1);
        row.price =
            QStringLiteral("%1 (%2)").arg(price).arg(sum == 0 ? QStringLiteral("0%") : percentShare(price, sum));
        row.rightness = (price == 0 ? QStringLiteral("0") : locale.toString(s / price, 'g', 15)) + u'%';
        row.contribution = sum == 0 ? QStringLiteral("0%") : FormatFixed(s / sum, 1) + u'%';
        d.rows.append(row);
    }
    return d;
}

void TestEngine::endTest()
{
    if (!m_view.hasQuestion || (m_phase != TestPhase::Answering && m_phase != TestPhase::Confirmed))
        return;
    ReportCurrentQuestion();
    const bool connected = m_sender.isConnected();
    if (connected)
        SendAnswerList(true); // the sender pauses before it
    m_outcome = grade();
    m_readyDone = true;
    stopCountdown();
    if (m_settings.ShowRights) {
        m_phase = TestPhase::Reviewing;
        m_nextAction = NextAction::NextQuestion;
    } else {
        m_phase = TestPhase::Finished;
        m_questionReadyEnabled = false;
    }
    updateTime();
    // The work is saved before the mark is shown; everything it needs is taken already, and the
    // student may take his time over the name.
    if (!connected) {
        SaveWorkOffline();
        if (m_phase == TestPhase::Waiting) // cleared for the next student meanwhile
            return;
    }
    const QString cr2 = QStringLiteral("\r\r");
    m_notices.showNotice({EngineText::MarkTitle,
                          m_settings.ShowRights
                              ? EngineText::MarkWithRights.arg(m_outcome.markText, m_outcome.percentText, cr2)
                              : EngineText::MarkPlain.arg(m_outcome.markText, m_outcome.percentText),
                          NoticeIcon::Information, NoticeColour::Tooltip, 20});
    if (!m_settings.HideDetails)
        m_notices.showDetails(details());
    if (m_phase == TestPhase::Reviewing && m_view.hasQuestion)
        ShowQuestion(0);
    updateButtons();
    Q_EMIT changed();
}

void TestEngine::SendAnswerList(bool final)
{
    if (m_presentation.isEmpty())
        return;
    const QStringList list = SplitListLines(AnswerList());
    if (final)
        m_sender.sendFinishReport(list);
    else
        m_sender.sendTotalReport(list);
}

QString TestEngine::SaveWorkOffline()
{
    if (m_presentation.isEmpty())
        return {};
    ResultWork work;
    work.questions = m_set;
    work.topicId = m_settings.TopicID;
    work.eightAnswerFormat = !m_sevenAnswer;
    work.maxTime = timed() ? m_settings.MaxTime : 0;
    work.timeRemain = timed() ? m_secondsLeft : 0;
    work.answerList = AnswerList();
    work.criteriaList = m_criteriaList;
    // Taken before asking: messages handled while the dialog is open may clear the test.
    work.studentName = m_notices.askStudentName().value_or(QString());
    const QString path = WriteResultFile(work);
    if (path.isEmpty())
        m_notices.tellUser(ResultFile::SaveFailed);
    return path;
}

void TestEngine::btnShowCriteriaClick()
{
    if (!m_criteriaList.isEmpty() || m_sender.isAutonomous())
        m_notices.showCriteria(m_criteriaList);
    else
        m_sender.sendCriteriaNeeded();
}

void TestEngine::TakeCriteriaList(const QString& criteriaList)
{
    m_criteriaList = criteriaList;
    m_notices.showCriteria(m_criteriaList);
}

// --- the next student ---

void TestEngine::clearView()
{
    m_view = EngineView();
    updateButtons();
    updateTime();
}

void TestEngine::ResetForNextStudent()
{
    m_phase = TestPhase::Waiting;
    m_settings.TopicID = 0;
    m_notices.closeCriteria();
    m_criteriaList.clear();
    m_priceSum = 0;
    m_nextAction = NextAction::NextQuestion;
    m_questionReadyEnabled = true;
    m_readyDone = false;
    m_notices.closeDetails();
    stopCountdown();
    m_gaugeRed = false;
    m_secondsLeft = 0;
    m_set.clearRows();
    m_rows.clear();
    m_presentation.clear();
    m_routePending = false;
    m_highestShown = -1;
    m_index = 0;
    clearView();
    Q_EMIT changed();
}

// --- question files ---

std::optional<QString> TestEngine::StartFromQuestionFile(const QString& path)
{
    QuestionFileContents contents;
    try {
        contents = ReadQuestionFile(path, tempFolder());
        if (!contents.hasSettings)
            throw AppError(EngineText::NoTopicSettings.arg(contents.topicName));
    } catch (const AppError& e) {
        m_notices.tellUser(e.message());
        return std::nullopt;
    }
    QString list;
    for (const auto& [key, value] : contents.fields)
        list += key + u'=' + value + QLatin1String("\r\n");
    if (!ApplySettingsList(list, true) || !LoadQuestionSet(std::move(contents.questions)))
        return std::nullopt;
    return contents.topicName;
}

void TestEngine::StartWithArgument(const QString& path)
{
    try {
        if (!QuestionsEntryName(TZLibCompression().ListFiles(path)).isEmpty()) {
            StartFromQuestionFile(path);
            return;
        }
    } catch (const AppError&) {
        // not an archive: not a question file either
    }
    m_phase = TestPhase::ArgumentFile;
    updateButtons();
    m_notices.tellUser(EngineText::NotAQuestionFile.arg(path));
    Q_EMIT changed();
}
