#include "scribantf.h"

#include "datamodules.h"
#include "messages.h"
#include "topicstore.h"
#include "updatedbaction.h"

#include <QMenuBar>

TScribantF::TScribantF(TDM* dm, TSharedDM* shared, QWidget* parent)
    : QMainWindow(parent), m_dm(dm), m_shared(shared), m_topics(std::make_unique<TopicStore>(shared))
{
    setObjectName(QStringLiteral("TScribantF"));
    setWindowTitle(QStringLiteral("Scribant"));
    resize(900, 600);

    acUpdateDB = new UpdateDbAction(dm->ADOConnection(), this);
    mnuTopic = menuBar()->addMenu(QStringLiteral("&Тема"));
    mnuTopic->setObjectName(QStringLiteral("mnuTopic"));
    mnuTopic->addAction(acUpdateDB);

    FormCreate();
}

TScribantF::~TScribantF() = default;

void TScribantF::FormCreate()
{
    // An old bank is moved in before the store is prepared, so that its topics get the holding
    // topic and their lists like any other.
    acUpdateDB->startUp();
    m_topics->PrepareStore();
}

void TScribantF::receiveHandedOverPath(const QString& path)
{
    ShowMessage(path);
    Q_EMIT fileHandedOver(path);
}
