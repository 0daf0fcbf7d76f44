// Tables the table tests share: the layouts of question sets as a Jet table persists them.
#pragma once

#include "table.h"

#include <QDateTime>

namespace sample {

inline Column column(const char* name, ColumnType type, int size = 0, bool nullable = true)
{
    return {QString::fromLatin1(name), type, size, nullable};
}

inline Column autoNumberKey(const char* name)
{
    return {QString::fromLatin1(name), ColumnType::Int, 0, false, true, true};
}

// QueID, Question, OK1, Price, QuePict with the row 12, "Да?", true, 2, null: the small example table
// whose TableGram is checked in byte for byte.
inline Table smallQuestions()
{
    Table t({autoNumberKey("QueID"), column("Question", ColumnType::Memo), column("OK1", ColumnType::Bool, 0, false),
             column("Price", ColumnType::Int), column("QuePict", ColumnType::Binary)});
    t.appendRow({12, QStringLiteral("Да?"), true, 2, QVariant()});
    return t;
}

// The Questions layout: 43 columns with eight answers, or the older one with seven answers and
// without the later columns (QueType, MixAnswers, LinksCount), 36 columns.
inline QList<Column> questionsColumns(int answers)
{
    QList<Column> c{autoNumberKey("QueID"), column("TopicID", ColumnType::Int),
                    column("Used", ColumnType::Bool, 0, false), column("Question", ColumnType::Memo),
                    column("QuePict", ColumnType::Binary)};
    const auto numbered = [&](const char* stem, ColumnType type, int size, bool nullable) {
        for (int i = 1; i <= answers; ++i)
            c.append({QString::fromLatin1(stem) + QString::number(i), type, size, nullable});
    };
    numbered("Ans", ColumnType::Text, 255, true);
    numbered("Pict", ColumnType::Binary, 0, true);
    numbered("OK", ColumnType::Bool, 0, false);
    c.append(column("Price", ColumnType::Int));
    if (answers == 8) {
        c.append(column("QueType", ColumnType::Int));
        c.append(column("MixAnswers", ColumnType::Bool, 0, false));
        c.append(column("LinksCount", ColumnType::Int));
    }
    numbered("Fact", ColumnType::Bool, 0, false);
    c.append(column("Rslt", ColumnType::Text, 255));
    c.append(column("HowMixed", ColumnType::Text, 50));
    return c;
}

// A question row for questionsColumns(answers), by column name so that both layouts fill the same way.
inline Table questionsTable(int answers, int rows)
{
    Table t(questionsColumns(answers));
    for (int r = 0; r < rows; ++r) {
        QVariantList values(t.columnCount());
        const auto set = [&](const QString& name, const QVariant& v) { values[t.columnIndex(name)] = v; };
        set(QStringLiteral("QueID"), 100 + r);
        set(QStringLiteral("TopicID"), 0);
        set(QStringLiteral("Used"), r % 2 == 0);
        set(QStringLiteral("Question"), QStringLiteral("Вопрос %1?\r\nВторая строка").arg(r));
        if (r % 3 == 0)
            set(QStringLiteral("QuePict"), QByteArray("BM") + QByteArray(100 + r, char(r)));
        for (int i = 1; i <= answers; ++i) {
            set(QStringLiteral("Ans%1").arg(i), i <= 4 ? QStringLiteral("Ответ %1").arg(i) : QString());
            set(QStringLiteral("OK%1").arg(i), i == 1 + r % 4);
            set(QStringLiteral("Fact%1").arg(i), false);
        }
        set(QStringLiteral("Price"), 1 + r % 5);
        if (answers == 8) {
            set(QStringLiteral("QueType"), r % 4);
            set(QStringLiteral("MixAnswers"), true);
        }
        t.appendRow(values);
    }
    return t;
}

} // namespace sample
