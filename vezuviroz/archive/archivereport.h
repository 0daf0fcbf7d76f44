#pragma once

#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

class ArchiveQuery;
class QPagedPaintDevice;

// The printed archive report: "Результаты тестирования", the filter lines that are on, and a
// "Фамилия" / "Оценка" line per row of the archive as it is sorted. A4 portrait, 10 mm margins.
struct ArchiveReport
{
    QStringList filterLines; // "Класс: 7А", "Дата: 05.03.2024", "Тема: Алгебра", each when on
    struct Row
    {
        QString name;
        QString mark; // as the grid shows it ("Зачёт" rather than -2)
    };
    QList<Row> rows;
};

ArchiveReport BuildArchiveReport(const ArchiveQuery& query);

// One thing drawn on a page, in millimetres from the top left corner inside the margins.
struct ReportItem
{
    enum Kind
    {
        Text,
        Line
    };
    Kind kind = Text;
    QRectF mm; // a line runs from the top left to the top right of its rectangle
    QString text;
    int alignment = 0; // Qt::Alignment
    bool bold = false;
    double pointSize = 10;
};
using ReportPage = QList<ReportItem>;

namespace ReportGeometry {
inline constexpr double PageWidthMm = 210;
inline constexpr double PageHeightMm = 297;
inline constexpr double MarginMm = 10;
inline constexpr double WidthMm = PageWidthMm - 2 * MarginMm;
inline constexpr double HeightMm = PageHeightMm - 2 * MarginMm;
} // namespace ReportGeometry

// The pages of the report; at least one, even without rows.
QList<ReportPage> LayoutArchiveReport(const ArchiveReport& report);
// Draws the pages on a printer or a PDF writer (which get A4 portrait and 10 mm margins).
void PaintArchiveReport(const QList<ReportPage>& pages, QPagedPaintDevice* device);
