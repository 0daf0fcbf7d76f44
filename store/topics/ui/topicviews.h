#pragma once

#include <QIcon>
#include <QList>
#include <functional>

class ColumnMenu;
class QAction;
class QTreeWidget;
class QTreeWidgetItem;
class TSharedDM;
enum class StoreProgram;

// The topic tree in tree views and topics menus, read level by level from the shared data module.
// The programs' image lists are lists of icons; a node or entry also keeps its image number.
namespace TopicViews {

static constexpr int TopicNodeImage = 17;
static constexpr int LoadFromFileImage = 4;
static constexpr int DefaultTopicBreakCount = 10;
// Item data roles of tree nodes: the state value (TopicID) and the image number.
static constexpr int TopicIdRole = Qt::UserRole;
static constexpr int ImageIndexRole = Qt::UserRole + 1;

using ImageList = QList<QIcon>;

// One level of the tree: below the node (its children rebuilt), or the whole tree for none.
void FillTopicLevel(TSharedDM& shared, QTreeWidget* tree, QTreeWidgetItem* node, const ImageList& images = {});
// The node or one of its following siblings whose state value is the id.
QTreeWidgetItem* FindSiblingByID(QTreeWidgetItem* node, int topicId);
// Opens the tree along the ids from the top down; the last id's node, or null.
QTreeWidgetItem* ExpandTopicPath(TSharedDM& shared, QTreeWidget* tree, const QList<int>& ids,
                                 const ImageList& images = {});
// Reads a node's children when it is expanded.
void ConnectLevelReading(TSharedDM& shared, QTreeWidget* tree, const ImageList& images = {});

struct MenuHandlers
{
    std::function<void(QAction*)> loadFromFile; // may be absent
    std::function<void(QAction*)> openParent;   // a topic with sub-topics is being opened: fill it
    std::function<void(QAction*)> chooseTopic;
};

// One level of a topics menu: `level` is the top menu or the sub-menu of a topic's entry (whose
// menuAction() carries the topic's id as its data). In Vezuviroz a topic's own entry in its
// sub-menu reads "Вся тема: " and the name.
void BuildTopicsMenu(TSharedDM& shared, ColumnMenu* top, ColumnMenu* level, const MenuHandlers& handlers,
                     StoreProgram program, int topicBreakCount, const ImageList& images = {});
// The tag of an entry: the topic's id (0 for the top level).
int EntryTag(const QAction* entry);

} // namespace TopicViews
