#pragma once

#include "editortopics.h"
#include "storemainwindow.h"

#include <QHash>

class ColumnMenu;
class QAction;
class QActionGroup;
class QCheckBox;
class QDockWidget;
class QMdiArea;
class QMdiSubWindow;
class QTreeWidget;
class QTreeWidgetItem;
class TTopicF;
class TopicQuestions;
class TopicTree;

// The main window of Scribant, the question editor: the topic windows in a child-window area, the
// commands, the menus and the topic management panel. The rules on topics are EditorTopics' and
// TopicQuestions'; this window wires gestures to them.
class TScribantF : public StoreMainWindow
{
    Q_OBJECT
public:
    TScribantF(TDM* dm, TSharedDM* shared, QWidget* parent = nullptr);
    ~TScribantF() override;

    // A later start of the editor handed over a file path: the path is shown, then the file is
    // loaded as a new top-level topic and opened.
    void receiveHandedOverPath(const QString& path);
    // The file given at start: loaded as a new top-level topic and opened.
    void loadStartFile(const QString& path);

    QAction* action(const QString& name) const { return m_actions.value(name); }
    EditorTopics& editorTopics() { return m_editorTopics; }
    QMdiArea* MDIArea = nullptr;
    QDockWidget* pnlTopics = nullptr;
    TopicTree* tvTopics = nullptr;
    ColumnMenu* mnuTopics = nullptr;
    QCheckBox* DBCheckBox1 = nullptr;
    QCheckBox* DBCheckBox2 = nullptr;

    // The topic windows, and the one with focus (null when none).
    QList<TTopicF*> topicWindows() const;
    TTopicF* activeTopic() const;
    TTopicF* findTopicWindow(int topicId) const;
    // Brings the topic's window to the front or opens one; null for topic 0 or a missing topic.
    TTopicF* OpenTopic(int topicId, bool fromPanel = false);
    // The enabling rules, run after every change that can affect them.
    void ActionListUpdate();
    // The selected tree node's topic, 0 when none.
    int selectedTopicId() const;
    // Loads a question file under the parent (0: top level) and opens the new topic.
    int loadFromFile(int parentId, const QString& path = {});
    // What the tree does on a drop: a topic node moved or copied, a question handle added.
    void dropTopic(int topicId, QTreeWidgetItem* target, bool shift, bool ctrl);
    void dropQuestion(TTopicF* source, int targetTopicId, bool ctrl);

Q_SIGNALS:
    void fileHandedOver(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* addAction(const QString& name, const QString& caption, const QString& shortcut = {},
                       const QString& hint = {});
    void createActions();
    void createMenus();
    void createPanel();
    TTopicF* newTopicWindow();
    void wireTopicWindow(TTopicF* window);
    void onActive(void (TopicQuestions::*step)());
    void rebuildTree(int selectTopicId);
    void switchPanel();
    // The panel's check box, or the stored setting while the panel is hidden.
    bool panelSetting(const QCheckBox* box, const char* column) const;
    bool hidePanelOnOpen() const;
    // Starts editing the selected node's label (the panel's rename button, F2).
    void editSelectedNode();
    void reconnect();
    void FileNew1Execute();
    void acTopicDeleteExecute();
    void acTopicRenameExecute();
    void openImported(int topicId);
    void setTopicBreakCount(int count);

    EditorTopics m_editorTopics;
    QHash<QString, QAction*> m_actions;
    QActionGroup* m_breakGroup = nullptr;
    bool m_shownOnce = false;
    QTreeWidgetItem* m_editedNode = nullptr; // the node whose label the user is editing
};
