#include "apperror.h"
#include "sqldialect.h"
#include "sqltexts.h"

#include <gtest/gtest.h>

TEST(SqlDialect, AdaptsOnlyWhatSqliteReadsDifferently)
{
    const struct
    {
        const char* in;
        const char* out;
    } cases[] = {
        // Read as they are.
        {Sql::Settings, Sql::Settings},
        {Sql::TopicsByName, "SELECT * FROM Topics ORDER BY TopicName COLLATE vastrel_text"},
        {"SELECT * FROM T ORDER BY a DESC, b",
         "SELECT * FROM T ORDER BY a COLLATE vastrel_text DESC, b COLLATE vastrel_text"},
        {Sql::WorkingCount, Sql::WorkingCount},
        {Sql::ResetTopicMarks, Sql::ResetTopicMarks},
        {Sql::StudentSearch, "SELECT * FROM Students \r\nWHERE KlassID LIKE :KlassID \r\nAND Name LIKE :PromptName\r\n"
                             "ORDER BY Name COLLATE vastrel_text"},
        {"SELECT * FROM Questions WHERE QueID=12", "SELECT * FROM Questions WHERE QueID=12"},
        // A qualified column on the left of SET.
        {Sql::ZeroNullQueType, "UPDATE Questions SET QueType = 0 WHERE (((Questions.QueType) Is Null))"},
        {"UPDATE T SET T.a=1, T.b = 2 WHERE T.c=3", "UPDATE T SET a=1, b = 2 WHERE T.c=3"},
        // Chains of one column against numbers.
        {"SELECT * FROM Questions WHERE QueID=12 OR QueID=15", "SELECT * FROM Questions WHERE QueID IN (12,15)"},
        {"SELECT * FROM Students WHERE KlassID=3 OR KlassID=-4 OR KlassID=5 ORDER BY Name",
         "SELECT * FROM Students WHERE KlassID IN (3,-4,5) ORDER BY Name COLLATE vastrel_text"},
        {"SELECT * FROM Students WHERE KlassID=3\r\n or KlassID=4", "SELECT * FROM Students WHERE KlassID IN (3,4)"},
        // Neighbours bound tighter keep their terms.
        {"SELECT * FROM T WHERE a=1 OR a=2 AND b=3", "SELECT * FROM T WHERE a=1 OR a=2 AND b=3"},
        {"SELECT * FROM T WHERE a=1 OR a=2 OR a=3 AND b=3", "SELECT * FROM T WHERE a IN (1,2) OR a=3 AND b=3"},
        {"SELECT * FROM T WHERE b=3 AND a=1 OR a=2 OR a=3", "SELECT * FROM T WHERE b=3 AND a=1 OR a IN (2,3)"},
        {"SELECT * FROM T WHERE NOT a=1 OR a=2", "SELECT * FROM T WHERE NOT a=1 OR a=2"},
        {"SELECT * FROM T WHERE a=1 OR a=2+1", "SELECT * FROM T WHERE a=1 OR a=2+1"},
        {"SELECT * FROM T WHERE a=1 OR b=2", "SELECT * FROM T WHERE a=1 OR b=2"},
        {"SELECT * FROM T WHERE a=1.5 OR a=2", "SELECT * FROM T WHERE a=1.5 OR a=2"},
        {"SELECT * FROM T WHERE x.a=1 OR x.a=2", "SELECT * FROM T WHERE x.a IN (1,2)"},
        // A whole day in the computer's short form becomes that day's range of ISO 8601 text.
        {"SELECT * FROM Results, Students WHERE Results.StudentID= Students.StudentID  AND Date LIKE \"05.03.2024%\"  ",
         "SELECT * FROM Results, Students WHERE Results.StudentID= Students.StudentID  AND (Date >= '2024-03-05' AND "
         "Date < '2024-03-06')  "},
        {"SELECT * FROM Results WHERE Date LIKE \"31.12.2024%\"",
         "SELECT * FROM Results WHERE (Date >= '2024-12-31' AND Date < '2025-01-01')"},
        // Any other pattern stays a LIKE over the ISO text.
        {"SELECT * FROM Results WHERE Date LIKE \"05.03.2024\"", "SELECT * FROM Results WHERE Date LIKE '2024-03-05'"},
        {"SELECT * FROM Results WHERE Date LIKE \"it's%\"", "SELECT * FROM Results WHERE Date LIKE 'it''s%'"},
    };
    for (const auto& tc : cases) {
        const DialectStatement st = ToSqliteDialect(QString::fromUtf8(tc.in));
        EXPECT_EQ(st.sql, QString::fromUtf8(tc.out)) << tc.in;
        EXPECT_TRUE(st.externalPath.isEmpty());
    }
}

TEST(SqlDialect, InsertIntoAnotherFile)
{
    const QString text = SqlFormat(QString::fromLatin1(Sql::MigrateTable), {"Topics", "/a b/vs4.mdb", "Topics"});
    EXPECT_EQ(text, QStringLiteral("INSERT INTO Topics IN \"/a b/vs4.mdb\" SELECT * FROM Topics"));
    const DialectStatement st = ToSqliteDialect(text);
    EXPECT_EQ(st.externalPath, QStringLiteral("/a b/vs4.mdb"));
    EXPECT_EQ(st.externalTable, QStringLiteral("Topics"));
    EXPECT_EQ(st.sourceTable, QStringLiteral("Topics"));
}

TEST(SqlDialect, LongChainsFoldIntoOneList)
{
    QString text = SqlFormat(QString::fromLatin1(Sql::FirstListedQuestion), {Sql::AllQuestions, "1"});
    QString expected = QStringLiteral("SELECT * FROM Questions WHERE QueID IN (1");
    for (int id = 2; id <= 5000; ++id) {
        text = SqlFormat(QString::fromLatin1(Sql::NextListedQuestion), {text, QString::number(id)});
        expected += u',' + QString::number(id);
    }
    EXPECT_EQ(ToSqliteDialect(text).sql, expected + u')');
}

TEST(SqlDialect, FormatFillsMarkersInOrderAndChecksTheirCount)
{
    EXPECT_EQ(SqlFormat(QString::fromLatin1(Sql::DeleteResult), {"17"}),
              QStringLiteral("DELETE FROM Results WHERE ResID=17"));
    EXPECT_EQ(SqlFormat(QString::fromLatin1(Sql::ArchiveDatePart), {"05.03.2024%"}),
              QStringLiteral("AND Date LIKE \"05.03.2024%\""));
    EXPECT_THROW(SqlFormat(QString::fromLatin1(Sql::ArchiveQuery), {"a"}), AppError);
    EXPECT_THROW(SqlFormat(QString::fromLatin1(Sql::DeleteResult), {"1", "2"}), AppError);
}
