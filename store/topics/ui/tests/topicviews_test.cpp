#include "columnmenu.h"
#include "datamodules.h"
#include "dataset.h"
#include "sqltexts.h"
#include "topicviews.h"
#include "utf8text.h"

#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace TopicViews;

namespace {

class Topics
{
public:
    explicit Topics(StoreProgram program) : dm(program), shared(&dm) {}

    int add(const QString& name, int parent = 0)
    {
        Dataset topics(dm.ADOConnection(), "t", Utf8Text(Sql::AllTopics));
        topics.open();
        topics.append();
        topics.setValue("TopicName", name);
        topics.setValue("ParentID", parent);
        topics.post();
        return topics.value("TopicID").toInt();
    }
    // The database module's topics as the program would have read them at opening.
    void reconnect() { dm.Reconnect(false); }

    TDM dm;
    TSharedDM shared;
};

QStringList texts(const QList<QAction*>& entries)
{
    QStringList t;
    for (const QAction* e : entries)
        t << (e->isSeparator() ? QString("-") : e->text());
    return t;
}

QList<int> sizes(const QList<QList<QAction*>>& columns)
{
    QList<int> s;
    for (const auto& c : columns)
        s << int(c.size());
    return s;
}

ImageList images()
{
    ImageList list;
    for (int i = 0; i < 20; ++i) {
        QPixmap pixmap(16, 16);
        pixmap.fill(QColor(i * 10, 0, 0));
        list << QIcon(pixmap);
    }
    return list;
}

} // namespace

TEST(TopicsMenu, TwentyFiveTopicsInColumnsOfTenTenAndFive)
{
    Topics bank(StoreProgram::Scribant);
    for (int i = 0; i < 25; ++i)
        bank.add(QString("Тема %1").arg(i, 2, 10, QChar('0')));
    bank.reconnect();
    ColumnMenu menu;
    QList<int> chosen;
    MenuHandlers handlers;
    handlers.chooseTopic = [&](QAction* e) { chosen << EntryTag(e); };
    QList<int> loads;
    handlers.loadFromFile = [&](QAction* e) { loads << EntryTag(e); };
    const ImageList icons = images();
    BuildTopicsMenu(bank.shared, &menu, &menu, handlers, StoreProgram::Scribant, 10, icons);

    const QList<QList<QAction*>> columns = menu.columns();
    EXPECT_EQ(sizes(columns), QList<int>({10, 10, 7}));
    EXPECT_EQ(columns[1][0]->text(), Utf8Text("Тема 10"));
    EXPECT_EQ(columns[2][4]->text(), Utf8Text("Тема 24"));
    EXPECT_TRUE(columns[2][5]->isSeparator());
    QAction* load = columns[2][6];
    EXPECT_EQ(load->text(), Utf8Text("Загрузить из файла..."));
    EXPECT_EQ(load->property("hint").toString(),
              Utf8Text("Загрузить из файла...|Загрузить список вопросов из файла..."));
    EXPECT_EQ(load->toolTip(), Utf8Text("Загрузить из файла..."));
    EXPECT_EQ(load->statusTip(), Utf8Text("Загрузить список вопросов из файла..."));
    EXPECT_EQ(load->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(load->property("imageIndex").toInt(), 4);
    EXPECT_EQ(load->icon().cacheKey(), icons[4].cacheKey());
    EXPECT_EQ(EntryTag(load), 0);

    // Rebuilding the top level replaces it.
    BuildTopicsMenu(bank.shared, &menu, &menu, handlers, StoreProgram::Scribant, 10, icons);
    EXPECT_EQ(menu.entries().size(), 27);

    // Without the loading handler: no separator, no loading entry.
    BuildTopicsMenu(bank.shared, &menu, &menu, MenuHandlers{{}, {}, handlers.chooseTopic}, StoreProgram::Scribant, 10);
    EXPECT_EQ(sizes(menu.columns()), QList<int>({10, 10, 5}));

    menu.entries()[3]->trigger();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen[0], EntryTag(menu.entries()[3]));
    EXPECT_NE(chosen[0], 0);
}

namespace {

// Each program on its own bank (one test case, one store file).
void checkSubMenus(StoreProgram program)
{
    {
        Topics bank(program);
        const int parent = bank.add("Алгебра");
        for (int i = 0; i < 12; ++i)
            bank.add(QString("Раздел %1").arg(i, 2, 10, QChar('0')), parent);
        bank.add("Геометрия");
        bank.reconnect();

        ColumnMenu menu;
        MenuHandlers handlers;
        QList<int> opened;
        handlers.openParent = [&](QAction* entry) {
            opened << EntryTag(entry);
            BuildTopicsMenu(bank.shared, &menu, qobject_cast<ColumnMenu*>(entry->menu()), handlers, program, 10);
        };
        handlers.chooseTopic = [](QAction*) {};
        handlers.loadFromFile = [](QAction*) {};
        BuildTopicsMenu(bank.shared, &menu, &menu, handlers, program, 10);

        QAction* algebra = menu.entries()[0];
        ASSERT_EQ(algebra->text(), Utf8Text("Алгебра"));
        auto* sub = qobject_cast<ColumnMenu*>(algebra->menu());
        ASSERT_NE(sub, nullptr);
        EXPECT_EQ(menu.entries()[1]->menu(), nullptr);
        const QString own = program == StoreProgram::Vezuviroz ? Utf8Text("Вся тема: Алгебра") : Utf8Text("Алгебра");
        EXPECT_EQ(texts(sub->entries()), QStringList({own, "-"}));
        EXPECT_EQ(sub->defaultAction(), sub->entries()[0]);
        EXPECT_EQ(EntryTag(sub->entries()[0]), parent);

        sub->popup(QPoint(0, 0));
        EXPECT_EQ(opened, QList<int>({parent}));
        // Own entry, separator and eight topics; then four topics, the separator and the loading entry.
        EXPECT_EQ(sizes(sub->columns()), QList<int>({10, 6}));
        EXPECT_EQ(sub->columns()[1][0]->text(), Utf8Text("Раздел 08"));
        EXPECT_EQ(EntryTag(sub->entries().last()), parent);
        sub->close();
        sub->popup(QPoint(0, 0));
        EXPECT_EQ(sub->entries().size(), 16);
        sub->close();
    }
}

} // namespace

TEST(TopicsMenu, VezuvirozSubMenusAreFilledWhenOpenedAndOnce)
{
    checkSubMenus(StoreProgram::Vezuviroz);
}

TEST(TopicsMenu, ScribantSubMenusAreFilledWhenOpenedAndOnce)
{
    checkSubMenus(StoreProgram::Scribant);
}

TEST(TopicTree, LevelsPathsAndSiblings)
{
    Topics bank(StoreProgram::Scribant);
    const int a = bank.add("A");
    const int b = bank.add("B");
    const int a1 = bank.add("A1", a);
    const int a2 = bank.add("A2", a);
    const int a2x = bank.add("A2x", a2);
    bank.reconnect();
    QTreeWidget tree;
    const ImageList icons = images();
    FillTopicLevel(bank.shared, &tree, nullptr, icons);
    ASSERT_EQ(tree.topLevelItemCount(), 2);
    QTreeWidgetItem* itemA = tree.topLevelItem(0);
    EXPECT_EQ(itemA->text(0), "A");
    EXPECT_EQ(itemA->data(0, TopicIdRole).toInt(), a);
    EXPECT_EQ(itemA->data(0, ImageIndexRole).toInt(), 17);
    EXPECT_EQ(itemA->icon(0).cacheKey(), icons[17].cacheKey());
    EXPECT_EQ(itemA->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(tree.topLevelItem(1)->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    EXPECT_EQ(itemA->childCount(), 0);

    EXPECT_EQ(FindSiblingByID(itemA, b), tree.topLevelItem(1));
    EXPECT_EQ(FindSiblingByID(tree.topLevelItem(1), a), nullptr); // only following siblings

    QTreeWidgetItem* found = ExpandTopicPath(bank.shared, &tree, {a, a2, a2x}, icons);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->data(0, TopicIdRole).toInt(), a2x);
    EXPECT_EQ(found->parent()->data(0, TopicIdRole).toInt(), a2);
    EXPECT_EQ(tree.topLevelItem(0)->childCount(), 2);
    EXPECT_EQ(tree.topLevelItem(0)->child(0)->data(0, TopicIdRole).toInt(), a1);
    EXPECT_EQ(ExpandTopicPath(bank.shared, &tree, {a, 9999}, icons), nullptr);
    EXPECT_EQ(ExpandTopicPath(bank.shared, &tree, {}, icons), tree.topLevelItem(0));

    // Expanding an unread node reads its children.
    FillTopicLevel(bank.shared, &tree, nullptr, icons);
    ConnectLevelReading(bank.shared, &tree, icons);
    tree.topLevelItem(0)->setExpanded(true);
    EXPECT_EQ(tree.topLevelItem(0)->childCount(), 2);
}
