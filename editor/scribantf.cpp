#include "scribantf.h"

#include "messages.h"

TScribantF::TScribantF(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("TScribantF"));
    setWindowTitle(QStringLiteral("Scribant"));
    resize(900, 600);
}

void TScribantF::receiveHandedOverPath(const QString& path)
{
    ShowMessage(path);
    Q_EMIT fileHandedOver(path);
}
