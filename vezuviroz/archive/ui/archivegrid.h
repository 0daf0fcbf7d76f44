#pragma once

#include <QAbstractItemView>

class QHeaderView;

// The archive's grid: rows of one height under a header of columns. A table view keeps a header
// section for every row (even with its row header hidden), so its memory grows with the rows; this
// view keeps nothing per row: a row's place is its number times the row height, and only the rows
// in sight are drawn.
class ArchiveGrid : public QAbstractItemView
{
    Q_OBJECT

public:
    explicit ArchiveGrid(QWidget* parent = nullptr);

    QHeaderView* horizontalHeader() const { return m_header; }
    int rowHeight() const { return m_rowHeight; }

    void setModel(QAbstractItemModel* model) override;
    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int rowCount() const;
    int rowAt(int y) const; // -1 outside the rows
    QRect rowRect(int row) const;

    QHeaderView* m_header;
    int m_rowHeight;
};
