// Every fixed text of sqltexts.h, run on a fresh store holding a small known set of rows.
#include "appfolder.h"
#include "dataset.h"
#include "sqldialect.h"
#include "sqltexts.h"
#include "storeconnection.h"
#include "utf8text.h"

#include <QFile>
#include <QSqlQuery>
#include <functional>
#include <gtest/gtest.h>

namespace {

class SqlTextsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        store.open(AppFilePath(QStringLiteral("vs4.mdb")));
        for (const char* row : {
                 "INSERT INTO Topics (TopicID, TopicName, ParentID) VALUES (1, 'Вопросы без темы', 0)",
                 "INSERT INTO Topics (TopicID, TopicName, ParentID, QueIDs) VALUES (2, 'Алгебра', 0, '1\r\n2')",
                 "INSERT INTO Topics (TopicID, TopicName, ParentID) VALUES (3, 'Дроби', 2)",
                 "INSERT INTO Topics (TopicID, TopicName, ParentID) VALUES (4, 'Бином', 2)",
                 "INSERT INTO Questions (QueID, TopicID, Used, Question, QueType) VALUES (1, 2, 1, 'q1', 0)",
                 "INSERT INTO Questions (QueID, TopicID, Used, Question, QueType) VALUES (2, 2, 0, 'q2', NULL)",
                 "INSERT INTO Questions (QueID, TopicID, Used, Question, QueType) VALUES (3, 1, 1, 'q3', NULL)",
                 "INSERT INTO Questions (QueID, TopicID, Used, Question, QueType, LinksCount) VALUES (4, 3, 0, 'q4', "
                 "2, 1)",
                 "INSERT INTO Klasses (KlassID, Klass) VALUES (1, '7A')",
                 "INSERT INTO Klasses (KlassID, Klass) VALUES (2, '7B')",
                 "INSERT INTO Students (StudentID, Name, KlassID) VALUES (1, 'Иванов', 1)",
                 "INSERT INTO Students (StudentID, Name, KlassID) VALUES (2, 'Петров', 2)",
                 "INSERT INTO Students (StudentID, Name, KlassID) VALUES (3, 'Иваненко', 1)",
                 "INSERT INTO Results (ResID, Date, StudentID, TopicID, Points) VALUES (1, '2024-03-05T10:00:00', 1, "
                 "2, 9)",
                 "INSERT INTO Results (ResID, Date, StudentID, TopicID, Points) VALUES (2, '2024-03-06T11:00:00', 2, "
                 "3, 4)",
                 "INSERT INTO Results (ResID, Date, StudentID, TopicID, Points) VALUES (3, '2024-03-05T12:00:00', 3, "
                 "3, -2)",
                 "INSERT INTO CurrentTesting (PcName, IP, QuestionsGiven, Ready) VALUES ('PC2', '10.0.0.2', 1, 0)",
                 "INSERT INTO CurrentTesting (PcName, IP, QuestionsGiven, Ready) VALUES ('PC1', '10.0.0.1', 1, 1)",
                 "INSERT INTO CurrentTesting (PcName, IP, QuestionsGiven, Ready) VALUES ('PC3', '10.0.0.3', 0, 0)",
                 "INSERT INTO VezuvirozSettings (PageScroller_Height) VALUES (349)",
                 "INSERT INTO ScribantSettings (TopicBreakCount) VALUES (10)",
                 "INSERT INTO Settings (TopicID, \"Default\", GiveMaxCount) VALUES (1, 1, 20)",
                 "INSERT INTO Settings (TopicID, GiveMaxCount) VALUES (2, 5)",
             })
            store.execute(Utf8Text(row));
    }

    QVariant scalar(const QString& sql)
    {
        QSqlQuery q(store.database());
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
        return q.next() ? q.value(0) : QVariant();
    }

    StoreConnection store{QStringLiteral("texts")};
};

struct QueryCase
{
    const char* name;
    QString text;
    QVariantMap params;
    const char* column; // read from every row, in order
    QStringList expected;
};

struct StatementCase
{
    const char* name;
    QString text;
    QVariantMap params;
    int affected;
    const char* check; // a count over the table afterwards
    int checkValue;
};

QString format(const char* text, const QStringList& values)
{
    return SqlFormat(Utf8Text(text), values);
}

} // namespace

TEST_F(SqlTextsTest, QueriesReturnTheRowsTheyName)
{
    const QString archive = format(Sql::ArchiveQuery, {Utf8Text(Sql::ArchiveBase), format(Sql::ArchiveKlassPart, {"1"}),
                                                       format(Sql::ArchiveDatePart, {"05.03.2024%"}), "",
                                                       format(Sql::ArchiveTopicPart, {"3"})});
    const QString byStudent =
        format(Sql::ArchiveQuery, {Utf8Text(Sql::ArchiveBase), "", "", format(Sql::ArchiveStudentPart, {"2"}), ""});
    const QString twoKlasses = Utf8Text(Sql::StudentsOfKlassesHead) + Utf8Text(Sql::StudentsOfKlassesFirst) + "1" +
                               Utf8Text(Sql::StudentsOfKlassesNext) + "2" + Utf8Text(Sql::StudentsOfKlassesTail);
    const QString oneKlass = Utf8Text(Sql::StudentsOfKlassesHead) + Utf8Text(Sql::StudentsOfKlassesFirst) + "2" +
                             Utf8Text(Sql::StudentsOfKlassesTail);
    const QString list =
        format(Sql::NextListedQuestion, {format(Sql::FirstListedQuestion, {Utf8Text(Sql::AllQuestions), "4"}), "2"});
    const QueryCase cases[] = {
        {"TopicsByName",
         Utf8Text(Sql::TopicsByName),
         {},
         "TopicName",
         {"Алгебра", "Бином", "Вопросы без темы", "Дроби"}},
        {"QuestionsOfTopic", Utf8Text(Sql::QuestionsOfTopic), {{"aTopicID", 2}}, "QueID", {"1", "2"}},
        {"OldQuestions", Utf8Text(Sql::OldQuestions), {{"aTopicID", 3}}, "QueID", {"4"}},
        {"ResultsOfTopic", Utf8Text(Sql::ResultsOfTopic), {{"aTopicID", 3}}, "ResID", {"2", "3"}},
        {"CurrentTestingByPc", Utf8Text(Sql::CurrentTestingByPc), {}, "PcName", {"PC1", "PC2", "PC3"}},
        {"StudentsOfKlass all",
         Utf8Text(Sql::StudentsOfKlass),
         {{"KlassID", "%"}},
         "Name",
         {"Иваненко", "Иванов", "Петров"}},
        {"StudentsOfKlass one", Utf8Text(Sql::StudentsOfKlass), {{"KlassID", "2"}}, "Name", {"Петров"}},
        {"Klasses", Utf8Text(Sql::Klasses), {}, "Klass", {"7A", "7B"}},
        {"VezuvirozSettings", Utf8Text(Sql::VezuvirozSettings), {}, "QueFontColor", {"65535"}},
        {"ScribantSettings", Utf8Text(Sql::ScribantSettings), {}, "TopicBreakCount", {"10"}},
        {"WorkingCount", Utf8Text(Sql::WorkingCount), {}, "WorkingCount", {"1"}},
        {"SingleLevelTopics", Utf8Text(Sql::SingleLevelTopics), {{"ParentID", 2}}, "TopicName", {"Бином", "Дроби"}},
        {"ChildTopics", Utf8Text(Sql::ChildTopics), {{"ParentID", 0}}, "TopicID", {"2", "1"}},
        {"Settings", Utf8Text(Sql::Settings), {}, "GiveMaxCount", {"20", "5"}},
        {"UsedQuestions", Utf8Text(Sql::UsedQuestions), {}, "QueID", {"1", "3"}},
        {"AllTopics", Utf8Text(Sql::AllTopics), {}, "TopicID", {"1", "2", "3", "4"}},
        {"AllQuestions", Utf8Text(Sql::AllQuestions), {}, "QueID", {"1", "2", "3", "4"}},
        {"QuestionLinks", Utf8Text(Sql::QuestionLinks), {}, "LinksCount", {"", "", "", "1"}},
        {"QuestionLinksOf", format(Sql::QuestionLinksOf, {"4"}), {}, "TopicID", {"3"}},
        {"NoQuestions", format(Sql::NoQuestions, {Utf8Text(Sql::AllQuestions)}), {}, "QueID", {}},
        {"question list", list, {}, "QueID", {"2", "4"}},
        {"TopicNames", Utf8Text(Sql::TopicNames), {}, "TopicID", {"2", "4", "1", "3"}},
        {"TopicById", Utf8Text(Sql::TopicById), {{"aTopicID", 3}}, "TopicName", {"Дроби"}},
        {"ArchiveJoin", Utf8Text(Sql::ArchiveJoin), {}, "Name", {"Иванов", "Петров", "Иваненко"}},
        {"ArchiveBase", Utf8Text(Sql::ArchiveBase), {}, "Points", {"9", "4", "-2"}},
        {"archive filtered", archive, {}, "Name", {"Иваненко"}},
        {"archive by student", byStudent, {}, "ResID", {"2"}},
        {"StudentsByName", Utf8Text(Sql::StudentsByName), {}, "Name", {"Иваненко", "Иванов", "Петров"}},
        {"AllStudentsByName", Utf8Text(Sql::AllStudentsByName), {}, "StudentID", {"3", "1", "2"}},
        {"students of two classes", twoKlasses, {}, "Name", {"Иваненко", "Иванов", "Петров"}},
        {"students of one class", oneKlass, {}, "Name", {"Петров"}},
        {"StudentSearch",
         Utf8Text(Sql::StudentSearch),
         {{"KlassID", "%"}, {"PromptName", "Иван%"}},
         "Name",
         {"Иваненко", "Иванов"}},
        {"StudentSearch in class",
         Utf8Text(Sql::StudentSearch),
         {{"KlassID", "2"}, {"PromptName", "Иван%"}},
         "Name",
         {}},
    };
    for (const QueryCase& tc : cases) {
        Dataset d(&store, QString::fromLatin1(tc.name), tc.text);
        for (auto it = tc.params.cbegin(); it != tc.params.cend(); ++it)
            d.setParam(it.key(), it.value());
        d.open();
        QStringList got;
        for (d.first(); !d.eof(); d.next())
            got.append(d.value(QString::fromLatin1(tc.column)).toString());
        EXPECT_EQ(got, tc.expected) << tc.name;
    }
}

TEST_F(SqlTextsTest, StatementsChangeWhatTheyName)
{
    const StatementCase cases[] = {
        {"ResetTopicMarks",
         Utf8Text(Sql::ResetTopicMarks),
         {{"NoTopicID", 1}},
         3,
         "SELECT Count(*) FROM Questions WHERE TopicID<>0",
         1},
        {"ClearUsedMarks", Utf8Text(Sql::ClearUsedMarks), {}, 2, "SELECT Count(*) FROM Questions WHERE Used<>0", 0},
        {"ZeroNullQueType", Utf8Text(Sql::ZeroNullQueType), {}, 2, "SELECT Count(*) FROM Questions WHERE QueType=0", 3},
        {"DeleteResult", format(Sql::DeleteResult, {"2"}), {}, 1, "SELECT Count(*) FROM Results", 2},
        {"ClearCurrentTesting", Utf8Text(Sql::ClearCurrentTesting), {}, 3, "SELECT Count(*) FROM CurrentTesting", 0},
    };
    for (const StatementCase& tc : cases) {
        EXPECT_EQ(store.execute(tc.text, tc.params), tc.affected) << tc.name;
        EXPECT_EQ(scalar(Utf8Text(tc.check)).toInt(), tc.checkValue) << tc.name;
    }
    // The count that empty-database checks use.
    EXPECT_EQ(scalar(Utf8Text(Sql::CountRowsOf) + "Topics").toInt(), 4);
}

// The move of an older database: run on the old file's connection, into the current file.
TEST_F(SqlTextsTest, MigrateTableCopiesEveryRowWithItsKeysIntoTheOtherFile)
{
    const QString target = AppFilePath(QStringLiteral("new.mdb"));
    {
        StoreConnection fresh(QStringLiteral("fresh"));
        fresh.open(target);
    }
    for (const char* table : {"Topics", "Questions", "Klasses", "Students", "Results", "Settings"})
        store.execute(format(Sql::MigrateTable, {Utf8Text(table), target, Utf8Text(table)}));

    StoreConnection fresh(QStringLiteral("fresh"));
    fresh.open(target);
    Dataset topics(&fresh, "t", Utf8Text(Sql::TopicsByName));
    topics.open();
    ASSERT_EQ(topics.recordCount(), 4);
    ASSERT_TRUE(topics.locate("TopicName", "Дроби"));
    EXPECT_EQ(topics.value("TopicID"), QVariant(3));
    EXPECT_EQ(topics.value("ParentID"), QVariant(2));
    Dataset results(&fresh, "r", Utf8Text(Sql::ResultsOfTopic));
    results.setParam("aTopicID", 3);
    results.open();
    EXPECT_EQ(results.recordCount(), 2);
    // A file that is not there is an error, not a new empty file.
    const QString missing = AppFilePath(QStringLiteral("missing.mdb"));
    EXPECT_ANY_THROW(store.execute(format(Sql::MigrateTable, {"Topics", missing, "Topics"})));
    EXPECT_FALSE(QFile::exists(missing));
}

// A topic of 5000 questions opens through the list query, one " OR QueID=" per question.
TEST_F(SqlTextsTest, QuestionListOfFiveThousandOpens)
{
    QSqlDatabase db = store.database();
    db.transaction();
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO Questions (Question) VALUES (?)"));
    for (int i = 0; i < 5000; ++i) {
        insert.addBindValue(QString::number(i));
        insert.exec();
    }
    db.commit();
    QString text = format(Sql::FirstListedQuestion, {Utf8Text(Sql::AllQuestions), "5"});
    for (int id = 6; id < 5005; ++id)
        text = format(Sql::NextListedQuestion, {text, QString::number(id)});
    Dataset d(&store, "list", text);
    d.open();
    EXPECT_EQ(d.recordCount(), 5000);
}
