#pragma once

#include <QMainWindow>
#include <memory>

class QMenu;
class TDM;
class TSharedDM;
class TopicStore;
class UpdateDbAction;

// The main window of Vezuviroz, the teacher's program and testing server. Made after the data
// modules, which it uses for the rest of the run.
class TVezuvirozF : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr const char* BaseCaption = "Vastrel Vezuviroz " VASTREL_VERSION;

    TVezuvirozF(TDM* dm, TSharedDM* shared, QWidget* parent = nullptr);
    ~TVezuvirozF() override;

    TopicStore& topics() const { return *m_topics; }

    QMenu* mnuTopic = nullptr;
    UpdateDbAction* acUpdateDB = nullptr;

private:
    void FormCreate();

    TDM* m_dm;
    TSharedDM* m_shared;
    std::unique_ptr<TopicStore> m_topics;
};
