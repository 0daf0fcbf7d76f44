#include "klassesf.h"

#include "datamodules.h"
#include "dataset.h"
#include "recordbar.h"
#include "studentstexts.h"

#include <QTableView>
#include <QVBoxLayout>

TKlassesF::TKlassesF(TDM* dm, QWidget* parent)
    : QDialog(parent), m_grid(dm->sqlKlasses, QStringLiteral("Klass"), StudentsText::KlassColumn)
{
    setObjectName(QStringLiteral("KlassesF"));
    setWindowTitle(StudentsText::KlassesTitle);
    Dataset& klasses = *dm->sqlKlasses;
    klasses.isOpen() ? klasses.requery() : klasses.open();
    auto* layout = new QVBoxLayout(this);
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("gridKlasses"));
    layout->addWidget(MakeRecordBar(&m_grid, m_view,
                                    {{RecordCommand::Append, QStringLiteral("Добавить класс")},
                                     {RecordCommand::Remove, QStringLiteral("Удалить класс")},
                                     {RecordCommand::Post, QStringLiteral("Сохранить изменения")},
                                     {RecordCommand::Cancel, QStringLiteral("Отменить изменения")}},
                                    this));
    layout->addWidget(m_view, 1);
    resize(420, 360);
}

// A class typed in and not yet saved is kept: every change is stored.
void TKlassesF::done(int result)
{
    if (SavePendingChange(&m_grid))
        QDialog::done(result);
}
