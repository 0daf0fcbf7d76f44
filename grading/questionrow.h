#pragma once

#include "table.h"

#include <QHash>
#include <QString>

// Grading reads the same few fields of every question row many times per report. The ordinals of
// those fields are resolved once per table here, so that reading a field costs an array index
// instead of a case-insensitive lookup by name.
struct QuestionColumns
{
    static constexpr int MaxAnswers = 8;
    // A question set with fewer columns is the older seven-answer format: every question is a
    // choice question and QueType is not read.
    static constexpr int EightAnswerMinColumns = 37;

    QuestionColumns() = default;
    explicit QuestionColumns(const Table& table);

    int queId = -1;
    int queType = -1;
    int price = -1;
    int rslt = -1;
    int howMixed = -1;
    int ans[MaxAnswers] = {-1, -1, -1, -1, -1, -1, -1, -1};
    int pict[MaxAnswers] = {-1, -1, -1, -1, -1, -1, -1, -1};
    int ok[MaxAnswers] = {-1, -1, -1, -1, -1, -1, -1, -1};
    int fact[MaxAnswers] = {-1, -1, -1, -1, -1, -1, -1, -1};
    bool sevenAnswerFormat = true;
};

// Question kinds (QueType).
enum class QuestionKind
{
    Choice = 0,
    Open = 1,
    Ordering = 2,
    Matching = 3
};

// One question row as grading sees it. Answer numbers are 1-based (1..8); a field the table does
// not have reads as null.
class QuestionRow
{
public:
    // Resolves the columns of the row's table itself: convenient for one-off calls. Loops over
    // many rows should build the QuestionColumns once (or use QuestionSet) and pass them in.
    QuestionRow(const TableRow& row); // NOLINT(google-explicit-constructor): a TableRow is a question row
    QuestionRow(const QuestionColumns& columns, const Table& table, int row);

    const Table& table() const { return *m_table; }
    int index() const { return m_row; }
    bool isSevenAnswerFormat() const { return m_columns.sevenAnswerFormat; }

    int queId() const;
    // The raw QueType; null (old data) reads as 0. The seven-answer format has only choice questions.
    int queType() const;
    int price() const;
    QString answerText(int number) const;
    // Whether Ans<number> has text, without copying it.
    bool hasAnswerText(int number) const;
    bool hasPicture(int number) const;
    bool isCorrect(int number) const;
    bool isTicked(int number) const;
    QVariant rslt() const;
    QString howMixed() const;

private:
    const QVariant& field(int ordinal) const;

    QuestionColumns m_columns;
    const Table* m_table;
    int m_row;
};

// A question table prepared for grading: its column ordinals and its rows by QueID. The server
// can keep one per cached topic table and grade every report against it.
class QuestionSet
{
public:
    explicit QuestionSet(const Table& table);

    const Table& table() const { return *m_table; }
    const QuestionColumns& columns() const { return m_columns; }
    // The row of a question, -1 when the table has none. With duplicate ids the first row wins.
    int rowOf(int queId) const { return m_rows.value(queId, -1); }
    QuestionRow row(int index) const { return QuestionRow(m_columns, *m_table, index); }

private:
    const Table* m_table;
    QuestionColumns m_columns;
    QHash<int, int> m_rows;
};
