#pragma once

#include "commandrules.h"
#include "monitormodel.h"
#include "ports.h"
#include "startoptions.h"
#include "storemainwindow.h"
#include "topictree.h"
#include "vezuvirozsettings.h"

#include <QHash>
#include <functional>
#include <memory>
#include <optional>

class ColumnMenu;
class MonitorDelegate;
class StudentViewPanel;
class MonitorModel;
class QAction;
class QActionGroup;
class QDialog;
class QDockWidget;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTableView;
class QToolButton;
class QTreeWidgetItem;
class TestingServer;
class WindowPrompts;

// The main window of Vezuviroz, the teacher's program and testing server: the student monitor
// over the server's rows, the commands that open topics, hand out questions and file results, the
// status fields, the hand-out panel and the restart notice. The server decides; the window's
// enabling rules are EnabledCommands'. Made after the data modules, which it uses for the run.
class TVezuvirozF : public StoreMainWindow
{
    Q_OBJECT
public:
    static constexpr const char* BaseCaption = "Vastrel Vezuviroz " VASTREL_VERSION;

    TVezuvirozF(TDM* dm, TSharedDM* shared, QWidget* parent = nullptr);
    ~TVezuvirozF() override;

    // A student's result file, given at start or handed over by a later start (the desktop opens
    // result files with this program), is shown in the saved-work viewer.
    void openResultFile(const QString& path);
    // The command line: a result file is shown, a topic opened (with request mode when asked) once
    // the window is shown; a refused command line is told.
    void setStartOptions(const StartOptions& options);

    // The seams of the dialogs this window asks with: the general settings and the topic search
    // are run here (tests answer them), and the student sitting at a computer is chosen here
    // (the student's id, 0 when cancelled).
    using DialogRunner = std::function<int(QDialog& dialog)>;
    static DialogRunner setDialogRunner(DialogRunner runner);
    using StudentChooser = std::function<int(QWidget* parent, const QString& title)>;
    static StudentChooser setStudentChooser(StudentChooser chooser);

    QAction* action(const QString& name) const { return m_actions.value(name); }
    TestingServer* server() const { return m_server; }
    MonitorModel* monitor() const { return m_monitor; }
    const VezuvirozSettings& settings() const { return m_settings; }
    Ports ports() const { return m_ports; }
    // The selected row's address; empty when no row is selected.
    QString selectedAddress() const;
    bool selectRow(const QString& address);

    // The enabling rules, run after every change that can affect them.
    void ActionListUpdate();
    void btnStartTestingClick();
    void acProfSettingsExecute();
    void acSetStudentNameExecute();

    QTableView* grdMonitor = nullptr;
    QSplitter* splMonitor = nullptr;
    StudentViewPanel* pnlStudentView = nullptr; // the student view under the monitor
    QToolButton* btnStartTesting = nullptr;
    QToolButton* btnAllStudents = nullptr;
    QToolButton* btnStudent = nullptr;
    QFrame* pnlHandOut = nullptr;
    QLabel* lblHandOutStatus = nullptr;
    QProgressBar* pbHandOut = nullptr;
    QPushButton* btnCancelHandOut = nullptr;
    QFrame* pnlRestart = nullptr;
    QLabel* lblNetworkFault = nullptr;
    QLabel* lblRestartStatus = nullptr;
    QLabel* lblRequestMode = nullptr;
    QLabel* lblKlass = nullptr;
    QLabel* lblConnected = nullptr;
    QLabel* lblWorking = nullptr;
    QLabel* lblEchoCount = nullptr;
    ColumnMenu* mnuTopics = nullptr;
    QDockWidget* pnlTopics = nullptr;
    TopicTree* tvTopics = nullptr;
    QPushButton* btnOpenTopic = nullptr;

    // The student sitting at the computer of the working table's current row; 0 when cancelled.
    int chooseStudent(const QString& pcName);

Q_SIGNALS:
    // The selected row changed (empty: none).
    void selectedRowChanged(const QString& address);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* addCommand(const char* name, const QString& caption, const QString& shortcut = {},
                        void (TVezuvirozF::*handler)() = nullptr);
    void createActions();
    void createMenus();
    void createToolBar();
    void createMonitor();
    void createPanels();
    void createStatusBar();
    void createTopicsPanel();
    void openSelectedTopic();
    void rebuildTopicTree(const QList<int>& path);
    QList<int> topicPath(int topicId);
    void renameSelectedTopic();
    void topicRenamed(QTreeWidgetItem* item);
    void dropTopic(int topicId, QTreeWidgetItem* target, bool shift, bool ctrl);
    void connectServer();
    void applySettings(bool captions);
    void storeSetting(const char* column, bool value);
    void setTopicBreakCount(int count);
    void fillTopicsMenu(ColumnMenu* level);
    void openTopic(int topicId);
    void openStartTopic();
    void onRowsChanged();
    void onSelectionChanged();
    void showStudentViewPane();
    void placePanels();
    void showStudentView(bool anotherRow);
    void showRightAnswerColour();
    const MonitorRow* selectedRow() const;
    bool closeQuestions();
    void endOfWork();
    int runDialog(QDialog& dialog);

    void acOpenTopicsExecute();
    void acTopicsCtrlExecute();
    void acFindTopicExecute();
    void acTopicSettingsExecute();
    void acCreateTestFileExecute();
    void acExportQueListExecute();
    void acShowCriteriaListExecute();
    void acShowArchiveExecute();
    void acOpenResultFileExecute();
    void acSwitchToScribantExecute();
    void acReloadDBExecute();
    void onRowCommand(const std::function<void(const QString& address)>& command);

    TestingServer* m_server = nullptr;
    std::unique_ptr<WindowPrompts> m_prompts;
    MonitorModel* m_monitor = nullptr;
    MonitorDelegate* m_cells = nullptr; // draws the monitor's cells and edits its final marks
    VezuvirozSettingsRow m_settingsRow;
    VezuvirozSettings m_settings;
    Ports m_ports;                         // the ports this run listens on
    std::optional<Ports> m_announcedPorts; // the ports the computers were last told to use
    QHash<QString, QAction*> m_actions;
    QActionGroup* m_breakGroup = nullptr;
    QTreeWidgetItem* m_editedNode = nullptr; // the topic node whose label the teacher is editing
    QString m_selected;                      // the selected row's address, kept across refreshes
    std::optional<MonitorRow> m_shownRow;    // the row the student view shows
    StartOptions m_startOptions;
    bool m_started = false;
    bool m_closing = false;
};
