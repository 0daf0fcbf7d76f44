#pragma once

#include "archivefixture.h"
#include "dataset.h"

#include <QStringList>

// A fresh store with classes, students and computers' rows written straight into the tables, and
// the students as the store holds them read back the same way.
class StudentsFixture : public ArchiveFixture
{
protected:
    int addComputer(const QString& pcName, int studentId = 0)
    {
        return insert(QStringLiteral("INSERT INTO CurrentTesting (PcName, IP, StudentID) VALUES (:pc, :ip, :s)"),
                      {{"pc", pcName}, {"ip", "10.0.0." + pcName.right(1)}, {"s", studentId}});
    }
    // "Name" of every student of the class (every student for 0) in the order they were added.
    QStringList storedNames(int klassId = 0)
    {
        QSqlQuery q(store->database());
        q.prepare(klassId ? QStringLiteral("SELECT Name FROM Students WHERE KlassID=? ORDER BY StudentID")
                          : QStringLiteral("SELECT Name FROM Students ORDER BY StudentID"));
        if (klassId)
            q.addBindValue(klassId);
        EXPECT_TRUE(q.exec());
        QStringList names;
        while (q.next())
            names.append(q.value(0).toString());
        return names;
    }
    QVariant storedValue(const QString& sql)
    {
        QSqlQuery q(store->database());
        EXPECT_TRUE(q.exec(sql) && q.next()) << sql.toStdString();
        return q.value(0);
    }
    static QStringList column(const Dataset& d, const QString& field)
    {
        QStringList values;
        for (int i = 0; i < d.recordCount(); ++i)
            values.append(d.rowValues(i).value(d.fieldIndex(field)).toString());
        return values;
    }
};

// Three classes with their students, and two computers: PC1 without a student (current in the
// monitor), PC2 with Петров.
class ChoiceFixture : public StudentsFixture
{
protected:
    int klass7a = addKlass("7А");
    int klass7b = addKlass("7Б");
    int klass8 = addKlass("8В");
    int ivanov = addStudent("Иванов", klass7a);
    int petrov = addStudent("Петров", klass7b);
    int sidorov = addStudent("Сидоров", klass8);
    int antonov = addStudent("Антонов", klass7a);
    int pc1 = addComputer("PC1");
    int pc2 = addComputer("PC2", petrov);

    void SetUp() override
    {
        dm.sqlCurrentTesting->requery();
        dm.sqlStudents->requery();
        ASSERT_TRUE(dm.sqlCurrentTesting->locate("PcName", "PC1"));
    }
    int studentOf(int resId)
    {
        return storedValue(QString("SELECT StudentID FROM CurrentTesting WHERE ResID=%1").arg(resId)).toInt();
    }
};
