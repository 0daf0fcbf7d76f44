#include "topicviews.h"

#include "columnmenu.h"
#include "datamodules.h"
#include "dataset.h"
#include "topicstexts.h"
#include "utf8text.h"

#include <QAction>
#include <QKeySequence>
#include <QSet>
#include <QTreeWidget>

namespace TopicViews {

namespace {

// Topics that some topic names as its parent, from the database module's topics as read at opening.
QSet<int> parentsOfSomeTopic(TSharedDM& shared)
{
    QSet<int> parents;
    Dataset* topics = shared.dm()->sqlTopics;
    if (!topics || !topics->isOpen())
        return parents;
    for (topics->first(); !topics->eof(); topics->next())
        parents.insert(topics->value(QStringLiteral("ParentID")).toInt());
    return parents;
}

Dataset& readLevel(TSharedDM& shared, int parentId)
{
    Dataset& level = *shared.sqlSingleLevelTopics;
    level.close();
    level.setParam(QStringLiteral("ParentID"), parentId);
    level.open();
    level.first();
    return level;
}

} // namespace

int EntryTag(const QAction* entry)
{
    return entry ? entry->data().toInt() : 0;
}

void FillTopicLevel(TSharedDM& shared, QTreeWidget* tree, QTreeWidgetItem* node, const ImageList& images)
{
    int parentId = 0;
    if (node) {
        qDeleteAll(node->takeChildren());
        parentId = node->data(0, TopicIdRole).toInt();
    } else {
        tree->clear();
    }
    const QSet<int> parents = parentsOfSomeTopic(shared);
    Dataset& level = readLevel(shared, parentId);
    for (; !level.eof(); level.next()) {
        const int topicId = level.value(QStringLiteral("TopicID")).toInt();
        auto* item = node ? new QTreeWidgetItem(node) : new QTreeWidgetItem(tree);
        item->setText(0, level.value(QStringLiteral("TopicName")).toString());
        item->setData(0, TopicIdRole, topicId);
        item->setData(0, ImageIndexRole, TopicNodeImage);
        item->setIcon(0, images.value(TopicNodeImage));
        item->setChildIndicatorPolicy(parents.contains(topicId) ? QTreeWidgetItem::ShowIndicator
                                                                : QTreeWidgetItem::DontShowIndicator);
    }
}

QTreeWidgetItem* FindSiblingByID(QTreeWidgetItem* node, int topicId)
{
    if (!node)
        return nullptr;
    QTreeWidgetItem* parent = node->parent();
    QTreeWidget* tree = node->treeWidget();
    int index = parent ? parent->indexOfChild(node) : tree->indexOfTopLevelItem(node);
    const int count = parent ? parent->childCount() : tree->topLevelItemCount();
    for (; index < count; ++index) {
        QTreeWidgetItem* sibling = parent ? parent->child(index) : tree->topLevelItem(index);
        if (sibling->data(0, TopicIdRole).toInt() == topicId)
            return sibling;
    }
    return nullptr;
}

QTreeWidgetItem* ExpandTopicPath(TSharedDM& shared, QTreeWidget* tree, const QList<int>& ids, const ImageList& images)
{
    if (ids.isEmpty())
        return tree->topLevelItem(0);
    QTreeWidgetItem* first = tree->topLevelItem(0);
    QTreeWidgetItem* found = nullptr;
    for (int id : ids) {
        found = FindSiblingByID(first, id);
        if (!found)
            return nullptr;
        tree->scrollToItem(found);
        FillTopicLevel(shared, tree, found, images);
        found->setExpanded(true);
        first = found->child(0);
    }
    return found;
}

void ConnectLevelReading(TSharedDM& shared, QTreeWidget* tree, const ImageList& images)
{
    QObject::connect(tree, &QTreeWidget::itemExpanded, tree, [&shared, tree, images](QTreeWidgetItem* item) {
        // Expanding after ExpandTopicPath filled it would read the level twice: only an unread one.
        if (item->childCount() == 0)
            FillTopicLevel(shared, tree, item, images);
    });
}

void BuildTopicsMenu(TSharedDM& shared, ColumnMenu* top, ColumnMenu* level, const MenuHandlers& handlers,
                     StoreProgram program, int topicBreakCount, const ImageList& images)
{
    const bool topLevel = level == top;
    if (topLevel)
        level->clearEntries();
    else if (level->entries().size() > 2)
        return; // a level is filled once
    if (topicBreakCount <= 0)
        topicBreakCount = DefaultTopicBreakCount;
    const int levelTag = topLevel ? 0 : EntryTag(level->menuAction());

    const QSet<int> parents = parentsOfSomeTopic(shared);
    Dataset& topics = readLevel(shared, levelTag);
    for (int r = 1; !topics.eof(); topics.next(), ++r) {
        const int topicId = topics.value(QStringLiteral("TopicID")).toInt();
        const QString name = topics.value(QStringLiteral("TopicName")).toString();
        const int position = topLevel ? r - 1 : r + 1;
        const bool startsColumn = position > 0 && position % topicBreakCount == 0;

        QAction* entry;
        if (parents.contains(topicId)) {
            auto* sub = new ColumnMenu(name, level);
            entry = sub->menuAction();
            // The topic's own entry comes first in its sub-menu, as the default.
            auto* own = new QAction(
                program == StoreProgram::Vezuviroz ? Utf8Text(TopicsText::WholeTopicPrefix) + name : name, sub);
            own->setData(topicId);
            if (handlers.chooseTopic)
                QObject::connect(own, &QAction::triggered, own, [own, h = handlers.chooseTopic] { h(own); });
            sub->addEntry(own);
            sub->setDefaultAction(own);
            sub->addSeparatorEntry();
            if (handlers.openParent)
                QObject::connect(sub, &QMenu::aboutToShow, sub, [entry, h = handlers.openParent] { h(entry); });
        } else {
            entry = new QAction(name, level);
            if (handlers.chooseTopic)
                QObject::connect(entry, &QAction::triggered, entry, [entry, h = handlers.chooseTopic] { h(entry); });
        }
        entry->setText(name);
        entry->setData(topicId);
        level->addEntry(entry, startsColumn);
    }

    if (handlers.loadFromFile) {
        level->addSeparatorEntry();
        auto* load = new QAction(Utf8Text(TopicsText::LoadFromFile), level);
        const QStringList hint = Utf8Text(TopicsText::LoadFromFileHint).split(u'|');
        load->setToolTip(hint.value(0));
        load->setStatusTip(hint.value(1));
        load->setProperty("hint", Utf8Text(TopicsText::LoadFromFileHint));
        load->setProperty("imageIndex", LoadFromFileImage);
        load->setIcon(images.value(LoadFromFileImage));
        load->setShortcut(QKeySequence(QString::fromLatin1(TopicsText::LoadFromFileShortcut)));
        load->setData(levelTag);
        QObject::connect(load, &QAction::triggered, load, [load, h = handlers.loadFromFile] { h(load); });
        level->addEntry(load);
    }
}

} // namespace TopicViews
