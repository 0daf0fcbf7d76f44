#pragma once

#include "studentlist.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class TDM;

// The students window "Студенты" over StudentList: the class chooser, the grid "Фамилия" with the
// record commands, "В другой класс" and "Импорт...".
class TStudentsF : public QDialog
{
    Q_OBJECT

public:
    explicit TStudentsF(TDM* dm, QWidget* parent = nullptr);

    StudentList& list() { return m_list; }
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void btnImportClick();
    // A refusal points the teacher to the class chooser.
    void pointToChooser();
    void showChosenKlass(int index);

    StudentList m_list;
    QComboBox* m_klasses = nullptr;
    QTableView* m_view = nullptr;
    QPushButton* m_move = nullptr;
    QLabel* m_moveHint = nullptr;
};
