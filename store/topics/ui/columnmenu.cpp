#include "columnmenu.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionMenuItem>
#include <QWidgetAction>

namespace {

constexpr char ColumnBreakProperty[] = "columnBreak";

bool selectable(const QAction* entry)
{
    return entry && !entry->isSeparator() && entry->isEnabled() && entry->isVisible();
}

} // namespace

ColumnMenu::ColumnMenu(const QString& title, QWidget* parent)
    : QMenu(title, parent), m_holder(new QWidgetAction(this)), m_view(new MenuColumnsView(this))
{
    m_holder->setDefaultWidget(m_view);
    addAction(m_holder);
    connect(this, &QMenu::aboutToHide, this, [this] {
        m_parentMenu = nullptr;
        m_view->setCurrent(nullptr);
    });
}

ColumnMenu::~ColumnMenu()
{
    // The entries this menu owns are destroyed after it: they must not report back to it.
    for (QAction* entry : std::as_const(m_entries))
        disconnect(entry, nullptr, this, nullptr);
}

void ColumnMenu::setColumnBreak(QAction* entry, bool startsColumn)
{
    entry->setProperty(ColumnBreakProperty, startsColumn);
}

bool ColumnMenu::isColumnBreak(const QAction* entry)
{
    return entry->property(ColumnBreakProperty).toBool();
}

void ColumnMenu::addEntry(QAction* entry, bool startsColumn)
{
    insertEntry(int(m_entries.size()), entry, startsColumn);
}

void ColumnMenu::insertEntry(int index, QAction* entry, bool startsColumn)
{
    setColumnBreak(entry, startsColumn);
    m_entries.insert(qBound(0, index, int(m_entries.size())), entry);
    connect(entry, &QAction::changed, this, &ColumnMenu::entriesChanged, Qt::UniqueConnection);
    connect(entry, &QObject::destroyed, this, [this, entry] {
        m_entries.removeAll(entry);
        entriesChanged();
    });
    entriesChanged();
}

QAction* ColumnMenu::addSeparatorEntry()
{
    return insertSeparatorEntry(int(m_entries.size()));
}

QAction* ColumnMenu::insertSeparatorEntry(int index)
{
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    insertEntry(index, separator);
    return separator;
}

void ColumnMenu::clearEntries()
{
    const QList<QAction*> old = std::exchange(m_entries, {});
    for (QAction* entry : old) {
        disconnect(entry, nullptr, this, nullptr);
        if (QMenu* sub = entry->menu(); sub && sub->parent() == this)
            delete sub; // its menuAction goes with it
        else if (entry->parent() == this)
            delete entry;
    }
    setDefaultAction(nullptr);
    entriesChanged();
}

QList<QList<QAction*>> ColumnMenu::columns() const
{
    QList<QList<QAction*>> result;
    for (QAction* entry : m_entries) {
        if (!entry->isVisible())
            continue;
        if (result.isEmpty() || (isColumnBreak(entry) && !result.last().isEmpty()))
            result.append(QList<QAction*>());
        result.last().append(entry);
    }
    return result;
}

QAction* ColumnMenu::currentEntry() const
{
    return m_view->current();
}

void ColumnMenu::setCurrentEntry(QAction* entry)
{
    m_view->setCurrent(entry);
}

void ColumnMenu::entriesChanged()
{
    m_view->relayout();
    // A changed action makes the menu measure its widget again.
    m_holder->setData(++m_layoutGeneration);
    if (isVisible())
        adjustSize();
}

void ColumnMenu::showEvent(QShowEvent* event)
{
    QMenu::showEvent(event);
    m_view->relayout();
    adjustSize();
    setActiveAction(m_holder);
    m_view->setFocus(Qt::PopupFocusReason);
}

void ColumnMenu::openSubMenu(QAction* entry, bool selectFirst)
{
    auto* sub = qobject_cast<ColumnMenu*>(entry ? entry->menu() : nullptr);
    if (!sub || !entry->isEnabled())
        return;
    for (QAction* other : std::as_const(m_entries))
        if (other != entry && other->menu() && other->menu()->isVisible())
            other->menu()->close();
    if (sub->isVisible())
        return;
    const QRect rect = m_view->entryRect(entry);
    sub->popup(m_view->mapToGlobal(rect.topRight()));
    sub->m_parentMenu = this;
    if (selectFirst) {
        for (QAction* candidate : sub->entries())
            if (selectable(candidate)) {
                sub->setCurrentEntry(candidate);
                break;
            }
    }
}

void ColumnMenu::closeChain()
{
    QPointer<ColumnMenu> menu = this;
    while (menu) {
        QPointer<ColumnMenu> parent = menu->m_parentMenu;
        menu->close();
        menu = parent;
    }
}

MenuColumnsView::MenuColumnsView(ColumnMenu* menu) : QWidget(menu), m_menu(menu)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

QSize MenuColumnsView::entrySize(QAction* entry) const
{
    QStyleOptionMenuItem option;
    option.initFrom(m_menu);
    option.menuItemType = entry->isSeparator() ? QStyleOptionMenuItem::Separator : QStyleOptionMenuItem::Normal;
    option.text = entry->text();
    if (!entry->shortcut().isEmpty())
        option.text += u'\t' + entry->shortcut().toString(QKeySequence::NativeText);
    option.icon = entry->icon();
    option.maxIconWidth = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, m_menu);
    QFont font = m_menu->font();
    if (entry == m_menu->defaultAction())
        font.setBold(true);
    const QFontMetrics metrics(font);
    const QSize contents(metrics.horizontalAdvance(option.text) + (entry->menu() ? metrics.height() : 0),
                         entry->isSeparator() ? 0 : metrics.height());
    return style()->sizeFromContents(QStyle::CT_MenuItem, &option, contents, m_menu);
}

void MenuColumnsView::relayout()
{
    m_places.clear();
    const QList<QList<QAction*>> columns = m_menu->columns();
    int x = 0;
    int height = 0;
    for (int c = 0; c < columns.size(); ++c) {
        int width = 0;
        for (QAction* entry : columns[c])
            width = std::max(width, entrySize(entry).width());
        int y = 0;
        for (int r = 0; r < columns[c].size(); ++r) {
            QAction* entry = columns[c][r];
            const int h = entrySize(entry).height();
            m_places.append({entry, c, r, QRect(x, y, width, h)});
            y += h;
        }
        height = std::max(height, y);
        x += width;
    }
    m_size = QSize(std::max(x, 1), std::max(height, 1));
    if (!m_menu->entries().contains(m_current))
        m_current = nullptr;
    updateGeometry();
    resize(m_size);
    update();
}

QSize MenuColumnsView::sizeHint() const
{
    return m_size;
}

const MenuColumnsView::Place* MenuColumnsView::placeOf(const QAction* entry) const
{
    for (const Place& place : m_places)
        if (place.entry == entry)
            return &place;
    return nullptr;
}

QRect MenuColumnsView::entryRect(const QAction* entry) const
{
    const Place* place = placeOf(entry);
    return place ? place->rect : QRect();
}

QAction* MenuColumnsView::entryAt(const QPoint& pos) const
{
    for (const Place& place : m_places)
        if (place.rect.contains(pos))
            return place.entry;
    return nullptr;
}

void MenuColumnsView::setCurrent(QAction* entry)
{
    if (entry && !selectable(entry))
        entry = nullptr;
    if (m_current == entry)
        return;
    m_current = entry;
    if (entry)
        entry->showStatusText(this);
    update();
}

void MenuColumnsView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    for (const Place& place : std::as_const(m_places)) {
        QAction* entry = place.entry;
        QStyleOptionMenuItem option;
        option.initFrom(m_menu);
        option.rect = place.rect;
        option.text = entry->text();
        if (!entry->shortcut().isEmpty())
            option.text += u'\t' + entry->shortcut().toString(QKeySequence::NativeText);
        option.icon = entry->icon();
        option.maxIconWidth = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, m_menu);
        option.menuRect = rect();
        option.menuItemType = entry->isSeparator()               ? QStyleOptionMenuItem::Separator
                              : entry->menu()                    ? QStyleOptionMenuItem::SubMenu
                              : entry == m_menu->defaultAction() ? QStyleOptionMenuItem::DefaultItem
                                                                 : QStyleOptionMenuItem::Normal;
        option.state = QStyle::State_None;
        if (entry->isEnabled())
            option.state |= QStyle::State_Enabled;
        if (entry == m_current)
            option.state |= QStyle::State_Selected;
        if (entry == m_menu->defaultAction())
            option.font.setBold(true);
        option.checkType = QStyleOptionMenuItem::NotCheckable;
        style()->drawControl(QStyle::CE_MenuItem, &option, &painter, m_menu);
    }
}

void MenuColumnsView::mouseMoveEvent(QMouseEvent* event)
{
    QAction* entry = entryAt(event->position().toPoint());
    setCurrent(entry);
    if (entry && entry->menu())
        m_menu->openSubMenu(entry, false);
    else
        m_menu->openSubMenu(nullptr, false);
}

void MenuColumnsView::mouseReleaseEvent(QMouseEvent* event)
{
    QAction* entry = entryAt(event->position().toPoint());
    if (!selectable(entry))
        return;
    if (entry->menu())
        m_menu->openSubMenu(entry, false);
    else
        choose(entry);
}

void MenuColumnsView::leaveEvent(QEvent*)
{
    if (m_current && !(m_current->menu() && m_current->menu()->isVisible()))
        setCurrent(nullptr);
}

void MenuColumnsView::moveVertically(int step)
{
    const QList<QList<QAction*>> columns = m_menu->columns();
    if (columns.isEmpty())
        return;
    const Place* place = placeOf(m_current);
    const QList<QAction*>& column = columns[place ? place->column : 0];
    int row = place ? place->row : (step > 0 ? -1 : int(column.size()));
    for (int tries = 0; tries < column.size(); ++tries) {
        row = (row + step + int(column.size())) % int(column.size());
        if (selectable(column[row])) {
            setCurrent(column[row]);
            return;
        }
    }
}

void MenuColumnsView::moveToColumn(int step)
{
    const QList<QList<QAction*>> columns = m_menu->columns();
    const Place* place = placeOf(m_current);
    const int column = place ? place->column : 0;
    const int target = column + step;
    if (target < 0 || target >= columns.size())
        return;
    const int row = place ? place->row : 0;
    const QList<QAction*>& entries = columns[target];
    // The nearest selectable entry to the same row of the other column.
    for (int distance = 0; distance <= row + int(entries.size()); ++distance)
        for (int r : {row - distance, row + distance})
            if (r >= 0 && r < entries.size() && selectable(entries[r])) {
                setCurrent(entries[r]);
                return;
            }
}

void MenuColumnsView::keyPressEvent(QKeyEvent* event)
{
    const Place* place = placeOf(m_current);
    const int columnCount = int(m_menu->columns().size());
    switch (event->key()) {
    case Qt::Key_Up:
        moveVertically(-1);
        return;
    case Qt::Key_Down:
        moveVertically(1);
        return;
    case Qt::Key_Right:
        if (m_current && m_current->menu()) {
            m_menu->openSubMenu(m_current, true);
            return;
        }
        if (place && place->column + 1 < columnCount) {
            moveToColumn(1);
            return;
        }
        break;
    case Qt::Key_Left:
        if (place && place->column > 0) {
            moveToColumn(-1);
            return;
        }
        if (m_menu->parentColumnMenu()) {
            m_menu->close();
            return;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (selectable(m_current)) {
            if (m_current->menu())
                m_menu->openSubMenu(m_current, true);
            else
                choose(m_current);
            return;
        }
        break;
    case Qt::Key_Escape:
        if (m_menu->parentColumnMenu()) {
            m_menu->close();
            return;
        }
        break;
    default:
        break;
    }
    // What the columns do not use goes to the menu (a menu bar moves to its next menu).
    event->ignore();
}

void MenuColumnsView::choose(QAction* entry)
{
    QPointer<QAction> chosen = entry;
    QPointer<ColumnMenu> menu = m_menu;
    // As with any menu: the menus close first, then the choice runs.
    menu->closeChain();
    while (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    if (chosen) {
        chosen->activate(QAction::Trigger);
        if (menu)
            Q_EMIT menu->triggered(chosen);
    }
}
