#include "columnmenu.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Entries "c<column>r<row>", a column break before each new column.
QList<QAction*> fill(ColumnMenu& menu, const QList<int>& columnSizes)
{
    QList<QAction*> all;
    for (int c = 0; c < columnSizes.size(); ++c)
        for (int r = 0; r < columnSizes[c]; ++r) {
            auto* entry = new QAction(QString("c%1r%2").arg(c).arg(r), &menu);
            menu.addEntry(entry, r == 0 && c > 0);
            all << entry;
        }
    return all;
}

QStringList texts(const QList<QAction*>& entries)
{
    QStringList t;
    for (const QAction* e : entries)
        t << e->text();
    return t;
}

} // namespace

TEST(ColumnMenu, EntriesStandInColumnsSideBySide)
{
    ColumnMenu menu;
    fill(menu, {3, 2, 1});
    const QList<QList<QAction*>> columns = menu.columns();
    ASSERT_EQ(columns.size(), 3);
    EXPECT_EQ(texts(columns[1]), QStringList({"c1r0", "c1r1"}));
    menu.popup(QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    MenuColumnsView* view = menu.view();
    const QRect first = view->entryRect(columns[0][0]);
    const QRect second = view->entryRect(columns[0][1]);
    const QRect nextColumn = view->entryRect(columns[1][0]);
    EXPECT_EQ(second.top(), first.bottom() + 1);
    EXPECT_EQ(nextColumn.top(), first.top());
    EXPECT_GT(nextColumn.left(), first.right());
    EXPECT_GE(menu.width(), view->entryRect(columns[2][0]).right());
    // A break on the first entry starts no empty column.
    ColumnMenu single;
    single.addEntry(new QAction("x", &single), true);
    EXPECT_EQ(single.columns().size(), 1);
}

TEST(ColumnMenu, KeysMoveWithinAndBetweenColumnsAndEnterChooses)
{
    ColumnMenu menu;
    const QList<QAction*> e = fill(menu, {3, 2, 1});
    menu.insertSeparatorEntry(1); // c0: r0, separator, r1, r2
    menu.popup(QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    QWidget* view = menu.view();

    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_EQ(menu.currentEntry(), e[0]);
    QTest::keyClick(view, Qt::Key_Down); // over the separator
    EXPECT_EQ(menu.currentEntry(), e[1]);
    QTest::keyClick(view, Qt::Key_Up);
    QTest::keyClick(view, Qt::Key_Up); // wraps within the column
    EXPECT_EQ(menu.currentEntry(), e[2]);
    QTest::keyClick(view, Qt::Key_Right); // row 3 of a column of two: the nearest
    EXPECT_EQ(menu.currentEntry(), e[4]);
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_EQ(menu.currentEntry(), e[5]);
    QTest::keyClick(view, Qt::Key_Right); // no column further: stays
    EXPECT_EQ(menu.currentEntry(), e[5]);
    QTest::keyClick(view, Qt::Key_Left);
    EXPECT_EQ(menu.currentEntry(), e[3]);

    QSignalSpy triggered(e[3], &QAction::triggered);
    QSignalSpy menuTriggered(&menu, &QMenu::triggered);
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_EQ(triggered.count(), 1);
    EXPECT_EQ(menuTriggered.count(), 1);
    EXPECT_FALSE(menu.isVisible());
}

TEST(ColumnMenu, SubMenusOpenWithRightAndCloseWithLeft)
{
    ColumnMenu menu;
    auto* plain = new QAction("plain", &menu);
    menu.addEntry(plain);
    auto* sub = new ColumnMenu("sub", &menu);
    menu.addEntry(sub->menuAction());
    auto* inner = new QAction("inner", sub);
    sub->addEntry(inner);
    menu.popup(QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));

    QTest::keyClick(menu.view(), Qt::Key_Down);
    QTest::keyClick(menu.view(), Qt::Key_Down);
    EXPECT_EQ(menu.currentEntry(), sub->menuAction());
    QTest::keyClick(menu.view(), Qt::Key_Right);
    ASSERT_TRUE(sub->isVisible());
    EXPECT_EQ(sub->parentColumnMenu(), &menu);
    EXPECT_EQ(sub->currentEntry(), inner);
    QTest::keyClick(sub->view(), Qt::Key_Left);
    EXPECT_FALSE(sub->isVisible());
    EXPECT_TRUE(menu.isVisible());

    // Choosing inside the sub-menu closes both.
    QTest::keyClick(menu.view(), Qt::Key_Return);
    ASSERT_TRUE(sub->isVisible());
    QSignalSpy triggered(inner, &QAction::triggered);
    QTest::keyClick(sub->view(), Qt::Key_Enter);
    EXPECT_EQ(triggered.count(), 1);
    EXPECT_FALSE(sub->isVisible());
    EXPECT_FALSE(menu.isVisible());
}

TEST(ColumnMenu, MouseClickChoosesTheEntryUnderIt)
{
    ColumnMenu menu;
    const QList<QAction*> e = fill(menu, {2, 2});
    menu.popup(QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    QSignalSpy triggered(e[3], &QAction::triggered);
    const QPoint centre = menu.view()->entryRect(e[3]).center();
    QTest::mouseMove(menu.view(), centre);
    QTest::mouseClick(menu.view(), Qt::LeftButton, {}, centre);
    EXPECT_EQ(triggered.count(), 1);
}
