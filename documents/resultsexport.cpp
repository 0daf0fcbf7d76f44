#include "resultsexport.h"

#include "apperror.h"
#include "documentfiles.h"
#include "documenttexts.h"
#include "textdocument.h"

#include <QDir>
#include <cmath>
#include <memory>
#include <xlsxwriter.h>

namespace {

struct FieldInfo
{
    ResultField field;
    const char* caption;
    int displayWidth;
};

// Display widths: the archive's text columns by their sizes, the others by what they show.
constexpr FieldInfo Fields[] = {
    {ResultField::Date, "Дата", 36},
    {ResultField::PcName, "ПК", 20},
    {ResultField::Klass, "Класс", 20},
    {ResultField::Name, "Фамилия", 50},
    {ResultField::Topic, "Тема", 50},
    {ResultField::Points, "Оценка", 16},
    {ResultField::Percent, "% правильности", 28},
};

const FieldInfo& info(ResultField field)
{
    return Fields[int(field)];
}

// The sheet's rows and columns, counted from 0.
constexpr lxw_row_t TitleRow = 0;      // C1
constexpr lxw_col_t TitleColumn = 2;   //
constexpr lxw_row_t FiltersRow = 1;    // B2
constexpr lxw_col_t FiltersColumn = 1; //
constexpr lxw_row_t HeaderRow = 3;     // row 4
constexpr double HeaderHeight = 40;
const QString NineBlanks = QStringLiteral("         ");

// A text document's column is this many points wide per character of display width: all seven
// fields fill the width of a portrait page.
constexpr qreal PointsPerCharacter = 2.15;

QString displayText(const ResultRecord& record, ResultField field)
{
    switch (field) {
    case ResultField::Date:
        return record.dateText;
    case ResultField::PcName:
        return record.pcName;
    case ResultField::Klass:
        return record.klass;
    case ResultField::Name:
        return record.name;
    case ResultField::Topic:
        return record.topic;
    case ResultField::Points:
        return record.pointsText;
    case ResultField::Percent:
        return record.percentText;
    }
    return {};
}

// The workbook behind a path; every step that fails throws with libxlsxwriter's words.
class Sheet
{
public:
    explicit Sheet(const QString& path) : m_path(path)
    {
        const QByteArray file = QFile::encodeName(path);
        m_book = workbook_new(file.constData());
        if (!m_book)
            fail(QStringLiteral("workbook"));
        m_sheet = workbook_add_worksheet(m_book, nullptr);
        if (!m_sheet)
            fail(QStringLiteral("worksheet"));
    }
    ~Sheet()
    {
        if (m_book)
            workbook_close(m_book); // only after a failure: close() forgets it
    }
    Sheet(const Sheet&) = delete;
    Sheet& operator=(const Sheet&) = delete;

    lxw_format* format(double size, bool bold) const
    {
        lxw_format* f = workbook_add_format(m_book);
        format_set_font_size(f, size);
        if (bold)
            format_set_bold(f);
        return f;
    }
    lxw_worksheet* sheet() const { return m_sheet; }
    static void check(lxw_error error, const QString& step)
    {
        if (error != LXW_NO_ERROR)
            throw AppError(QStringLiteral("%1: %2").arg(step, QString::fromUtf8(lxw_strerror(error))));
    }
    void close()
    {
        lxw_workbook* book = m_book;
        m_book = nullptr;
        check(workbook_close(book), QDir::toNativeSeparators(m_path));
    }

private:
    [[noreturn]] void fail(const QString& what) const
    {
        throw AppError(QStringLiteral("%1: не удалось создать %2").arg(QDir::toNativeSeparators(m_path), what));
    }

    QString m_path;
    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_sheet = nullptr;
};

void writeString(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const QString& text, lxw_format* format)
{
    if (text.isEmpty()) {
        Sheet::check(worksheet_write_blank(sheet, row, column, format), QStringLiteral("blank"));
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    Sheet::check(worksheet_write_string(sheet, row, column, utf8.constData(), format), QStringLiteral("string"));
}

} // namespace

QList<ResultField> AllResultFields()
{
    QList<ResultField> fields;
    for (const FieldInfo& f : Fields)
        fields.append(f.field);
    return fields;
}

QString ResultFieldCaption(ResultField field)
{
    return QString::fromUtf8(info(field).caption);
}

int ResultFieldDisplayWidth(ResultField field)
{
    return info(field).displayWidth;
}

bool ResultFieldByCaption(const QString& caption, ResultField* field)
{
    for (const FieldInfo& f : Fields) {
        if (caption == QString::fromUtf8(f.caption)) {
            *field = f.field;
            return true;
        }
    }
    return false;
}

ResultFieldChoice::ResultFieldChoice()
{
    for (ResultField field : AllResultFields())
        m_fields.append({field, true});
}

void ResultFieldChoice::moveUp(int row)
{
    if (canMoveUp(row))
        m_fields.swapItemsAt(row, row - 1);
}

void ResultFieldChoice::moveDown(int row)
{
    if (canMoveDown(row))
        m_fields.swapItemsAt(row, row + 1);
}

QList<ResultField> ResultFieldChoice::selection() const
{
    QList<ResultField> chosen;
    for (const auto& [field, ticked] : m_fields) {
        if (ticked)
            chosen.append(field);
    }
    return chosen;
}

QString FilterDescription(const ResultFilters& filters)
{
    const auto line = [](const char* label, const QString& value) {
        return value.isEmpty() ? QString() : QString::fromUtf8(label) + value + u'\r';
    };
    return line("Дата: ", filters.date) + line("Тема: ", filters.topic) + line("Класс: ", filters.klass) +
           line("Студент: ", filters.student);
}

void WriteResultsSheet(const QString& path, const ResultsDocument& document)
{
    Sheet book(path);
    lxw_worksheet* sheet = book.sheet();
    const auto columns = lxw_col_t(document.fields.size());

    writeString(sheet, TitleRow, TitleColumn, DocumentText::ResultsTitle, book.format(12, true));
    writeString(sheet, FiltersRow, FiltersColumn, FilterDescription(document.filters).replace(u'\r', NineBlanks),
                book.format(10, true));

    lxw_format* header = book.format(10, true);
    format_set_align(header, LXW_ALIGN_CENTER);
    format_set_align(header, LXW_ALIGN_VERTICAL_CENTER);
    format_set_text_wrap(header);
    format_set_border(header, LXW_BORDER_THIN);
    Sheet::check(worksheet_set_row(sheet, HeaderRow, HeaderHeight, nullptr), QStringLiteral("row"));
    for (lxw_col_t c = 0; c < columns; ++c) {
        const ResultField field = document.fields[c];
        Sheet::check(worksheet_set_column(sheet, c, c, ResultFieldDisplayWidth(field) / 2.0, nullptr),
                     QStringLiteral("column"));
        writeString(sheet, HeaderRow, c, ResultFieldCaption(field), header);
    }

    // The cells of the results: bordered, dates as dates (with the time when it is not midnight).
    lxw_format* text = book.format(10, false);
    format_set_border(text, LXW_BORDER_THIN);
    lxw_format* number = book.format(10, false);
    format_set_border(number, LXW_BORDER_THIN);
    lxw_format* day = book.format(10, false);
    format_set_border(day, LXW_BORDER_THIN);
    format_set_num_format(day, "dd.mm.yyyy");
    lxw_format* moment = book.format(10, false);
    format_set_border(moment, LXW_BORDER_THIN);
    format_set_num_format(moment, "dd.mm.yyyy hh:mm:ss");

    lxw_row_t row = HeaderRow + 1;
    for (const ResultRecord& record : document.records) {
        for (lxw_col_t c = 0; c < columns; ++c) {
            const ResultField field = document.fields[c];
            switch (field) {
            case ResultField::Date: {
                const QDate d = record.date.date();
                const QTime t = record.date.time();
                lxw_datetime when{d.year(), d.month(), d.day(), t.hour(), t.minute(), double(t.second())};
                // A date the sheet cannot hold (before 1900, unreadable) goes in as the archive shows it.
                if (!record.date.isValid() || d.year() < 1900 ||
                    worksheet_write_datetime(sheet, row, c, &when, t == QTime(0, 0) ? day : moment) != LXW_NO_ERROR)
                    writeString(sheet, row, c, record.dateText, text);
                break;
            }
            case ResultField::Points:
                if (record.pointsText == QString::number(record.points))
                    Sheet::check(worksheet_write_number(sheet, row, c, record.points, number),
                                 QStringLiteral("number"));
                else
                    writeString(sheet, row, c, record.pointsText, text);
                break;
            case ResultField::Percent:
                // As the archive shows it: at most one decimal.
                Sheet::check(worksheet_write_number(sheet, row, c, std::round(record.percent * 10) / 10, number),
                             QStringLiteral("number"));
                break;
            default:
                writeString(sheet, row, c, displayText(record, field), text);
            }
        }
        ++row;
    }
    book.close();
}

void WriteResultsText(const QString& path, const ResultsDocument& document)
{
    using Style = TextDocumentBuilder::Style;
    TextDocumentBuilder builder;
    builder.paragraph(DocumentText::ResultsTitle, Style{.pointSize = 14, .bold = true, .centred = true});
    builder.emptyParagraph();
    QString filters = FilterDescription(document.filters);
    filters.chop(filters.endsWith(u'\r') ? 1 : 0);
    builder.paragraph(filters, Style{.bold = true, .centred = true});
    builder.emptyParagraph();

    QStringList header;
    QList<qreal> widths;
    for (ResultField field : document.fields) {
        header.append(ResultFieldCaption(field));
        widths.append(ResultFieldDisplayWidth(field) * PointsPerCharacter);
    }
    QList<QStringList> rows;
    for (const ResultRecord& record : document.records) {
        QStringList cells;
        for (ResultField field : document.fields)
            cells.append(displayText(record, field));
        rows.append(cells);
    }
    if (rows.isEmpty())
        rows.append(QStringList(document.fields.size(), QStringLiteral(" ")));
    builder.table(header, Style{.bold = true, .centred = true}, rows, Style{}, widths);
    builder.write(path);
}

QString ExportResultsToFolder(const QString& folder, ResultsFormat format, const ResultsDocument& document)
{
    const bool sheet = format == ResultsFormat::Sheet;
    const QString path = FreeDocumentPath(folder, FileNameFromTitle(DocumentText::ResultsTitle),
                                          sheet ? QStringLiteral(".xlsx") : QStringLiteral(".odt"));
    WriteDocumentAtomically(path, [&](const QString& temporary) {
        if (sheet)
            WriteResultsSheet(temporary, document);
        else
            WriteResultsText(temporary, document);
    });
    return path;
}
