#include "scribantf.h"

#include "messages.h"

TScribantF::TScribantF(TDM* dm, TSharedDM* shared, QWidget* parent) : StoreMainWindow(dm, shared, parent)
{
    setObjectName(QStringLiteral("TScribantF"));
    setWindowTitle(QStringLiteral("Scribant"));
    FormCreate();
}

void TScribantF::receiveHandedOverPath(const QString& path)
{
    ShowMessage(path);
    Q_EMIT fileHandedOver(path);
}
