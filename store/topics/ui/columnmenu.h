#pragma once

#include <QMenu>

class QWidgetAction;
class MenuColumnsView;

// A menu whose entries stand in columns, a new column starting at every entry marked as a column
// break (the topics menus start one every TopicBreakCount entries). Qt's own menus only wrap at
// the screen's edge, so the entries are not the QMenu's actions: the menu holds one widget that
// lays them out and handles the mouse and the keys (Up/Down within a column, Left/Right between
// columns and into and out of sub-menus, Enter/Return to choose, Escape to close).
//
// An entry with a sub-menu carries a ColumnMenu as its menu(); the menu's own default action is
// drawn in bold. Choosing an entry triggers it, emits triggered() here and closes the menus.
class ColumnMenu : public QMenu
{
    Q_OBJECT

public:
    explicit ColumnMenu(const QString& title = {}, QWidget* parent = nullptr);
    ~ColumnMenu() override;

    const QList<QAction*>& entries() const { return m_entries; }
    void addEntry(QAction* entry, bool startsColumn = false);
    void insertEntry(int index, QAction* entry, bool startsColumn = false);
    QAction* addSeparatorEntry();
    QAction* insertSeparatorEntry(int index);
    // Removes and deletes every entry this menu owns (and their sub-menus).
    void clearEntries();

    static void setColumnBreak(QAction* entry, bool startsColumn);
    static bool isColumnBreak(const QAction* entry);
    // The entries column by column, as shown.
    QList<QList<QAction*>> columns() const;

    // The entry under keyboard focus; null when none.
    QAction* currentEntry() const;
    void setCurrentEntry(QAction* entry);
    // The ColumnMenu this one was opened from, while open.
    ColumnMenu* parentColumnMenu() const { return m_parentMenu; }
    // Opens an entry's sub-menu beside it (what hovering or Right does).
    void openSubMenu(QAction* entry, bool selectFirst);
    // Closes this menu and the column menus it was opened from.
    void closeChain();
    MenuColumnsView* view() const { return m_view; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    friend class MenuColumnsView;
    void entriesChanged();

    QList<QAction*> m_entries;
    QWidgetAction* m_holder;
    MenuColumnsView* m_view;
    ColumnMenu* m_parentMenu = nullptr;
    int m_layoutGeneration = 0;
};

// The widget inside a ColumnMenu that draws and drives its entries.
class MenuColumnsView : public QWidget
{
    Q_OBJECT

public:
    explicit MenuColumnsView(ColumnMenu* menu);

    QSize sizeHint() const override;
    // Where an entry is drawn, in this widget's coordinates; empty when it is not an entry here.
    QRect entryRect(const QAction* entry) const;
    QAction* entryAt(const QPoint& pos) const;
    void relayout();

    QAction* current() const { return m_current; }
    void setCurrent(QAction* entry);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct Place
    {
        QAction* entry;
        int column;
        int row;
        QRect rect;
    };
    QSize entrySize(QAction* entry) const;
    const Place* placeOf(const QAction* entry) const;
    void moveVertically(int step);
    void moveToColumn(int step);
    void choose(QAction* entry);

    ColumnMenu* m_menu;
    QList<Place> m_places;
    QSize m_size;
    QAction* m_current = nullptr;
};
