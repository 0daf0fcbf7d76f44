#include "vezuvirozf.h"

#include "runlog.h"
#include "savedworkf.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

TVezuvirozF::TVezuvirozF(TDM* dm, TSharedDM* shared, QWidget* parent) : StoreMainWindow(dm, shared, parent)
{
    setObjectName(QStringLiteral("TVezuvirozF"));
    LogBegin(); // the first entry of the run log, before the start-up check logs anything
    setWindowTitle(QString::fromLatin1(BaseCaption));
    FormCreate();
    // Once the window stands, as a file opened from the desktop expects.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 2 && QFileInfo(arguments[1]).isFile())
        QTimer::singleShot(0, this, [this, path = arguments[1]] { openResultFile(path); });
}

void TVezuvirozF::openResultFile(const QString& path)
{
    if (TSavedWorkF::OpenResultFile(m_shared, path))
        LogText(QStringLiteral("Result file shown: ") + path);
}
