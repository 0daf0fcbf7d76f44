#include "vezuvirozf.h"

#include "runlog.h"

TVezuvirozF::TVezuvirozF(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("TVezuvirozF"));
    LogBegin();
    setWindowTitle(QString::fromLatin1(BaseCaption));
    resize(900, 600);
}
