#pragma once

#include "exactpercent.h"
#include "table.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

class TSharedDM;

// One answer of the question shown in the saved-work viewer.
struct SavedAnswer
{
    int number = 0; // 1..8
    QString text;
    QByteArray picture; // the picture's bytes, empty when none
    bool present = false;
    bool right = false;       // kind 0: marked right in the question
    bool ticked = false;      // kind 0: the student ticked it
    QString placed;           // kind 2: the number left in row `number`; kind 3 (5..8): the left row paired
    bool highlighted = false; // kind 2 and 3: the student's placement is right here
};

// What the viewer shows of the question at one position of the answers list.
struct SavedQuestion
{
    int position = 0; // 0-based
    int count = 0;
    bool found = false; // false: "Вопрос не найден в базе данных. Возможно, он был удалён."
    int queId = 0;
    int queType = 0;
    QString question;
    QByteArray picture;
    QList<SavedAnswer> answers; // Ans1..Ans8 (Ans1..Ans7 in the older format)
    QString typedAnswer;        // kind 1: the student's text, empty for "***"
    QString rightAnswer;        // kind 1: Ans1
    QStringList variants;       // kind 1: Ans2..Ans8 that are not empty
    int price = 0;
    double priceShare = 0;  // percent of the work's total price
    double correctness = 0; // the question's own percentage
};

// Tells every open archive that a saved work went into Results, wherever it was stored from.
class StoredWorkNotice : public QObject
{
    Q_OBJECT

public:
    static StoredWorkNotice& instance();

Q_SIGNALS:
    void workStored();
};

// The saved-work viewer's logic: a work read from a result file or taken from an archive row,
// graded, shown question by question, and stored into Results.
//
// A result file carries its own copy of the questions, answer keys included. Where the bank holds
// a question of the work, the bank's answers, right-answer marks, price and kind are taken instead
// of the file's, so that an edited file cannot raise its own mark; the file's copy grades only the
// questions the bank no longer has. bankDiffers() tells when the file's copy was changed.
class SavedWork : public QObject
{
    Q_OBJECT

public:
    explicit SavedWork(TSharedDM* shared, QObject* parent = nullptr);

    enum class Opened
    {
        Shown,
        FileMissing,
        NoQuestionSet
    };
    // Tells "Файл "<path>" не найден." for a missing file; a file without a question set is
    // NoQuestionSet (the viewer closes silently); a damaged file raises AppError.
    Opened OpenResultFile(const QString& path);
    // False after "Для этой записи нет сохранённой работы." when the row kept no work.
    bool ShowStoredWork(int topicId, int timeRemain, const QString& answerList, const QString& topicName,
                        const QString& studentName);

    QString filePath() const { return m_filePath; }
    QString studentName() const { return m_studentName; }
    QString topicName() const { return m_topicName; }
    int topicId() const { return m_topicId; }
    QDateTime savedAt() const { return m_savedAt; }
    int maxTime() const { return m_maxTime; }
    int timeRemain() const { return m_timeRemain; }
    bool showsTimeGauge() const { return m_maxTime > 0; }
    const QString& answerList() const { return m_answerList; }
    const QString& criteriaList() const { return m_criteriaList; }
    const Table& questions() const { return m_questions; }
    const ExactPercent& percent() const { return m_percent; }
    // The mark as Results keeps it: -2 pass and -1 fail on the pass/fail scale.
    int mark() const { return m_mark; }
    QString percentText() const;
    QString markText() const;
    bool isStored() const { return m_stored; }
    bool canStore() const { return !m_filePath.isEmpty() && !m_stored; }
    bool bankDiffers() const { return m_bankDiffers; }
    // "Просмотр сохранённой работы студента <name>"
    QString caption() const;
    QString windowTitle() const;

    int questionCount() const { return int(m_lines.size()); }
    int position() const { return m_position; }
    void setPosition(int position);
    bool canGoBack() const { return m_position > 0; }
    bool canGoForward() const { return m_position + 1 < questionCount(); }
    SavedQuestion question(int position) const;

    // Stores the work under the student (0: abandoned silently): a Results row with the saving
    // time as Date and "Автономно" as PcName, then the file gets the prefix "SavedInDB_". A work
    // that is stored already (looked up again first) is refused with a message. True when stored.
    bool Store(int studentId);

Q_SIGNALS:
    // A work went into Results (StoredWorkNotice tells it too).
    void workStored();
    void changed();

private:
    void grade();
    bool foundInResults() const;
    void takeBankQuestions();
    QString topicCriteria(bool ensureRow, int* maxTime);
    QString lookUpTopicName(int topicId) const;

    TSharedDM* m_shared;
    QString m_filePath;
    QString m_studentName;
    QString m_topicName;
    int m_topicId = 0;
    QDateTime m_savedAt;
    int m_maxTime = 0;
    int m_timeRemain = 0;
    QString m_answerList;
    QStringList m_lines;
    QString m_criteriaList;
    Table m_questions;
    ExactPercent m_percent;
    int m_mark = 0;
    bool m_stored = false;
    bool m_bankDiffers = false;
    int m_position = 0;
};
