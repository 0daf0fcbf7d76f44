#include "exportresultsf.h"

#include "apperror.h"
#include "documentfiles.h"
#include "documenttexts.h"
#include "exportfolderrow.h"
#include "messages.h"
#include "waitcursor.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace T = DocumentText;

TExportResultsF::TExportResultsF(ResultsFormat format, QList<ResultRecord> records, const ResultFilters& filters,
                                 Dataset& settings, QWidget* parent)
    : QDialog(parent), m_format(format), m_records(std::move(records)), m_filters(filters), m_settings(settings)
{
    setObjectName(QStringLiteral("ExportResultsF"));
    setWindowTitle(format == ResultsFormat::Text ? T::ResultsToText : T::ResultsToSheet);
    auto* layout = new QVBoxLayout(this);
    const ExportFolderRow folder = AddExportFolderRow(this, layout, StoredExportPath(settings));
    edFolder = folder.edit;
    btnBrowse = folder.browse;

    layout->addWidget(new QLabel(T::TickFields, this));
    auto* fieldsRow = new QGridLayout;
    lstFields = new QListWidget(this);
    lstFields->setObjectName(QStringLiteral("lstFields"));
    btnUp = new QPushButton(style()->standardIcon(QStyle::SP_ArrowUp), QString(), this);
    btnUp->setObjectName(QStringLiteral("btnUp"));
    btnUp->setToolTip(QStringLiteral("Выше"));
    btnDown = new QPushButton(style()->standardIcon(QStyle::SP_ArrowDown), QString(), this);
    btnDown->setObjectName(QStringLiteral("btnDown"));
    btnDown->setToolTip(QStringLiteral("Ниже"));
    fieldsRow->addWidget(lstFields, 0, 0, 3, 1);
    fieldsRow->addWidget(btnUp, 0, 1);
    fieldsRow->addWidget(btnDown, 1, 1);
    fieldsRow->setRowStretch(2, 1);
    layout->addLayout(fieldsRow);

    auto* group = new QGroupBox(T::AppliedFilters, this);
    auto* form = new QFormLayout(group);
    const auto filterRow = [&](const QString& caption, const QString& value, const char* name) {
        auto* label = new QLabel(value, group);
        label->setObjectName(QString::fromLatin1(name));
        form->addRow(caption, label);
        return label;
    };
    lblDate = filterRow(T::ByDate, filters.date, "lblDate");
    lblTopic = filterRow(T::ByTopic, filters.topic, "lblTopic");
    lblKlass = filterRow(T::ByKlass, filters.klass, "lblKlass");
    lblName = filterRow(T::ByName, filters.student, "lblName");
    layout->addWidget(group);

    const ExportButtons buttons = AddExportButtons(this, layout);
    btnStart = buttons.start;
    btnCancel = buttons.cancel;

    connect(btnStart, &QPushButton::clicked, this, &TExportResultsF::btnStartClick);
    connect(btnUp, &QPushButton::clicked, this, [this] { move(-1); });
    connect(btnDown, &QPushButton::clicked, this, [this] { move(1); });
    connect(lstFields, &QListWidget::currentRowChanged, this, &TExportResultsF::updateMoves);
    connect(lstFields, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        m_choice.setTicked(lstFields->row(item), item->checkState() == Qt::Checked);
    });
    showFields(-1);
}

void TExportResultsF::showFields(int current)
{
    const QSignalBlocker block(lstFields);
    lstFields->clear();
    for (int row = 0; row < m_choice.count(); ++row) {
        auto* item = new QListWidgetItem(ResultFieldCaption(m_choice.field(row)), lstFields);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(m_choice.ticked(row) ? Qt::Checked : Qt::Unchecked);
    }
    lstFields->setCurrentRow(current);
    updateMoves();
}

void TExportResultsF::updateMoves()
{
    const int row = lstFields->currentRow();
    btnUp->setEnabled(m_choice.canMoveUp(row));
    btnDown->setEnabled(m_choice.canMoveDown(row));
}

void TExportResultsF::move(int step)
{
    const int row = lstFields->currentRow();
    if (step < 0 && m_choice.canMoveUp(row))
        m_choice.moveUp(row);
    else if (step > 0 && m_choice.canMoveDown(row))
        m_choice.moveDown(row);
    else
        return;
    showFields(row + step);
}

void TExportResultsF::btnStartClick()
{
    const QString folder = edFolder->text();
    if (folder.isEmpty() || !EnsureDestinationFolder(folder))
        return;
    const ResultsDocument document{m_choice.selection(), m_records, m_filters};
    QString failure;
    {
        WaitCursor wait;
        try {
            m_written = ExportResultsToFolder(FolderWithSeparator(folder), m_format, document);
        } catch (const AppError& e) {
            failure = T::ReportFailed + e.message();
        }
    }
    StoreExportPath(m_settings, folder);
    if (!failure.isEmpty()) {
        ShowMessage(failure, MsgIcon::Error);
        return;
    }
    accept();
    OpenSavedDocument(m_written);
}

TExportResultsF* ExportResults(ResultsFormat format, const QList<ResultRecord>& records, const ResultFilters& filters,
                               Dataset& settings, QWidget* parent)
{
    auto* dialog = new TExportResultsF(format, records, filters, settings, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    return dialog;
}
