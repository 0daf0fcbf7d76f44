#pragma once

#include "engineinterfaces.h"

#include <QDialog>

class QStandardItemModel;
class QTableView;

// "Подробно": the results of every presented question after the end of a test, with the totals.
// Stays on top; frees itself when closed. Choosing a row (when allowed) shows that question.
class TDetailsF : public QDialog
{
    Q_OBJECT
public:
    TDetailsF(const TestDetails& details, bool rowsChoosable, QWidget* parent);
    QTableView* grid() const { return m_grid; }
    QStandardItemModel* model() const { return m_model; }

Q_SIGNALS:
    void questionChosen(int index);

private:
    QTableView* m_grid;
    QStandardItemModel* m_model;
};
