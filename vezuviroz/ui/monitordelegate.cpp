#include "monitordelegate.h"

#include "monitormodel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int PictureSize = 16;

void drawCentred(QPainter* painter, const QRect& cell, const QPixmap& picture)
{
    const QSize size = picture.deviceIndependentSize().toSize();
    painter->drawPixmap(QRect(cell.center() - QPoint(size.width() / 2, size.height() / 2), size), picture);
}

QPixmap blankPicture()
{
    QPixmap picture(PictureSize, PictureSize);
    picture.fill(Qt::transparent);
    return picture;
}

} // namespace

QPixmap MonitorDelegate::TickPicture()
{
    QPixmap picture = blankPicture();
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 128, 0), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(3, 8);
    tick.lineTo(7, 12);
    tick.lineTo(13, 3);
    p.drawPath(tick);
    return picture;
}

QPixmap MonitorDelegate::FlagPicture()
{
    QPixmap picture = blankPicture();
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(3, 1, 3, 15);
    QPainterPath cloth;
    cloth.moveTo(4, 2);
    cloth.lineTo(14, 5);
    cloth.lineTo(4, 9);
    cloth.closeSubpath();
    p.fillPath(cloth, QColor(220, 0, 0));
    return picture;
}

MonitorDelegate::MonitorDelegate(QObject* parent)
    : QStyledItemDelegate(parent), m_tick(TickPicture()), m_flag(FlagPicture())
{}

QRect MonitorDelegate::StudentButtonRect(const QRect& cell)
{
    const int side = qMax(cell.height() - 2, 1);
    return QRect(cell.right() - side, cell.top() + 1, side, side);
}

void MonitorDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int column = index.column();
    if (column == MonitorModel::Student && (option.state & QStyle::State_Selected)) {
        // the name stops short of the button
        QStyleOptionButton button;
        button.rect = StudentButtonRect(option.rect);
        QStyleOptionViewItem text = option;
        text.rect.setRight(button.rect.left() - 1);
        text.features &= ~QStyleOptionViewItem::WrapText; // elided on its line, as the other names
        QStyledItemDelegate::paint(painter, text, index);
        painter->fillRect(option.rect.adjusted(text.rect.width(), 0, 0, 0), option.palette.brush(QPalette::Highlight));
        button.text = QStringLiteral("...");
        button.state = QStyle::State_Enabled | QStyle::State_Raised;
        QWidget* widget = const_cast<QWidget*>(option.widget);
        (widget ? widget->style() : QApplication::style())
            ->drawControl(QStyle::CE_PushButton, &button, painter, widget);
        return;
    }
    if (column == MonitorModel::QuestionsGiven || column == MonitorModel::Ready) {
        QStyledItemDelegate::paint(painter, option, index);
        if (index.data(MonitorModel::FlagRole).toBool())
            drawCentred(painter, option.rect, column == MonitorModel::Ready ? m_flag : m_tick);
        return;
    }
    const QVariant fraction = index.data(MonitorModel::TimeFractionRole);
    if (column != MonitorModel::TimeRemain || !fraction.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // the bar grows from the cell's right edge as much as time is left
    QStyledItemDelegate::paint(painter, option, index);
    const QRect cell = option.rect.adjusted(1, 2, -1, -2);
    const int length = qRound(cell.width() * fraction.toDouble());
    painter->fillRect(QRect(cell.right() - length + 1, cell.top(), length, cell.height()),
                      index.data(MonitorModel::TimeColorRole).value<QColor>());
}

bool MonitorDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                  const QModelIndex& index)
{
    if (index.column() == MonitorModel::Student && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && StudentButtonRect(option.rect).contains(mouse->position().toPoint())) {
            Q_EMIT studentButtonClicked(index);
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

QWidget* MonitorDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const
{
    m_editor = QStyledItemDelegate::createEditor(parent, option, index);
    return m_editor;
}

bool MonitorDelegate::commitOpenEditor()
{
    if (!m_editor || m_editor->isHidden()) // the grid hides an editor it closed, then deletes it later
        return false;
    QWidget* editor = m_editor;
    m_editor = nullptr;
    Q_EMIT commitData(editor);
    Q_EMIT closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}
