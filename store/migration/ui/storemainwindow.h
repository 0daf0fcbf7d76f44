#pragma once

#include <QMainWindow>
#include <memory>

class QAction;
class QMenu;
class TDM;
class TSharedDM;
class TopicStore;
class UpdateDbAction;

// What the main windows of Vezuviroz and Scribant share: the data modules they are given for the
// rest of the run, the topic services over them, the menu "Тема" with the command that moves an old
// bank in, the help menu, the save dialog of question files, and the start of the store (FormCreate).
class StoreMainWindow : public QMainWindow
{
    Q_OBJECT
public:
    StoreMainWindow(TDM* dm, TSharedDM* shared, QWidget* parent = nullptr);
    ~StoreMainWindow() override;

    TopicStore& topics() const { return *m_topics; }

    QMenu* mnuTopic = nullptr;
    UpdateDbAction* acUpdateDB = nullptr;

protected:
    // The window's creation, run by each window once it has set itself up: an old bank is moved in
    // before the store is prepared, so that its topics get the holding topic and their lists like
    // any other.
    void FormCreate();
    // The help menu of both programs: the guide (F1), the maker's pages and the about box.
    void addHelpMenu(QAction* about);

    TDM* m_dm;
    TSharedDM* m_shared;

private:
    std::unique_ptr<TopicStore> m_topics;
};
