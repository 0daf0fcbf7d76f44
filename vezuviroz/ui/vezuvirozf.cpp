#include "vezuvirozf.h"

#include "runlog.h"

TVezuvirozF::TVezuvirozF(TDM* dm, TSharedDM* shared, QWidget* parent) : StoreMainWindow(dm, shared, parent)
{
    setObjectName(QStringLiteral("TVezuvirozF"));
    LogBegin(); // the first entry of the run log, before the start-up check logs anything
    setWindowTitle(QString::fromLatin1(BaseCaption));
    FormCreate();
}
