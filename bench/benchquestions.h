#pragma once

// The question set the benchmarks build: every column of the eight-answer format, a random
// picture per question (random, so packing keeps it whole) and eight answer texts.
#include "table.h"

#include <QRandomGenerator>

// With mixedKinds the prices run 1..5 and the kinds 0..3; otherwise every question is a choice
// question of price 1.
inline Table BenchQuestionSet(int questions, int pictureBytes, bool mixedKinds)
{
    constexpr int Answers = 8;
    QList<Column> columns{{QStringLiteral("QueID"), ColumnType::Int, 0, false, true, true},
                          {QStringLiteral("TopicID"), ColumnType::Int},
                          {QStringLiteral("Used"), ColumnType::Bool, 0, false},
                          {QStringLiteral("Question"), ColumnType::Memo},
                          {QStringLiteral("QuePict"), ColumnType::Binary}};
    for (int i = 1; i <= Answers; ++i)
        columns.append({QStringLiteral("Ans%1").arg(i), ColumnType::Text, 255});
    for (int i = 1; i <= Answers; ++i)
        columns.append({QStringLiteral("Pict%1").arg(i), ColumnType::Binary});
    for (int i = 1; i <= Answers; ++i)
        columns.append({QStringLiteral("OK%1").arg(i), ColumnType::Bool, 0, false});
    columns.append({QStringLiteral("Price"), ColumnType::Int});
    columns.append({QStringLiteral("QueType"), ColumnType::Int});
    columns.append({QStringLiteral("MixAnswers"), ColumnType::Bool, 0, false});
    columns.append({QStringLiteral("LinksCount"), ColumnType::Int});
    for (int i = 1; i <= Answers; ++i)
        columns.append({QStringLiteral("Fact%1").arg(i), ColumnType::Bool, 0, false});
    columns.append({QStringLiteral("Rslt"), ColumnType::Text, 255});
    columns.append({QStringLiteral("HowMixed"), ColumnType::Text, 50});

    Table t(columns);
    QRandomGenerator random(1);
    for (int q = 0; q < questions; ++q) {
        QByteArray picture(pictureBytes, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32*>(picture.data()), pictureBytes / 4);
        QVariantList row;
        row << q + 1 << 0 << false << QStringLiteral("Вопрос номер %1?\r\nВыберите правильный ответ.").arg(q + 1)
            << picture;
        for (int i = 1; i <= Answers; ++i)
            row << QStringLiteral("Вариант ответа %1").arg(i);
        for (int i = 1; i <= Answers; ++i)
            row << QVariant();
        for (int i = 1; i <= Answers; ++i)
            row << (i == 1);
        if (mixedKinds)
            row << 1 + q % 5 << q % 4;
        else
            row << 1 << 0;
        row << true << 1;
        for (int i = 1; i <= Answers; ++i)
            row << false;
        row << QVariant() << QVariant();
        t.appendRow(row);
    }
    return t;
}
