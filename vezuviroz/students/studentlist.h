#pragma once

#include "datasetgrid.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

class Dataset;
class TDM;

// A class of Klasses as the choosers list it.
struct KlassItem
{
    int id = 0;
    QString name;
};

// The classes in the order of "SELECT * FROM Klasses", read afresh.
QList<KlassItem> ReadKlasses(TDM* dm);

// The rules of the students window "Студенты" over the data module's students query: the class
// chooser, the list of the chosen class's students with its record commands, "В другой класс"
// and "Импорт...". It takes the query over while it lives and gives it back as it found it.
class StudentList : public QObject
{
    Q_OBJECT

public:
    static constexpr int NoKlass = -1;

    explicit StudentList(TDM* dm, QObject* parent = nullptr);
    // Gives the students query its earlier text and class back (a change still pending is
    // dropped: the window saves it before).
    ~StudentList() override;

    DatasetGrid* grid() { return &m_grid; }
    const QList<KlassItem>& klasses() const { return m_klasses; }
    // The chooser's entry (an index into klasses()), NoKlass when no class is chosen.
    int chosenKlass() const { return m_chosen; }

    // Choosing a class in the chooser. While "В другой класс" is down, the selected student
    // goes to that class instead (saved at once), the toggle comes up and the list, re-read,
    // still shows the class chosen before.
    void chooseKlass(int index);
    // The chooser emptied.
    void clearKlass();

    bool isMoving() const { return m_moving; }
    void setMoving(bool down);

    // What needs a class ("Импорт...", a key in the grid) asks here first: without one the
    // teacher is told "Сначала нужно выбрать класс." and false comes back.
    bool requireKlass() const;
    // Each line of the file, in order, becomes a student of the chosen class, all in one unit
    // (a file that cannot be read or parsed adds nobody and is told). A file that does not
    // exist adds nobody. The number of students added.
    int importFile(const QString& path);

Q_SIGNALS:
    void movingChanged(bool down);
    void chosenKlassChanged(int index);

private:
    void showChosen();

    TDM* m_dm;
    Dataset* m_students;
    DatasetGrid m_grid;
    QList<KlassItem> m_klasses;
    int m_chosen = NoKlass;
    bool m_moving = false;
    QString m_earlierSql;
    QVariant m_earlierKlass;
};
