#include "archivereport.h"

#include "archivequery.h"
#include "archivetexts.h"

#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>

namespace {

namespace G = ReportGeometry;

constexpr double TitleHeight = 14;
constexpr double FilterLineHeight = 7;
constexpr double HeaderHeight = 8;
constexpr double RowHeight = 6;
constexpr double FooterHeight = 8;
constexpr double NameWidth = 150;
constexpr double TitlePoints = 16;
constexpr double TextPoints = 10;

ReportItem text(double top, double left, double width, double height, const QString& t, int alignment,
                bool bold = false, double points = TextPoints)
{
    return {ReportItem::Text, QRectF(left, top, width, height), t, alignment, bold, points};
}

ReportItem line(double y)
{
    return {ReportItem::Line, QRectF(0, y, G::WidthMm, 0), {}, 0, false, 0};
}

} // namespace

ArchiveReport BuildArchiveReport(const ArchiveQuery& query)
{
    ArchiveReport report;
    const ArchiveFilter& f = query.filter();
    if (f.klassId != 0)
        report.filterLines.append(QStringLiteral("Класс: ") + query.klassName(f.klassId));
    if (f.date.isValid())
        report.filterLines.append(QStringLiteral("Дата: ") + QLocale().toString(f.date, QLocale::ShortFormat));
    if (f.topicId != 0)
        report.filterLines.append(QStringLiteral("Тема: ") + query.topicName(f.topicId));
    for (int row = 0; row < query.rowCount(); ++row)
        report.rows.append({query.name(row), PointsText(query.points(row))});
    return report;
}

QList<ReportPage> LayoutArchiveReport(const ArchiveReport& report)
{
    const int left = Qt::AlignLeft | Qt::AlignVCenter;
    const int centre = Qt::AlignCenter;
    QList<ReportPage> pages;
    const double bodyEnd = G::HeightMm - FooterHeight;
    double y = 0;
    const auto startPage = [&] {
        pages.append(ReportPage());
        y = 0;
        if (pages.size() == 1) {
            pages.last().append(
                text(y, 0, G::WidthMm, TitleHeight, ArchiveText::ReportTitle, centre, true, TitlePoints));
            y += TitleHeight;
            for (const QString& l : report.filterLines) {
                pages.last().append(text(y, 0, G::WidthMm, FilterLineHeight, l, left));
                y += FilterLineHeight;
            }
        }
        pages.last().append(line(y));
        pages.last().append(text(y, 2, NameWidth - 2, HeaderHeight, ArchiveText::NameTitle, left, true));
        pages.last().append(
            text(y, NameWidth, G::WidthMm - NameWidth, HeaderHeight, ArchiveText::PointsTitle, centre, true));
        y += HeaderHeight;
        pages.last().append(line(y));
    };
    startPage();
    for (const ArchiveReport::Row& row : report.rows) {
        if (y + RowHeight > bodyEnd)
            startPage();
        pages.last().append(text(y, 2, NameWidth - 2, RowHeight, row.name, left));
        pages.last().append(text(y, NameWidth, G::WidthMm - NameWidth, RowHeight, row.mark, centre));
        y += RowHeight;
    }
    for (qsizetype i = 0; i < pages.size(); ++i)
        pages[i].append(text(bodyEnd, 0, G::WidthMm, FooterHeight, QString::number(i + 1), centre));
    return pages;
}

void PaintArchiveReport(const QList<ReportPage>& pages, QPagedPaintDevice* device)
{
    device->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(G::MarginMm, G::MarginMm, G::MarginMm, G::MarginMm),
                                      QPageLayout::Millimeter));
    QPainter painter(device);
    // Millimetres from the corner inside the margins.
    const double scale = device->logicalDpiX() / 25.4;
    painter.scale(scale, device->logicalDpiY() / 25.4);
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (i > 0)
            device->newPage();
        for (const ReportItem& item : pages[i]) {
            if (item.kind == ReportItem::Line) {
                painter.setPen(QPen(Qt::black, 0.3));
                painter.drawLine(item.mm.topLeft(), item.mm.topRight());
                continue;
            }
            QFont font = painter.font();
            // Point sizes are meant on paper: the millimetre scale would enlarge them.
            font.setPointSizeF(item.pointSize / scale);
            font.setBold(item.bold);
            painter.setFont(font);
            painter.drawText(item.mm, item.alignment, item.text);
        }
    }
}
