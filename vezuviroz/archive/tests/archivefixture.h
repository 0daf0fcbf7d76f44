#pragma once

#include "datamodules.h"
#include "storeconnection.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QVariant>
#include <gtest/gtest.h>

// A fresh store with the rows a case needs, written straight into the tables.
class ArchiveFixture : public ::testing::Test
{
protected:
    TDM dm{StoreProgram::Vezuviroz};
    StoreConnection* store = dm.ADOConnection();

    int insert(const QString& sql, const QVariantMap& params = {})
    {
        store->execute(sql, params);
        QSqlQuery q(store->database());
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT last_insert_rowid()")) && q.next());
        return q.value(0).toInt();
    }
    int addKlass(const QString& name)
    {
        return insert(QStringLiteral("INSERT INTO Klasses (Klass) VALUES (:k)"), {{"k", name}});
    }
    int addStudent(const QString& name, int klassId)
    {
        return insert(QStringLiteral("INSERT INTO Students (Name, KlassID) VALUES (:n, :k)"),
                      {{"n", name}, {"k", klassId}});
    }
    int addTopic(const QString& name)
    {
        return insert(QStringLiteral("INSERT INTO Topics (TopicName, ParentID) VALUES (:n, 0)"), {{"n", name}});
    }
    struct ResultRow
    {
        int studentId = 0;
        int topicId = 0;
        QString date = QStringLiteral("2024-03-05T00:00:00"); // as the store keeps it
        int points = 0;
        double percent = 0;
        QString pc = QStringLiteral("PC1");
        QString rout;
        int timeRemain = 0;
    };
    int addResult(const ResultRow& r)
    {
        return insert(QStringLiteral("INSERT INTO Results (Date, StudentID, TopicID, PcName, RightsPercent, Points, "
                                     "TimeRemain, RoutChecked) VALUES (:d, :s, :t, :pc, :rp, :p, :tr, :rc)"),
                      {{"d", r.date},
                       {"s", r.studentId},
                       {"t", r.topicId},
                       {"pc", r.pc},
                       {"rp", r.percent},
                       {"p", r.points},
                       {"tr", r.timeRemain},
                       {"rc", r.rout}});
    }
    int resultCount()
    {
        QSqlQuery q(store->database());
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT Count(*) FROM Results")) && q.next());
        return q.value(0).toInt();
    }
};
