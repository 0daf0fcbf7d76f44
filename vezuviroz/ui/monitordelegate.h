#pragma once

#include <QPixmap>
#include <QStyledItemDelegate>

// Draws the monitor's pictures and the time bar; everything else is drawn as usual.
class MonitorDelegate : public QStyledItemDelegate
{
public:
    explicit MonitorDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The grid's pictures, made once at the window's start.
    static QPixmap TickPicture();
    static QPixmap FlagPicture();

private:
    QPixmap m_tick;
    QPixmap m_flag;
};
