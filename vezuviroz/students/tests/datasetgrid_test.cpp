#include "datasetgrid.h"
#include "studentsfixture.h"

#include <QAbstractItemModelTester>

class DatasetGridTest : public StudentsFixture
{
protected:
    void SetUp() override
    {
        addKlass("7А");
        addKlass("7Б");
        klasses.requery();
    }
    Dataset& klasses = *dm.sqlKlasses;
    DatasetGrid grid{&klasses, "Klass", "Класс"};
    QAbstractItemModelTester tester{&grid, QAbstractItemModelTester::FailureReportingMode::Fatal};

    QStringList shown()
    {
        QStringList names;
        for (int row = 0; row < grid.rowCount(); ++row)
            names.append(grid.index(row, 0).data().toString());
        return names;
    }
    QStringList stored()
    {
        QSqlQuery q(store->database());
        EXPECT_TRUE(q.exec("SELECT Klass FROM Klasses ORDER BY KlassID"));
        QStringList names;
        while (q.next())
            names.append(q.value(0).toString());
        return names;
    }
};

TEST_F(DatasetGridTest, AnEditedCellWaitsForSaveAndCancelDropsIt)
{
    EXPECT_EQ(grid.headerData(0, Qt::Horizontal).toString(), "Класс");
    EXPECT_TRUE(grid.setData(grid.index(1, 0), "7В"));
    EXPECT_TRUE(grid.isEditing());
    EXPECT_EQ(grid.currentRow(), 1);
    EXPECT_EQ(shown(), (QStringList{"7А", "7В"}));
    EXPECT_EQ(stored(), (QStringList{"7А", "7Б"}));
    grid.cancel();
    EXPECT_FALSE(grid.isEditing());
    EXPECT_EQ(shown(), (QStringList{"7А", "7Б"}));

    grid.setData(grid.index(1, 0), "7В");
    grid.post();
    EXPECT_EQ(stored(), (QStringList{"7А", "7В"}));
}

TEST_F(DatasetGridTest, MovingToAnotherRowSavesThePendingChange)
{
    grid.setData(grid.index(0, 0), "8А");
    grid.setCurrentRow(1);
    EXPECT_FALSE(grid.isEditing());
    EXPECT_EQ(grid.currentRow(), 1);
    EXPECT_EQ(stored(), (QStringList{"8А", "7Б"}));
    // Editing another row than the current one saves the current one's change first.
    grid.setData(grid.index(1, 0), "8Б");
    grid.setData(grid.index(0, 0), "9А");
    EXPECT_EQ(stored(), (QStringList{"8А", "8Б"}));
    grid.first();
    EXPECT_EQ(stored(), (QStringList{"9А", "8Б"}));
}

TEST_F(DatasetGridTest, ANewRowStandsAtTheEndUntilSavedAndDeleteRemovesTheCurrentRow)
{
    ASSERT_TRUE(grid.append());
    EXPECT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.currentRow(), 2);
    grid.setData(grid.index(2, 0), "10А");
    EXPECT_EQ(stored().size(), 2);
    grid.post();
    EXPECT_EQ(stored(), (QStringList{"7А", "7Б", "10А"}));
    EXPECT_EQ(grid.currentRow(), 2);

    // A new row cancelled leaves nothing behind; one deleted before it was saved neither.
    grid.append();
    grid.cancel();
    grid.append();
    grid.remove();
    EXPECT_EQ(grid.rowCount(), 3);

    grid.setCurrentRow(0);
    grid.remove();
    EXPECT_EQ(stored(), (QStringList{"7Б", "10А"}));
    EXPECT_EQ(shown(), (QStringList{"7Б", "10А"}));
    grid.last();
    EXPECT_EQ(grid.currentRow(), 1);
    grid.prior();
    EXPECT_EQ(grid.currentRow(), 0);
    grid.next();
    EXPECT_EQ(grid.currentRow(), 1);
}

TEST_F(DatasetGridTest, AChooserListIsNotEdited)
{
    grid.setEditable(false);
    EXPECT_FALSE(grid.flags(grid.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(grid.setData(grid.index(0, 0), "8А"));
    EXPECT_FALSE(grid.isEditing());
}
