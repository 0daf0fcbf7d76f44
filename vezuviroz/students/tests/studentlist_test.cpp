#include "codec.h"
#include "messagerecorder.h"
#include "sqltexts.h"
#include "studentlist.h"
#include "studentsfixture.h"
#include "testhome.h"
#include "utf8text.h"

#include <QFile>

class StudentListTest : public StudentsFixture
{
protected:
    int klass7a = addKlass("7А");
    int klass7b = addKlass("7Б");
    int ivanov = addStudent("Иванов", klass7a);
    int petrov = addStudent("Петров", klass7b);
    int antonov = addStudent("Антонов", klass7a);
    Dataset& students = *dm.sqlStudents;

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile f(testPath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
    QStringList listed(StudentList& list)
    {
        QStringList names;
        for (int row = 0; row < list.grid()->rowCount(); ++row)
            names.append(list.grid()->valueAt(row).toString());
        return names;
    }
};

TEST_F(StudentListTest, OpensOnTheFirstClassAndChoosingAClassListsItsStudents)
{
    StudentList list(&dm);
    ASSERT_EQ(list.klasses().size(), 2);
    EXPECT_EQ(list.klasses()[1].name, "7Б");
    EXPECT_EQ(list.chosenKlass(), 0);
    EXPECT_EQ(listed(list), (QStringList{"Антонов", "Иванов"}));
    list.chooseKlass(1);
    EXPECT_EQ(listed(list), QStringList{"Петров"});

    // A new student joins the chosen class.
    ASSERT_TRUE(list.grid()->append());
    list.grid()->setData(list.grid()->index(1, 0), "Ким");
    list.grid()->post();
    EXPECT_EQ(storedNames(klass7b), (QStringList{"Петров", "Ким"}));
}

TEST_F(StudentListTest, ImportAddsEveryLineInFileOrderToTheChosenClass)
{
    StudentList list(&dm);
    EXPECT_EQ(list.importFile(writeFile("list.txt", QString("Яковлев\r\nБелов\r\nМиронов\r\n").toUtf8())), 3);
    EXPECT_EQ(storedNames(klass7a), (QStringList{"Иванов", "Антонов", "Яковлев", "Белов", "Миронов"}));
    EXPECT_EQ(listed(list), (QStringList{"Антонов", "Белов", "Иванов", "Миронов", "Яковлев"}));

    // A Windows-1251 file into the other class; its empty line is a student without a name.
    list.chooseKlass(1);
    EXPECT_EQ(list.importFile(writeFile("old.txt", toCp1251("Щукин\r\n\r\nЁлкин"))), 3);
    EXPECT_EQ(storedNames(klass7b), (QStringList{"Петров", "Щукин", "", "Ёлкин"}));
    EXPECT_EQ(listed(list).size(), 4);
}

TEST_F(StudentListTest, AFileThatCannotBeTakenAddsNobodyAndIsTold)
{
    StudentList list(&dm);
    MessageRecorder messages;
    const QString path = writeFile("bad.txt", QByteArray("Ann\r\n") + QByteArray(60, 'x'));
    EXPECT_EQ(list.importFile(path), 0);
    EXPECT_EQ(
        messages.texts,
        QStringList{QString("В файле \"%1\" строка 2 длиннее 50 символов: такую фамилию сохранить нельзя.").arg(path)});
    EXPECT_EQ(storedNames().size(), 3);

    // A file that is not there adds nobody, silently.
    EXPECT_EQ(list.importFile(testPath("missing.txt")), 0);
    EXPECT_EQ(messages.texts.size(), 1);

    // A store that refuses a row half-way leaves none of the file's rows behind.
    QSqlQuery trigger(store->database());
    ASSERT_TRUE(trigger.exec("CREATE TRIGGER refuse BEFORE INSERT ON Students WHEN NEW.Name = 'Стоп' "
                             "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    EXPECT_EQ(list.importFile(writeFile("half.txt", QString("Один\nДва\nСтоп\nЧетыре").toUtf8())), 0);
    EXPECT_EQ(storedNames().size(), 3);
    EXPECT_EQ(listed(list), (QStringList{"Антонов", "Иванов"}));
    EXPECT_EQ(messages.texts.size(), 2);
}

TEST_F(StudentListTest, WithoutAClassImportAndKeysAreRefused)
{
    StudentList list(&dm);
    list.clearKlass();
    EXPECT_EQ(list.chosenKlass(), StudentList::NoKlass);
    EXPECT_EQ(list.grid()->rowCount(), 0);
    MessageRecorder messages;
    EXPECT_FALSE(list.requireKlass());
    EXPECT_EQ(list.importFile(writeFile("list.txt", "A\nB\n")), 0);
    EXPECT_EQ(messages.texts, (QStringList{"Сначала нужно выбрать класс.", "Сначала нужно выбрать класс."}));
    EXPECT_EQ(storedNames().size(), 3);
    // The record command "Новый" is abandoned too.
    EXPECT_FALSE(list.grid()->append());
    EXPECT_EQ(storedNames().size(), 3);
    list.chooseKlass(1);
    EXPECT_TRUE(list.requireKlass());
    EXPECT_EQ(messages.texts.size(), 2);
}

TEST_F(StudentListTest, AnotherClassTakesTheSelectedStudentAndReleasesTheToggle)
{
    StudentList list(&dm);
    QList<bool> toggles;
    QObject::connect(&list, &StudentList::movingChanged, [&](bool down) { toggles.append(down); });
    list.grid()->setCurrentRow(1); // Иванов
    list.setMoving(true);
    EXPECT_TRUE(list.isMoving());
    list.chooseKlass(1);
    EXPECT_EQ(toggles, (QList<bool>{true, false}));
    EXPECT_EQ(storedNames(klass7b), (QStringList{"Иванов", "Петров"}));
    // The list is read again and still shows the class chosen before.
    EXPECT_EQ(list.chosenKlass(), 0);
    EXPECT_EQ(listed(list), QStringList{"Антонов"});
    // With the toggle up, choosing a class only shows it.
    list.chooseKlass(1);
    EXPECT_EQ(listed(list), (QStringList{"Иванов", "Петров"}));
    EXPECT_EQ(storedNames(klass7a), QStringList{"Антонов"});
}

TEST_F(StudentListTest, TheStudentsQueryIsGivenBackAsFound)
{
    students.setSql(Utf8Text(Sql::AllStudentsByName));
    students.open();
    {
        StudentList list(&dm);
        EXPECT_EQ(students.sql(), Utf8Text(Sql::StudentsOfKlass));
        list.grid()->setData(list.grid()->index(0, 0), "Антонова");
        list.grid()->postPending();
    }
    EXPECT_EQ(storedNames(klass7a), (QStringList{"Иванов", "Антонова"}));
    EXPECT_EQ(students.sql(), Utf8Text(Sql::AllStudentsByName));
    EXPECT_EQ(column(students, "Name"), (QStringList{"Антонова", "Иванов", "Петров"}));
    EXPECT_EQ(students.param("KlassID").toString(), "%");
}
