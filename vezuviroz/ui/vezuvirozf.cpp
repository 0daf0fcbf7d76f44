#include "vezuvirozf.h"

#include "datamodules.h"
#include "runlog.h"
#include "topicstore.h"
#include "updatedbaction.h"

#include <QMenuBar>

TVezuvirozF::TVezuvirozF(TDM* dm, TSharedDM* shared, QWidget* parent)
    : QMainWindow(parent), m_dm(dm), m_shared(shared), m_topics(std::make_unique<TopicStore>(shared))
{
    setObjectName(QStringLiteral("TVezuvirozF"));
    LogBegin();
    setWindowTitle(QString::fromLatin1(BaseCaption));
    resize(900, 600);

    acUpdateDB = new UpdateDbAction(dm->ADOConnection(), this);
    mnuTopic = menuBar()->addMenu(QStringLiteral("&Тема"));
    mnuTopic->setObjectName(QStringLiteral("mnuTopic"));
    mnuTopic->addAction(acUpdateDB);

    FormCreate();
}

TVezuvirozF::~TVezuvirozF() = default;

void TVezuvirozF::FormCreate()
{
    // An old bank is moved in before the store is prepared, so that its topics get the holding
    // topic and their lists like any other.
    acUpdateDB->startUp();
    m_topics->PrepareStore();
}
