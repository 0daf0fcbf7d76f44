#pragma once

#include <QPixmap>
#include <QPointer>
#include <QStyledItemDelegate>

// Draws the monitor's pictures and the time bar, and the ellipsis button of the selected row's
// student cell that opens the student chooser; everything else is drawn as usual.
class MonitorDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit MonitorDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // A final mark being typed goes to its row now and its editor closes: commands on the rows
    // work on what the teacher sees. False when no edit was open.
    bool commitOpenEditor();

    // Where the ellipsis button stands in a student cell: a square at its right edge.
    static QRect StudentButtonRect(const QRect& cell);

    // The grid's pictures, made once at the window's start.
    static QPixmap TickPicture();
    static QPixmap FlagPicture();

Q_SIGNALS:
    // The ellipsis button of the student cell was clicked.
    void studentButtonClicked(const QModelIndex& index);

private:
    QPixmap m_tick;
    QPixmap m_flag;
    mutable QPointer<QWidget> m_editor; // the open editor of a final mark
};
