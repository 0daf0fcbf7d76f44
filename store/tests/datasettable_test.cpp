#include "appfolder.h"
#include "dataset.h"
#include "datasettable.h"
#include "sqltexts.h"
#include "storeconnection.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace {

class DatasetTableTest : public testing::Test
{
protected:
    void SetUp() override { store.open(AppFilePath(QStringLiteral("vs4.mdb"))); }
    StoreConnection store{QStringLiteral("copy")};
};

} // namespace

TEST_F(DatasetTableTest, QuestionsCopyIntoATableWithTheStoresTypesAndBack)
{
    Dataset q(&store, "q", Sql::AllQuestions);
    q.open();
    const QByteArray bmp("BM\x10\x00\x00\x00", 6);
    for (int i = 1; i <= 3; ++i) {
        q.append();
        q.setValue("Question", QStringLiteral("Вопрос %1").arg(i));
        q.setValue("Ans1", "да");
        q.setValue("OK1", i % 2 == 1);
        q.setValue("QuePict", i == 2 ? QVariant(bmp) : QVariant());
        q.setValue("QueType", i == 3 ? QVariant() : QVariant(1));
        q.post();
    }
    q.first();
    const Table t = DatasetToTable(q);
    EXPECT_EQ(q.recNo(), 1); // did not move
    ASSERT_EQ(t.columnCount(), 43);
    ASSERT_EQ(t.rowCount(), 3);
    EXPECT_EQ(t.column(0).name, QStringLiteral("QueID"));
    EXPECT_TRUE(t.column(0).autoIncrement);
    EXPECT_EQ(t.column(t.columnIndex("OK1")).type, ColumnType::Bool);
    EXPECT_EQ(t.column(t.columnIndex("Question")).type, ColumnType::Memo);
    EXPECT_EQ(t.column(t.columnIndex("TopicID")).type, ColumnType::Int);
    EXPECT_EQ(t.column(t.columnIndex("Pict1")).type, ColumnType::Binary);
    EXPECT_EQ(t.column(t.columnIndex("Ans1")).type, ColumnType::Text);
    EXPECT_EQ(t.column(t.columnIndex("Ans1")).size, 255);
    EXPECT_EQ(t.value(1, "QuePict").toByteArray(), bmp);
    EXPECT_FALSE(t.value(0, "QuePict").isValid());
    EXPECT_FALSE(t.value(2, "QueType").isValid());
    EXPECT_EQ(t.value(2, "OK1"), QVariant(true));
    EXPECT_EQ(t.value(1, "OK1"), QVariant(false));
    EXPECT_EQ(t.value(0, "Price"), QVariant(1));

    // Back into the store as new rows: new keys, the rest as it was, LinksCount left to its default.
    Table withLinks = t;
    withLinks.setValue(0, "LinksCount", 5);
    EXPECT_EQ(AppendTableRows(q, withLinks, {"LinksCount"}), 3);
    ASSERT_EQ(q.recordCount(), 6);
    for (int i = 0; i < 3; ++i) {
        const QVariantList& copy = q.rowValues(3 + i);
        EXPECT_EQ(copy[0].toInt(), 4 + i);
        for (int c = 1; c < t.columnCount(); ++c)
            EXPECT_EQ(copy[c], t.value(i, c)) << t.column(c).name.toStdString();
    }
}

TEST_F(DatasetTableTest, ByNameFromATableOfAnOlderLayout)
{
    // Seven answers, no QueType: what older question files hold.
    Table old({Column{"QueID", ColumnType::Int}, Column{"Question", ColumnType::Memo},
               Column{"ANS7", ColumnType::Text, 255}, Column{"Unknown", ColumnType::Int}});
    old.appendRow({77, "Старый", "седьмой", 3});
    Dataset q(&store, "q", Sql::AllQuestions);
    q.open();
    EXPECT_EQ(AppendTableRows(q, old), 1);
    EXPECT_EQ(q.value("QueID"), QVariant(1)); // numbered by the store, not copied
    EXPECT_EQ(q.value("Ans7").toString(), QStringLiteral("седьмой"));
    EXPECT_FALSE(q.value("QueType").isValid());
    EXPECT_FALSE(q.value("Ans8").isValid());
    EXPECT_EQ(q.value("Used"), QVariant(false));

    Dataset r(&store, "r", Sql::ResultsOfTopic);
    r.setParam("aTopicID", 2);
    r.open();
    Table results(r.fields());
    const QDateTime when(QDate(2025, 1, 2), QTime(3, 4, 5));
    results.appendRow({QVariant(), when, 1, 2, "PC", 55.5, 4, 30, "1=1"});
    EXPECT_EQ(AppendTableRows(r, results), 1);
    r.requery();
    EXPECT_EQ(DatasetToTable(r).value(0, "Date").toDateTime(), when);
    EXPECT_EQ(DatasetToTable(r).column(1).type, ColumnType::Date);
}
