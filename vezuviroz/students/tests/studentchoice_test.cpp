#include "sqldialect.h"
#include "sqltexts.h"
#include "studentchoice.h"
#include "studentsfixture.h"
#include "utf8text.h"

class StudentChoiceTest : public ChoiceFixture
{
protected:
    Dataset& students = *dm.sqlStudents;
    Dataset& rows = *dm.sqlCurrentTesting;

    int rowOf(const QString& name) { return int(column(students, "Name").indexOf(name)); }
};

TEST_F(StudentChoiceTest, StartsOnTheRowWithTheLabelClearedAndEveryClassTicked)
{
    StudentChoice choice(&dm, "все");
    EXPECT_EQ(choice.title(), "Выбор студента на PC1");
    EXPECT_EQ(choice.klassLabel(), "");
    EXPECT_TRUE(choice.allKlasses());
    EXPECT_EQ(choice.names()->rowCount(), 4);
    EXPECT_EQ(choice.chosenRow(), -1);

    rows.locate("PcName", "PC2");
    StudentChoice onPc2(&dm, "все");
    EXPECT_EQ(onPc2.studentId(), petrov);
    EXPECT_EQ(onPc2.chosenRow(), rowOf("Петров"));
}

TEST_F(StudentChoiceTest, TwoClassesListTheirStudentsOnlyAndCancelRestoresListAndLabel)
{
    StudentChoice choice(&dm, "все");
    choice.selectKlasses({1, 0});
    EXPECT_EQ(column(students, "Name"), (QStringList{"Антонов", "Иванов", "Петров"}));
    EXPECT_EQ(choice.klassLabel(), "7А, 7Б");
    EXPECT_FALSE(choice.allKlasses());
    // The text is the chain of the classes; the store runs it as one IN.
    const QString chain =
        QString("SELECT * FROM Students WHERE KlassID=%1 OR KlassID=%2 ORDER BY Name").arg(klass7a).arg(klass7b);
    EXPECT_EQ(students.sql(), chain);
    EXPECT_TRUE(ToSqliteDialect(chain).sql.startsWith(
        QString("SELECT * FROM Students WHERE KlassID IN (%1,%2) ORDER BY Name").arg(klass7a).arg(klass7b)))
        << ToSqliteDialect(chain).sql.toStdString();

    choice.chooseRow(rowOf("Иванов"));
    EXPECT_EQ(choice.studentId(), ivanov);
    choice.cancel();
    EXPECT_EQ(choice.resultLabel(), "все");
    EXPECT_EQ(students.sql(), Utf8Text(Sql::StudentsOfKlass));
    EXPECT_EQ(column(students, "Name"), (QStringList{"Антонов", "Иванов", "Петров", "Сидоров"}));
    EXPECT_EQ(studentOf(pc1), 0);
}

TEST_F(StudentChoiceTest, OkWritesTheStudentIntoTheRowItWasOpenedOn)
{
    StudentChoice choice(&dm, "все");
    choice.selectKlasses({2});
    EXPECT_EQ(choice.klassLabel(), "8В");
    choice.chooseRow(0);
    // The server moves the monitor's cursor while the dialog is open.
    rows.locate("PcName", "PC2");
    EXPECT_TRUE(choice.accept());
    EXPECT_EQ(studentOf(pc1), sidorov);
    EXPECT_EQ(studentOf(pc2), petrov);
    EXPECT_EQ(rows.value("PcName").toString(), "PC1");
    EXPECT_EQ(choice.resultLabel(), "8В");
    // The list stays as chosen for the next time.
    EXPECT_EQ(column(students, "Name"), QStringList{"Сидоров"});
}

TEST_F(StudentChoiceTest, NoClassOrEveryClassListsAll)
{
    StudentChoice choice(&dm, "7А");
    choice.selectKlasses({0});
    choice.selectKlasses({});
    EXPECT_EQ(students.sql(), "SELECT * FROM Students  ORDER BY Name");
    EXPECT_EQ(choice.klassLabel(), "Все");
    EXPECT_EQ(students.recordCount(), 4);

    QList<bool> ticks;
    QObject::connect(&choice, &StudentChoice::allKlassesChanged, [&](bool t) { ticks.append(t); });
    choice.selectKlasses({0, 2});
    EXPECT_EQ(choice.klassLabel(), "7А, 8В");
    choice.setAllKlasses(true);
    EXPECT_EQ(ticks, QList<bool>{true}); // unticked already by the first selection
    EXPECT_TRUE(choice.selectedKlasses().isEmpty());
    EXPECT_EQ(choice.klassLabel(), "Все");
    EXPECT_EQ(students.recordCount(), 4);
    // Unticking by hand changes nothing but the box.
    choice.setAllKlasses(false);
    EXPECT_EQ(students.recordCount(), 4);
}

TEST_F(StudentChoiceTest, OkWithoutTouchingTheClassesKeepsTheLabelOfTheListShown)
{
    StudentChoice choice(&dm, "7А, 7Б");
    choice.chooseRow(0);
    EXPECT_TRUE(choice.accept());
    EXPECT_EQ(choice.resultLabel(), "7А, 7Б");
    EXPECT_EQ(studentOf(pc1), antonov);
}

TEST_F(StudentChoiceTest, ARowGoneMeanwhileEndsAsCancelled)
{
    StudentChoice choice(&dm, "все");
    choice.selectKlasses({0});
    choice.chooseRow(0);
    store->execute(QString("DELETE FROM CurrentTesting WHERE ResID=%1").arg(pc1));
    rows.requery();
    EXPECT_FALSE(choice.accept());
    EXPECT_EQ(choice.resultLabel(), "все");
    EXPECT_EQ(students.recordCount(), 4);
    EXPECT_EQ(studentOf(pc2), petrov);
}

TEST_F(StudentChoiceTest, MoreClassesThanTheStoreTakesTermsOfStillList)
{
    QList<int> all;
    for (int i = 0; i < 1200; ++i)
        addKlass(QString("К%1").arg(i));
    StudentChoice choice(&dm, "все");
    for (int i = 0; i < choice.klasses().size(); ++i)
        all.append(i);
    choice.selectKlasses(all);
    EXPECT_EQ(students.recordCount(), 4);
}
