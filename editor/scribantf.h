#pragma once

#include <QMainWindow>
#include <memory>

class QMenu;
class TDM;
class TSharedDM;
class TopicStore;
class UpdateDbAction;

// The main window of Scribant, the question editor. Made after the data modules, which it uses
// for the rest of the run.
class TScribantF : public QMainWindow
{
    Q_OBJECT
public:
    TScribantF(TDM* dm, TSharedDM* shared, QWidget* parent = nullptr);
    ~TScribantF() override;

    TopicStore& topics() const { return *m_topics; }

    // A later start of the editor handed over a file path: the path is shown, then the file is
    // offered for loading through fileHandedOver.
    void receiveHandedOverPath(const QString& path);

    QMenu* mnuTopic = nullptr;
    UpdateDbAction* acUpdateDB = nullptr;

Q_SIGNALS:
    void fileHandedOver(const QString& path);

private:
    void FormCreate();

    TDM* m_dm;
    TSharedDM* m_shared;
    std::unique_ptr<TopicStore> m_topics;
};
