#pragma once

#include "resultsexport.h"

#include <QWidget>

class ArchiveGrid;
class ArchiveModel;
class ArchiveQuery;
class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPrinter;
class StoreConnection;
class TSharedDM;

// The archive window "Архив сохранённых результатов": the filtered results grid with its
// statistics, the report, deleting a row and viewing the work behind it. It exists at most once,
// stays on top and frees itself when closed. Everything it decides lives in ArchiveQuery.
class TArchiveF : public QWidget
{
    Q_OBJECT

public:
    // The open window, or nullptr.
    static TArchiveF* instance();
    // The open window, or a new one showing today's results.
    static TArchiveF* ensure(TSharedDM* shared, QWidget* parent = nullptr);
    ~TArchiveF() override;

    ArchiveQuery* query() const { return m_query; }
    // Paints the report of the rows shown on a printer (or a PDF writer behind it).
    void printReport(QPrinter* printer) const;

    void btnPreviewClick();
    void btnPrintClick();
    void btnOpenResultFileClick();
    void btnShowWorkClick();
    void btnDeleteClick();
    // The results shown, with the filters that are on, to a text document or a spreadsheet.
    void btnExprotResultsToWordClick();
    void btnExprotResultsToExcelClick();

protected:
    // A closed window is no longer the program's one window, although it is deleted a moment later.
    void closeEvent(QCloseEvent* event) override;

private:
    TArchiveF(TSharedDM* shared, QWidget* parent);
    void buildToolbar();
    QWidget* buildFilter();
    QWidget* buildStatistics();
    void fillChoosers();
    void applyFilter();
    void showStatistics();
    int currentRow() const;
    void exportResults(ResultsFormat format);

    TSharedDM* m_shared;
    ArchiveQuery* m_query = nullptr;
    ArchiveModel* m_model = nullptr;
    ArchiveGrid* m_grid = nullptr;
    QCheckBox* m_byKlass = nullptr;
    QCheckBox* m_byName = nullptr;
    QCheckBox* m_byDate = nullptr;
    QCheckBox* m_byTopic = nullptr;
    QComboBox* m_klasses = nullptr;
    QComboBox* m_students = nullptr;
    QDateEdit* m_date = nullptr;
    QComboBox* m_topics = nullptr;
    QList<QLabel*> m_statisticsValues;
    QList<QLabel*> m_passFailLabels;
    bool m_filling = false;
};
