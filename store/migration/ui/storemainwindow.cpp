#include "storemainwindow.h"

#include "datamodules.h"
#include "filedialogs.h"
#include "helpaction.h"
#include "topicstore.h"
#include "updatedbaction.h"

#include <QFileInfo>
#include <QMenuBar>

StoreMainWindow::StoreMainWindow(TDM* dm, TSharedDM* shared, QWidget* parent)
    : QMainWindow(parent), m_dm(dm), m_shared(shared), m_topics(std::make_unique<TopicStore>(shared))
{
    resize(900, 600);
    acUpdateDB = new UpdateDbAction(dm->ADOConnection(), this);
    mnuTopic = menuBar()->addMenu(QStringLiteral("&Тема"));
    mnuTopic->setObjectName(QStringLiteral("mnuTopic"));
    mnuTopic->addAction(acUpdateDB);
    // Question files are saved through the program's file dialog; a name given without its
    // extension gets it.
    m_topics->saveDialog = [this](const QString& filter, const QString& extension, const QString& proposed) {
        QString path = ChooseSaveFile(this, QString(), QtFileFilter(filter), proposed);
        if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
            path += u'.' + extension;
        return path;
    };
}

StoreMainWindow::~StoreMainWindow() = default;

void StoreMainWindow::FormCreate()
{
    acUpdateDB->startUp();
    m_topics->PrepareStore();
}

void StoreMainWindow::addHelpMenu(QAction* about)
{
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Справка"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    help->addAction(HelpAction(this));
    // The maker's web pages have no address yet: the items stand disabled.
    help->addAction(QStringLiteral("Страница Vastrel в Интернете"))->setEnabled(false);
    help->addAction(QStringLiteral("Форум пользователей"))->setEnabled(false);
    help->addAction(about);
}
