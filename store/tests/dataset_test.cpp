#include "apperror.h"
#include "appfolder.h"
#include "dataset.h"
#include "sqltexts.h"
#include "storeconnection.h"

#include <QDateTime>
#include <QSqlQuery>
#include <functional>
#include <gtest/gtest.h>

namespace {

class DatasetTest : public testing::Test
{
protected:
    void SetUp() override { store.open(AppFilePath(QStringLiteral("vs4.mdb"))); }

    // What the file holds, read past the datasets.
    QVariant scalar(const QString& sql)
    {
        QSqlQuery q(store.database());
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
        return q.next() ? q.value(0) : QVariant();
    }

    void addTopic(const QString& name, int parent)
    {
        store.execute(QStringLiteral("INSERT INTO Topics (TopicName, ParentID) VALUES (:n, :p)"),
                      {{"n", name}, {"p", parent}});
    }

    StoreConnection store{QStringLiteral("ds")};
};

} // namespace

TEST_F(DatasetTest, OpensWithNamedParametersAndWalksTheRows)
{
    addTopic("b", 0);
    addTopic("a", 0);
    addTopic("c", 5);
    Dataset d(&store, "sqlSingleLevelTopics", Sql::SingleLevelTopics);
    d.setParam("ParentID", 0);
    d.open();
    ASSERT_EQ(d.recordCount(), 2);
    QStringList names;
    for (d.first(); !d.eof(); d.next())
        names.append(d.value("TopicName").toString());
    EXPECT_EQ(names, (QStringList{"a", "b"}));
    EXPECT_EQ(d.recNo(), 2);
    EXPECT_EQ(d.fieldNames().first(), QStringLiteral("TopicID"));

    d.setParam("parentid", 5); // names compare without case
    d.requery();
    ASSERT_EQ(d.recordCount(), 1);
    EXPECT_EQ(d.value("TopicName").toString(), QStringLiteral("c"));
    EXPECT_EQ(d.value("ParentID").typeId(), QMetaType::Int);

    d.setParam("ParentID", 99);
    d.requery();
    EXPECT_TRUE(d.isEmpty());
    EXPECT_TRUE(d.eof());
    EXPECT_EQ(d.recNo(), 0);
    EXPECT_FALSE(d.value("TopicName").isValid());
}

TEST_F(DatasetTest, EditInsertAppendReachTheFileAtOnce)
{
    addTopic("a", 0);
    addTopic("c", 0);
    Dataset d(&store, "sqlTopics", Sql::TopicsByName);
    d.open();
    d.edit();
    d.setValue("Remark", "changed");
    EXPECT_EQ(d.state(), DatasetState::Edit);
    d.post();
    EXPECT_EQ(scalar("SELECT Remark FROM Topics WHERE TopicName='a'").toString(), QStringLiteral("changed"));

    d.last(); // "c"
    ASSERT_TRUE(d.insert());
    d.setValue("TopicName", "b");
    d.setValue("ParentID", 0);
    EXPECT_EQ(d.recNo(), 0);
    d.post();
    EXPECT_EQ(d.recNo(), 2);                  // inserted before the row that was current
    EXPECT_GT(d.value("TopicID").toInt(), 2); // the store numbered it
    EXPECT_EQ(scalar("SELECT Count(*) FROM Topics").toInt(), 3);

    ASSERT_TRUE(d.append());
    d.setValue("TopicName", "0");
    d.post();
    EXPECT_EQ(d.recNo(), 4);

    // Moving away posts a pending edit.
    d.first();
    d.edit();
    d.setValue("Remark", "moved");
    d.next();
    EXPECT_EQ(d.state(), DatasetState::Browse);
    EXPECT_EQ(scalar("SELECT Remark FROM Topics WHERE TopicName='a'").toString(), QStringLiteral("moved"));
}

TEST_F(DatasetTest, CancelDeleteAndLocate)
{
    for (const char* n : {"a", "b", "c"})
        addTopic(n, 0);
    Dataset d(&store, "sqlTopics", Sql::TopicsByName);
    d.open();
    d.edit();
    d.setValue("TopicName", "zzz");
    d.cancel();
    EXPECT_EQ(d.value("TopicName").toString(), QStringLiteral("a"));
    ASSERT_TRUE(d.append());
    d.cancel();
    EXPECT_EQ(d.recordCount(), 3);
    EXPECT_EQ(scalar("SELECT Count(*) FROM Topics").toInt(), 3);

    EXPECT_TRUE(d.locate("TopicName", "B", Qt::CaseInsensitive));
    EXPECT_EQ(d.recNo(), 2);
    EXPECT_FALSE(d.locate("TopicName", "B"));
    EXPECT_EQ(d.recNo(), 2);
    d.remove();
    EXPECT_EQ(d.value("TopicName").toString(), QStringLiteral("c")); // the next one became current
    d.remove();
    EXPECT_EQ(d.value("TopicName").toString(), QStringLiteral("a")); // the last was gone: now the new last
    EXPECT_EQ(scalar("SELECT Count(*) FROM Topics").toInt(), 1);
    EXPECT_THROW(d.setValue("TopicName", "x"), AppError); // not in edit mode
    EXPECT_THROW(d.value("NoSuchField"), AppError);
}

TEST_F(DatasetTest, TypesFollowTheSchema)
{
    Dataset q(&store, "q", Sql::AllQuestions);
    q.open();
    ASSERT_TRUE(q.append());
    EXPECT_EQ(q.value("Used"), QVariant(false)); // a new row shows the store's defaults
    EXPECT_EQ(q.value("Price"), QVariant(1));
    EXPECT_FALSE(q.value("LinksCount").isValid());
    q.setValue("OK3", true);
    q.setValue("Pict1", QByteArray("BM\x00\x01", 4));
    q.setValue("Question", "Сколько?");
    q.post();
    EXPECT_EQ(q.value("OK3"), QVariant(true));
    EXPECT_EQ(q.value("OK2"), QVariant(false));
    EXPECT_EQ(q.value("Pict1").toByteArray(), QByteArray("BM\x00\x01", 4));
    EXPECT_FALSE(q.value("LinksCount").isValid());
    EXPECT_EQ(scalar("SELECT OK3 FROM Questions").toInt(), 1);

    Dataset r(&store, "r", Sql::AllStudentsByName);
    r.open();
    Dataset results(&store, "res", Sql::ResultsOfTopic);
    results.setParam("aTopicID", 4);
    results.open();
    const QDateTime when(QDate(2024, 3, 5), QTime(10, 20, 30));
    ASSERT_TRUE(results.append());
    results.setValue("Date", when);
    results.setValue("TopicID", 4);
    results.setValue("RightsPercent", 87.5);
    results.post();
    results.requery();
    ASSERT_EQ(results.recordCount(), 1);
    EXPECT_EQ(results.value("Date").toDateTime(), when);
    EXPECT_DOUBLE_EQ(results.value("RightsPercent").toDouble(), 87.5);
    EXPECT_EQ(scalar("SELECT Date FROM Results").toString(), QStringLiteral("2024-03-05T10:20:30"));
}

TEST_F(DatasetTest, KeylessTableRowsAreWrittenBackOneByOne)
{
    Dataset s(&store, "sqlSettings", Sql::Settings);
    s.open();
    for (int topic : {3, 3, 5}) { // two rows alike: each must still be its own
        ASSERT_TRUE(s.append());
        s.setValue("TopicID", topic);
        s.post();
    }
    s.first();
    s.edit();
    s.setValue("Default", true);
    s.post();
    EXPECT_EQ(scalar("SELECT Count(*) FROM Settings WHERE \"Default\"=1").toInt(), 1);
    s.remove();
    EXPECT_EQ(scalar("SELECT Count(*) FROM Settings WHERE TopicID=3").toInt(), 1);
}

TEST_F(DatasetTest, EventsAndCalculatedFields)
{
    Dataset d(&store, "k", Sql::Klasses);
    QStringList seen;
    bool permit = false;
    d.beforeInsert = [&](Dataset&) { return permit; };
    d.afterInsert = [&](Dataset&) { seen << "afterInsert"; };
    d.onNewRecord = [&](Dataset& ds) { ds.setValue("Klass", "new"); };
    d.afterPost = [&](Dataset& ds) { seen << "afterPost " + QString::number(ds.recordCount()); };
    d.beforeDelete = [&](Dataset& ds) { seen << "beforeDelete " + ds.value("Klass").toString(); };
    d.afterScroll = [&](Dataset& ds) { seen << "scroll " + QString::number(ds.recNo()); };
    d.addCalculatedField("_s_Upper", [](const Dataset& ds) { return ds.value("Klass").toString().toUpper(); });
    d.open();
    EXPECT_FALSE(d.append()); // abandoned silently
    EXPECT_EQ(d.state(), DatasetState::Browse);
    permit = true;
    ASSERT_TRUE(d.append());
    d.post();
    EXPECT_EQ(d.value("_s_Upper").toString(), QStringLiteral("NEW"));
    d.remove();
    EXPECT_EQ(seen, (QStringList{"scroll 0", "afterInsert", "afterPost 1", "beforeDelete new", "scroll 0"}));
}

TEST_F(DatasetTest, JoinsAndCountsAreReadOnly)
{
    store.execute(QStringLiteral("INSERT INTO Students (Name, KlassID) VALUES ('Иванов', 1)"));
    store.execute(QStringLiteral("INSERT INTO Results (StudentID, TopicID, Points) VALUES (1, 2, 9)"));
    Dataset a(&store, "archive", Sql::ArchiveJoin);
    a.open();
    ASSERT_EQ(a.recordCount(), 1);
    EXPECT_EQ(a.value("Name").toString(), QStringLiteral("Иванов"));
    EXPECT_EQ(a.value("Points"), QVariant(9));
    EXPECT_FALSE(a.isWritable());
    EXPECT_THROW(a.edit(), AppError);
    Dataset w(&store, "sqlWorkingCount", Sql::WorkingCount);
    w.open();
    EXPECT_EQ(w.value("WorkingCount").toInt(), 0);
    EXPECT_FALSE(w.isWritable());
}

TEST_F(DatasetTest, ClosingTheConnectionClosesItsDatasetsAndOpenAllReopensThem)
{
    addTopic("a", 0);
    Dataset d1(&store, "one", Sql::AllTopics);
    Dataset d2(&store, "two", Sql::Klasses);
    EXPECT_EQ(store.datasets(), (QList<Dataset*>{&d1, &d2}));
    store.openAllDatasets();
    EXPECT_TRUE(d1.isOpen() && d2.isOpen());
    const QString path = store.path();
    store.close();
    EXPECT_FALSE(d1.isOpen());
    EXPECT_THROW(d1.open(), AppError);
    store.open(path);
    store.openAllDatasets();
    EXPECT_EQ(d1.recordCount(), 1);
}

// Names are matched and sorted as a Russian reader expects, whatever their case.
TEST_F(DatasetTest, TextComparesWithoutCaseInEveryAlphabet)
{
    for (const char* name : {"ёлкин", "Агеев", "Ежов", "бобров", "Иванов", "иваненко", "Ivanov"})
        store.execute(QStringLiteral("INSERT INTO Students (Name, KlassID) VALUES (:n, 1)"),
                      {{"n", QString::fromUtf8(name)}});
    const struct
    {
        const char* prompt;
        QStringList found;
    } cases[] = {
        {"ив%", {"иваненко", "Иванов"}},
        {"iV%", {"Ivanov"}},
        {"ИВАН%", {"иваненко", "Иванов"}},
        {"Е%", {"Ежов"}},
        {"%о_", {"бобров", "Ежов", "Иванов"}},
        {"%", {"Агеев", "бобров", "Ежов", "ёлкин", "иваненко", "Иванов", "Ivanov"}},
        {"x%", {}},
    };
    Dataset d(&store, "search", Sql::StudentSearch);
    d.setParam("KlassID", "%");
    for (const auto& tc : cases) {
        d.setParam("PromptName", QString::fromUtf8(tc.prompt));
        d.requery();
        QStringList got;
        for (d.first(); !d.eof(); d.next())
            got.append(d.value("Name").toString());
        QStringList expected;
        for (const QString& n : tc.found)
            expected.append(n);
        EXPECT_EQ(got, expected) << tc.prompt;
    }
}

// The other program deleted the row in the meantime: the change is refused, not lost silently.
TEST_F(DatasetTest, EditingARowThatAnotherConnectionDeletedFails)
{
    addTopic("a", 0);
    Dataset d(&store, "sqlTopics", Sql::TopicsByName);
    d.open();
    {
        StoreConnection other(QStringLiteral("other"));
        other.open(store.path());
        other.execute(QStringLiteral("DELETE FROM Topics"));
    }
    d.edit();
    d.setValue("Remark", "lost?");
    EXPECT_THROW(d.post(), AppError);
    EXPECT_EQ(d.state(), DatasetState::Edit);
    d.cancel();
    EXPECT_EQ(scalar("SELECT Count(*) FROM Topics").toInt(), 0);
}

// A posted change is not read back: the row must show exactly what a fresh read of the file gives,
// whatever type of value the caller handed in.
TEST_F(DatasetTest, UpdatedRowShowsWhatTheFileHolds)
{
    const struct
    {
        const char* sql;
        const char* field;
        QVariant given;
    } cases[] = {
        {Sql::AllQuestions, "Price", QStringLiteral("7")},
        {Sql::AllQuestions, "Price", 3.0},
        {Sql::AllQuestions, "Price", QVariant()},
        {Sql::AllQuestions, "Ans1", 12},
        {Sql::AllQuestions, "Ans1", QStringLiteral("007")},
        {Sql::AllQuestions, "OK2", QStringLiteral("1")},
        {Sql::AllQuestions, "OK2", 0},
        {Sql::AllQuestions, "QuePict", QByteArray("BM\x00\xff", 4)},
        {Sql::AllQuestions, "Question", QStringLiteral("две\r\nстроки")},
        {"SELECT * FROM Results", "Date", QDate(2024, 2, 29)},
        {"SELECT * FROM Results", "Date", QStringLiteral("не дата")},
        {"SELECT * FROM Results", "RightsPercent", QStringLiteral("2.5")},
        {"SELECT * FROM Results", "RightsPercent", 66.625},
    };
    store.execute(QStringLiteral("INSERT INTO Questions (Question) VALUES ('q')"));
    store.execute(QStringLiteral("INSERT INTO Results (TopicID) VALUES (1)"));
    for (const auto& c : cases) {
        const QString label = QStringLiteral("%1=%2").arg(c.field, c.given.toString());
        Dataset d(&store, "d", c.sql);
        d.open();
        d.edit();
        d.setValue(c.field, c.given);
        d.post();
        Dataset fresh(&store, "fresh", c.sql);
        fresh.open();
        EXPECT_EQ(d.currentValues(), fresh.currentValues()) << label.toStdString();
        EXPECT_EQ(d.value(c.field).typeId(), fresh.value(c.field).typeId()) << label.toStdString();
    }
}

// Write statements are kept prepared: more distinct ones than are kept, and a reconnection in
// between, must still write every change to the file.
TEST_F(DatasetTest, WritesReachTheFilePastTheKeptStatementsAndAReconnection)
{
    addTopic("a", 0);
    Dataset d(&store, "sqlQuestions", Sql::AllQuestions);
    d.open();
    ASSERT_TRUE(d.append());
    d.post();
    const int id = d.value("QueID").toInt();
    // Each pair of answers changed together is another UPDATE text.
    int written = 0;
    QStringList last;
    for (int a = 1; a <= 8; ++a)
        for (int b = a; b <= 8 && written < 2 * Dataset::MaxPreparedStatements; ++b, ++written) {
            last = QStringList{QStringLiteral("Ans%1").arg(a), QStringLiteral("Ans%1").arg(b)};
            d.edit();
            d.setValue(QStringLiteral("Ans%1").arg(a), QStringLiteral("a%1").arg(written));
            d.setValue(QStringLiteral("Ans%1").arg(b), QStringLiteral("b%1").arg(written));
            d.post();
            EXPECT_EQ(scalar(QStringLiteral("SELECT Ans%1 FROM Questions WHERE QueID=%2").arg(b).arg(id)).toString(),
                      QStringLiteral("b%1").arg(written));
        }
    ASSERT_EQ(written, 2 * Dataset::MaxPreparedStatements);

    const QString path = store.path();
    store.close();
    store.open(path);
    store.openAllDatasets();
    ASSERT_TRUE(d.locate("QueID", id));
    // The statement used last before the reconnection, once more.
    d.edit();
    d.setValue(last[0], "after");
    d.setValue(last[1], "after");
    d.post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT %1 FROM Questions WHERE QueID=%2").arg(last[1]).arg(id)).toString(),
              "after");
    ASSERT_TRUE(d.append());
    d.setValue("Question", "new");
    d.post();
    EXPECT_GT(d.value("QueID").toInt(), id);
    d.remove();
    EXPECT_EQ(scalar("SELECT Count(*) FROM Questions").toInt(), 1);
}

// A text longer than its column is refused where it enters the store, naming the field and its
// width; the row keeps what it had. Memo columns have no width.
TEST_F(DatasetTest, TextsLongerThanTheirColumnAreRefused)
{
    struct Case
    {
        const char* sql;
        const char* field;
        int width; // 0: a Memo column
    };
    const Case cases[] = {
        {Sql::AllTopics, "TopicName", 50},
        {Sql::AllTopics, "Remark", 255},
        {Sql::AllTopics, "QueIDs", 0},
        {Sql::AllQuestions, "Ans8", 255},
        {Sql::AllQuestions, "HowMixed", 50},
        {Sql::AllQuestions, "Question", 0},
        {"SELECT * FROM CurrentTesting", "PcName", 15},
        {"SELECT * FROM CurrentTesting", "IP", 15},
        {"SELECT * FROM Results", "PcName", 10},
        {"SELECT * FROM Students", "Name", 50},
    };
    for (const Case& c : cases) {
        Dataset d(&store, "d", QString::fromUtf8(c.sql));
        d.open();
        ASSERT_TRUE(d.append()) << c.field;
        const int width = c.width > 0 ? c.width : 100000;
        // Cyrillic counts in characters, not in bytes.
        const QString fits(width, QChar(u'ж'));
        d.setValue(c.field, fits);
        EXPECT_EQ(d.value(c.field).toString(), fits) << c.field;
        if (c.width > 0) {
            try {
                d.setValue(c.field, fits + u'ж');
                ADD_FAILURE() << c.field << " took a text one character too long";
            } catch (const AppError& e) {
                EXPECT_EQ(e.message(),
                          QStringLiteral("Текст поля \"%1\" длиннее %2 символов.").arg(c.field).arg(c.width));
            }
            EXPECT_EQ(d.value(c.field).toString(), fits) << c.field;
        }
        d.cancel();
    }
}

// Pictures are read from the file with their row when first asked for, whichever way they are
// asked for; values a row already shows, the others' pictures and every write keep their meaning.
TEST_F(DatasetTest, PicturesAreReadWithTheirRowWhenAskedFor)
{
    const QByteArray pict[] = {QByteArray("BM\x01\x00", 4), QByteArray(), QByteArray("BM\x03\xff\x00", 5)};
    for (const QByteArray& p : pict)
        store.execute(QStringLiteral("INSERT INTO Questions (Question, QuePict, Pict8) VALUES ('q', :p, :p)"),
                      {{"p", p.isEmpty() ? QVariant() : QVariant(p)}});
    const auto same = [](const QVariant& shown, const QByteArray& stored) {
        return stored.isEmpty() ? !shown.isValid() : shown.toByteArray() == stored;
    };
    const struct
    {
        const char* way;
        std::function<QVariant(Dataset&, int row)> read; // QuePict of the row, asked for this way
    } ways[] = {
        {"value",
         [](Dataset& d, int row) {
             d.first();
             d.moveBy(row);
             return d.value("QuePict");
         }},
        {"value by ordinal",
         [](Dataset& d, int row) {
             d.first();
             d.moveBy(row);
             return d.value(d.fieldIndex("QuePict"));
         }},
        {"rowValues", [](Dataset& d, int row) { return d.rowValues(row)[d.fieldIndex("QuePict")]; }},
        {"currentValues",
         [](Dataset& d, int row) {
             d.first();
             d.moveBy(row);
             return d.currentValues()[d.fieldIndex("QuePict")];
         }},
        {"locate",
         [&](Dataset& d, int row) {
             d.last();
             return d.locate("QuePict", pict[row].isEmpty() ? QVariant() : QVariant(pict[row])) && d.recNo() == row + 1
                        ? d.value("QuePict")
                        : QVariant(QStringLiteral("not found"));
         }},
        {"after an edit of the text",
         [](Dataset& d, int row) {
             d.first();
             d.moveBy(row);
             d.edit();
             d.setValue("Question", "changed");
             d.post();
             return d.value("QuePict");
         }},
    };
    for (const auto& w : ways)
        for (int row = 0; row < 3; ++row) {
            Dataset d(&store, "q", Sql::AllQuestions);
            d.open();
            EXPECT_TRUE(same(w.read(d, row), pict[row])) << w.way << " row " << row;
            EXPECT_TRUE(same(d.rowValues(row)[d.fieldIndex("Pict8")], pict[row])) << w.way << " row " << row;
            EXPECT_EQ(d.rowValues(row)[d.fieldIndex("Question")].toString().isEmpty(), false);
        }
    // Edited rows kept their pictures in the file.
    EXPECT_EQ(scalar("SELECT Count(*) FROM Questions WHERE Question='changed'").toInt(), 3);
    EXPECT_EQ(scalar("SELECT QuePict FROM Questions WHERE QueID=3").toByteArray(), pict[2]);

    // A row's pictures come from the file when it is first looked at, not when the set was opened;
    // a row deleted meanwhile shows none and its other values stay.
    Dataset d(&store, "q", Sql::AllQuestions);
    d.open();
    {
        StoreConnection other(QStringLiteral("other"));
        other.open(store.path());
        other.execute(QStringLiteral("UPDATE Questions SET QuePict=X'424D07' WHERE QueID=3"));
        other.execute(QStringLiteral("DELETE FROM Questions WHERE QueID=1"));
    }
    EXPECT_EQ(d.rowValues(2)[d.fieldIndex("QuePict")].toByteArray(), QByteArray("BM\x07", 3));
    EXPECT_FALSE(d.value("QuePict").isValid());
    EXPECT_EQ(d.value("QueID").toInt(), 1);

    // Columns renamed in the text or of a join are read at once, as before.
    Dataset renamed(&store, "r", "SELECT QueID, QuePict AS Picture FROM Questions WHERE QueID=3");
    renamed.open();
    EXPECT_EQ(renamed.value("Picture").toByteArray(), QByteArray("BM\x07", 3));
}
