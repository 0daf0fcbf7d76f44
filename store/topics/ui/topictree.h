#pragma once

#include <QTreeWidget>
#include <functional>

class QMimeData;

// A topic panel's tree: topic nodes are dragged within it, and (in the editor) question handles of
// topic windows are dropped on it. What a drop means is decided by the main window through the
// handlers.
class TopicTree : public QTreeWidget
{
public:
    explicit TopicTree(QWidget* parent = nullptr);

    // Starts editing the node's label, whichever level it was read with (the nodes report the
    // change of their flags before the edit starts).
    void editLabel(QTreeWidgetItem* node);

    // A topic node dropped on a node.
    std::function<void(QTreeWidgetItem* dragged, QTreeWidgetItem* target, bool shift, bool ctrl)> topicDropped;
    // A question handle dropped on a node, and which dragged data is one (none without them).
    std::function<void(QTreeWidgetItem* target, bool ctrl)> questionDropped;
    std::function<bool(const QMimeData* mime)> acceptsQuestion;
    // A topic node's drag starts (true) and ends (false).
    std::function<void(bool dragging)> topicDragging;

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool carriesQuestion(const QMimeData* mime) const;
};
