#include "topictree.h"

#include <QDragMoveEvent>
#include <QMimeData>

TopicTree::TopicTree(QWidget* parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("tvTopics"));
    setHeaderHidden(true);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    // Labels are edited only on request (F2, the rename button): a double click opens the topic.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void TopicTree::editLabel(QTreeWidgetItem* node)
{
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    editItem(node);
}

void TopicTree::startDrag(Qt::DropActions supportedActions)
{
    const QString previousHint = toolTip();
    setToolTip(QString::fromUtf8("Для копирования удерживать нажатой клавишу \"Ctrl\""));
    if (topicDragging)
        topicDragging(true);
    QTreeWidget::startDrag(supportedActions);
    if (topicDragging)
        topicDragging(false);
    setToolTip(previousHint);
}

void TopicTree::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->source() == this || carriesQuestion(event->mimeData()))
        event->acceptProposedAction();
}

void TopicTree::dragMoveEvent(QDragMoveEvent* event)
{
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    if (!target) {
        event->ignore();
        return;
    }
    // The node under the pointer opens to show where the drop may go.
    if (target->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator || target->childCount() > 0)
        target->setExpanded(true);
    event->setDropAction(event->modifiers().testFlag(Qt::ControlModifier) ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
}

void TopicTree::dropEvent(QDropEvent* event)
{
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (!target)
        return;
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    if (carriesQuestion(event->mimeData())) {
        if (questionDropped)
            questionDropped(target, ctrl);
    } else if (event->source() == this && currentItem() && currentItem() != target && topicDropped) {
        topicDropped(currentItem(), target, event->modifiers().testFlag(Qt::ShiftModifier), ctrl);
    }
}

bool TopicTree::carriesQuestion(const QMimeData* mime) const
{
    return questionDropped && acceptsQuestion && acceptsQuestion(mime);
}
