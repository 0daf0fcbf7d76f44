#include "storemainwindow.h"

#include "datamodules.h"
#include "topicstore.h"
#include "updatedbaction.h"

#include <QMenuBar>

StoreMainWindow::StoreMainWindow(TDM* dm, TSharedDM* shared, QWidget* parent)
    : QMainWindow(parent), m_dm(dm), m_shared(shared), m_topics(std::make_unique<TopicStore>(shared))
{
    resize(900, 600);
    acUpdateDB = new UpdateDbAction(dm->ADOConnection(), this);
    mnuTopic = menuBar()->addMenu(QStringLiteral("&Тема"));
    mnuTopic->setObjectName(QStringLiteral("mnuTopic"));
    mnuTopic->addAction(acUpdateDB);
}

StoreMainWindow::~StoreMainWindow() = default;

void StoreMainWindow::FormCreate()
{
    acUpdateDB->startUp();
    m_topics->PrepareStore();
}
