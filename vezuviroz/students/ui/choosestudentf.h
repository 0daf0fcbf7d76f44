#pragma once

#include "studentchoice.h"

#include <QDialog>
#include <QTableWidget>

class QCheckBox;
class QLabel;
class QListView;
class TDM;

// The class grid of the dialog: it tells when a mouse button is released over it, after the
// selection has taken the click.
class TKlassGrid : public QTableWidget
{
    Q_OBJECT

public:
    using QTableWidget::QTableWidget;

Q_SIGNALS:
    void released();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        QTableWidget::mouseReleaseEvent(event);
        Q_EMIT released();
    }
};

// The student-choice dialog "Выбор студента на %S" over StudentChoice: the names of the listed
// students, the class grid (several classes with Ctrl), "все классы" and the class label.
class TChooseStudentF : public QDialog
{
    Q_OBJECT

public:
    TChooseStudentF(TDM* dm, const QString& klassLabel, QWidget* parent = nullptr);

    StudentChoice& choice() { return m_choice; }
    void accept() override;
    void reject() override;

private:
    void showChosenStudent();
    QList<int> selectedKlassRows() const;

    StudentChoice m_choice;
    QListView* m_names = nullptr;
    TKlassGrid* m_klasses = nullptr;
    QCheckBox* m_allKlasses = nullptr;
    QLabel* m_label = nullptr;
};
