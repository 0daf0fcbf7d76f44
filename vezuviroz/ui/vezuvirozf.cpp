#include "vezuvirozf.h"

#include "aboutbox.h"
#include "apperror.h"
#include "archivef.h"
#include "columnmenu.h"
#include "criterialistf.h"
#include "datamodules.h"
#include "dataset.h"
#include "exportoptionsf.h"
#include "filedialogs.h"
#include "findtopicf.h"
#include "generalsettingsf.h"
#include "listlines.h"
#include "messages.h"
#include "monitordelegate.h"
#include "monitormodel.h"
#include "runlog.h"
#include "savedworkf.h"
#include "servertexts.h"
#include "settingsform.h"
#include "shell.h"
#include "sqldialect.h"
#include "studentswindows.h"
#include "studentviewpanel.h"
#include "testingserver.h"
#include "topicstore.h"
#include "topictree.h"
#include "topictreeedits.h"
#include "topicviews.h"
#include "updatedbaction.h"
#include "utf8text.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDockWidget>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString u(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

constexpr int BreakCounts[] = {10, 15, 20, 30};
constexpr int CriteriaWindowMargin = 30;

constexpr char HandOutCaption[] = "Раздать вопросы! ( F9 )";
constexpr char OfferQuestionFile[] =
    "Раздать вопросы невозможно: нет подключенных студентов.\r\rСоздать файл для автономного тестирования?";
constexpr char UnsavedResults[] = "Остались несохранённые результаты тестирования.\r\rСохранить их в архив?";
constexpr char ClientsLeft[] = "Остались подключенные клиенты. Выйти всё равно?";
// Filing stops at a finished work without a student; the window must not end and lose it.
constexpr char WorksLeft[] = "Не все результаты сохранены в архив: выберите студентов для оставшихся работ.";
constexpr char NewPorts[] = "Новые порты будут применены после перезапуска сервера и клиентов.";
constexpr char PortBusy[] = "Сервер не запущен: порт TCP %1 занят другой программой.";
constexpr char NotConnected[] = "Клиент ещё не подключен.";
constexpr char ChooseStudentTitle[] = "Выбор студента на %1";
constexpr char RequestModeOn[] = "Запрос заданий разрешен";
constexpr char NotFound[] = "Невозможно найти \"%S\"";
constexpr char WaitForTopicChanges[] = "Чтобы изменять структуру тем,\rдождитесь, пока все закончат работу.";

TVezuvirozF::DialogRunner& dialogRunner()
{
    static TVezuvirozF::DialogRunner runner;
    return runner;
}

TVezuvirozF::StudentChooser& studentChooser()
{
    static TVezuvirozF::StudentChooser chooser;
    return chooser;
}

} // namespace

// The teacher's answers to the server: yes/no through the message dialog, the student through
// the window's chooser.
class WindowPrompts : public ServerPrompts
{
public:
    explicit WindowPrompts(TVezuvirozF* window) : m_window(window) {}
    int chooseStudent(const QString& pcName) override { return m_window->chooseStudent(pcName); }

private:
    TVezuvirozF* m_window;
};

TVezuvirozF::DialogRunner TVezuvirozF::setDialogRunner(DialogRunner runner)
{
    return std::exchange(dialogRunner(), std::move(runner));
}

TVezuvirozF::StudentChooser TVezuvirozF::setStudentChooser(StudentChooser chooser)
{
    return std::exchange(studentChooser(), std::move(chooser));
}

// The student at the computer of the working table's current row, through the student-choice
// dialog, which stores the choice in the row itself; 0 when cancelled. The class label shows the
// classes the dialog listed.
int TVezuvirozF::chooseStudent(const QString& pcName)
{
    if (const auto& chooser = studentChooser())
        return chooser(this, u(ChooseStudentTitle).arg(pcName));
    const StudentChoiceResult result = ShowStudentChoice(m_dm, lblKlass->text(), this);
    lblKlass->setText(result.klassLabel);
    return result.accepted ? m_dm->sqlCurrentTesting->value(QStringLiteral("StudentID")).toInt() : 0;
}

int TVezuvirozF::runDialog(QDialog& dialog)
{
    return dialogRunner() ? dialogRunner()(dialog) : dialog.exec();
}

TVezuvirozF::TVezuvirozF(TDM* dm, TSharedDM* shared, QWidget* parent)
    : StoreMainWindow(dm, shared, parent), m_prompts(std::make_unique<WindowPrompts>(this)),
      m_settingsRow(dm->sqlAppSettings)
{
    setObjectName(QStringLiteral("TVezuvirozF"));
    LogBegin(); // the first entry of the run log, before the start-up check logs anything
    m_server = new TestingServer(dm, shared, m_prompts.get(), this);
    m_monitor = new MonitorModel(dm, m_server, this);
    // names changed by the editor come in with a reconnection of the store
    connect(dm, &TDM::reconnected, m_monitor, &MonitorModel::reloadNames);
    createActions();
    createMonitor();
    createMenus();
    createToolBar();
    createPanels();
    createTopicsPanel();
    createStatusBar();
    FormCreate();

    m_settings = m_settingsRow.read();
    applySettings(false);
    showRightAnswerColour();
    action("acShowCaptions")->setChecked(true); // at start the captions are always shown
    m_ports = ChoosePorts(m_settings);
    LogText(Utf8Text(ServerText::LogPorts).arg(m_ports.udp).arg(m_ports.tcp));
    TopicStore::WorkFolder();
    setWindowTitle(QString::fromLatin1(BaseCaption));
    connectServer();
    ActionListUpdate();
}

void TVezuvirozF::setStartOptions(const StartOptions& options)
{
    if (!options.error.isEmpty()) {
        LogText(options.error);
        ShowMessage(options.error, MsgIcon::Warning);
        return;
    }
    // Once the window stands, as a file opened from the desktop expects.
    if (!options.resultFile.isEmpty() && QFileInfo(options.resultFile).isFile())
        QTimer::singleShot(0, this, [this, path = options.resultFile] { openResultFile(path); });
    m_startOptions = options;
    if (m_started)
        QTimer::singleShot(0, this, &TVezuvirozF::openStartTopic);
}

// The topic of the command line, once the server runs: computers that connect later are told.
void TVezuvirozF::openStartTopic()
{
    const StartOptions options = std::exchange(m_startOptions, {});
    if (!options.hasTopic())
        return;
    const bool opened =
        options.topicId != 0 ? m_server->OpenTestTopic(options.topicId) : m_server->OpenTestTopic(options.topicName);
    if (opened && options.allowRequests)
        action("acAllowTestingByRequest")->setChecked(true);
}

TVezuvirozF::~TVezuvirozF()
{
    // the server goes before the data modules it works on, and tells the monitor nothing more
    disconnect(m_server, nullptr, this, nullptr);
    delete m_monitor;
    delete m_server;
}

void TVezuvirozF::openResultFile(const QString& path)
{
    if (TSavedWorkF::OpenResultFile(m_shared, path))
        LogText(QStringLiteral("Result file shown: ") + path);
}

// --- commands ---

QAction* TVezuvirozF::addCommand(const char* name, const QString& caption, const QString& shortcut,
                                 void (TVezuvirozF::*handler)())
{
    auto* a = new QAction(caption, this);
    a->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty())
        a->setShortcut(QKeySequence(shortcut));
    a->setStatusTip(QString(caption).remove(u'&'));
    if (handler)
        connect(a, &QAction::triggered, this, handler);
    m_actions.insert(a->objectName(), a);
    QMainWindow::addAction(a);
    return a;
}

void TVezuvirozF::onRowCommand(const std::function<void(const QString& address)>& command)
{
    m_cells->commitOpenEditor(); // a final mark being typed belongs to the row the command works on
    const QString address = selectedAddress();
    if (!address.isEmpty())
        command(address);
}

void TVezuvirozF::createActions()
{
    addCommand("acOpenTopics", u("Открыть..."), "Ctrl+Alt+O", &TVezuvirozF::acOpenTopicsExecute);
    addCommand("acTopicsCtrl", u("Управление темами..."), "Ctrl+O", &TVezuvirozF::acTopicsCtrlExecute);
    addCommand("acFindTopic", u("Найти тему..."), "Ctrl+F", &TVezuvirozF::acFindTopicExecute);
    connect(addCommand("acTopicClose", u("&Закрыть"), "Ctrl+F4"), &QAction::triggered, this,
            [this] { m_server->CloseTestTopic(); });
    addCommand("acTopicSettings", u("&Настройки темы..."), "F12", &TVezuvirozF::acTopicSettingsExecute);
    connect(addCommand("acStartTesting", u("Раздать вопросы!"), "F9"), &QAction::triggered, this,
            [this] { m_server->HandOutQuestions(); });
    addCommand("acCreateTestFile", u("Создать файл вопросов..."), {}, &TVezuvirozF::acCreateTestFileExecute);
    QAction* request = addCommand("acAllowTestingByRequest", u("Разрешить выдачу заданий по запросу"));
    request->setCheckable(true);
    connect(request, &QAction::toggled, this, [this](bool on) {
        if (on != m_server->requestMode())
            m_server->SetRequestMode(on);
        lblRequestMode->setVisible(on);
    });
    connect(addCommand("acStudentView", u("Ход работы...")), &QAction::triggered, this,
            [this] { action("acHideStudentViewPanel")->setChecked(false); });
    connect(addCommand("acToArchive", u("Сохранить результат в архив"), "Ctrl+S"), &QAction::triggered, this,
            [this] { onRowCommand([this](const QString& a) { m_server->FileResult(a); }); });
    connect(addCommand("acClearClient", u("Следующий! (Очистить рабочее место)")), &QAction::triggered, this,
            [this] { onRowCommand([this](const QString& a) { m_server->ClearWorkplace(a); }); });
    connect(addCommand("acCloseClient", u("Выключить рабочее место")), &QAction::triggered, this,
            [this] { onRowCommand([this](const QString& a) { m_server->CloseWorkplace(a); }); });
    connect(addCommand("acDeleteUser", u("Убрать из списка")), &QAction::triggered, this,
            [this] { onRowCommand([this](const QString& a) { m_server->DeleteRow(a); }); });
    addCommand("acSetStudentName", u("Выбрать студента..."), "Ctrl+N", &TVezuvirozF::acSetStudentNameExecute);
    connect(addCommand("acAllToArchive", u("Сохранить все результаты в архив"), "Ctrl+Alt+S"), &QAction::triggered,
            this, [this] {
                m_cells->commitOpenEditor();
                m_server->FileAllResults();
            });
    connect(addCommand("acClearAllClient", u("Очистить все рабочие места")), &QAction::triggered, this,
            [this] { m_server->ClearAll(); });
    connect(addCommand("acCloseAllFreeClient", u("Выключить все свободные рабочие места")), &QAction::triggered, this,
            [this] { m_server->CloseAllFree(); });
    connect(addCommand("acCloseAllClient", u("Выключить все рабочие места")), &QAction::triggered, this,
            [this] { m_server->CloseAll(); });
    connect(addCommand("acRestartServer", u("Перезапустить сервер")), &QAction::triggered, this,
            [this] { m_server->RestartServer(false); });
    addCommand("acProfSettings", u("Общие настройки..."), {}, &TVezuvirozF::acProfSettingsExecute);
    addCommand("acShowCriteriaList", u("Показать текущие критерии оценки"), "Ctrl+F12",
               &TVezuvirozF::acShowCriteriaListExecute);
    const auto setting = [this](const char* name, const QString& caption, const char* column) {
        QAction* a = addCommand(name, caption);
        a->setCheckable(true);
        connect(a, &QAction::toggled, this, [this, column](bool on) {
            storeSetting(column, on);
            applySettings(false);
        });
        return a;
    };
    setting("acPrePointsFromPassedOnly", u("Показывать предв.оценку только по пройденным вопросам"),
            "PrePointsFromPassedOnly");
    setting("acHideStudentViewPanel", u("Скрывать панель просмотра, когда нет данных"), "HideStudentViewPanel");
    QAction* captions = addCommand("acShowCaptions", u("Показывать подписи кнопок"));
    captions->setCheckable(true);
    connect(captions, &QAction::toggled, this, [this](bool on) {
        for (QToolBar* bar : findChildren<QToolBar*>())
            bar->setToolButtonStyle(on ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
        // the hand-out button is the toolbar's own widget: it follows by hand
        btnStartTesting->setToolButtonStyle(on ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    });
    addCommand("acShowArchive", u("Архив..."), "Ctrl+R", &TVezuvirozF::acShowArchiveExecute);
    addCommand("acOpenResultFile", u("Открыть файл результата..."), "Ctrl+Alt+R",
               &TVezuvirozF::acOpenResultFileExecute);
    connect(addCommand("acKlassList", u("Список классов...")), &QAction::triggered, this, [this] {
        ShowClassesWindow(m_dm, this);
        m_monitor->reloadNames();
    });
    connect(addCommand("acStudentsList", u("Список студентов...")), &QAction::triggered, this, [this] {
        ShowStudentsWindow(m_dm, this);
        m_monitor->reloadNames();
    });
    connect(addCommand("acStudentViewSettings", u("Настройка вида Student...")), &QAction::triggered, this, [this] {
        if (ShowViewSettings(m_dm, this))
            showRightAnswerColour();
    });
    addCommand("acExportQueListToWord", u("Экспорт вопросов в текстовый документ..."), {},
               &TVezuvirozF::acExportQueListExecute);
    addCommand("acSwitchToScribant", u("Редактор вопросов..."), {}, &TVezuvirozF::acSwitchToScribantExecute);
    addCommand("acReloadDB", u("Подключиться заново к БД"), {}, &TVezuvirozF::acReloadDBExecute);
    connect(addCommand("acExit", u("В&ыход"), "Ctrl+Q"), &QAction::triggered, this, &QWidget::close);
    connect(addCommand("HelpAbout1", u("&О программе...")), &QAction::triggered, this,
            [this] { ShowAboutBox(this, QStringLiteral("Vezuviroz"), u("Сервер тестирования")); });
    m_actions.insert(QStringLiteral("acUpdateDB"), acUpdateDB);
}

void TVezuvirozF::createMenus()
{
    mnuTopics = new ColumnMenu(QString(), this);
    mnuTopics->setObjectName(QStringLiteral("mnuTopics"));
    connect(mnuTopics, &QMenu::aboutToShow, this, [this] { fillTopicsMenu(mnuTopics); });
    action("acOpenTopics")->setMenu(mnuTopics);

    const auto add = [this](QMenu* menu, std::initializer_list<const char*> names) {
        for (const char* name : names) {
            if (name == nullptr)
                menu->addSeparator();
            else
                menu->addAction(action(QLatin1String(name)));
        }
    };
    // The store's own command (moving an old bank in) stays in the topic menu.
    mnuTopic->clear();
    add(mnuTopic, {"acOpenTopics", "acTopicsCtrl", "acFindTopic", "acTopicClose", nullptr, "acTopicSettings",
                   "acCreateTestFile", "acExportQueListToWord", "acSwitchToScribant", nullptr, "acReloadDB"});
    mnuTopic->addAction(acUpdateDB);
    add(mnuTopic, {nullptr, "acExit"});

    QMenu* testing = menuBar()->addMenu(u("&Тестирование"));
    testing->setObjectName(QStringLiteral("mnuTesting"));
    add(testing, {"acStartTesting", "acAllowTestingByRequest", nullptr, "acToArchive", "acAllToArchive", nullptr,
                  "acClearClient", "acCloseClient", "acDeleteUser", "acSetStudentName", nullptr, "acClearAllClient",
                  "acCloseAllFreeClient", "acCloseAllClient", nullptr, "acRestartServer"});

    QMenu* results = menuBar()->addMenu(u("&Результаты"));
    results->setObjectName(QStringLiteral("mnuResults"));
    add(results, {"acShowArchive", "acOpenResultFile", nullptr, "acKlassList", "acStudentsList"});

    QMenu* view = menuBar()->addMenu(u("&Вид"));
    view->setObjectName(QStringLiteral("mnuView"));
    add(view, {"acStudentView", "acPrevQue", "acNextQue", "acShowCriteriaList", nullptr, "acHideStudentViewPanel",
               "acPrePointsFromPassedOnly", "acShowCaptions"});
    QMenu* split = view->addMenu(u("Разделять список тем"));
    split->setObjectName(QStringLiteral("mnuTopicBreak"));
    m_breakGroup = new QActionGroup(this);
    for (int count : BreakCounts) {
        QAction* item = split->addAction(u("по ") + QString::number(count));
        item->setObjectName(QStringLiteral("mnuBreak%1").arg(count));
        item->setCheckable(true);
        m_breakGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this, count] { setTopicBreakCount(count); });
    }
    add(view, {nullptr, "acStudentViewSettings", "acProfSettings"});

    addHelpMenu(action("HelpAbout1"));

    // The grid's pop-up menu.
    grdMonitor->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* saveEdit = new QAction(u("Сохранить изменения"), grdMonitor);
    saveEdit->setObjectName(QStringLiteral("mnuSaveEdit"));
    connect(saveEdit, &QAction::triggered, m_cells, &MonitorDelegate::commitOpenEditor);
    for (const char* name : {"acToArchive", "acClearClient", "acCloseClient", "acStudentView"})
        grdMonitor->addAction(action(QLatin1String(name)));
    grdMonitor->addAction(saveEdit);
}

void TVezuvirozF::createToolBar()
{
    QToolBar* toolbar = addToolBar(QStringLiteral("ToolBar1"));
    toolbar->setObjectName(QStringLiteral("ToolBar1"));
    QStyle* s = style();
    const auto icon = [&](const char* name, QStyle::StandardPixmap pixmap) {
        action(QLatin1String(name))->setIcon(s->standardIcon(pixmap));
        toolbar->addAction(action(QLatin1String(name)));
    };
    icon("acOpenTopics", QStyle::SP_DialogOpenButton);
    if (auto* open = qobject_cast<QToolButton*>(toolbar->widgetForAction(action("acOpenTopics"))))
        open->setPopupMode(QToolButton::InstantPopup);
    icon("acTopicsCtrl", QStyle::SP_FileDialogDetailedView);
    toolbar->addSeparator();
    btnStartTesting = new QToolButton(toolbar);
    btnStartTesting->setObjectName(QStringLiteral("btnStartTesting"));
    btnStartTesting->setText(u(HandOutCaption));
    btnStartTesting->setIcon(s->standardIcon(QStyle::SP_MediaPlay));
    btnStartTesting->setToolTip(u(HandOutCaption));
    btnStartTesting->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    connect(btnStartTesting, &QToolButton::clicked, this, &TVezuvirozF::btnStartTestingClick);
    toolbar->addWidget(btnStartTesting);
    icon("acAllowTestingByRequest", QStyle::SP_DialogYesButton);
    toolbar->addSeparator();
    icon("acAllToArchive", QStyle::SP_DialogSaveButton);
    icon("acShowArchive", QStyle::SP_DirIcon);
    icon("acProfSettings", QStyle::SP_FileDialogInfoView);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
}

void TVezuvirozF::createMonitor()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 2);

    auto* buttons = new QHBoxLayout;
    const auto menuButton = [&](const char* name, const QString& caption, std::initializer_list<const char*> names) {
        auto* button = new QToolButton(central);
        button->setObjectName(QLatin1String(name));
        button->setText(caption);
        button->setPopupMode(QToolButton::InstantPopup);
        auto* menu = new QMenu(button);
        for (const char* command : names)
            menu->addAction(action(QLatin1String(command)));
        button->setMenu(menu);
        buttons->addWidget(button);
        return button;
    };
    btnAllStudents = menuButton("btnAllStudents", u("Все студенты"),
                                {"acAllToArchive", "acClearAllClient", "acCloseAllFreeClient", "acCloseAllClient"});
    btnStudent = menuButton("btnStudent", u("Студент"),
                            {"acToArchive", "acClearClient", "acCloseClient", "acDeleteUser", "acSetStudentName"});
    lblKlass = new QLabel(u("все"), central);
    lblKlass->setObjectName(QStringLiteral("lblKlass"));
    buttons->addWidget(lblKlass);
    buttons->addStretch();
    lblRequestMode = new QLabel(u(RequestModeOn), central);
    lblRequestMode->setObjectName(QStringLiteral("lblRequestMode"));
    lblRequestMode->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold"));
    lblRequestMode->hide();
    buttons->addWidget(lblRequestMode);
    layout->addLayout(buttons);

    splMonitor = new QSplitter(Qt::Vertical, central);
    splMonitor->setObjectName(QStringLiteral("splMonitor"));
    grdMonitor = new QTableView(splMonitor);
    grdMonitor->setObjectName(QStringLiteral("grdMonitor"));
    grdMonitor->setModel(m_monitor);
    m_cells = new MonitorDelegate(grdMonitor);
    grdMonitor->setItemDelegate(m_cells);
    connect(m_cells, &MonitorDelegate::studentButtonClicked, this, &TVezuvirozF::acSetStudentNameExecute);
    grdMonitor->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdMonitor->setSelectionMode(QAbstractItemView::SingleSelection);
    grdMonitor->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::AnyKeyPressed);
    grdMonitor->verticalHeader()->hide();
    grdMonitor->horizontalHeader()->setStretchLastSection(true);
    grdMonitor->horizontalHeader()->setSectionsClickable(true);
    // a click on a column title reads the table again
    connect(grdMonitor->horizontalHeader(), &QHeaderView::sectionClicked, this, [this] {
        m_dm->sqlCurrentTesting->requery();
        m_monitor->reloadNames();
    });
    grdMonitor->installEventFilter(this);
    connect(grdMonitor, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.column() == MonitorModel::Student)
            acSetStudentNameExecute();
    });
    connect(grdMonitor->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TVezuvirozF::onSelectionChanged);
    connect(m_monitor, &QAbstractItemModel::modelReset, this, &TVezuvirozF::onRowsChanged);
    connect(m_monitor, &QAbstractItemModel::dataChanged, this, &TVezuvirozF::onRowsChanged);

    pnlStudentView = new StudentViewPanel(splMonitor);
    pnlStudentView->setObjectName(QStringLiteral("pnlStudentView"));
    // the view's question commands are the window's, with their keys
    for (const auto& [command, key] :
         {std::pair{pnlStudentView->previousAction(), "F6"}, std::pair{pnlStudentView->nextAction(), "F7"}}) {
        command->setShortcut(QKeySequence(QLatin1String(key)));
        command->setShortcutContext(Qt::WindowShortcut);
        m_actions.insert(command->objectName(), command);
        QMainWindow::addAction(command);
    }
    connect(pnlStudentView, &StudentViewPanel::needRoute, this,
            [this](const QString& address) { m_server->SendNeedRoute(address); });
    splMonitor->addWidget(grdMonitor);
    splMonitor->addWidget(pnlStudentView);
    splMonitor->setStretchFactor(0, 1);
    // the view's height is kept whenever the teacher moves the divider
    connect(splMonitor, &QSplitter::splitterMoved, this, [this] {
        if (pnlStudentView->isVisible()) {
            m_settings.PageScroller_Height = pnlStudentView->height();
            m_settingsRow.store(QStringLiteral("PageScroller_Height"), m_settings.PageScroller_Height);
        }
    });
    layout->addWidget(splMonitor, 1);
    setCentralWidget(central);
}

void TVezuvirozF::createPanels()
{
    QWidget* host = centralWidget();
    pnlHandOut = new QFrame(host);
    pnlHandOut->setObjectName(QStringLiteral("pnlHandOut"));
    pnlHandOut->setFrameShape(QFrame::Panel);
    pnlHandOut->setFrameShadow(QFrame::Raised);
    pnlHandOut->setAutoFillBackground(true);
    auto* handOut = new QVBoxLayout(pnlHandOut);
    handOut->addWidget(new QLabel(u("Раздача  вопросов..."), pnlHandOut));
    lblHandOutStatus = new QLabel(pnlHandOut);
    lblHandOutStatus->setObjectName(QStringLiteral("lblHandOutStatus"));
    handOut->addWidget(lblHandOutStatus);
    pbHandOut = new QProgressBar(pnlHandOut);
    pbHandOut->setObjectName(QStringLiteral("pbHandOut"));
    handOut->addWidget(pbHandOut);
    btnCancelHandOut = new QPushButton(u("Отмена"), pnlHandOut);
    btnCancelHandOut->setObjectName(QStringLiteral("btnCancelHandOut"));
    connect(btnCancelHandOut, &QPushButton::clicked, this, [this] { m_server->CancelHandOut(); });
    handOut->addWidget(btnCancelHandOut, 0, Qt::AlignHCenter);
    pnlHandOut->hide();

    pnlRestart = new QFrame(host);
    pnlRestart->setObjectName(QStringLiteral("pnlRestart"));
    pnlRestart->setFrameShape(QFrame::Panel);
    pnlRestart->setFrameShadow(QFrame::Raised);
    pnlRestart->setAutoFillBackground(true);
    auto* restart = new QVBoxLayout(pnlRestart);
    lblNetworkFault = new QLabel(Utf8Text(ServerText::NetworkFault), pnlRestart);
    lblNetworkFault->setObjectName(QStringLiteral("lblNetworkFault"));
    restart->addWidget(lblNetworkFault);
    lblRestartStatus = new QLabel(pnlRestart);
    lblRestartStatus->setObjectName(QStringLiteral("lblRestartStatus"));
    restart->addWidget(lblRestartStatus);
    pnlRestart->hide();
}

void TVezuvirozF::createStatusBar()
{
    const auto field = [this](const char* name) {
        auto* label = new QLabel(this);
        label->setObjectName(QLatin1String(name));
        statusBar()->addPermanentWidget(label);
        return label;
    };
    lblConnected = field("lblConnected");
    lblWorking = field("lblWorking");
    lblEchoCount = field("lblEchoCount");
    lblConnected->setText(Utf8Text(ServerText::Connected).arg(0));
    lblWorking->setText(Utf8Text(ServerText::Working).arg(0));
}

void TVezuvirozF::connectServer()
{
    TestingServer* s = m_server;
    connect(s, &TestingServer::captionChanged, this, [this](const QString& caption) {
        setWindowTitle(caption);
        ActionListUpdate();
    });
    connect(s, &TestingServer::phaseChanged, this, &TVezuvirozF::ActionListUpdate);
    connect(s, &TestingServer::countersChanged, this, [this](int connected, int working) {
        lblConnected->setText(Utf8Text(ServerText::Connected).arg(connected));
        lblWorking->setText(Utf8Text(ServerText::Working).arg(working));
        ActionListUpdate();
    });
    connect(s, &TestingServer::echoCountChanged, this,
            [this](int count) { lblEchoCount->setText(QString::number(count)); });
    connect(s, &TestingServer::statusChanged, this, [this](const QString& text) {
        lblHandOutStatus->setText(text);
        lblRestartStatus->setText(text);
    });
    connect(s, &TestingServer::handOutStarted, this, [this](int maximum) {
        pbHandOut->setRange(0, qMax(maximum, 1));
        pbHandOut->setValue(0);
        placePanels();
        pnlHandOut->show();
        pnlHandOut->raise();
        ActionListUpdate();
    });
    connect(s, &TestingServer::handOutProgress, pbHandOut, &QProgressBar::setValue);
    connect(s, &TestingServer::handOutFinished, this, [this] {
        pnlHandOut->hide();
        ActionListUpdate();
    });
    connect(s, &TestingServer::restartNoticeChanged, this, [this](bool shown, bool fault) {
        lblNetworkFault->setVisible(fault);
        placePanels();
        pnlRestart->setVisible(shown);
        pnlRestart->raise();
    });
    connect(s, &TestingServer::studentViewReset, this, [this] {
        pnlStudentView->firstQuestion();
        showStudentViewPane();
    });
    connect(s, &TestingServer::workFinished, this, [] { QApplication::beep(); });
}

// --- settings ---

void TVezuvirozF::storeSetting(const char* column, bool value)
{
    m_settingsRow.store(QLatin1String(column), value);
    m_settings = m_settingsRow.read();
}

// Shows the stored settings: the ticks, the topic menu's columns, the student view; the toolbar's
// captions only when the general settings were confirmed.
void TVezuvirozF::applySettings(bool captions)
{
    const auto tick = [this](const char* name, bool on) {
        QSignalBlocker block(action(QLatin1String(name)));
        action(QLatin1String(name))->setChecked(on);
    };
    tick("acHideStudentViewPanel", m_settings.HideStudentViewPanel);
    tick("acPrePointsFromPassedOnly", m_settings.PrePointsFromPassedOnly);
    if (captions)
        action("acShowCaptions")->setChecked(m_settings.ShowCaptions);
    for (QAction* item : m_breakGroup->actions())
        item->setChecked(item->objectName() == QStringLiteral("mnuBreak%1").arg(m_settings.TopicBreakCount));
    m_server->setPrePointsFromPassedOnly(m_settings.PrePointsFromPassedOnly);
    splMonitor->setSizes(
        {qMax(1, splMonitor->height() - m_settings.PageScroller_Height), m_settings.PageScroller_Height});
    showStudentViewPane();
}

void TVezuvirozF::setTopicBreakCount(int count)
{
    m_settingsRow.store(QStringLiteral("TopicBreakCount"), count);
    m_settings = m_settingsRow.read();
    applySettings(false);
}

// The ports shown are those the next start will use: ports saved earlier and not yet in effect
// are kept when the dialog is confirmed again. A 0 leaves the ports to the port file, whose ports
// are the ones announced.
void TVezuvirozF::acProfSettingsExecute()
{
    VezuvirozSettings shown = m_settings;
    const Ports stored = ChoosePorts(m_settings);
    shown.UDPPort = stored.udp;
    shown.TCPPort = stored.tcp;
    TGeneralSettingsF dialog(shown, m_server->requestMode(), this);
    if (runDialog(dialog) != QDialog::Accepted)
        return;
    if (dialog.requestMode() != m_server->requestMode())
        action("acAllowTestingByRequest")->setChecked(dialog.requestMode());
    m_settings = dialog.settings();
    m_settingsRow.write(m_settings);
    applySettings(true);
    const Ports next = ChoosePorts(m_settings);
    const auto same = [](const Ports& a, const Ports& b) { return a.udp == b.udp && a.tcp == b.tcp; };
    // Computers told other ports earlier are told again when the teacher goes back to the running ones.
    if (same(next, m_ports) && (!m_announcedPorts || same(next, *m_announcedPorts)))
        return;
    m_server->AnnouncePorts(next.udp, next.tcp);
    m_announcedPorts = next;
    if (!same(next, m_ports))
        ShowMessage(u(NewPorts), MsgIcon::Information);
}

// --- topics ---

void TVezuvirozF::fillTopicsMenu(ColumnMenu* level)
{
    TopicViews::MenuHandlers handlers;
    handlers.chooseTopic = [this](QAction* entry) { openTopic(TopicViews::EntryTag(entry)); };
    handlers.openParent = [this](QAction* entry) { fillTopicsMenu(qobject_cast<ColumnMenu*>(entry->menu())); };
    TopicViews::BuildTopicsMenu(*m_shared, mnuTopics, level, handlers, StoreProgram::Vezuviroz,
                                m_settings.TopicBreakCount);
}

void TVezuvirozF::openTopic(int topicId)
{
    if (topicId != 0)
        m_server->OpenTestTopic(topicId);
}

void TVezuvirozF::acOpenTopicsExecute()
{
    // the shortcut drops the menu down under the toolbar's button
    QWidget* button = nullptr;
    for (QToolBar* bar : findChildren<QToolBar*>())
        if (QWidget* w = bar->widgetForAction(action("acOpenTopics")))
            button = w;
    mnuTopics->popup(button ? button->mapToGlobal(QPoint(0, button->height())) : QCursor::pos());
}

void TVezuvirozF::createTopicsPanel()
{
    pnlTopics = new QDockWidget(u("Управление темами"), this);
    pnlTopics->setObjectName(QStringLiteral("pnlTopics"));
    auto* body = new QWidget(pnlTopics);
    auto* layout = new QVBoxLayout(body);
    tvTopics = new TopicTree(body);
    tvTopics->installEventFilter(this);
    tvTopics->topicDropped = [this](QTreeWidgetItem* dragged, QTreeWidgetItem* target, bool shift, bool ctrl) {
        dropTopic(dragged->data(0, TopicViews::TopicIdRole).toInt(), target, shift, ctrl);
    };
    connect(tvTopics, &QTreeWidget::itemChanged, this, &TVezuvirozF::topicRenamed);
    TopicViews::ConnectLevelReading(*m_shared, tvTopics);
    layout->addWidget(tvTopics, 1);
    btnOpenTopic = new QPushButton(u("Открыть"), body);
    btnOpenTopic->setObjectName(QStringLiteral("btnOpenTopic"));
    layout->addWidget(btnOpenTopic);
    auto* hide = new QPushButton(QStringLiteral("X"), body);
    hide->setObjectName(QStringLiteral("btnHidePanel"));
    layout->addWidget(hide);
    pnlTopics->setWidget(body);
    addDockWidget(Qt::RightDockWidgetArea, pnlTopics);
    pnlTopics->hide();
    connect(btnOpenTopic, &QPushButton::clicked, this, &TVezuvirozF::openSelectedTopic);
    connect(hide, &QPushButton::clicked, pnlTopics, &QWidget::hide);
    connect(tvTopics, &QTreeWidget::itemDoubleClicked, this, &TVezuvirozF::openSelectedTopic);
    connect(tvTopics, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { btnOpenTopic->setEnabled(item != nullptr); });
    btnOpenTopic->setEnabled(false);
}

bool TVezuvirozF::eventFilter(QObject* watched, QEvent* event)
{
    const bool enter = event->type() == QEvent::KeyPress && (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
                                                             static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter);
    if (enter && watched == tvTopics) {
        openSelectedTopic();
        return true;
    }
    if (watched == tvTopics && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F2) {
        renameSelectedTopic();
        return true;
    }
    // Enter in the grid chooses the student; an edit of the final mark in progress takes the key itself
    if (enter && watched == grdMonitor) {
        acSetStudentNameExecute();
        return true;
    }
    return StoreMainWindow::eventFilter(watched, event);
}

void TVezuvirozF::acTopicsCtrlExecute()
{
    if (pnlTopics->isVisible()) {
        pnlTopics->hide();
        return;
    }
    // the tree is read again each time: the editor may have changed it meanwhile
    rebuildTopicTree({});
    pnlTopics->show();
    if (!m_server->nobodyWorking())
        ShowMessage(u(WaitForTopicChanges), MsgIcon::Information);
}

void TVezuvirozF::rebuildTopicTree(const QList<int>& path)
{
    QSignalBlocker block(tvTopics);
    TopicViews::FillTopicLevel(*m_shared, tvTopics, nullptr);
    QTreeWidgetItem* node = path.isEmpty() ? nullptr : TopicViews::ExpandTopicPath(*m_shared, tvTopics, path);
    if (node)
        node->setExpanded(true);
    tvTopics->setCurrentItem(node);
    for (QTreeWidgetItemIterator it(tvTopics); *it; ++it)
        (*it)->setFlags((*it)->flags() | Qt::ItemIsEditable);
    btnOpenTopic->setEnabled(node != nullptr);
}

// The path from the top level down to the topic.
QList<int> TVezuvirozF::topicPath(int topicId)
{
    TopicTreeEdits edits(topics());
    QList<int> path;
    for (int id = topicId; id != 0 && !path.contains(id); id = edits.parentOf(id))
        path.prepend(id);
    return path;
}

void TVezuvirozF::renameSelectedTopic()
{
    QTreeWidgetItem* node = tvTopics->currentItem();
    if (!node)
        return;
    // the label's flags change before the edit starts; only the edit itself is a rename
    tvTopics->editLabel(node);
    m_editedNode = node;
}

// A node's label was edited in place (nodes being filled report their data too): stored at once.
void TVezuvirozF::topicRenamed(QTreeWidgetItem* item)
{
    if (item != std::exchange(m_editedNode, nullptr))
        return;
    const int topicId = item->data(0, TopicViews::TopicIdRole).toInt();
    TopicTreeEdits edits(topics());
    if (item->text(0) == edits.topicName(topicId))
        return;
    if (!edits.rename(topicId, item->text(0))) {
        // the refused label goes back; not from inside the item's own report
        QMetaObject::invokeMethod(
            this, [this, topicId] { rebuildTopicTree(topicPath(topicId)); }, Qt::QueuedConnection);
        return;
    }
    m_monitor->reloadNames();
}

// Without Ctrl the topic moves, as the target's first child or, with Shift, before it as its
// sibling; with Ctrl a copy goes there. Only while nobody works: the tests running hold topic ids.
void TVezuvirozF::dropTopic(int topicId, QTreeWidgetItem* target, bool shift, bool ctrl)
{
    if (!m_server->nobodyWorking()) {
        ShowMessage(u(WaitForTopicChanges), MsgIcon::Information);
        return;
    }
    TopicTreeEdits edits(topics());
    const int targetId = target->data(0, TopicViews::TopicIdRole).toInt();
    const int newParent = shift ? edits.parentOf(targetId) : targetId;
    if (edits.dragTopic(topicId, newParent, ctrl) == 0)
        return;
    m_dm->Reconnect(false);
    rebuildTopicTree(topicPath(targetId)); // the target opened: its ancestors, so the dropped topic, too
}

void TVezuvirozF::openSelectedTopic()
{
    QTreeWidgetItem* item = tvTopics->currentItem();
    if (!item)
        return;
    openTopic(item->data(0, TopicViews::TopicIdRole).toInt());
    pnlTopics->hide();
}

void TVezuvirozF::acFindTopicExecute()
{
    TFindTopicF dialog(*m_shared, this);
    if (runDialog(dialog) == QDialog::Accepted)
        openTopic(dialog.chosenTopicId());
}

void TVezuvirozF::acTopicSettingsExecute()
{
    if (m_server->openTopicQuestionCount() > 0)
        TSettingsF::Execute(m_shared->settings(), m_server->openTopicId(), m_server->openTopicName(), this);
}

void TVezuvirozF::acCreateTestFileExecute()
{
    if (m_server->openTopicQuestionCount() > 0)
        topics().SaveTopicToFile(m_server->openTopicId(), m_server->openTopicName(), *m_dm->sqlQuestions);
}

void TVezuvirozF::acExportQueListExecute()
{
    if (m_server->openTopicQuestionCount() == 0)
        return;
    try {
        ExportQuestionList(m_dm, m_server->openTopicId(), this);
    } catch (const AppError& e) {
        ShowMessage(e.message(), MsgIcon::Error);
    }
}

void TVezuvirozF::btnStartTestingClick()
{
    ActionListUpdate();
    switch (HandOutButtonAction(EnabledCommands(
        {.topicQuestionCount = m_server->openTopicQuestionCount(), .connections = m_server->connectionCount()}))) {
    case HandOutButtonStep::StartTesting:
        action("acStartTesting")->trigger();
        break;
    case HandOutButtonStep::OfferQuestionFile:
        if (ShowMessage(u(OfferQuestionFile), MsgIcon::Question, MsgButtons::YesNo) == MsgResult::Yes)
            action("acCreateTestFile")->trigger();
        break;
    case HandOutButtonStep::Nothing:
        break;
    }
}

// --- the monitor and its selected row ---

QString TVezuvirozF::selectedAddress() const
{
    const MonitorRow* row = selectedRow();
    return row ? row->ip : QString();
}

const MonitorRow* TVezuvirozF::selectedRow() const
{
    const int row = grdMonitor->currentIndex().row();
    return row >= 0 && row < m_monitor->rowCount() ? &m_monitor->row(row) : nullptr;
}

bool TVezuvirozF::selectRow(const QString& address)
{
    const int row = m_monitor->rowOf(address);
    if (row < 0)
        return false;
    grdMonitor->setCurrentIndex(m_monitor->index(row, qMax(0, grdMonitor->currentIndex().column())));
    return true;
}

// After a refresh the same computer stays selected; the first row when it went.
void TVezuvirozF::onRowsChanged()
{
    if (m_monitor->rowCount() > 0 && (m_selected.isEmpty() || !selectRow(m_selected)))
        selectRow(m_monitor->row(0).ip);
    onSelectionChanged();
}

void TVezuvirozF::onSelectionChanged()
{
    const QString address = selectedAddress();
    const bool another = address != m_selected;
    if (another)
        m_selected = address;
    const std::optional<MonitorRow> before = m_shownRow;
    showStudentView(another);
    if (another)
        Q_EMIT selectedRowChanged(address);
    // an open criteria window follows the selected row: another row, another list, or no questions
    const bool criteriaChanged = another || !before || !m_shownRow || before->criteria != m_shownRow->criteria ||
                                 before->questionsGiven != m_shownRow->questionsGiven;
    if (TCriteriaListF* open = TCriteriaListF::instance(); open && open->isVisible() && criteriaChanged) {
        delete open; // a new one shows the row's list, where the window first stands
        acShowCriteriaListExecute();
    }
    showStudentViewPane();
    ActionListUpdate();
}

// The view follows every change of the selected row; another row starts at its first question.
void TVezuvirozF::showStudentView(bool anotherRow)
{
    const MonitorRow* row = selectedRow();
    if (!row) {
        m_shownRow.reset();
        pnlStudentView->clearRow();
    } else if (anotherRow || !m_shownRow || !(*m_shownRow == *row)) {
        m_shownRow = *row;
        StudentViewRow view;
        view.address = row->ip;
        view.results = row->results;
        view.timeLimit = row->timeLimit;
        view.maxTime = row->maxTime;
        view.timeRemain = row->timeRemain;
        view.takePartialRight = row->takePartialRight;
        view.priceSum = row->priceSum;
        view.questionsGiven = row->questionsGiven;
        view.topicId = row->topicId;
        pnlStudentView->setRow(view, m_server->cachedQuestions(row->topicId));
        if (anotherRow)
            pnlStudentView->firstQuestion();
    }
    showStudentViewPane();
}

void TVezuvirozF::showStudentViewPane()
{
    pnlStudentView->setVisible(!(m_settings.HideStudentViewPanel && !pnlStudentView->hasData()));
}

void TVezuvirozF::showRightAnswerColour()
{
    Dataset& settings = *m_dm->sqlAppSettings;
    settings.isOpen() ? settings.requery() : settings.open();
    if (!settings.isEmpty())
        pnlStudentView->setRightAnswerColour(settings.value(QStringLiteral("RightAnsFontColor")).toInt());
}

void TVezuvirozF::acSetStudentNameExecute()
{
    m_cells->commitOpenEditor();
    const MonitorRow* row = selectedRow();
    if (!row)
        return;
    if (row->ip.isEmpty()) {
        ShowMessage(u(NotConnected), MsgIcon::Information);
        return;
    }
    const QString address = row->ip;
    // the choice is made for the working table's current row
    m_dm->sqlCurrentTesting->locate(QStringLiteral("IP"), address);
    const int student = m_prompts->chooseStudent(row->pcName);
    if (student != 0)
        m_server->SetStudent(address, student);
}

void TVezuvirozF::acShowCriteriaListExecute()
{
    const MonitorRow* row = selectedRow();
    if (!row || !row->questionsGiven)
        return;
    TCriteriaListF* window = TCriteriaListF::ensure(row->criteria, this);
    const QRect frame = geometry();
    window->move(frame.right() - window->width() - CriteriaWindowMargin, frame.top() + CriteriaWindowMargin);
    window->show();
}

void TVezuvirozF::ActionListUpdate()
{
    const MonitorRow* row = selectedRow();
    WindowState state;
    state.topicQuestionCount = m_server->openTopicQuestionCount();
    state.connections = m_server->connectionCount();
    state.rows = m_monitor->rowCount();
    state.selectedReady = row && row->ready;
    state.selectedQuestionsGiven = row && row->questionsGiven;
    state.nobodyWorking = m_server->nobodyWorking();
    const CommandEnabling e = EnabledCommands(state);
    const auto enable = [this](const char* name, bool on) { action(QLatin1String(name))->setEnabled(on); };
    enable("acTopicSettings", e.topicSettings);
    enable("acStartTesting", e.startTesting && !m_server->isHandingOut());
    enable("acCreateTestFile", e.createTestFile);
    enable("acExportQueListToWord", e.createTestFile); // the open topic has questions
    enable("acToArchive", e.toArchive);
    for (const char* name : {"acClearClient", "acCloseClient", "acDeleteUser", "acSetStudentName"})
        enable(name, e.rowCommands);
    enable("acShowCriteriaList", e.showCriteria);
    enable("acReloadDB", e.reloadDb);
    action("acAllowTestingByRequest")->setChecked(m_server->requestMode());
}

// --- other windows and programs ---

void TVezuvirozF::acShowArchiveExecute()
{
    TArchiveF* archive = TArchiveF::ensure(m_shared, this);
    archive->show();
    archive->raise();
}

void TVezuvirozF::acOpenResultFileExecute()
{
    const QString path = ChooseOpenFile(this, u("Открыть файл результата"), SavedWorkFilter());
    if (!path.isEmpty())
        openResultFile(path);
}

void TVezuvirozF::acSwitchToScribantExecute()
{
    // the sibling program stands beside this one
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/Scribant");
    if (!ShellOpen(path))
        ShowMessage(SqlFormat(u(NotFound), {path}), MsgIcon::Error);
}

void TVezuvirozF::acReloadDBExecute()
{
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    connect(
        m_dm, &TDM::reconnected, this, [] { QGuiApplication::restoreOverrideCursor(); }, Qt::SingleShotConnection);
    m_dm->Reconnect(true);
}

// --- showing and closing ---

void TVezuvirozF::showEvent(QShowEvent* event)
{
    StoreMainWindow::showEvent(event);
    if (std::exchange(m_started, true))
        return;
    // Works kept from a run that ended without closing come back to their computers; the other
    // rows are gone.
    if (!m_server->Start(m_ports.udp, m_ports.tcp))
        ShowMessage(u(PortBusy).arg(m_ports.tcp), MsgIcon::Error);
    applySettings(false);
    QTimer::singleShot(0, this, &TVezuvirozF::openStartTopic);
}

void TVezuvirozF::resizeEvent(QResizeEvent* event)
{
    StoreMainWindow::resizeEvent(event);
    placePanels();
}

// The hand-out panel and the restart notice stand in the middle of the window.
void TVezuvirozF::placePanels()
{
    for (QFrame* panel : {pnlHandOut, pnlRestart}) {
        if (!panel)
            continue;
        panel->adjustSize();
        const QSize size = panel->sizeHint().expandedTo(QSize(320, 0));
        panel->setGeometry(QRect(centralWidget()->rect().center() - QPoint(size.width() / 2, size.height() / 2), size));
    }
}

bool TVezuvirozF::closeQuestions()
{
    m_cells->commitOpenEditor();
    switch (ClosingQuestionFor(m_server->anyReady(), m_monitor->rowCount())) {
    case ClosingQuestion::UnsavedResults:
        switch (ShowMessage(u(UnsavedResults), MsgIcon::Question, MsgButtons::YesNoCancel)) {
        case MsgResult::Cancel:
            return false;
        case MsgResult::Yes:
            m_server->FileAllResults();
            if (m_server->anyReady()) {
                ShowMessage(u(WorksLeft), MsgIcon::Warning);
                return false;
            }
            return true;
        default:
            return true;
        }
    case ClosingQuestion::ConnectedClients:
        return ShowMessage(u(ClientsLeft), MsgIcon::Question, MsgButtons::YesNo) == MsgResult::Yes;
    case ClosingQuestion::None:
        return true;
    }
    return true;
}

void TVezuvirozF::closeEvent(QCloseEvent* event)
{
    if (!closeQuestions()) {
        event->ignore();
        return;
    }
    endOfWork();
    StoreMainWindow::closeEvent(event);
}

// The questions' working topic marks go back and the transient files go; the table of the
// computers is emptied as the store closes.
void TVezuvirozF::endOfWork()
{
    if (std::exchange(m_closing, true))
        return;
    try {
        m_shared->cmdResetTopics->setParam(QStringLiteral("NoTopicID"), m_shared->NoTopicID());
        m_shared->cmdResetTopics->execute();
    } catch (const AppError& e) {
        LogText(e.message());
    }
    m_server->Stop(false);
}
