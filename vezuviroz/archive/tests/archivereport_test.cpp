#include "appfolder.h"
#include "archivefixture.h"
#include "archivequery.h"
#include "archivereport.h"

#include <QFile>
#include <QPdfWriter>
#include <QRegularExpression>

namespace {

namespace G = ReportGeometry;

QStringList textsOf(const ReportPage& page)
{
    QStringList out;
    for (const ReportItem& item : page)
        if (item.kind == ReportItem::Text)
            out.append(item.text);
    return out;
}

} // namespace

class ArchiveReportTest : public ArchiveFixture
{
protected:
    int klass = addKlass("7А");
    int topic = addTopic("Алгебра");
    ArchiveQuery query{store};
};

TEST_F(ArchiveReportTest, FilterLinesOnlyForTheFiltersThatAreOnAndMarksAsShown)
{
    addResult({.studentId = addStudent("Иванов", klass), .topicId = topic, .points = 12});
    addResult({.studentId = addStudent("Петров", klass), .topicId = topic, .points = -2});
    query.setFilter({});
    ArchiveReport report = BuildArchiveReport(query);
    EXPECT_TRUE(report.filterLines.isEmpty());
    query.setFilter({.klassId = klass, .date = QDate(2024, 3, 5), .topicId = topic});
    report = BuildArchiveReport(query);
    EXPECT_EQ(report.filterLines, (QStringList{"Класс: 7А", "Дата: 05.03.2024", "Тема: Алгебра"}));
    ASSERT_EQ(report.rows.size(), 2);
    EXPECT_EQ(report.rows[1].name, "Петров");
    EXPECT_EQ(report.rows[1].mark, "Зачёт");
    // The report follows the grid's order.
    query.sortBy(ArchiveField::Points);
    EXPECT_EQ(BuildArchiveReport(query).rows[0].name, "Петров");
}

TEST_F(ArchiveReportTest, EmptyReportIsOnePageWithTitleHeaderAndPageNumber)
{
    const QList<ReportPage> pages = LayoutArchiveReport({});
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(textsOf(pages[0]), (QStringList{"Результаты тестирования", "Фамилия", "Оценка", "1"}));
}

TEST_F(ArchiveReportTest, RowsFlowOverPagesEachWithHeaderAndNumberInsideTheMargins)
{
    ArchiveReport report;
    report.filterLines = {"Класс: 7А", "Тема: Алгебра"};
    for (int i = 0; i < 120; ++i)
        report.rows.append({QStringLiteral("Ученик %1").arg(i), QString::number(i % 12 + 1)});
    const QList<ReportPage> pages = LayoutArchiveReport(report);
    ASSERT_GE(pages.size(), 3);
    QStringList names;
    for (qsizetype p = 0; p < pages.size(); ++p) {
        const QStringList texts = textsOf(pages[p]);
        EXPECT_EQ(texts.count("Результаты тестирования"), p == 0 ? 1 : 0);
        EXPECT_EQ(texts.count("Класс: 7А"), p == 0 ? 1 : 0);
        EXPECT_EQ(texts.count("Фамилия"), 1);
        EXPECT_EQ(texts.last(), QString::number(p + 1)); // the page number
        int lines = 0;
        for (const ReportItem& item : pages[p]) {
            lines += item.kind == ReportItem::Line;
            EXPECT_GE(item.mm.top(), 0);
            EXPECT_LE(item.mm.right(), G::WidthMm + 1e-9);
            EXPECT_LE(item.mm.bottom(), G::HeightMm + 1e-9);
        }
        EXPECT_EQ(lines, 2); // the column header framed above and below
        for (const QString& t : texts)
            if (t.startsWith("Ученик "))
                names.append(t);
    }
    ASSERT_EQ(names.size(), 120);
    for (int i = 0; i < 120; ++i)
        EXPECT_EQ(names[i], QStringLiteral("Ученик %1").arg(i));
}

TEST_F(ArchiveReportTest, PrintsToAPdfOfA4PagesOnePerLaidOutPage)
{
    ArchiveReport report;
    for (int i = 0; i < 70; ++i)
        report.rows.append({QStringLiteral("Ученик %1").arg(i), "5"});
    const QList<ReportPage> pages = LayoutArchiveReport(report);
    const QString path = AppFilePath("report.pdf");
    {
        QPdfWriter pdf(path);
        PaintArchiveReport(pages, &pdf);
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    const qsizetype pageObjects = QString::fromLatin1(bytes).count(QRegularExpression("/Type\\s*/Page\\b(?!s)"));
    EXPECT_EQ(pageObjects, pages.size());
    // A4 portrait in points.
    const qsizetype a4Boxes =
        QString::fromLatin1(bytes).count(QRegularExpression("/MediaBox \\[0 0 595(\\.0+)? 842(\\.0+)?\\]"));
    EXPECT_EQ(a4Boxes, pages.size());
}
