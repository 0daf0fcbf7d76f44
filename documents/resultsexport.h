#pragma once

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

// The archive's results as a spreadsheet (.xlsx) or a text document (.odt): the title, the
// filters that were on, and a table of the chosen fields in the chosen order.

// The fields offered, in the order the dialog shows them first.
enum class ResultField
{
    Date,
    PcName,
    Klass,
    Name,
    Topic,
    Points,
    Percent
};
QList<ResultField> AllResultFields();
QString ResultFieldCaption(ResultField field);
// The width the archive gives the field, in characters.
int ResultFieldDisplayWidth(ResultField field);
// The field with that caption; false when there is none.
bool ResultFieldByCaption(const QString& caption, ResultField* field);

// The dialog's list of fields: every field, ticked, in the offered order at first; the ticked
// ones in list order are the selection.
class ResultFieldChoice
{
public:
    ResultFieldChoice();

    int count() const { return int(m_fields.size()); }
    ResultField field(int row) const { return m_fields[row].first; }
    bool ticked(int row) const { return m_fields[row].second; }
    void setTicked(int row, bool ticked) { m_fields[row].second = ticked; }
    bool canMoveUp(int row) const { return row > 0 && row < count(); }
    bool canMoveDown(int row) const { return row >= 0 && row + 1 < count(); }
    // Moves the field, ticked or not, one place; nothing when it cannot move.
    void moveUp(int row);
    void moveDown(int row);
    QList<ResultField> selection() const;

private:
    QList<QPair<ResultField, bool>> m_fields;
};

// One result with its values typed and as the archive shows them.
struct ResultRecord
{
    QDateTime date;
    QString dateText;
    QString pcName;
    QString klass;
    QString name;
    QString topic;
    int points = 0;
    QString pointsText; // "Зачёт", "Незачёт" or the number
    double percent = 0;
    QString percentText;
};

// The texts of the archive's filters that are on; empty for a filter that is off.
struct ResultFilters
{
    QString date;
    QString topic;
    QString klass;
    QString student;
};
// "Дата: ...\r", "Тема: ...\r", "Класс: ...\r", "Студент: ...\r", each only when its filter is on.
QString FilterDescription(const ResultFilters& filters);

struct ResultsDocument
{
    QList<ResultField> fields; // the selection, in order
    QList<ResultRecord> records;
    ResultFilters filters;
};

enum class ResultsFormat
{
    Sheet, // .xlsx
    Text   // .odt
};

// Sheet: C1 the title; B2 the filter description with each CR turned into nine blanks; row 4 the
// captions (bold, centred, wrapped, 40 points high), one row per result from row 5 with values
// of their types; borders around the header and the results; column widths half the display
// widths. AppError when the file cannot be written.
void WriteResultsSheet(const QString& path, const ResultsDocument& document);
// Text: the title centred in 14 point bold, an empty paragraph, the filter lines centred in 12
// point bold, an empty paragraph, then the table: the captions bold and centred, one row per result (one row
// of blanks when there is none); column widths grow with the display widths.
void WriteResultsText(const QString& path, const ResultsDocument& document);

// The export into the folder (ending with a separator) under the first free of
// "Результаты тестирования.xlsx" (".odt"), " (1)", ...: written completely or not at all.
// Returns the path written.
QString ExportResultsToFolder(const QString& folder, ResultsFormat format, const ResultsDocument& document);
