#pragma once

#include "storemainwindow.h"

// The main window of Scribant, the question editor. Made after the data modules, which it uses
// for the rest of the run.
class TScribantF : public StoreMainWindow
{
    Q_OBJECT
public:
    TScribantF(TDM* dm, TSharedDM* shared, QWidget* parent = nullptr);

    // A later start of the editor handed over a file path: the path is shown, then the file is
    // offered for loading through fileHandedOver.
    void receiveHandedOverPath(const QString& path);

Q_SIGNALS:
    void fileHandedOver(const QString& path);
};
