#include "scribantf.h"

#include "aboutbox.h"
#include "apperror.h"
#include "clipboardpicture.h"
#include "columnmenu.h"
#include "datamodules.h"
#include "dataset.h"
#include "datasettable.h"
#include "dragmover.h"
#include "editortexts.h"
#include "exportoptionsf.h"
#include "filedialogs.h"
#include "findtopicf.h"
#include "inputprompt.h"
#include "messages.h"
#include "settingsform.h"
#include "shell.h"
#include "sqldialect.h"
#include "topicf.h"
#include "topicstore.h"
#include "topictree.h"
#include "topicviews.h"
#include "updatedbaction.h"
#include "waitcursor.h"
#include "wholequestion.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QDockWidget>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString u(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// "short|long": the tool-tip and the status-bar text of a command.
void setHint(QAction* action, const QString& hint)
{
    action->setProperty("hint", hint);
    action->setToolTip(hint.section(u'|', 0, 0));
    action->setStatusTip(hint.contains(u'|') ? hint.section(u'|', 1) : hint);
}

constexpr char ExportHint[] =
    "Экспорт вопросов в текстовый документ...|Экспорт списка вопросов темы в текстовый документ";
constexpr int BreakCounts[] = {10, 15, 20, 30};

} // namespace

TScribantF::TScribantF(TDM* dm, TSharedDM* shared, QWidget* parent)
    : StoreMainWindow(dm, shared, parent), m_editorTopics(topics())
{
    setObjectName(QStringLiteral("TScribantF"));
    setWindowTitle(u("Vastrel Редактор вопросов 4.0 Beta"));
    MDIArea = new QMdiArea(this);
    MDIArea->setObjectName(QStringLiteral("MDIArea"));
    setCentralWidget(MDIArea);
    statusBar();

    topics().openDialog = [this](const QString& filter, const QString&, const QString&) {
        return ChooseOpenFile(this, QString(), QtFileFilter(filter));
    };

    createActions();
    createMenus();
    createPanel();
    FormCreate();
    m_editorTopics.EnsureSettingsRow();

    connect(MDIArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
        if (auto* window = sub ? qobject_cast<TTopicF*>(sub->widget()) : nullptr)
            window->form().activated();
        ActionListUpdate();
    });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &TScribantF::ActionListUpdate);
    connect(this, &TScribantF::fileHandedOver, this, &TScribantF::loadStartFile);
    ActionListUpdate();
}

TScribantF::~TScribantF()
{
    // The child-window area and the panel outlive this part of the window and report their going.
    disconnect(MDIArea, nullptr, this, nullptr);
    disconnect(pnlTopics, nullptr, this, nullptr);
    disconnect(QApplication::clipboard(), nullptr, this, nullptr);
}

QAction* TScribantF::addAction(const QString& name, const QString& caption, const QString& shortcut,
                               const QString& hint)
{
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    if (!shortcut.isEmpty())
        action->setShortcut(QKeySequence(shortcut));
    if (!hint.isEmpty())
        setHint(action, hint);
    m_actions.insert(name, action);
    QMainWindow::addAction(action);
    return action;
}

void TScribantF::createActions()
{
    connect(addAction("FileNew1", u("&Новая..."), "Ctrl+N", u("Новая ...|Создание новой темы или подтемы")),
            &QAction::triggered, this, &TScribantF::FileNew1Execute);
    addAction("FileOpen1", u("&Открыть"), "Ctrl+Alt+O", u("Открыть|Открыть список вопросов"));
    connect(addAction("acFindTopic", u("Найти тему (подтему)..."), "Ctrl+F"), &QAction::triggered, this,
            [this] { OpenTopic(TFindTopicF::Execute(*m_shared, this)); });
    connect(addAction("acTopicRename", u("Переименовать..."), {}, u("Переименовать (под)тему")), &QAction::triggered,
            this, &TScribantF::acTopicRenameExecute);
    connect(addAction("acTopicDelete", u("&Удалить"), {}, u("Удалить (под)тему")), &QAction::triggered, this,
            &TScribantF::acTopicDeleteExecute);
    connect(addAction("FileClose1", u("&Закрыть"), {}, u("Закрыть|Закрыть текущую тему")), &QAction::triggered, MDIArea,
            &QMdiArea::closeActiveSubWindow);
    connect(addAction("FileCloseAll1", u("Закрыть все"), {}, u("Закрыть все|Закрыть все открытые темы")),
            &QAction::triggered, this, [this] {
                const QList<QMdiSubWindow*> windows = MDIArea->subWindowList(QMdiArea::CreationOrder);
                for (auto it = windows.crbegin(); it != windows.crend(); ++it)
                    (*it)->close();
            });
    QAction* panel = addAction("acTopicsCtrl", u("Управление темами"));
    panel->setCheckable(true);
    connect(panel, &QAction::triggered, this, &TScribantF::switchPanel);
    connect(addAction("acReloadDB", u("Подключиться заново к БД")), &QAction::triggered, this, &TScribantF::reconnect);
    connect(addAction("acSaveToFile", u("Сохранить в файл..."), "Ctrl+S",
                      u("Сохранить в файл...|Сохранить список вопросов в файл...")),
            &QAction::triggered, this, [this] {
                TTopicF* window = activeTopic();
                if (!window)
                    return;
                // The file takes the stored list and remark: what is being typed goes in first.
                window->storePending();
                topics().SaveTopicToFile(window->topicId(), window->windowTitle(), window->form().remark());
            });
    connect(addAction("acLoadFromFile", u("Загрузить из файла..."), "Ctrl+O",
                      u("Загрузить из файла...|Загрузить список вопросов из файла...")),
            &QAction::triggered, this, [this] { loadFromFile(selectedTopicId()); });
    connect(addAction("acImportFromTestW", u("Из Test-W...")), &QAction::triggered, this,
            [this] { openImported(topics().ImportTestW()); });
    connect(addAction("acImportFromMyTest", u("Из MyTest...")), &QAction::triggered, this,
            [this] { openImported(topics().ImportMyTest()); });
    connect(addAction("acImportFromAssist2", u("Из Assistant II...")), &QAction::triggered, this,
            [this] { openImported(topics().ImportAssistant2()); });
    connect(addAction("acExportQueListToWord", u("Экспорт вопросов в текстовый документ..."), {}, u(ExportHint)),
            &QAction::triggered, this, [this] {
                TTopicF* window = activeTopic();
                if (!window)
                    return;
                // The question being written goes in first, as leaving it would take it.
                if (window->form().editing())
                    window->form().store();
                ExportQuestionList(window->windowTitle(), DatasetToTable(window->form().questions()),
                                   m_editorTopics.settings(), this);
            });
    connect(addAction("acSwitchToVezuviroz", u("Открыть Vezuviroz...")), &QAction::triggered, this, [] {
        // The sibling program stands beside this one.
        const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/Vezuviroz");
        if (!ShellOpen(path))
            ShowMessage(SqlFormat(u("Невозможно найти \"%S\""), {path}), MsgIcon::Error);
    });
    connect(addAction("acTopicSettings", u("Настройки темы..."), "F12"), &QAction::triggered, this, [this] {
        if (TTopicF* window = activeTopic())
            TSettingsF::Execute(m_shared->settings(), window->topicId(), window->windowTitle(), this);
    });
    connect(addAction("FileExit1", u("В&ыход"), "Ctrl+Q"), &QAction::triggered, this, &QWidget::close);
    const auto onActiveAction = [this](const char* name, const char* key, void (TopicQuestions::*step)()) {
        connect(addAction(QString::fromLatin1(name), QString(), QString::fromLatin1(key)), &QAction::triggered, this,
                [this, step] { onActive(step); });
    };
    onActiveAction("acNewQuestion", "Ins", &TopicQuestions::insertQuestion);
    onActiveAction("acFirstQue", "F5", &TopicQuestions::first);
    onActiveAction("acPrevQue", "F6", &TopicQuestions::prior);
    onActiveAction("acNextQue", "F7", &TopicQuestions::next);
    onActiveAction("acLastQue", "F8", &TopicQuestions::last);
    connect(addAction("HelpAbout1", u("&О программе...")), &QAction::triggered, this,
            [this] { ShowAboutBox(this, QStringLiteral("Scribant"), u("Редактор вопросов")); });
}

void TScribantF::onActive(void (TopicQuestions::*step)())
{
    if (TTopicF* window = activeTopic()) {
        try {
            (window->form().*step)();
        } catch (const AppError& e) {
            ShowMessage(e.message(), MsgIcon::Error);
        }
    }
}

void TScribantF::createMenus()
{
    // The topics menu drops down under the toolbar's open button and is rebuilt at each drop-down.
    mnuTopics = new ColumnMenu(QString(), this);
    mnuTopics->setObjectName(QStringLiteral("mnuTopics"));
    connect(mnuTopics, &QMenu::aboutToShow, this, [this] {
        TopicViews::MenuHandlers handlers;
        handlers.chooseTopic = [this](QAction* entry) { OpenTopic(TopicViews::EntryTag(entry)); };
        handlers.loadFromFile = [this](QAction* entry) { loadFromFile(TopicViews::EntryTag(entry)); };
        handlers.openParent = [this, handlers](QAction* entry) {
            TopicViews::BuildTopicsMenu(*m_shared, mnuTopics, qobject_cast<ColumnMenu*>(entry->menu()), handlers,
                                        StoreProgram::Scribant, m_editorTopics.topicBreakCount());
        };
        TopicViews::BuildTopicsMenu(*m_shared, mnuTopics, mnuTopics, handlers, StoreProgram::Scribant,
                                    m_editorTopics.topicBreakCount());
    });
    action("FileOpen1")->setMenu(mnuTopics);

    QToolBar* toolbar = addToolBar(QStringLiteral("ToolBar1"));
    toolbar->setObjectName(QStringLiteral("ToolBar1"));
    for (const char* name : {"FileNew1", "FileOpen1", "acSaveToFile", "acLoadFromFile", "acTopicsCtrl"})
        toolbar->addAction(action(QString::fromLatin1(name)));
    if (auto* open = qobject_cast<QToolButton*>(toolbar->widgetForAction(action("FileOpen1")))) {
        open->setPopupMode(QToolButton::InstantPopup);
        // The button drops the menu down itself; the shortcut drops it down under the button.
        connect(action("FileOpen1"), &QAction::triggered, this, [this, open] {
            mnuTopics->popup(open->isVisible() ? open->mapToGlobal(QPoint(0, open->height())) : QCursor::pos());
        });
    }

    // The store's own command (moving an old bank in) stays at the end of the topic menu.
    mnuTopic->clear();
    for (const char* name :
         {"FileNew1", "FileOpen1", "acFindTopic", "acTopicRename", "acTopicDelete", "FileClose1", "FileCloseAll1"})
        mnuTopic->addAction(action(QString::fromLatin1(name)));
    mnuTopic->addSeparator();
    for (const char* name : {"acTopicsCtrl", "acReloadDB", "acTopicSettings", "acSaveToFile", "acLoadFromFile"})
        mnuTopic->addAction(action(QString::fromLatin1(name)));
    QMenu* imports = mnuTopic->addMenu(u("&Импорт"));
    imports->setObjectName(QStringLiteral("mnuImport"));
    for (const char* name : {"acImportFromTestW", "acImportFromMyTest", "acImportFromAssist2"})
        imports->addAction(action(QString::fromLatin1(name)));
    for (const char* name : {"acExportQueListToWord", "acSwitchToVezuviroz"})
        mnuTopic->addAction(action(QString::fromLatin1(name)));
    mnuTopic->addAction(acUpdateDB);
    mnuTopic->addSeparator();
    mnuTopic->addAction(action("FileExit1"));

    QMenu* edit = menuBar()->addMenu(u("&Правка"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    const auto focusedText = [](const char* slot) {
        return [slot] {
            if (QWidget* focused = QApplication::focusWidget())
                QMetaObject::invokeMethod(focused, slot);
        };
    };
    edit->addAction(u("Вырезать"), QKeySequence::Cut, this, focusedText("cut"));
    edit->addAction(u("Копировать"), QKeySequence::Copy, this, focusedText("copy"));
    edit->addAction(u("Вставить"), QKeySequence::Paste, this, focusedText("paste"));

    QMenu* view = menuBar()->addMenu(u("&Вид"));
    view->setObjectName(QStringLiteral("mnuView"));
    QMenu* split = view->addMenu(u("Разделять список тем"));
    m_breakGroup = new QActionGroup(this);
    for (int count : BreakCounts) {
        QAction* item = split->addAction(u("по ") + QString::number(count));
        item->setObjectName(QStringLiteral("mnuBreak%1").arg(count));
        item->setCheckable(true);
        // The mark starts on "по 10" whatever is stored.
        item->setChecked(count == BreakCounts[0]);
        m_breakGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this, count] { setTopicBreakCount(count); });
    }

    QMenu* windows = menuBar()->addMenu(u("&Окно"));
    windows->setObjectName(QStringLiteral("mnuWindow"));
    windows->addAction(u("Каскадом"), MDIArea, &QMdiArea::cascadeSubWindows);
    windows->addAction(u("Мозаикой"), MDIArea, &QMdiArea::tileSubWindows);
    windows->addAction(u("Свернуть все"), this, [this] {
        for (QMdiSubWindow* sub : MDIArea->subWindowList())
            sub->showMinimized();
    });
    windows->addAction(u("Упорядочить"), MDIArea, &QMdiArea::tileSubWindows);

    addHelpMenu(action("HelpAbout1"));
}

void TScribantF::createPanel()
{
    pnlTopics = new QDockWidget(u("Управление темами"), this);
    pnlTopics->setObjectName(QStringLiteral("pnlTopics"));
    auto* body = new QWidget(pnlTopics);
    auto* layout = new QVBoxLayout(body);
    tvTopics = new TopicTree(body);
    TopicViews::ConnectLevelReading(*m_shared, tvTopics);
    layout->addWidget(tvTopics, 1);
    tvTopics->installEventFilter(this);

    const auto panelButton = [&](const char* name, const QString& caption) {
        auto* button = new QPushButton(caption, body);
        button->setObjectName(QString::fromLatin1(name));
        layout->addWidget(button);
        return button;
    };
    connect(panelButton("btnNew", u("&Новая...")), &QPushButton::clicked, action("FileNew1"), &QAction::trigger);
    connect(panelButton("btnRename", u("Переименовать")), &QPushButton::clicked, this, &TScribantF::editSelectedNode);
    QPushButton* open = panelButton("btnOpen", u("Открыть"));
    open->setToolTip(u("Открыть"));
    open->setStatusTip(u("Открыть список вопросов"));
    connect(open, &QPushButton::clicked, this, [this] { OpenTopic(selectedTopicId(), true); });
    connect(panelButton("btnSave", u("Сохранить в файл...")), &QPushButton::clicked, action("acSaveToFile"),
            &QAction::trigger);
    connect(panelButton("btnLoad", u("Загрузить из файла...")), &QPushButton::clicked, action("acLoadFromFile"),
            &QAction::trigger);
    QPushButton* hide = panelButton("btnHidePanel", QStringLiteral("X"));
    hide->setToolTip(u("Скрыть"));
    connect(hide, &QPushButton::clicked, this, &TScribantF::switchPanel);

    DBCheckBox1 = new QCheckBox(u("не открывать тему\nпри перетаскивании в неё вопроса"), body);
    DBCheckBox1->setObjectName(QStringLiteral("DBCheckBox1"));
    DBCheckBox2 = new QCheckBox(u("скрывать панель \nпри открытии темы"), body);
    DBCheckBox2->setObjectName(QStringLiteral("DBCheckBox2"));
    for (QCheckBox* box : {DBCheckBox1, DBCheckBox2}) {
        layout->addWidget(box);
        box->installEventFilter(this);
    }
    pnlTopics->setWidget(body);
    addDockWidget(Qt::RightDockWidgetArea, pnlTopics);
    // Besides its title, the panel is dragged by its background like a window; docked, it floats first.
    new DragMover(body, pnlTopics, [this] {
        if (pnlTopics->isFloating())
            return;
        const QPoint at = pnlTopics->mapToGlobal(QPoint(0, 0));
        pnlTopics->setFloating(true);
        pnlTopics->move(at);
    });
    pnlTopics->hide();
    // The panel's own close button hides it too: the command's mark follows.
    connect(pnlTopics, &QDockWidget::visibilityChanged, this,
            [this] { action("acTopicsCtrl")->setChecked(pnlTopics->isVisible()); });

    connect(tvTopics, &QTreeWidget::itemDoubleClicked, this, [this] { OpenTopic(selectedTopicId(), true); });
    connect(tvTopics, &QTreeWidget::currentItemChanged, this, &TScribantF::ActionListUpdate);
    connect(tvTopics, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
        // A node's label was edited in place (nodes being filled in report their data too).
        if (item != std::exchange(m_editedNode, nullptr))
            return;
        const int topicId = item->data(0, TopicViews::TopicIdRole).toInt();
        const QString name = item->text(0);
        if (name == m_editorTopics.topicName(topicId))
            return;
        bool renamed = false;
        try {
            renamed = m_editorTopics.rename(topicId, name);
        } catch (const AppError& e) {
            ShowMessage(e.message(), MsgIcon::Error);
        }
        if (!renamed) {
            // The refused label goes back; not from inside the item's own report.
            QMetaObject::invokeMethod(
                this, [this, topicId] { rebuildTree(topicId); }, Qt::QueuedConnection);
            return;
        }
        if (TTopicF* window = findTopicWindow(topicId))
            window->form().rename(name);
    });
    tvTopics->topicDropped = [this](QTreeWidgetItem* dragged, QTreeWidgetItem* target, bool shift, bool ctrl) {
        dropTopic(dragged->data(0, TopicViews::TopicIdRole).toInt(), target, shift, ctrl);
    };
    tvTopics->topicDragging = [this](bool dragging) {
        QFont font = statusBar()->font();
        font.setBold(dragging);
        statusBar()->setFont(font);
    };
    tvTopics->acceptsQuestion = [](const QMimeData* mime) {
        return mime->hasFormat(QString::fromLatin1(TTopicF::QuestionMime)) && TTopicF::dragSource();
    };
    tvTopics->questionDropped = [this](QTreeWidgetItem* target, bool ctrl) {
        dropQuestion(TTopicF::dragSource(), target->data(0, TopicViews::TopicIdRole).toInt(), ctrl);
        target->setExpanded(true); // a drop leaves the tree as it stands, so the node is still there
    };
}

bool TScribantF::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        if (watched == DBCheckBox1)
            m_editorTopics.setSetting(QStringLiteral("DontOpenOnAddQue"), DBCheckBox1->isChecked());
        else if (watched == DBCheckBox2)
            m_editorTopics.setSetting(QStringLiteral("HidePanelOnOpen"), DBCheckBox2->isChecked());
    } else if (watched == tvTopics && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter)) {
            OpenTopic(selectedTopicId(), true);
            return true;
        }
        if (key == Qt::Key_F2) {
            editSelectedNode();
            return true;
        }
    }
    return StoreMainWindow::eventFilter(watched, event);
}

QList<TTopicF*> TScribantF::topicWindows() const
{
    QList<TTopicF*> windows;
    for (QMdiSubWindow* sub : MDIArea->subWindowList())
        if (auto* window = qobject_cast<TTopicF*>(sub->widget()))
            windows.append(window);
    return windows;
}

TTopicF* TScribantF::activeTopic() const
{
    QMdiSubWindow* sub = MDIArea->activeSubWindow() ? MDIArea->activeSubWindow() : MDIArea->currentSubWindow();
    if (!sub && !MDIArea->subWindowList().isEmpty())
        sub = MDIArea->subWindowList().last();
    return sub ? qobject_cast<TTopicF*>(sub->widget()) : nullptr;
}

TTopicF* TScribantF::findTopicWindow(int topicId) const
{
    for (TTopicF* window : topicWindows())
        if (window->topicId() == topicId)
            return window;
    return nullptr;
}

TTopicF* TScribantF::newTopicWindow()
{
    auto* window = new TTopicF(topics());
    QMdiSubWindow* sub = MDIArea->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    wireTopicWindow(window);
    return window;
}

void TScribantF::wireTopicWindow(TTopicF* window)
{
    connect(window, &TTopicF::wholeQuestionCopied, this, [this] {
        for (TTopicF* each : topicWindows())
            each->setQuestionPasteEnabled(true);
    });
    connect(window, &TTopicF::closed, this,
            [this] { QMetaObject::invokeMethod(this, &TScribantF::ActionListUpdate, Qt::QueuedConnection); });
}

TTopicF* TScribantF::OpenTopic(int topicId, bool fromPanel)
{
    if (topicId == 0)
        return nullptr;
    TTopicF* window = findTopicWindow(topicId);
    if (window) {
        MDIArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(window->parentWidget()));
    } else {
        if (!m_editorTopics.exists(topicId))
            return nullptr;
        window = newTopicWindow();
        window->OpenTopic(topicId);
        window->parentWidget()->showMaximized();
    }
    if (fromPanel && hidePanelOnOpen())
        switchPanel();
    ActionListUpdate();
    return window;
}

void TScribantF::ActionListUpdate()
{
    const bool any = !topicWindows().isEmpty();
    for (const char* name :
         {"acTopicSettings", "acSaveToFile", "acTopicDelete", "acTopicRename", "acExportQueListToWord"})
        action(QString::fromLatin1(name))->setEnabled(any);
    if (TTopicF* window = activeTopic())
        window->setPicturePasteEnabled(ClipboardPicture::Offered(QApplication::clipboard()->mimeData()));
    const bool selected = tvTopics->currentItem() != nullptr;
    pnlTopics->findChild<QPushButton*>(QStringLiteral("btnRename"))->setEnabled(selected);
    pnlTopics->findChild<QPushButton*>(QStringLiteral("btnOpen"))->setEnabled(selected);
    action("acTopicsCtrl")->setChecked(pnlTopics->isVisible());
}

int TScribantF::selectedTopicId() const
{
    QTreeWidgetItem* item = tvTopics->currentItem();
    return item ? item->data(0, TopicViews::TopicIdRole).toInt() : 0;
}

void TScribantF::rebuildTree(int selectTopicId)
{
    QList<int> path;
    for (int id = selectTopicId; id != 0 && !path.contains(id); id = m_editorTopics.parentOf(id))
        path.prepend(id);
    QSignalBlocker block(tvTopics);
    TopicViews::FillTopicLevel(*m_shared, tvTopics, nullptr);
    if (QTreeWidgetItem* node = TopicViews::ExpandTopicPath(*m_shared, tvTopics, path))
        tvTopics->setCurrentItem(node);
}

void TScribantF::editSelectedNode()
{
    QTreeWidgetItem* node = tvTopics->currentItem();
    if (!node)
        return;
    tvTopics->editLabel(node);
    m_editedNode = node; // after the node has reported its flags: only the edit itself counts
}

bool TScribantF::panelSetting(const QCheckBox* box, const char* column) const
{
    // A box edits the settings row: what it shows counts at once, though it is stored on focus loss.
    return pnlTopics->isVisible() ? box->isChecked() : m_editorTopics.setting(QString::fromLatin1(column));
}

bool TScribantF::hidePanelOnOpen() const
{
    return panelSetting(DBCheckBox2, "HidePanelOnOpen");
}

void TScribantF::switchPanel()
{
    const bool show = !pnlTopics->isVisible();
    pnlTopics->setVisible(show);
    if (show) {
        rebuildTree(selectedTopicId());
        DBCheckBox1->setChecked(m_editorTopics.setting(QStringLiteral("DontOpenOnAddQue")));
        DBCheckBox2->setChecked(m_editorTopics.setting(QStringLiteral("HidePanelOnOpen")));
    }
    ActionListUpdate();
}

void TScribantF::reconnect()
{
    // Reopening every query would drop what is being typed: it is stored first.
    for (TTopicF* window : topicWindows())
        window->form().store();
    WaitCursor wait;
    m_dm->Reconnect(false);
}

void TScribantF::FileNew1Execute()
{
    QString name;
    if (!InputQuery(this, u("Создание новой темы"), u("Введите название новой темы:"), name) || name.isEmpty())
        return;
    TTopicF* window = newTopicWindow();
    if (!window->CreateAndOpenTopic(name, selectedTopicId())) {
        // The refusal was told; a window without its topic would only take edits it cannot keep.
        window->parentWidget()->close();
        return;
    }
    window->parentWidget()->showMaximized();
    if (pnlTopics->isVisible())
        rebuildTree(selectedTopicId());
    else
        reconnect();
    if (hidePanelOnOpen())
        switchPanel();
    ActionListUpdate();
}

void TScribantF::acTopicDeleteExecute()
{
    TTopicF* window = activeTopic();
    if (!window)
        return;
    const int topicId = window->topicId();
    const int parentId = m_editorTopics.parentOf(topicId);
    // What the window holds goes to the store while its topic row is still there: a new question
    // joins the list (and so reaches the holding topic if it stands nowhere else).
    window->storePending();
    // Questions left in no topic join the holding topic's list in the store; an open window of it
    // reads its list again, having stored its own question first so as not to write over them.
    TTopicF* holding = topicId == m_shared->NoTopicID() ? nullptr : findTopicWindow(m_shared->NoTopicID());
    if (holding)
        holding->storePending();
    if (m_editorTopics.DeleteTopic(topicId) == EditorTopics::DeleteOutcome::Deleted) {
        if (holding)
            holding->form().rereadList();
        if (pnlTopics->isVisible())
            rebuildTree(parentId);
    }
    window->parentWidget()->close();
}

void TScribantF::acTopicRenameExecute()
{
    TTopicF* window = activeTopic();
    if (window && window->RenameTopic() && pnlTopics->isVisible())
        rebuildTree(window->topicId());
}

int TScribantF::loadFromFile(int parentId, const QString& path)
{
    if (parentId == m_shared->NoTopicID())
        parentId = 0;
    int topicId = 0;
    try {
        WaitCursor wait;
        topicId = topics().LoadTopicFromFile(parentId, path);
    } catch (const AppError& e) {
        ShowMessage(e.message(), MsgIcon::Error);
    }
    rebuildTree(topicId ? topicId : parentId);
    if (topicId)
        OpenTopic(topicId);
    return topicId;
}

void TScribantF::openImported(int topicId)
{
    // Nothing imported opens nothing, but the tree is refreshed all the same.
    if (topicId != 0) {
        reconnect();
        OpenTopic(topicId);
    }
    if (pnlTopics->isVisible())
        rebuildTree(topicId ? topicId : selectedTopicId());
}

void TScribantF::setTopicBreakCount(int count)
{
    m_editorTopics.setTopicBreakCount(count);
}

void TScribantF::dropTopic(int topicId, QTreeWidgetItem* target, bool shift, bool ctrl)
{
    const int targetId = target->data(0, TopicViews::TopicIdRole).toInt();
    // Shift places the node before the target, as its sibling; otherwise it becomes a child.
    const int newParent = shift ? m_editorTopics.parentOf(targetId) : targetId;
    if (newParent == topicId)
        return;
    const int placed = m_editorTopics.dragTopic(topicId, newParent, ctrl);
    reconnect();
    rebuildTree(placed ? placed : topicId);
}

void TScribantF::dropQuestion(TTopicF* source, int targetTopicId, bool ctrl)
{
    if (!source || targetTopicId == 0)
        return;
    TopicQuestions& from = source->form();
    try {
        from.store();
        const int queId = from.currentQueId();
        // A node still standing for a topic deleted meanwhile takes nothing, and the source keeps it.
        if (queId == 0 || targetTopicId == from.topicId() || !m_editorTopics.exists(targetTopicId))
            return;
        // A copy out of the holding topic would leave the question there: it is always a move.
        const bool copy = ctrl && !from.holdingTopic();
        TTopicF* target = findTopicWindow(targetTopicId);
        const bool dontOpen = panelSetting(DBCheckBox1, "DontOpenOnAddQue");
        if (dontOpen && !target) {
            m_editorTopics.addQuestionInStore(targetTopicId, queId, copy);
        } else {
            if (!target)
                target = OpenTopic(targetTopicId);
            else if (!dontOpen)
                MDIArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(target->parentWidget()));
            if (target)
                TopicQuestions::AddQuestionToTopic(target->form(), queId, copy);
        }
        if (!copy)
            from.RemoveQuestionFromTopic(queId, true, targetTopicId);
    } catch (const AppError& e) {
        ShowMessage(e.message(), MsgIcon::Error);
    }
}

void TScribantF::receiveHandedOverPath(const QString& path)
{
    ShowMessage(path);
    Q_EMIT fileHandedOver(path);
}

void TScribantF::loadStartFile(const QString& path)
{
    loadFromFile(0, path);
}

void TScribantF::showEvent(QShowEvent* event)
{
    StoreMainWindow::showEvent(event);
    if (std::exchange(m_shownOnce, true))
        return;
    // A file given at start is loaded once the window stands; an argument naming no file is left
    // alone rather than answered with a file dialog nobody asked for.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 2 && QFileInfo(arguments[1]).isFile())
        QTimer::singleShot(0, this, [this, path = arguments[1]] { loadStartFile(path); });
}

void TScribantF::closeEvent(QCloseEvent* event)
{
    MDIArea->closeAllSubWindows();
    try {
        m_editorTopics.resetWorkingMarks();
    } catch (const AppError& e) {
        ShowMessage(e.message(), MsgIcon::Error);
    }
    StoreMainWindow::closeEvent(event);
}
