#pragma once

#include "datasetgrid.h"

#include <QDialog>

class QTableView;
class TDM;

// The classes window "Классы": the grid "Класс" over Klasses with add, delete, save and cancel;
// every change is stored at once.
class TKlassesF : public QDialog
{
    Q_OBJECT

public:
    explicit TKlassesF(TDM* dm, QWidget* parent = nullptr);

    void done(int result) override;

    DatasetGrid* grid() { return &m_grid; }

private:
    DatasetGrid m_grid;
    QTableView* m_view = nullptr;
};
