#pragma once

#include "resultsexport.h"

#include <QDialog>

class Dataset;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;

// The results export dialog: the destination folder, the fields to include with their order,
// the filters applied. "Начать экспорт" writes the document into the folder (asking to make a
// missing one), keeps the folder in ExportPath and opens the document. The rules of the field list
// are ResultFieldChoice's.
class TExportResultsF : public QDialog
{
    Q_OBJECT

public:
    TExportResultsF(ResultsFormat format, QList<ResultRecord> records, const ResultFilters& filters, Dataset& settings,
                    QWidget* parent = nullptr);

    const ResultFieldChoice& fields() const { return m_choice; }
    // The path written by the last export, empty before.
    QString writtenPath() const { return m_written; }

    QLineEdit* edFolder = nullptr;
    QToolButton* btnBrowse = nullptr;
    QListWidget* lstFields = nullptr;
    QPushButton* btnUp = nullptr;
    QPushButton* btnDown = nullptr;
    QLabel* lblDate = nullptr;
    QLabel* lblTopic = nullptr;
    QLabel* lblKlass = nullptr;
    QLabel* lblName = nullptr;
    QPushButton* btnStart = nullptr;
    QPushButton* btnCancel = nullptr;

    void btnStartClick();

private:
    void move(int step);
    void showFields(int current);
    void updateMoves();

    ResultsFormat m_format;
    QList<ResultRecord> m_records;
    ResultFilters m_filters;
    Dataset& m_settings;
    ResultFieldChoice m_choice;
    QString m_written;
};

// The archive's export commands: shows the dialog (modal to its window, without a loop of its own)
// over the rows and filter texts of the moment; the export runs when the user starts it. The dialog
// frees itself when closed.
TExportResultsF* ExportResults(ResultsFormat format, const QList<ResultRecord>& records, const ResultFilters& filters,
                               Dataset& settings, QWidget* parent);
