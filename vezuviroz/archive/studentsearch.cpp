#include "studentsearch.h"

#include "dataset.h"
#include "messages.h"
#include "sqltexts.h"
#include "storeconnection.h"

StudentSearch::StudentSearch(StoreConnection* store, const QString& savedName) : m_store(store)
{
    setName(savedName);
}

void StudentSearch::setName(const QString& name)
{
    m_name = name;
    reread();
}

void StudentSearch::setKlass(int klassId)
{
    m_klassId = klassId;
    reread();
}

void StudentSearch::reread()
{
    Dataset students(m_store, QStringLiteral("sqlStudentSearch"), QString::fromUtf8(Sql::StudentSearch));
    students.setParam(QStringLiteral("KlassID"), m_klassId == 0 ? QVariant(QStringLiteral("%")) : QVariant(m_klassId));
    students.setParam(QStringLiteral("PromptName"), m_name + u'%');
    students.open();
    m_rows.clear();
    m_selected = -1;
    m_choice = Choice::New;
    for (students.first(); !students.eof(); students.next()) {
        m_rows.append(
            {students.value(QStringLiteral("StudentID")).toInt(), students.value(QStringLiteral("Name")).toString()});
        if (m_selected < 0 && m_rows.last().name.compare(m_name, Qt::CaseInsensitive) == 0) {
            m_selected = int(m_rows.size()) - 1;
            m_choice = Choice::Found;
        }
    }
    if (m_selected < 0 && !m_rows.isEmpty())
        m_selected = 0;
}

void StudentSearch::selectRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    m_selected = row;
    m_choice = Choice::Found;
}

QString StudentSearch::resultName() const
{
    if (m_choice == Choice::Found)
        return m_selected >= 0 ? m_rows[m_selected].name : QString::fromLatin1(NoName);
    return m_name.isEmpty() ? QString::fromLatin1(NoName) : m_name;
}

StudentSearch::Outcome StudentSearch::accept()
{
    // A student picked from the list is the one meant, whatever the name box still holds.
    if (m_choice == Choice::Found && m_selected >= 0)
        return {true, m_rows[m_selected].studentId, m_rows[m_selected].name};
    if (m_klassId == 0) {
        ShowMessage(QStringLiteral("Для добавления фамилии надо установить класс"), MsgIcon::Warning);
        return {};
    }
    if (m_name.isEmpty()) {
        ShowMessage(QStringLiteral("Без фамилии добавить невозможно"), MsgIcon::Warning);
        return {};
    }
    Dataset students(m_store, QStringLiteral("sqlStudentAdd"), QString::fromUtf8(Sql::StudentsOfKlass));
    students.setParam(QStringLiteral("KlassID"), m_klassId);
    students.open();
    students.append();
    students.setValue(QStringLiteral("Name"), m_name);
    students.setValue(QStringLiteral("KlassID"), m_klassId);
    students.post();
    return {true, students.value(QStringLiteral("StudentID")).toInt(), m_name};
}
