#include "archivefixture.h"
#include "messagerecorder.h"
#include "studentsearch.h"

class StudentSearchTest : public ArchiveFixture
{
protected:
    int klass7a = addKlass("7А");
    int klass7b = addKlass("7Б");
    int ivanov = addStudent("Иванов", klass7a);
    int ivanova = addStudent("Иванова", klass7b);
    int ivlev = addStudent("Ивлев", klass7a);
    int petrov = addStudent("Петров", klass7a);

    QStringList listed(const StudentSearch& s)
    {
        QStringList out;
        for (int i = 0; i < s.rowCount(); ++i)
            out.append(s.rowName(i));
        return out;
    }
    int studentCount()
    {
        QSqlQuery q(store->database());
        EXPECT_TRUE(q.exec("SELECT Count(*) FROM Students") && q.next());
        return q.value(0).toInt();
    }
};

TEST_F(StudentSearchTest, ListsNamesBeginningWithTheTextInEveryClassOrTheChosenOne)
{
    StudentSearch s(store, "Ив");
    EXPECT_EQ(listed(s), (QStringList{"Иванов", "Иванова", "Ивлев"}));
    EXPECT_EQ(s.choice(), StudentSearch::Choice::New);
    s.setName("ив"); // without regard to case
    EXPECT_EQ(listed(s), (QStringList{"Иванов", "Иванова", "Ивлев"}));
    s.setKlass(klass7b);
    EXPECT_EQ(listed(s), QStringList{"Иванова"});
    s.setName("Сидоров");
    EXPECT_EQ(s.rowCount(), 0);
    EXPECT_EQ(s.resultName(), "Сидоров");
    s.selectRow(0); // nothing to select
    EXPECT_EQ(s.choice(), StudentSearch::Choice::New);
}

TEST_F(StudentSearchTest, AnExactNameInOtherCaseIsFoundAndReturned)
{
    StudentSearch s(store, "иванов");
    EXPECT_EQ(s.choice(), StudentSearch::Choice::Found);
    EXPECT_EQ(s.resultName(), "Иванов");
    const StudentSearch::Outcome out = s.accept();
    EXPECT_TRUE(out.accepted);
    EXPECT_EQ(out.studentId, ivanov);
    EXPECT_EQ(studentCount(), 4);
}

TEST_F(StudentSearchTest, AStudentPickedFromTheListIsReturnedWhateverTheBoxHolds)
{
    StudentSearch s(store, "Ив");
    s.selectRow(2);
    EXPECT_EQ(s.resultName(), "Ивлев");
    const StudentSearch::Outcome out = s.accept();
    EXPECT_EQ(out.studentId, ivlev);
    EXPECT_EQ(studentCount(), 4);
    s.chooseNew();
    EXPECT_EQ(s.resultName(), "Ив");
}

TEST_F(StudentSearchTest, ANewNameNeedsAClassAndANameThenIsAdded)
{
    StudentSearch s(store, "Сидоров");
    {
        MessageRecorder messages;
        EXPECT_FALSE(s.accept().accepted);
        EXPECT_EQ(messages.texts, QStringList{"Для добавления фамилии надо установить класс"});
    }
    s.setKlass(klass7b);
    s.setName("");
    s.chooseNew();
    {
        MessageRecorder messages;
        EXPECT_FALSE(s.accept().accepted);
        EXPECT_EQ(messages.texts, QStringList{"Без фамилии добавить невозможно"});
    }
    EXPECT_EQ(studentCount(), 4);
    s.setName("Сидоров");
    const StudentSearch::Outcome out = s.accept();
    ASSERT_TRUE(out.accepted);
    EXPECT_GT(out.studentId, petrov);
    EXPECT_EQ(out.name, "Сидоров");
    QSqlQuery q(store->database());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT Name, KlassID FROM Students WHERE StudentID=%1").arg(out.studentId)) &&
                q.next());
    EXPECT_EQ(q.value(0).toString(), "Сидоров");
    EXPECT_EQ(q.value(1).toInt(), klass7b);
}
