#include "adtg.h"
#include "archive.h"
#include "questiondraw.h"
#include "setpacker.h"
#include "testhome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

// A topic table as the bank gives it: a key, texts, a picture column with and without pictures.
Table topicTable(int rows)
{
    Table t({{"QueID", ColumnType::Int, 0, false, true, true},
             {"Question", ColumnType::Memo},
             {"QuePict", ColumnType::Binary},
             {"Price", ColumnType::Int},
             {"OK1", ColumnType::Bool}});
    for (int r = 0; r < rows; ++r) {
        QByteArray picture;
        if (r % 3 != 0)
            for (int i = 0; i < 3000 + r * 17; ++i)
                picture.append(char((i * r) % 251));
        t.appendRow({r * 10 + 1, QStringLiteral("Вопрос %1").arg(r), r % 3 ? QVariant(picture) : QVariant(), r % 4,
                     r % 2 == 0});
    }
    return t;
}

Table unpacked(const QByteArray& archive, const QString& name)
{
    const QString folder = testPath(name);
    QDir().mkpath(folder);
    QuestionDraw::WriteArchive(archive, folder + "/set.cmpr");
    const QList<TZLibEntry> entries = TZLibCompression().DecompressFiles(folder + "/set.cmpr", folder);
    EXPECT_EQ(entries.size(), 1);
    return ReadAdtgFile(folder + "/" + QuestionDraw::AdtgFileName);
}

} // namespace

TEST(SetPacker, EverySetUnpacksToTheTableOfItsRows)
{
    const Table topic = topicTable(30);
    SetPacker packer(topic);
    std::mt19937 rng(3);
    const QList<QList<int>> draws{
        QuestionDraw::InKeyOrder(topic, QuestionDraw::PickRows(30, 12, true, rng)),
        QuestionDraw::InKeyOrder(topic, QuestionDraw::PickRows(30, 12, true, rng)),
        {0},
        {29, 3}, // any order the caller gives
        QuestionDraw::PickRows(30, 30, false, rng),
    };
    int n = 0;
    for (const QList<int>& rows : draws) {
        const QByteArray archive = packer.pack(rows);
        ASSERT_FALSE(archive.isEmpty());
        Table expected(topic.columns());
        for (int r : rows)
            expected.appendRow(topic.row(r));
        const Table got = unpacked(archive, QStringLiteral("d%1").arg(n++));
        EXPECT_EQ(WriteAdtg(got), WriteAdtg(expected));
    }
}

TEST(SetPacker, ALargeDrawIsWholeWhileTheCacheOfPiecesGrows)
{
    const Table topic = topicTable(300);
    SetPacker packer(topic);
    std::mt19937 rng(5);
    for (int n = 0; n < 2; ++n) {
        const QList<int> rows = QuestionDraw::InKeyOrder(topic, QuestionDraw::PickRows(300, 200, true, rng));
        const QByteArray archive = packer.pack(rows);
        ASSERT_FALSE(archive.isEmpty());
        EXPECT_EQ(WriteAdtg(unpacked(archive, QStringLiteral("large%1").arg(n))),
                  WriteAdtg(QuestionDraw::SetOf(topic, rows)));
    }
}

TEST(SetPacker, ASetOfNoRowsOrAnEmptyTopicIsLeftToTheUsualWay)
{
    EXPECT_TRUE(SetPacker(topicTable(0)).pack({}).isEmpty());
    const Table topic = topicTable(4);
    SetPacker packer(topic);
    const QByteArray none = packer.pack({});
    // nothing between head and end: the pieces still make up the whole, or the usual way is taken
    if (!none.isEmpty()) {
        EXPECT_EQ(unpacked(none, "none").rowCount(), 0);
    }
}
