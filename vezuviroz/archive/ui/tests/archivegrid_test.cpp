#include "archivegrid.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <set>

namespace {

// A table of many rows that notes which rows were asked for their text.
class CountingModel : public QAbstractTableModel
{
public:
    explicit CountingModel(int rows) : m_rows(rows) {}
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        asked.insert(index.row());
        return QStringLiteral("%1:%2").arg(index.row()).arg(index.column());
    }
    void setRows(int rows)
    {
        beginResetModel();
        m_rows = rows;
        endResetModel();
    }
    mutable std::set<int> asked;

private:
    int m_rows;
};

class ArchiveGridTest : public testing::Test
{
protected:
    void SetUp() override
    {
        grid.setModel(&model);
        grid.setSelectionBehavior(QAbstractItemView::SelectRows);
        grid.setSelectionMode(QAbstractItemView::SingleSelection);
        grid.resize(400, 300);
        grid.show();
        (void)grid.grab();
    }
    int rowsInSight() const { return grid.viewport()->height() / grid.rowHeight() + 1; }

    CountingModel model{100000};
    ArchiveGrid grid;
};

} // namespace

TEST_F(ArchiveGridTest, OnlyTheRowsInSightAreAskedForAndDrawn)
{
    ASSERT_FALSE(model.asked.empty());
    EXPECT_EQ(*model.asked.begin(), 0);
    EXPECT_LE(*model.asked.rbegin(), rowsInSight());
    model.asked.clear();
    grid.scrollTo(model.index(50000, 0));
    (void)grid.grab();
    ASSERT_FALSE(model.asked.empty());
    EXPECT_GE(*model.asked.begin(), 50000 - rowsInSight());
    EXPECT_LE(*model.asked.rbegin(), 50000 + 1);
    const QRect shown = grid.visualRect(model.index(50000, 1));
    EXPECT_TRUE(grid.viewport()->rect().contains(shown)) << shown.y();
    EXPECT_EQ(grid.indexAt(shown.center()), model.index(50000, 1));
}

TEST_F(ArchiveGridTest, RowsStandOneRowHeightApartUnderTheColumns)
{
    const int h = grid.rowHeight();
    ASSERT_GT(h, 0);
    for (int row : {0, 1, 7}) {
        const QRect cell = grid.visualRect(model.index(row, 2));
        EXPECT_EQ(cell.top(), row * h) << row;
        EXPECT_EQ(cell.height(), h) << row;
        EXPECT_EQ(cell.left(), grid.horizontalHeader()->sectionViewportPosition(2)) << row;
        EXPECT_EQ(grid.indexAt(cell.center()), model.index(row, 2)) << row;
    }
    EXPECT_FALSE(grid.indexAt(QPoint(grid.horizontalHeader()->length() + 5, 2)).isValid()); // right of the columns
    EXPECT_EQ(grid.verticalScrollBar()->maximum(), 100000 * h - grid.viewport()->height());
    // Fewer rows: the scroll range follows, and no row below the last answers.
    model.setRows(3);
    EXPECT_EQ(grid.verticalScrollBar()->maximum(), 0);
    EXPECT_FALSE(grid.indexAt(QPoint(5, 3 * h + 2)).isValid());
}

TEST_F(ArchiveGridTest, AClickChoosesTheRowAndTheKeysMoveIt)
{
    const QRect cell = grid.visualRect(model.index(4, 1));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(grid.currentIndex(), model.index(4, 1));
    EXPECT_TRUE(grid.selectionModel()->isRowSelected(4, {}));
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(grid.currentIndex().row(), 5);
    EXPECT_FALSE(grid.selectionModel()->isRowSelected(4, {}));
    QTest::keyClick(&grid, Qt::Key_End);
    EXPECT_EQ(grid.currentIndex().row(), 99999);
    EXPECT_TRUE(grid.viewport()->rect().contains(grid.visualRect(grid.currentIndex())));
    QTest::keyClick(&grid, Qt::Key_Home);
    EXPECT_EQ(grid.currentIndex().row(), 0);
    EXPECT_EQ(grid.verticalScrollBar()->value(), 0);
}

TEST_F(ArchiveGridTest, AColumnTitleClickIsReported)
{
    QList<int> clicked;
    QObject::connect(grid.horizontalHeader(), &QHeaderView::sectionClicked, [&](int c) { clicked.append(c); });
    QHeaderView* header = grid.horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
    EXPECT_EQ(clicked, QList<int>{1});
}
