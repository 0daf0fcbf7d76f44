#include "studentlist.h"

#include "apperror.h"
#include "datamodules.h"
#include "dataset.h"
#include "messages.h"
#include "runlog.h"
#include "sqltexts.h"
#include "storeconnection.h"
#include "studentimport.h"
#include "studentstexts.h"
#include "utf8text.h"
#include "waitcursor.h"

#include <QFile>

namespace {

const QString KlassParam = QStringLiteral("KlassID");

} // namespace

QList<KlassItem> ReadKlasses(TDM* dm)
{
    Dataset& klasses = *dm->sqlKlasses;
    klasses.isOpen() ? klasses.requery() : klasses.open();
    QList<KlassItem> items;
    for (int i = 0; i < klasses.recordCount(); ++i) {
        const QVariantList& row = klasses.rowValues(i);
        items.append({row.value(klasses.fieldIndex(QStringLiteral("KlassID"))).toInt(),
                      row.value(klasses.fieldIndex(QStringLiteral("Klass"))).toString()});
    }
    return items;
}

StudentList::StudentList(TDM* dm, QObject* parent)
    : QObject(parent), m_dm(dm), m_students(dm->sqlStudents),
      m_grid(dm->sqlStudents, QStringLiteral("Name"), StudentsText::NameColumn), m_klasses(ReadKlasses(dm)),
      m_earlierSql(m_students->sql()), m_earlierKlass(m_students->param(KlassParam))
{
    // The student-choice dialog may have left its own text in the query.
    if (m_students->sql() != Utf8Text(Sql::StudentsOfKlass))
        m_students->setSql(Utf8Text(Sql::StudentsOfKlass));
    if (m_klasses.isEmpty())
        clearKlass();
    else
        chooseKlass(0);
}

StudentList::~StudentList()
{
    m_students->setSql(m_earlierSql);
    m_students->setParam(KlassParam, m_earlierKlass);
    try {
        m_students->open();
    } catch (const AppError& e) {
        LogText(e.message());
    }
}

void StudentList::showChosen()
{
    m_grid.postPending();
    // An empty class matches no student, and a new row is then abandoned by the data module.
    m_students->setParam(KlassParam, m_chosen == NoKlass ? QString() : QString::number(m_klasses[m_chosen].id));
    m_students->requery();
    m_grid.reset();
    Q_EMIT chosenKlassChanged(m_chosen);
}

void StudentList::chooseKlass(int index)
{
    if (index < 0 || index >= m_klasses.size())
        return;
    if (!m_moving) {
        m_chosen = index;
        showChosen();
        return;
    }
    setMoving(false);
    if (m_grid.currentRow() >= 0) {
        m_students->edit();
        m_students->setValue(KlassParam, m_klasses[index].id);
        m_students->post();
    }
    showChosen();
}

void StudentList::clearKlass()
{
    m_chosen = NoKlass;
    showChosen();
}

void StudentList::setMoving(bool down)
{
    if (m_moving == down)
        return;
    m_moving = down;
    Q_EMIT movingChanged(down);
}

bool StudentList::requireKlass() const
{
    if (m_chosen != NoKlass)
        return true;
    ShowMessage(StudentsText::ChooseKlassFirst, MsgIcon::Warning);
    return false;
}

int StudentList::importFile(const QString& path)
{
    if (!requireKlass() || !QFile::exists(path))
        return 0;
    const WaitCursor wait;
    try {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw AppError(StudentsText::ImportUnreadable.arg(path, file.errorString()));
        const QByteArray bytes = file.read(StudentImport::MaxFileBytes + 1);
        const QStringList names = StudentImport::ParseNames(bytes, path);
        m_grid.postPending();
        {
            StoreTransaction unit(m_students->connection()->database());
            for (const QString& name : names) {
                m_students->append();
                m_students->setValue(QStringLiteral("Name"), name);
                m_students->post();
            }
            unit.commit();
        }
        showChosen();
        return int(names.size());
    } catch (const AppError& e) {
        // The row that failed is dropped, and rows posted before it were rolled back: the list
        // is read from what the store holds.
        m_students->cancel();
        showChosen();
        ShowMessage(e.message(), MsgIcon::Error);
        return 0;
    }
}
