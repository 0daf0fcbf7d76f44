#include "choosestudentf.h"

#include "studentstexts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QTableWidget>
#include <QVBoxLayout>

TChooseStudentF::TChooseStudentF(TDM* dm, const QString& klassLabel, QWidget* parent)
    : QDialog(parent), m_choice(dm, klassLabel)
{
    setObjectName(QStringLiteral("ChooseStudentF"));
    setWindowTitle(m_choice.title());
    auto* layout = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(StudentsText::NameColumn, this));
    m_names = new QListView(this);
    m_names->setObjectName(QStringLiteral("lstStudents"));
    m_names->setModel(m_choice.names());
    m_names->setEditTriggers(QAbstractItemView::NoEditTriggers);
    left->addWidget(m_names, 1);
    columns->addLayout(left, 3);

    auto* right = new QVBoxLayout;
    m_klasses = new TKlassGrid(int(m_choice.klasses().size()), 1, this);
    m_klasses->setObjectName(QStringLiteral("gridKlasses"));
    m_klasses->setHorizontalHeaderLabels({StudentsText::KlassColumn});
    m_klasses->horizontalHeader()->setStretchLastSection(true);
    m_klasses->verticalHeader()->hide();
    m_klasses->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_klasses->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_klasses->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int i = 0; i < m_choice.klasses().size(); ++i)
        m_klasses->setItem(i, 0, new QTableWidgetItem(m_choice.klasses()[i].name));
    // The list follows the class grid after each mouse release in it, as the teacher ends a choice.
    connect(m_klasses, &TKlassGrid::released, this, [this] { m_choice.selectKlasses(selectedKlassRows()); });
    right->addWidget(m_klasses, 1);
    auto* hint = new QLabel(StudentsText::MultiKlassHint, this);
    hint->setWordWrap(true);
    right->addWidget(hint);
    m_allKlasses = new QCheckBox(StudentsText::AllKlassesBox, this);
    m_allKlasses->setObjectName(QStringLiteral("cbAllKlasses"));
    m_allKlasses->setChecked(m_choice.allKlasses());
    right->addWidget(m_allKlasses);
    m_label = new QLabel(m_choice.klassLabel(), this);
    m_label->setObjectName(QStringLiteral("lblKlass"));
    right->addWidget(m_label);
    columns->addLayout(right, 2);
    layout->addLayout(columns, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &TChooseStudentF::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TChooseStudentF::reject);
    connect(m_names->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { m_choice.chooseRow(current.row()); });
    connect(m_names, &QListView::doubleClicked, this, [this](const QModelIndex& index) {
        m_choice.chooseRow(index.row());
        accept();
    });
    connect(m_allKlasses, &QCheckBox::toggled, this, [this](bool ticked) { m_choice.setAllKlasses(ticked); });
    connect(&m_choice, &StudentChoice::allKlassesChanged, this, [this](bool ticked) {
        const QSignalBlocker block(m_allKlasses);
        m_allKlasses->setChecked(ticked);
        if (ticked)
            m_klasses->clearSelection();
    });
    connect(&m_choice, &StudentChoice::klassLabelChanged, m_label, &QLabel::setText);
    connect(&m_choice, &StudentChoice::listChanged, this, &TChooseStudentF::showChosenStudent);
    showChosenStudent();
    resize(560, 420);
}

void TChooseStudentF::showChosenStudent()
{
    const QSignalBlocker block(m_names->selectionModel());
    m_names->setCurrentIndex(m_choice.names()->index(m_choice.chosenRow(), 0));
}

QList<int> TChooseStudentF::selectedKlassRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_klasses->selectionModel()->selectedRows())
        rows.append(index.row());
    return rows;
}

void TChooseStudentF::accept()
{
    if (m_choice.accept())
        QDialog::accept();
    else
        QDialog::reject();
}

void TChooseStudentF::reject()
{
    m_choice.cancel();
    QDialog::reject();
}
