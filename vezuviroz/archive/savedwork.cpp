#include "savedwork.h"

#include "appfolder.h"
#include "archive.h"
#include "archivequery.h"
#include "archivetexts.h"
#include "datamodules.h"
#include "dataset.h"
#include "datasettable.h"
#include "fixedtext.h"
#include "listlines.h"
#include "markscale.h"
#include "messages.h"
#include "questionrow.h"
#include "resultfile.h"
#include "sqldialect.h"
#include "sqltexts.h"
#include "testsettings.h"
#include "valuation.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString text(const char* sql)
{
    return QString::fromUtf8(sql);
}

// The QueID of an answers-list line, 0 when it has none.
int lineId(const QString& line, QString* answer = nullptr)
{
    const qsizetype eq = line.indexOf(u'=');
    if (answer)
        *answer = eq < 0 ? QString() : line.mid(eq + 1);
    bool ok = false;
    const int id = QStringView(line).first(eq < 0 ? line.size() : eq).trimmed().toInt(&ok);
    return ok ? id : 0;
}

// The bank's rows of the listed questions (the fixed list query over AllQuestions).
Table bankQuestions(StoreConnection* connection, const QList<int>& ids)
{
    const QString all = text(Sql::AllQuestions);
    QString sql = ids.isEmpty() ? SqlFormat(text(Sql::NoQuestions), {all})
                                : SqlFormat(text(Sql::FirstListedQuestion), {all, QString::number(ids.first())});
    for (qsizetype i = 1; i < ids.size(); ++i)
        sql = SqlFormat(text(Sql::NextListedQuestion), {sql, QString::number(ids[i])});
    Dataset questions(connection, QStringLiteral("sqlSavedWorkQuestions"), sql);
    questions.open();
    return DatasetToTable(questions);
}

bool boolValue(const QVariant& v)
{
    return v.typeId() == QMetaType::Bool ? v.toBool() : v.toLongLong() != 0;
}

// The columns a question is graded and shown by; the student's own columns (Fact, Rslt,
// HowMixed) stay as the file has them.
const QStringList& questionColumns()
{
    static const QStringList columns = [] {
        QStringList c{QStringLiteral("Question"), QStringLiteral("QuePict"), QStringLiteral("Price"),
                      QStringLiteral("QueType")};
        for (int k = 1; k <= QuestionColumns::MaxAnswers; ++k)
            c << QStringLiteral("Ans%1").arg(k) << QStringLiteral("Pict%1").arg(k) << QStringLiteral("OK%1").arg(k);
        return c;
    }();
    return columns;
}

// Whether a file's value differs from the bank's in what grading reads (answer texts, right-answer
// marks, price, kind). Pictures and the question's wording do not change a mark.
bool gradingDiffers(const QString& column, const QVariant& file, const QVariant& bank)
{
    if (column.startsWith(QLatin1String("OK"), Qt::CaseInsensitive))
        return boolValue(file) != boolValue(bank);
    if (column.startsWith(QLatin1String("Ans"), Qt::CaseInsensitive))
        return file.toString() != bank.toString();
    if (column == QLatin1String("Price") || column == QLatin1String("QueType"))
        return file.toInt() != bank.toInt();
    return false;
}

} // namespace

StoredWorkNotice& StoredWorkNotice::instance()
{
    static StoredWorkNotice notice;
    return notice;
}

SavedWork::SavedWork(TSharedDM* shared, QObject* parent) : QObject(parent), m_shared(shared) {}

QString SavedWork::caption() const
{
    return ArchiveText::ViewerCaption.arg(ArchiveText::ViewerTitle, m_studentName);
}

QString SavedWork::windowTitle() const
{
    return ArchiveText::ViewerWindowTitle.arg(caption()).arg(m_position + 1).arg(questionCount());
}

QString SavedWork::percentText() const
{
    return FormatFixed(m_percent.toDouble(), 1) + u'%';
}

QString SavedWork::markText() const
{
    return PointsText(m_mark);
}

SavedWork::Opened SavedWork::OpenResultFile(const QString& path)
{
    if (!QFileInfo(path).isFile()) {
        ShowMessage(ArchiveText::FileNotFound.arg(path), MsgIcon::Warning);
        return Opened::FileMissing;
    }
    bool hasQuestionSet = false;
    for (const TZLibEntry& entry : TZLibCompression().ListFiles(path))
        hasQuestionSet |= entry.name.endsWith(QLatin1String(".top"), Qt::CaseInsensitive);
    if (!hasQuestionSet)
        return Opened::NoQuestionSet;
    const QString temp = AppFilePath(QStringLiteral("Temp"));
    QDir().mkpath(temp);
    const ResultFileContents contents = ReadResultFile(path, temp);
    const ResultWork& work = contents.work;

    m_filePath = path;
    m_studentName = work.studentName;
    m_topicId = work.topicId;
    m_topicName = lookUpTopicName(work.topicId);
    m_savedAt = contents.savedAt;
    m_maxTime = work.maxTime;
    m_timeRemain = work.timeRemain;
    m_answerList = work.answerList;
    m_lines = SplitListLines(work.answerList);
    int unused = 0;
    m_criteriaList = contents.hasCriteria ? work.criteriaList : topicCriteria(false, &unused);
    m_questions = work.questions;
    m_bankDiffers = false;
    takeBankQuestions();
    grade();
    m_stored = QFileInfo(path).fileName().contains(ResultFile::SavedInDbPrefix) || foundInResults();
    m_position = 0;
    Q_EMIT changed();
    return Opened::Shown;
}

bool SavedWork::ShowStoredWork(int topicId, int timeRemain, const QString& answerList, const QString& topicName,
                               const QString& studentName)
{
    if (answerList.trimmed().isEmpty()) {
        ShowMessage(ArchiveText::NoStoredWork);
        return false;
    }
    m_filePath.clear();
    m_studentName = studentName;
    m_topicId = topicId;
    m_topicName = topicName;
    m_savedAt = {};
    m_timeRemain = timeRemain;
    m_answerList = answerList;
    m_lines = SplitListLines(answerList);
    m_criteriaList = topicCriteria(true, &m_maxTime);
    QList<int> ids;
    for (const QString& line : m_lines)
        if (const int id = lineId(line))
            ids.append(id);
    m_questions = bankQuestions(m_shared->dm()->ADOConnection(), ids);
    m_bankDiffers = false;
    grade();
    m_stored = true;
    m_position = 0;
    Q_EMIT changed();
    return true;
}

QString SavedWork::topicCriteria(bool ensureRow, int* maxTime)
{
    SettingsRows& rows = m_shared->settings();
    if (ensureRow)
        rows.EnsureSettingsRow(m_topicId);
    *maxTime = 0;
    if (!rows.locateTopic(m_topicId))
        return {};
    const TestSettings settings = rows.ReadSettingsRow();
    *maxTime = settings.TimeLimit ? settings.MaxTime : 0;
    return BuildCriteriaList(rows.dataset());
}

QString SavedWork::lookUpTopicName(int topicId) const
{
    Dataset topic(m_shared->dm()->ADOConnection(), QStringLiteral("sqlSavedWorkTopic"), text(Sql::TopicById));
    topic.setParam(QStringLiteral("aTopicID"), topicId);
    topic.open();
    return topic.isEmpty() ? ArchiveText::UnknownTopic : topic.value(QStringLiteral("TopicName")).toString();
}

void SavedWork::takeBankQuestions()
{
    QList<int> ids;
    for (int row = 0; row < m_questions.rowCount(); ++row)
        ids.append(m_questions.value(row, QStringLiteral("QueID")).toInt());
    const Table bank = bankQuestions(m_shared->dm()->ADOConnection(), ids);
    const QuestionSet bankSet(bank);
    for (int row = 0; row < m_questions.rowCount(); ++row) {
        const int bankRow = bankSet.rowOf(m_questions.value(row, QStringLiteral("QueID")).toInt());
        if (bankRow < 0)
            continue; // graded from the file's copy
        for (const QString& column : questionColumns()) {
            if (!m_questions.hasColumn(column) || !bank.hasColumn(column))
                continue;
            const QVariant bankValue = bank.value(bankRow, column);
            m_bankDiffers |= gradingDiffers(column, m_questions.value(row, column), bankValue);
            m_questions.setValue(row, column, bankValue);
        }
    }
}

void SavedWork::grade()
{
    const bool partial = PartialCreditFromCriteria(m_criteriaList);
    m_percent = ValuateAnswerList(m_questions, m_answerList, partial, nullptr, int(m_lines.size())).percent;
    m_mark = MarkFromPercent(m_criteriaList, m_percent);
    if (CriteriaValue(m_criteriaList, QStringLiteral("MaxPointSystem")).trimmed() == QLatin1String("1"))
        m_mark = m_mark == 1 ? -2 : -1;
}

bool SavedWork::foundInResults() const
{
    if (!m_savedAt.isValid())
        return false;
    Dataset results(m_shared->dm()->ADOConnection(), QStringLiteral("sqlSavedWorkCheck"), text(Sql::ResultsOfTopic));
    results.setParam(QStringLiteral("aTopicID"), m_topicId);
    results.open();
    const QString saved = m_savedAt.toString(Qt::ISODate);
    for (results.first(); !results.eof(); results.next())
        if (results.value(QStringLiteral("Date")).toDateTime().toString(Qt::ISODate) == saved)
            return true;
    return false;
}

void SavedWork::setPosition(int position)
{
    if (position < 0 || position >= questionCount() || position == m_position)
        return;
    m_position = position;
    Q_EMIT changed();
}

SavedQuestion SavedWork::question(int position) const
{
    SavedQuestion q;
    q.position = position;
    q.count = questionCount();
    if (position < 0 || position >= q.count)
        return q;
    QString answer;
    q.queId = lineId(m_lines[position], &answer);
    const QuestionSet set(m_questions);
    const int row = set.rowOf(q.queId);
    if (row < 0)
        return q;
    q.found = true;
    const QuestionRow question = set.row(row);
    q.queType = question.isSevenAnswerFormat() ? 0 : question.queType();
    q.question = m_questions.value(row, QStringLiteral("Question")).toString();
    q.picture = m_questions.value(row, QStringLiteral("QuePict")).toByteArray();
    const int count = m_questions.hasColumn(QStringLiteral("Ans8")) ? 8 : 7;
    for (int k = 1; k <= count; ++k) {
        SavedAnswer a;
        a.number = k;
        a.text = question.answerText(k);
        a.picture = m_questions.value(row, QStringLiteral("Pict%1").arg(k)).toByteArray();
        a.present = IsAnswerPresent(question, k);
        a.right = question.isCorrect(k);
        const QChar digit = QChar(u'0' + k);
        switch (q.queType) {
        case 0:
            a.ticked = answer.contains(digit);
            break;
        case 2:
            if (k <= answer.size()) {
                a.placed = answer.at(k - 1);
                a.highlighted = answer.at(k - 1) == digit;
            }
            break;
        case 3:
            // Four left-column digits, then the right-column items placed in rows 1 to 4.
            if (k <= 4) {
                a.highlighted = answer.size() >= 4 + k && answer.at(3 + k) == QChar(u'0' + k + 4);
            } else {
                const qsizetype at = answer.mid(4, 4).indexOf(digit);
                if (at >= 0)
                    a.placed = QString::number(at + 1);
            }
            break;
        }
        q.answers.append(a);
    }
    if (q.queType == 1) {
        q.typedAnswer = answer == QLatin1String("***") ? QString() : answer;
        q.rightAnswer = question.answerText(1);
        for (int k = 2; k <= count; ++k)
            if (!question.answerText(k).isEmpty())
                q.variants.append(question.answerText(k));
    }
    q.price = question.price();
    int totalPrice = 0;
    for (const QString& line : m_lines)
        if (const int other = set.rowOf(lineId(line)); other >= 0)
            totalPrice += set.row(other).price();
    q.priceShare = totalPrice > 0 ? 100.0 * q.price / totalPrice : 0;
    const bool partial = PartialCreditFromCriteria(m_criteriaList);
    q.correctness = q.price > 0 ? QuestionScore(question, answer, partial) / q.price : 0;
    return q;
}

bool SavedWork::Store(int studentId)
{
    if (!canStore() || studentId == 0)
        return false;
    // The file may have been stored since it was opened (another copy, another window).
    if (foundInResults()) {
        m_stored = true;
        ShowMessage(ArchiveText::StoredTwice, MsgIcon::Warning);
        Q_EMIT changed();
        return false;
    }
    Dataset results(m_shared->dm()->ADOConnection(), QStringLiteral("sqlSavedWorkStore"), text(Sql::ResultsOfTopic));
    results.setParam(QStringLiteral("aTopicID"), m_topicId);
    results.open();
    results.append();
    results.setValue(QStringLiteral("Date"), m_savedAt);
    results.setValue(QStringLiteral("StudentID"), studentId);
    results.setValue(QStringLiteral("TopicID"), m_topicId);
    results.setValue(QStringLiteral("PcName"), ArchiveText::Autonomous);
    results.setValue(QStringLiteral("RightsPercent"), QString::number(m_percent.toDouble(), 'g', 3).toDouble());
    results.setValue(QStringLiteral("Points"), m_mark);
    results.setValue(QStringLiteral("RoutChecked"), m_answerList);
    results.setValue(QStringLiteral("TimeRemain"), m_timeRemain);
    results.post();
    m_stored = true;

    const QFileInfo file(m_filePath);
    const QString renamed = file.dir().filePath(ResultFile::SavedInDbPrefix + file.fileName());
    if (QFile::rename(m_filePath, renamed))
        m_filePath = renamed;
    else
        ShowMessage(ArchiveText::RenameFailed.arg(m_filePath), MsgIcon::Warning);
    Q_EMIT changed();
    Q_EMIT workStored();
    Q_EMIT StoredWorkNotice::instance().workStored();
    return true;
}
