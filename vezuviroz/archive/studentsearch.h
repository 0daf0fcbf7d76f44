#pragma once

#include <QList>
#include <QString>

class StoreConnection;

// The student search that files a saved work under a student: the students whose name begins
// with the name box's text (in every class, or in the chosen one), and the choice between a
// listed student ("found") and a new one to be added ("new").
class StudentSearch
{
public:
    enum class Choice
    {
        Found,
        New
    };
    static constexpr char NoName[] = "-------";

    StudentSearch(StoreConnection* store, const QString& savedName);

    QString name() const { return m_name; }
    // Re-reads the list; the choice is "found" when a listed name equals the text (without
    // regard to case), which becomes the selected row, and "new" otherwise.
    void setName(const QString& name);
    // 0: every class ("все классы").
    void setKlass(int klassId);
    int klassId() const { return m_klassId; }

    int rowCount() const { return int(m_rows.size()); }
    QString rowName(int row) const { return m_rows[row].name; }
    int selectedRow() const { return m_selected; }
    // Entering the list or moving in it chooses "found" with that row.
    void selectRow(int row);
    // Entering the name box chooses "new".
    void chooseNew() { m_choice = Choice::New; }
    Choice choice() const { return m_choice; }
    // The name the result will be filed under (the label under "Результат будет сохранён с фамилией:").
    QString resultName() const;

    struct Outcome
    {
        bool accepted = false; // false: a refusal was told and the dialog stays open
        int studentId = 0;
        QString name;
    };
    // OK: the selected student, or a new student of the chosen class added under the name box's
    // text; refused without a class or without a name.
    Outcome accept();

private:
    void reread();

    struct Row
    {
        int studentId = 0;
        QString name;
    };
    StoreConnection* m_store;
    QString m_name;
    int m_klassId = 0;
    QList<Row> m_rows;
    int m_selected = -1;
    Choice m_choice = Choice::New;
};
