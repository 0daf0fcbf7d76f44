#pragma once

#include "studentsearch.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

// The student search "Поиск студента" over StudentSearch: the name box, the class chooser with
// "все классы", the list of similar names and the name the result will be filed under.
class TStudentSearchF : public QDialog
{
    Q_OBJECT

public:
    TStudentSearchF(StoreConnection* store, const QString& savedName, QWidget* parent = nullptr);

    // Shows the dialog; the StudentID chosen or added, 0 when cancelled.
    static int Run(StoreConnection* store, const QString& savedName, QWidget* parent = nullptr);

    StudentSearch& search() { return m_search; }
    int studentId() const { return m_studentId; }
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showList();
    void showChoice();

    StudentSearch m_search;
    int m_studentId = 0;
    QLineEdit* m_name = nullptr;
    QComboBox* m_klasses = nullptr;
    QCheckBox* m_allKlasses = nullptr;
    QListWidget* m_list = nullptr;
    QLabel* m_choice = nullptr;
    QLabel* m_resultName = nullptr;
};
