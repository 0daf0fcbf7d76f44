#include "criterialistf.h"
#include "gradingfixture.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QStringList column(QTableWidget* grid, int c)
{
    QStringList cells;
    for (int r = 0; r < grid->rowCount(); ++r)
        cells.append(grid->item(r, c)->text());
    return cells;
}

struct WindowCase
{
    QString criteria;
    QStringList marks;
    QStringList thresholds;
};

void PrintTo(const WindowCase& c, std::ostream* os)
{
    *os << c.marks.size() << " rows from " << c.marks.value(0).toStdString();
}

class CriteriaWindowTest : public testing::TestWithParam<WindowCase>
{
protected:
    void TearDown() override
    {
        TCriteriaListF::closeInstance();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_P(CriteriaWindowTest, ShowsRowsOfTheScale)
{
    TCriteriaListF* window = TCriteriaListF::ensure(GetParam().criteria);
    window->show();
    EXPECT_EQ(window->windowTitle(), "Критерии оценки");
    auto* grid = window->findChild<QTableWidget*>("grid");
    ASSERT_NE(grid, nullptr);
    EXPECT_TRUE(grid->isVisible());
    EXPECT_FALSE(window->findChild<QLabel*>("lblUnknownScale")->isVisible());
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), "Балл");
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "Мин. %");
    EXPECT_EQ(column(grid, 0), GetParam().marks);
    EXPECT_EQ(column(grid, 1), GetParam().thresholds);
}

QStringList numbers(int from, int to, const QString& suffix = {})
{
    QStringList list;
    for (int i = from; i >= to; --i)
        list.append(QString::number(i) + suffix);
    return list;
}

INSTANTIATE_TEST_SUITE_P(
    Scales, CriteriaWindowTest,
    testing::Values(WindowCase{fixture::criteria(1, true, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 60}), {"Зачёт"}, {"60%"}},
                    WindowCase{fixture::criteria(5, true, {0, 0, 0, 0, 0, 0, 0, 90, 120, 50, 30, 0}),
                               {"5", "3", "2"},
                               {"90%", "50%", "30%"}},
                    WindowCase{fixture::criteria(12, true, {110, 100, 95, 85, 80, 75, 65, 55, 45, 35, 20, 50}),
                               numbers(11, 2),
                               {"100%", "95%", "85%", "80%", "75%", "65%", "55%", "45%", "35%", "20%"}},
                    WindowCase{fixture::criteria(100, true, {}), numbers(100, 2), numbers(100, 2, "%")},
                    // Without a scale line the window shows the twelve-point layout.
                    WindowCase{"Na12=90\r\nNa2=10\r\n",
                               numbers(12, 2),
                               {"90%", "0%", "0%", "0%", "0%", "0%", "0%", "0%", "0%", "0%", "10%"}}));

class CriteriaWindowLife : public testing::Test
{
protected:
    void TearDown() override
    {
        TCriteriaListF::closeInstance();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(CriteriaWindowLife, UnknownScaleSaysSo)
{
    TCriteriaListF* window = TCriteriaListF::ensure(fixture::criteria(7, true, {}));
    window->show();
    auto* label = window->findChild<QLabel*>("lblUnknownScale");
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(label->text(), "Неизвестная система оценивания: 7");
    EXPECT_FALSE(window->findChild<QTableWidget*>("grid")->isVisible());
}

TEST_F(CriteriaWindowLife, OneAtATimeFreedOnCloseBuiltAnew)
{
    const QString five = fixture::criteria(5, true, {0, 0, 0, 0, 0, 0, 0, 90, 75, 50, 30, 0});
    const QString pass = fixture::criteria(1, true, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 60});
    EXPECT_EQ(TCriteriaListF::instance(), nullptr);
    QPointer<TCriteriaListF> first = TCriteriaListF::ensure(five);
    first->show();
    // A second request while it is open gets the same window, still showing the first list.
    EXPECT_EQ(TCriteriaListF::ensure(pass), first.data());
    EXPECT_EQ(first->findChild<QTableWidget*>("grid")->rowCount(), 4);

    auto* close = first->findChild<QPushButton*>("btnClose");
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->text(), "Закрыть");
    QTest::mouseClick(close, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(TCriteriaListF::instance(), nullptr);

    TCriteriaListF* second = TCriteriaListF::ensure(pass);
    auto* grid = second->findChild<QTableWidget*>("grid");
    ASSERT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(grid->item(0, 0)->text(), "Зачёт");
}

} // namespace
