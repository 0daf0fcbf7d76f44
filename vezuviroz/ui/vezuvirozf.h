#pragma once

#include "storemainwindow.h"

// The main window of Vezuviroz, the teacher's program and testing server. Made after the data
// modules, which it uses for the rest of the run.
class TVezuvirozF : public StoreMainWindow
{
    Q_OBJECT
public:
    static constexpr const char* BaseCaption = "Vastrel Vezuviroz " VASTREL_VERSION;

    TVezuvirozF(TDM* dm, TSharedDM* shared, QWidget* parent = nullptr);
};
