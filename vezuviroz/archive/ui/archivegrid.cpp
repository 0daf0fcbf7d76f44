#include "archivegrid.h"

#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

constexpr int RowPadding = 6;

} // namespace

ArchiveGrid::ArchiveGrid(QWidget* parent)
    : QAbstractItemView(parent), m_header(new QHeaderView(Qt::Horizontal, this)),
      m_rowHeight(fontMetrics().height() + RowPadding)
{
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollMode(ScrollPerPixel);
    m_header->setSectionsClickable(true);
    m_header->setHighlightSections(false);
    connect(m_header, &QHeaderView::sectionResized, this, [this] {
        updateGeometries();
        viewport()->update();
    });
}

void ArchiveGrid::setModel(QAbstractItemModel* model)
{
    QAbstractItemModel* previous = this->model();
    QAbstractItemView::setModel(model);
    m_header->setModel(model);
    if (previous && previous != model)
        disconnect(previous, nullptr, this, nullptr);
    if (!model || model == previous)
        return;
    // Sorting and filtering change the rows without a reset of the view's own.
    const auto refresh = [this] {
        updateGeometries();
        viewport()->update();
    };
    connect(model, &QAbstractItemModel::layoutChanged, this, refresh);
    connect(model, &QAbstractItemModel::modelReset, this, refresh);
    connect(model, &QAbstractItemModel::rowsInserted, this, refresh);
    connect(model, &QAbstractItemModel::rowsRemoved, this, refresh);
}

int ArchiveGrid::rowCount() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int ArchiveGrid::rowAt(int y) const
{
    const int row = (y + verticalOffset()) / m_rowHeight;
    return y + verticalOffset() >= 0 && row < rowCount() ? row : -1;
}

QRect ArchiveGrid::rowRect(int row) const
{
    return QRect(-horizontalOffset(), row * m_rowHeight - verticalOffset(), m_header->length(), m_rowHeight);
}

QRect ArchiveGrid::visualRect(const QModelIndex& index) const
{
    if (!index.isValid() || index.parent() != rootIndex())
        return {};
    return QRect(m_header->sectionViewportPosition(index.column()), index.row() * m_rowHeight - verticalOffset(),
                 m_header->sectionSize(index.column()), m_rowHeight);
}

void ArchiveGrid::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    const int top = index.row() * m_rowHeight;
    const int height = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    if (hint == PositionAtTop || (hint == EnsureVisible && top < bar->value()))
        bar->setValue(top);
    else if (hint == PositionAtBottom || (hint == EnsureVisible && top + m_rowHeight > bar->value() + height))
        bar->setValue(top + m_rowHeight - height);
    else if (hint == PositionAtCenter)
        bar->setValue(top - (height - m_rowHeight) / 2);
}

QModelIndex ArchiveGrid::indexAt(const QPoint& point) const
{
    const int row = rowAt(point.y());
    const int column = m_header->logicalIndexAt(point.x());
    return row >= 0 && column >= 0 ? model()->index(row, column, rootIndex()) : QModelIndex();
}

QModelIndex ArchiveGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers)
{
    const int rows = rowCount();
    const int columns = model() ? model()->columnCount(rootIndex()) : 0;
    if (rows == 0 || columns == 0)
        return {};
    const QModelIndex current = currentIndex();
    int row = current.isValid() ? current.row() : 0;
    int column = current.isValid() ? current.column() : 0;
    const int page = qMax(1, viewport()->height() / m_rowHeight);
    switch (action) {
    case MoveUp:
    case MovePrevious:
        --row;
        break;
    case MoveDown:
    case MoveNext:
        ++row;
        break;
    case MovePageUp:
        row -= page;
        break;
    case MovePageDown:
        row += page;
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = rows - 1;
        break;
    case MoveLeft:
        --column;
        break;
    case MoveRight:
        ++column;
        break;
    }
    return model()->index(qBound(0, row, rows - 1), qBound(0, column, columns - 1), rootIndex());
}

int ArchiveGrid::horizontalOffset() const
{
    return horizontalScrollBar()->value();
}

int ArchiveGrid::verticalOffset() const
{
    return verticalScrollBar()->value();
}

bool ArchiveGrid::isIndexHidden(const QModelIndex&) const
{
    return false;
}

void ArchiveGrid::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags)
{
    const QRect r = rect.normalized();
    const int rows = rowCount();
    if (rows == 0 || !model())
        return;
    const int first = qBound(0, (r.top() + verticalOffset()) / m_rowHeight, rows - 1);
    const int last = qBound(0, (r.bottom() + verticalOffset()) / m_rowHeight, rows - 1);
    const int lastColumn = model()->columnCount(rootIndex()) - 1;
    selectionModel()->select(
        QItemSelection(model()->index(first, 0, rootIndex()), model()->index(last, lastColumn, rootIndex())), flags);
}

QRegion ArchiveGrid::visualRegionForSelection(const QItemSelection& selection) const
{
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        const QRect top = rowRect(range.top());
        region += QRect(top.left(), top.top(), top.width(), (range.bottom() - range.top() + 1) * m_rowHeight)
                      .intersected(viewport()->rect());
    }
    return region;
}

void ArchiveGrid::updateGeometries()
{
    const int headerHeight = m_header->sizeHint().height();
    setViewportMargins(0, headerHeight, 0, 0);
    const QRect area = viewport()->geometry();
    m_header->setGeometry(area.left(), area.top() - headerHeight, area.width(), headerHeight);
    m_header->setOffset(horizontalOffset());
    verticalScrollBar()->setSingleStep(m_rowHeight);
    verticalScrollBar()->setPageStep(area.height());
    verticalScrollBar()->setRange(0, qMax(0, rowCount() * m_rowHeight - area.height()));
    horizontalScrollBar()->setSingleStep(m_rowHeight);
    horizontalScrollBar()->setPageStep(area.width());
    horizontalScrollBar()->setRange(0, qMax(0, m_header->length() - area.width()));
    QAbstractItemView::updateGeometries();
}

void ArchiveGrid::scrollContentsBy(int dx, int dy)
{
    m_header->setOffset(horizontalOffset());
    viewport()->scroll(dx, dy);
}

// Only the rows in sight are asked for and drawn.
void ArchiveGrid::paintEvent(QPaintEvent* event)
{
    if (!model())
        return;
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    const int first = rowAt(dirty.top());
    if (first < 0)
        return;
    const int last = qMin(rowCount() - 1, (dirty.bottom() + verticalOffset()) / m_rowHeight);
    const int columns = model()->columnCount(rootIndex());
    const QModelIndex current = currentIndex();
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QColor gridColour = palette().color(QPalette::Mid);
    for (int row = first; row <= last; ++row) {
        for (int column = 0; column < columns; ++column) {
            const QModelIndex index = model()->index(row, column, rootIndex());
            QStyleOptionViewItem cell = option;
            cell.rect = visualRect(index);
            if (!cell.rect.intersects(dirty))
                continue;
            if (selectionModel() && selectionModel()->isSelected(index))
                cell.state |= QStyle::State_Selected;
            if (index == current && hasFocus())
                cell.state |= QStyle::State_HasFocus;
            itemDelegateForIndex(index)->paint(&painter, cell, index);
            painter.setPen(gridColour);
            painter.drawLine(cell.rect.topRight(), cell.rect.bottomRight());
            painter.drawLine(cell.rect.bottomLeft(), cell.rect.bottomRight());
        }
    }
}
