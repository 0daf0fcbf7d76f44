#include "archivef.h"

#include "archiveexport.h"
#include "archivegrid.h"
#include "archivemodel.h"
#include "archivequery.h"
#include "archivereport.h"
#include "archivetexts.h"
#include "datamodules.h"
#include "dataset.h"
#include "exportresultsf.h"
#include "filedialogs.h"
#include "savedwork.h"
#include "savedworkf.h"
#include "sqltexts.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

TArchiveF* s_instance = nullptr;

// A chooser over one lookup query: the names shown, the ids as item data.
void fillChooser(QComboBox* box, StoreConnection* store, const char* sql, const QString& idColumn,
                 const QString& nameColumn)
{
    box->clear();
    Dataset rows(store, QStringLiteral("sqlArchiveChooser"), QString::fromUtf8(sql));
    rows.open();
    for (rows.first(); !rows.eof(); rows.next())
        box->addItem(rows.value(nameColumn).toString(), rows.value(idColumn));
    box->setCurrentIndex(-1);
}

int chosenId(const QCheckBox* box, const QComboBox* chooser)
{
    return box->isChecked() && chooser->currentIndex() >= 0 ? chooser->currentData().toInt() : 0;
}

} // namespace

TArchiveF* TArchiveF::instance()
{
    return s_instance;
}

TArchiveF* TArchiveF::ensure(TSharedDM* shared, QWidget* parent)
{
    if (!s_instance)
        s_instance = new TArchiveF(shared, parent);
    return s_instance;
}

TArchiveF::TArchiveF(TSharedDM* shared, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), m_shared(shared)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("ArchiveF"));
    setWindowTitle(ArchiveText::WindowTitle);
    m_query = new ArchiveQuery(shared->dm()->ADOConnection(), this);
    m_model = new ArchiveModel(m_query, this);

    auto* layout = new QVBoxLayout(this);
    buildToolbar();
    layout->setMenuBar(findChild<QToolBar*>());
    layout->addWidget(buildFilter());
    m_grid = new ArchiveGrid(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) { m_model->sort(c); });
    connect(m_grid, &ArchiveGrid::doubleClicked, this, &TArchiveF::btnShowWorkClick);
    layout->addWidget(m_grid, 1);
    layout->addWidget(buildStatistics());

    connect(m_query, &ArchiveQuery::rowsReread, this, &TArchiveF::showStatistics);
    connect(&StoredWorkNotice::instance(), &StoredWorkNotice::workStored, m_query, &ArchiveQuery::reread);

    fillChoosers();
    // Today's results at the start.
    m_filling = true;
    m_date->setDate(QDate::currentDate());
    m_byDate->setChecked(true);
    m_filling = false;
    applyFilter();
    resize(900, 600);
}

void TArchiveF::closeEvent(QCloseEvent* event)
{
    if (s_instance == this)
        s_instance = nullptr;
    QWidget::closeEvent(event);
}

TArchiveF::~TArchiveF()
{
    if (s_instance == this)
        s_instance = nullptr;
}

void TArchiveF::buildToolbar()
{
    auto* bar = new QToolBar(this);
    const auto add = [&](const QString& name, const QString& text, const QString& hint, auto slot) {
        QAction* a = bar->addAction(text, this, slot);
        a->setObjectName(name);
        a->setToolTip(hint.isEmpty() ? text : hint);
        return a;
    };
    add(QStringLiteral("btnPreview"), QStringLiteral("Предварительный просмотр..."), {}, &TArchiveF::btnPreviewClick);
    add(QStringLiteral("btnPrint"), QStringLiteral("Печать..."), {}, &TArchiveF::btnPrintClick);
    add(QStringLiteral("btnOpenResultFile"), QStringLiteral("Открыть файл результата..."), {},
        &TArchiveF::btnOpenResultFileClick);
    add(QStringLiteral("btnShowWork"), QStringLiteral("Просмотр работы"),
        QStringLiteral("Просмотр отмеченных вариантов ответов, затраченного времени и т.п."),
        &TArchiveF::btnShowWorkClick);
    add(QStringLiteral("btnDelete"), QStringLiteral("Удалить запись"),
        QStringLiteral("Удаление одной записи из архива"), &TArchiveF::btnDeleteClick);
    add(QStringLiteral("btnExprotResultsToWord"), QStringLiteral("Экспорт результатов в текстовый документ..."), {},
        &TArchiveF::btnExprotResultsToWordClick);
    add(QStringLiteral("btnExprotResultsToExcel"), QStringLiteral("Экспорт результатов в электронную таблицу..."), {},
        &TArchiveF::btnExprotResultsToExcelClick);
}

QWidget* TArchiveF::buildFilter()
{
    auto* group = new QGroupBox(QStringLiteral("Фильтр"), this);
    auto* grid = new QGridLayout(group);
    m_byKlass = new QCheckBox(QStringLiteral("по классу"), group);
    m_byName = new QCheckBox(QStringLiteral("по фамилии"), group);
    m_byDate = new QCheckBox(QStringLiteral("по дате"), group);
    m_byTopic = new QCheckBox(QStringLiteral("по теме"), group);
    m_klasses = new QComboBox(group);
    m_students = new QComboBox(group);
    m_date = new QDateEdit(group);
    m_date->setCalendarPopup(true);
    m_topics = new QComboBox(group);
    const QList<QPair<QCheckBox*, QWidget*>> pairs{
        {m_byKlass, m_klasses}, {m_byName, m_students}, {m_byDate, m_date}, {m_byTopic, m_topics}};
    for (int i = 0; i < pairs.size(); ++i) {
        grid->addWidget(pairs[i].first, i / 2, (i % 2) * 2);
        grid->addWidget(pairs[i].second, i / 2, (i % 2) * 2 + 1);
        connect(pairs[i].first, &QCheckBox::toggled, this, &TArchiveF::applyFilter);
    }
    // Choosing a value checks its box (which applies the filter when it was not checked).
    for (auto [box, chooser] : {std::pair{m_byKlass, m_klasses}, {m_byName, m_students}, {m_byTopic, m_topics}}) {
        connect(chooser, &QComboBox::activated, this, [this, box = box] {
            if (box->isChecked())
                applyFilter();
            else
                box->setChecked(true);
        });
    }
    connect(m_date, &QDateEdit::dateChanged, this, [this] {
        if (m_byDate->isChecked())
            applyFilter();
        else
            m_byDate->setChecked(true);
    });
    return group;
}

QWidget* TArchiveF::buildStatistics()
{
    namespace T = ArchiveText;
    auto* group = new QGroupBox(T::StatisticsTitle, this);
    group->setObjectName(QStringLiteral("Statistics"));
    auto* form = new QFormLayout(group);
    const QStringList labels{T::RecordsLabel, T::AverageLabel, T::HighLabel, T::SufficientLabel,
                             T::MediumLabel,  T::InitialLabel, T::PassLabel, T::FailLabel};
    for (int i = 0; i < labels.size(); ++i) {
        auto* label = new QLabel(labels[i], group);
        auto* value = new QLabel(group);
        value->setObjectName(QStringLiteral("stat%1").arg(i));
        form->addRow(label, value);
        m_statisticsValues.append(value);
        if (i >= 6)
            m_passFailLabels << label << value;
    }
    return group;
}

void TArchiveF::fillChoosers()
{
    StoreConnection* store = m_shared->dm()->ADOConnection();
    fillChooser(m_klasses, store, Sql::Klasses, QStringLiteral("KlassID"), QStringLiteral("Klass"));
    fillChooser(m_students, store, Sql::StudentsByName, QStringLiteral("StudentID"), QStringLiteral("Name"));
    fillChooser(m_topics, store, Sql::TopicNames, QStringLiteral("TopicID"), QStringLiteral("TopicName"));
}

void TArchiveF::applyFilter()
{
    if (m_filling)
        return;
    ArchiveFilter filter;
    filter.klassId = chosenId(m_byKlass, m_klasses);
    filter.studentId = chosenId(m_byName, m_students);
    filter.topicId = chosenId(m_byTopic, m_topics);
    if (m_byDate->isChecked())
        filter.date = m_date->date();
    setUpdatesEnabled(false);
    m_query->setFilter(filter);
    setUpdatesEnabled(true);
}

void TArchiveF::showStatistics()
{
    const QList<QPair<QString, QString>> lines = m_query->statistics().lines();
    for (int i = 0; i < m_statisticsValues.size(); ++i)
        m_statisticsValues[i]->setText(i < lines.size() ? lines[i].second : QString());
    const bool passFail = m_query->statistics().showsPassFail();
    for (QLabel* label : m_passFailLabels)
        label->setVisible(passFail);
}

int TArchiveF::currentRow() const
{
    const QModelIndex index = m_grid->currentIndex();
    return index.isValid() ? index.row() : -1;
}

void TArchiveF::printReport(QPrinter* printer) const
{
    PaintArchiveReport(LayoutArchiveReport(BuildArchiveReport(*m_query)), printer);
}

void TArchiveF::btnPreviewClick()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, &TArchiveF::printReport);
    preview.exec();
}

void TArchiveF::btnPrintClick()
{
    // The print dialog chooses the printer, or a PDF file with "print to file".
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        printReport(&printer);
}

void TArchiveF::btnOpenResultFileClick()
{
    const QString path = ChooseOpenFile(this, QStringLiteral("Открыть файл результата"), SavedWorkFilter());
    if (!path.isEmpty())
        TSavedWorkF::OpenResultFile(m_shared, path);
}

void TArchiveF::btnShowWorkClick()
{
    const int row = currentRow();
    if (row < 0)
        return;
    TSavedWorkF::ShowStoredWork(m_shared, m_query->topicId(row), m_query->timeRemain(row), m_query->routChecked(row),
                                m_query->topic(row), m_query->name(row));
}

void TArchiveF::exportResults(ResultsFormat format)
{
    const QString student = m_query->filter().studentId != 0 ? m_students->currentText() : QString();
    ExportResults(format, ArchiveResultRecords(*m_query), ArchiveFilterTexts(*m_query, student),
                  *m_shared->dm()->sqlAppSettings, this);
}

void TArchiveF::btnExprotResultsToWordClick()
{
    exportResults(ResultsFormat::Text);
}

void TArchiveF::btnExprotResultsToExcelClick()
{
    exportResults(ResultsFormat::Sheet);
}

void TArchiveF::btnDeleteClick()
{
    m_query->deleteRow(currentRow());
}
