#include "table.h"

#include <gtest/gtest.h>

TEST(Table, FieldsByNameRegardlessOfCaseAndNullForMissing)
{
    Table t({{QStringLiteral("QueID"), ColumnType::Int, 0, false, true, true},
             {QStringLiteral("Question"), ColumnType::Memo}});
    t.appendRow({12, QStringLiteral("Сколько?")});
    t.appendRow({13}); // short row padded with null
    EXPECT_EQ(t.columnCount(), 2);
    EXPECT_EQ(t.columnIndex(QStringLiteral("queid")), 0);
    EXPECT_EQ(t.value(0, QStringLiteral("QUESTION")).toString(), QStringLiteral("Сколько?"));
    EXPECT_TRUE(t.value(1, QStringLiteral("Question")).isNull());
    EXPECT_FALSE(t.value(0, QStringLiteral("Ans9")).isValid());
    t.setValue(0, QStringLiteral("Ans9"), 5); // no such column: nothing happens
    EXPECT_EQ(t.row(0).size(), 2);
}

TEST(Table, AddedColumnIsNullInExistingRows)
{
    Table t({{QStringLiteral("A"), ColumnType::Int}});
    t.appendRow({1, 2, 3}); // surplus values dropped
    t.addColumn({QStringLiteral("B"), ColumnType::Bool});
    ASSERT_EQ(t.row(0).size(), 2);
    EXPECT_FALSE(t.value(0, 1).isValid());
    t.setValue(0, QStringLiteral("b"), true);
    EXPECT_EQ(TableRow(t, 0).value(QStringLiteral("B")), QVariant(true));
}
