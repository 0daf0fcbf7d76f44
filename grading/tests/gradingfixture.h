#pragma once

#include "table.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

// Question tables for the grading tests, in the column layout of the Questions table
// (eight-answer format) or of the older seven-answer format.
namespace fixture {

inline Table questionTable(bool sevenAnswer = false)
{
    const int answers = sevenAnswer ? 7 : 8;
    QList<Column> columns;
    auto add = [&](const QString& name, ColumnType type) {
        static constexpr int TextSize = 255;
        columns.append(Column{name, type, type == ColumnType::Text ? TextSize : 0});
    };
    add(QStringLiteral("QueID"), ColumnType::Int);
    add(QStringLiteral("TopicID"), ColumnType::Int);
    add(QStringLiteral("Used"), ColumnType::Bool);
    add(QStringLiteral("Question"), ColumnType::Memo);
    add(QStringLiteral("QuePict"), ColumnType::Binary);
    for (int k = 1; k <= answers; ++k)
        add(QStringLiteral("Ans%1").arg(k), ColumnType::Text);
    for (int k = 1; k <= answers; ++k)
        add(QStringLiteral("Pict%1").arg(k), ColumnType::Binary);
    for (int k = 1; k <= answers; ++k)
        add(QStringLiteral("OK%1").arg(k), ColumnType::Bool);
    add(QStringLiteral("Price"), ColumnType::Int);
    if (!sevenAnswer) {
        add(QStringLiteral("QueType"), ColumnType::Int);
        add(QStringLiteral("MixAnswers"), ColumnType::Bool);
        add(QStringLiteral("LinksCount"), ColumnType::Int);
    }
    for (int k = 1; k <= answers; ++k)
        add(QStringLiteral("Fact%1").arg(k), ColumnType::Bool);
    if (!sevenAnswer) {
        add(QStringLiteral("Rslt"), ColumnType::Text);
        add(QStringLiteral("HowMixed"), ColumnType::Text);
    }
    return Table(columns);
}

struct Question
{
    int id = 1;
    int type = 0;
    int price = 1;
    QStringList answers; // Ans1.. in order; missing ones are empty
    QString correct;     // digits of the answers whose OK is true
    QString pictures;    // digits of the answers that have a picture
    QString ticked;      // digits of the answers whose Fact is true
    QVariant rslt;       // null unless set
    QString howMixed;
};

// Appends the question and returns its row index.
inline int addQuestion(Table& table, const Question& q)
{
    const int answers = table.hasColumn(QStringLiteral("Ans8")) ? 8 : 7;
    QVariantList values(table.columnCount());
    auto set = [&](const QString& name, const QVariant& value) {
        const int ordinal = table.columnIndex(name);
        if (ordinal >= 0)
            values[ordinal] = value;
    };
    set(QStringLiteral("QueID"), q.id);
    set(QStringLiteral("Price"), q.price);
    set(QStringLiteral("QueType"), q.type);
    set(QStringLiteral("Used"), false);
    for (int k = 1; k <= answers; ++k) {
        const QString digit = QString::number(k);
        set(QStringLiteral("Ans%1").arg(k), k <= q.answers.size() ? q.answers[k - 1] : QString(""));
        if (q.pictures.contains(digit))
            set(QStringLiteral("Pict%1").arg(k), QByteArray("BM"));
        set(QStringLiteral("OK%1").arg(k), q.correct.contains(digit));
        set(QStringLiteral("Fact%1").arg(k), q.ticked.contains(digit));
    }
    set(QStringLiteral("Rslt"), q.rslt);
    if (!q.howMixed.isEmpty())
        set(QStringLiteral("HowMixed"), q.howMixed);
    table.appendRow(values);
    return table.rowCount() - 1;
}

inline QString criteria(int scale, bool partial, const QList<int>& thresholds12to1)
{
    QString text;
    for (int mark = 12; mark >= 1; --mark)
        text += QStringLiteral("Na%1=%2\r\n").arg(mark).arg(thresholds12to1.value(12 - mark));
    text += QStringLiteral("MaxPointSystem=%1\r\nTakePartialRight=%2\r\n").arg(scale).arg(partial ? -1 : 0);
    return text;
}

} // namespace fixture
