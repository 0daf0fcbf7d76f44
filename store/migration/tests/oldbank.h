#pragma once

// Old question banks for the tests of moving them into the store.
#include "storeconnection.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <gtest/gtest.h>

inline QByteArray picture(int seed)
{
    QByteArray bmp("BM");
    for (int i = 0; i < 3000; ++i)
        bmp.append(char((i * 31 + seed * 7) & 0xff));
    return bmp;
}

inline QByteArray fileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

enum BankOption
{
    Full = 0,
    WithoutSettings = 1,
    DuplicateStudents = 2
};

// An old bank of an earlier installation: the store's own file layout with a small, linked set of
// rows (topics with their question lists, questions with pictures, a class with students, a result).
inline void makeOldBank(const QString& path, int options = Full)
{
    StoreConnection c(QStringLiteral("old-bank"));
    c.open(path);
    c.execute("INSERT INTO Topics (TopicID, TopicName, ParentID, QueIDs) VALUES (5, 'Алгебра', 0, '11\r\n12\r\n')");
    c.execute("INSERT INTO Topics (TopicID, TopicName, ParentID, QueIDs) VALUES (7, 'Дроби', 5, '13\r\n')");
    for (int id : {11, 12, 13}) {
        c.execute(QStringLiteral("INSERT INTO Questions (QueID, Question, QuePict, Ans1, OK1, Price, QueType, "
                                 "LinksCount) VALUES (:id, :q, :p, 'да', 1, 2, 0, 1)"),
                  {{"id", id}, {"q", QStringLiteral("Вопрос %1").arg(id)}, {"p", picture(id)}});
    }
    c.execute("INSERT INTO Klasses (KlassID, Klass) VALUES (3, '7А')");
    if (options & DuplicateStudents) {
        // A table of an older layout without a key: two rows with one id cannot both enter the store.
        c.execute("DROP TABLE Students");
        c.execute("CREATE TABLE Students (StudentID INTEGER, Name TEXT, KlassID INTEGER)");
        c.execute("INSERT INTO Students VALUES (21, 'Иванов Иван', 3)");
        c.execute("INSERT INTO Students VALUES (21, 'Петров Пётр', 3)");
    } else {
        c.execute("INSERT INTO Students (StudentID, Name, KlassID) VALUES (21, 'Иванов Иван', 3)");
        c.execute("INSERT INTO Students (StudentID, Name, KlassID) VALUES (22, 'Петров Пётр', 3)");
    }
    c.execute("INSERT INTO Results (ResID, Date, StudentID, TopicID, PcName, RightsPercent, Points, RoutChecked) "
              "VALUES (40, '2003-05-14T10:30:00', 22, 7, 'PC1', 87.5, 5, '13=1')");
    if (options & WithoutSettings)
        c.execute("DROP TABLE Settings");
    else
        c.execute("INSERT INTO Settings (TopicID, \"Default\", GiveMaxCount, MaxPointSystem) VALUES (7, 0, 10, 5)");
    c.close();
}

// Rows of a table of the store, and the first value a statement gives.
inline int count(StoreConnection& c, const QString& table)
{
    QSqlQuery q(c.database());
    EXPECT_TRUE(q.exec(QStringLiteral("SELECT Count(*) FROM ") + table));
    q.next();
    return q.value(0).toInt();
}

inline QVariant scalar(StoreConnection& c, const QString& sql)
{
    QSqlQuery q(c.database());
    EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
    return q.next() ? q.value(0) : QVariant();
}
