#include "studentchoice.h"

#include "datamodules.h"
#include "dataset.h"
#include "sqltexts.h"
#include "studentstexts.h"
#include "utf8text.h"

namespace {

const QString RowKey = QStringLiteral("ResID");
const QString StudentField = QStringLiteral("StudentID");

} // namespace

StudentChoice::StudentChoice(TDM* dm, const QString& klassLabel, QObject* parent)
    : QObject(parent), m_dm(dm), m_names(dm->sqlStudents, QStringLiteral("Name"), StudentsText::NameColumn),
      m_klasses(ReadKlasses(dm)), m_earlierSql(dm->sqlStudents->sql()), m_earlierLabel(klassLabel)
{
    m_names.setEditable(false);
    const Dataset& rows = *dm->sqlCurrentTesting;
    if (rows.isOpen() && rows.recNo() > 0) {
        m_rowKey = rows.value(RowKey);
        m_pcName = rows.value(QStringLiteral("PcName")).toString();
        m_initialStudentId = m_studentId = rows.value(StudentField).toInt();
    }
    if (!dm->sqlStudents->isOpen())
        dm->sqlStudents->open();
}

QString StudentChoice::title() const
{
    return StudentsText::ChoiceTitle.arg(m_pcName);
}

int StudentChoice::chosenRow() const
{
    const Dataset& students = *m_dm->sqlStudents;
    const int id = students.fieldIndex(StudentField);
    for (int i = 0; m_studentId != 0 && i < students.recordCount(); ++i)
        if (students.rowValues(i).value(id).toInt() == m_studentId)
            return i;
    return -1;
}

void StudentChoice::chooseRow(int row)
{
    const Dataset& students = *m_dm->sqlStudents;
    if (row < 0 || row >= students.recordCount())
        return;
    m_studentId = students.rowValues(row).value(students.fieldIndex(StudentField)).toInt();
}

void StudentChoice::selectKlasses(const QList<int>& indexes)
{
    m_selected.clear();
    for (int i : indexes)
        if (i >= 0 && i < m_klasses.size() && !m_selected.contains(i))
            m_selected.append(i);
    std::sort(m_selected.begin(), m_selected.end());
    rebuild();
}

void StudentChoice::setAllKlasses(bool ticked)
{
    if (ticked == m_all)
        return;
    m_all = ticked;
    Q_EMIT allKlassesChanged(ticked);
    if (ticked) {
        m_selected.clear();
        rebuild();
    }
}

// Several classes are listed with one chain of KlassID terms, which the store runs as one IN.
void StudentChoice::rebuild()
{
    QString sql;
    QStringList names;
    if (m_selected.isEmpty()) {
        sql = Utf8Text(Sql::AllStudentsByName);
        m_label = StudentsText::AllKlassesLabel;
    } else {
        sql = Utf8Text(Sql::StudentsOfKlassesHead);
        for (int i : std::as_const(m_selected)) {
            sql += Utf8Text(names.isEmpty() ? Sql::StudentsOfKlassesFirst : Sql::StudentsOfKlassesNext) +
                   QString::number(m_klasses[i].id);
            names.append(m_klasses[i].name);
        }
        sql += Utf8Text(Sql::StudentsOfKlassesTail);
        m_label = names.join(StudentsText::KlassNamesSeparator);
        if (m_all) {
            m_all = false;
            Q_EMIT allKlassesChanged(false);
        }
    }
    m_rebuilt = true;
    Dataset& students = *m_dm->sqlStudents;
    students.setSql(sql);
    students.open();
    m_names.reset();
    Q_EMIT klassLabelChanged(m_label);
    Q_EMIT listChanged();
}

bool StudentChoice::accept()
{
    Dataset& rows = *m_dm->sqlCurrentTesting;
    if (!m_rowKey.isValid() || !rows.isOpen() || !rows.locate(RowKey, m_rowKey)) {
        cancel();
        return false;
    }
    if (m_studentId != m_initialStudentId || rows.value(StudentField).toInt() != m_studentId) {
        rows.edit();
        rows.setValue(StudentField, m_studentId);
        rows.post();
    }
    return true;
}

void StudentChoice::cancel()
{
    m_studentId = m_initialStudentId;
    Dataset& students = *m_dm->sqlStudents;
    if (students.sql() != m_earlierSql) {
        students.setSql(m_earlierSql);
        students.open();
        m_names.reset();
    }
    m_label = m_earlierLabel;
    m_rebuilt = false;
    Q_EMIT klassLabelChanged(m_label);
}

QString StudentChoice::resultLabel() const
{
    // Without a rebuild the list is still the one the earlier label names.
    return m_rebuilt ? m_label : m_earlierLabel;
}
