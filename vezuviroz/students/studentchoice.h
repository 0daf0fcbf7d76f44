#pragma once

#include "datasetgrid.h"
#include "studentlist.h"

#include <QList>
#include <QObject>
#include <QString>

class TDM;

// The rules of the student-choice dialog "Выбор студента на %S" for the monitor's current row:
// the students of the chosen classes (the data module's students query), the student chosen for
// the row, the class label. OK writes the chosen student into the row it was opened on, wherever
// the monitor's cursor has gone meanwhile; Cancel leaves the row, the students query and the
// class label as they were.
class StudentChoice : public QObject
{
    Q_OBJECT

public:
    // klassLabel: the label as the caller shows it now; the dialog starts with it cleared.
    StudentChoice(TDM* dm, const QString& klassLabel, QObject* parent = nullptr);

    QString title() const;
    DatasetGrid* names() { return &m_names; }
    const QList<KlassItem>& klasses() const { return m_klasses; }

    int studentId() const { return m_studentId; }
    // The list row of the chosen student, -1 when the list does not hold them.
    int chosenRow() const;
    void chooseRow(int row);

    // The class grid's selection after a mouse release: the list is rebuilt for those classes
    // (indexes into klasses()), or for every class when none is selected.
    void selectKlasses(const QList<int>& indexes);
    const QList<int>& selectedKlasses() const { return m_selected; }
    bool allKlasses() const { return m_all; }
    // Ticking "все классы" clears the selection and lists every class; unticking changes nothing.
    void setAllKlasses(bool ticked);
    QString klassLabel() const { return m_label; }

    // OK: false when the row is no longer there (the dialog then ends as cancelled).
    bool accept();
    void cancel();
    // The label the caller shows afterwards.
    QString resultLabel() const;

Q_SIGNALS:
    void listChanged();
    void klassLabelChanged(const QString& label);
    void allKlassesChanged(bool ticked);

private:
    void rebuild();

    TDM* m_dm;
    DatasetGrid m_names;
    QList<KlassItem> m_klasses;
    QVariant m_rowKey;
    QString m_pcName;
    int m_initialStudentId = 0;
    int m_studentId = 0;
    QString m_earlierSql;
    QString m_earlierLabel;
    QString m_label;
    QList<int> m_selected;
    bool m_all = true;
    bool m_rebuilt = false;
};
