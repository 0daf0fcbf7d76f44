#include "odtreader.h"
#include "resultsexport.h"
#include "xlsxreader.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

ResultRecord record(const QString& name, int points, const QString& pointsText, double percent,
                    const QDateTime& date = QDateTime(QDate(2026, 12, 10), QTime(9, 30)))
{
    ResultRecord r;
    r.date = date;
    r.dateText = date.toString(date.time() == QTime(0, 0) ? "dd.MM.yyyy" : "dd.MM.yyyy HH:mm");
    r.pcName = "PC-07";
    r.klass = "7А";
    r.name = name;
    r.topic = "Алгебра";
    r.points = points;
    r.pointsText = pointsText;
    r.percent = percent;
    r.percentText = QString::number(percent, 'f', 1);
    return r;
}

class ResultsExportTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString folder = dir.path() + u'/';
    ResultsDocument document{AllResultFields(),
                             {record("Иванов", 12, "12", 95.44), record("Петров", -2, "Зачёт", 66.666),
                              record("Сидоров", -1, "Незачёт", 20, QDateTime(QDate(2026, 12, 9), QTime(0, 0)))},
                             {}};

    XlsxSheet sheet(const ResultsDocument& d)
    {
        const QString path = ExportResultsToFolder(folder, ResultsFormat::Sheet, d);
        XlsxSheet s = ReadXlsxSheet(path);
        EXPECT_EQ(s.error, "");
        QFile::remove(path);
        return s;
    }
    OdtDocument text(const ResultsDocument& d)
    {
        const QString path = ExportResultsToFolder(folder, ResultsFormat::Text, d);
        OdtDocument o = ReadOdt(path);
        EXPECT_EQ(o.error, "");
        QFile::remove(path);
        return o;
    }
};

} // namespace

TEST(ResultsFields, CaptionsAndOrderAndFilterDescription)
{
    QStringList captions;
    for (ResultField f : AllResultFields())
        captions << ResultFieldCaption(f);
    EXPECT_EQ(captions, QStringList({"Дата", "ПК", "Класс", "Фамилия", "Тема", "Оценка", "% правильности"}));
    ResultField found{};
    ASSERT_TRUE(ResultFieldByCaption("Оценка", &found));
    EXPECT_EQ(found, ResultField::Points);
    EXPECT_FALSE(ResultFieldByCaption("оценка", &found));

    EXPECT_EQ(FilterDescription({}), "");
    EXPECT_EQ(FilterDescription({.date = "10.12.2026", .topic = "Алгебра", .klass = "7А", .student = "Иванов"}),
              "Дата: 10.12.2026\rТема: Алгебра\rКласс: 7А\rСтудент: Иванов\r");
    EXPECT_EQ(FilterDescription({.klass = "7А"}), "Класс: 7А\r");
}

TEST_F(ResultsExportTest, SheetHasTheTitleHeaderRowAndTypedValues)
{
    const XlsxSheet s = sheet(document);
    EXPECT_EQ(s.cells.value("C1").text, "Результаты тестирования");
    EXPECT_EQ(s.styleOf("C1").fontSize, 12);
    EXPECT_TRUE(s.styleOf("C1").bold);
    EXPECT_FALSE(s.styleOf("C1").italic);

    const QStringList columns{"A", "B", "C", "D", "E", "F", "G"};
    const QStringList captions{"Дата", "ПК", "Класс", "Фамилия", "Тема", "Оценка", "% правильности"};
    const QList<double> widths{18, 10, 10, 25, 25, 8, 14};
    for (int c = 0; c < columns.size(); ++c) {
        const QString cell = columns[c] + "4";
        EXPECT_EQ(s.cells.value(cell).text, captions[c]);
        const XlsxStyle& st = s.styleOf(cell);
        EXPECT_EQ(st.fontSize, 10) << cell.toStdString();
        EXPECT_TRUE(st.bold) << cell.toStdString();
        EXPECT_EQ(st.horizontal, "center") << cell.toStdString();
        EXPECT_EQ(st.vertical, "center") << cell.toStdString();
        EXPECT_TRUE(st.wrap) << cell.toStdString();
        EXPECT_TRUE(st.bordered) << cell.toStdString();
        // The column width is half the display width (the file keeps Excel's padded width).
        EXPECT_NEAR(s.columnWidths.value(c + 1), widths[c], 0.72) << cell.toStdString();
        for (int row = 5; row <= 7; ++row)
            EXPECT_TRUE(s.styleOf(columns[c] + QString::number(row)).bordered) << columns[c].toStdString() << row;
    }
    EXPECT_GE(s.columnWidths.value(4), s.columnWidths.value(1)); // grows with the display width
    EXPECT_EQ(s.rowHeights.value(4), 40);
    EXPECT_FALSE(s.has("A8"));
    EXPECT_FALSE(s.has("H4"));

    // A date is a date: a serial number with a date format, the time kept when there is one.
    const XlsxCell date = s.cells.value("A5");
    EXPECT_TRUE(date.isNumber);
    EXPECT_NEAR(date.number, 46366 + 9.5 / 24, 1e-6); // 10.12.2026 09:30
    EXPECT_EQ(s.styleOf("A5").numberFormat, "dd.mm.yyyy hh:mm:ss");
    EXPECT_EQ(s.cells.value("A7").number, 46365); // 09.12.2026, midnight
    EXPECT_EQ(s.styleOf("A7").numberFormat, "dd.mm.yyyy");
    EXPECT_TRUE(s.cells.value("B5").isString);
    EXPECT_EQ(s.cells.value("D6").text, "Петров");

    // Marks: a number as a number, pass and fail as their words.
    EXPECT_TRUE(s.cells.value("F5").isNumber);
    EXPECT_EQ(s.cells.value("F5").number, 12);
    EXPECT_TRUE(s.cells.value("F6").isString);
    EXPECT_EQ(s.cells.value("F6").text, "Зачёт");
    EXPECT_EQ(s.cells.value("F7").text, "Незачёт");
    // The percentage as the archive shows it, at most one decimal.
    EXPECT_TRUE(s.cells.value("G6").isNumber);
    EXPECT_DOUBLE_EQ(s.cells.value("G6").number, 66.7);
    EXPECT_DOUBLE_EQ(s.cells.value("G5").number, 95.4);
    EXPECT_DOUBLE_EQ(s.cells.value("G7").number, 20);
}

TEST_F(ResultsExportTest, OnlyTheTickedFieldsInTheirOrder)
{
    document.fields = {ResultField::Points, ResultField::Name}; // "Оценка" moved above "Фамилия"
    const XlsxSheet s = sheet(document);
    EXPECT_EQ(s.cells.value("A4").text, "Оценка");
    EXPECT_EQ(s.cells.value("B4").text, "Фамилия");
    EXPECT_FALSE(s.has("C4"));
    EXPECT_EQ(s.cells.value("A5").number, 12);
    EXPECT_EQ(s.cells.value("B5").text, "Иванов");
    EXPECT_EQ(s.cells.value("A6").text, "Зачёт");
    EXPECT_NEAR(s.columnWidths.value(1), 8, 0.72);
    EXPECT_NEAR(s.columnWidths.value(2), 25, 0.72);

    const OdtDocument o = text(document);
    ASSERT_EQ(o.tables.size(), 1);
    EXPECT_EQ(o.cells(0), (QList<QStringList>{
                              {"Оценка", "Фамилия"}, {"12", "Иванов"}, {"Зачёт", "Петров"}, {"Незачёт", "Сидоров"}}));
    ASSERT_EQ(o.tables[0].columnWidths.size(), 2);
    EXPECT_LT(o.tables[0].columnWidths[0], o.tables[0].columnWidths[1]);
}

TEST_F(ResultsExportTest, FiltersGoIntoB2AndTheFilterParagraphs)
{
    {
        const XlsxSheet s = sheet(document); // no filter: B2 holds nothing
        EXPECT_FALSE(s.cells.value("B2").isString);
        EXPECT_EQ(s.cells.value("B2").text, "");
        const OdtDocument o = text(document);
        const QList<OdtParagraph> body = o.body();
        ASSERT_GE(body.size(), 4);
        EXPECT_EQ(body[2].text, "");
    }
    document.filters = {.date = "10.12.2026", .topic = "Алгебра"};
    const XlsxSheet s = sheet(document);
    EXPECT_EQ(s.cells.value("B2").text, "Дата: 10.12.2026         Тема: Алгебра         ");
    EXPECT_EQ(s.styleOf("B2").fontSize, 10);
    EXPECT_TRUE(s.styleOf("B2").bold);
    EXPECT_FALSE(s.styleOf("B2").italic);

    const OdtDocument o = text(document);
    const QList<OdtParagraph> body = o.body();
    ASSERT_GE(body.size(), 5);
    EXPECT_EQ(body[0].text, "Результаты тестирования");
    EXPECT_TRUE(body[0].centred);
    EXPECT_TRUE(body[0].bold);
    EXPECT_EQ(body[0].pointSize, 14);
    EXPECT_EQ(body[1].text, "");
    EXPECT_EQ(body[2].text, "Дата: 10.12.2026");
    EXPECT_EQ(body[3].text, "Тема: Алгебра");
    for (int i : {2, 3}) { // centred under the title
        EXPECT_TRUE(body[i].bold);
        EXPECT_FALSE(body[i].italic);
        EXPECT_TRUE(body[i].centred);
        EXPECT_EQ(body[i].pointSize, 12);
    }
    EXPECT_EQ(body[4].text, "");
}

TEST_F(ResultsExportTest, TextTableHasBoldCentredCaptionsAndPlainRows)
{
    const OdtDocument o = text(document);
    ASSERT_EQ(o.tables.size(), 1);
    const QList<QStringList> cells = o.cells(0);
    ASSERT_EQ(cells.size(), 4);
    EXPECT_EQ(cells[0], QStringList({"Дата", "ПК", "Класс", "Фамилия", "Тема", "Оценка", "% правильности"}));
    EXPECT_EQ(cells[1], QStringList({"10.12.2026 09:30", "PC-07", "7А", "Иванов", "Алгебра", "12", "95.4"}));
    EXPECT_EQ(cells[3][0], "09.12.2026");
    for (const OdtParagraph& p : o.paragraphs) {
        if (p.table != 0)
            continue;
        EXPECT_EQ(p.bold, p.row == 0) << p.text.toStdString();
        EXPECT_EQ(p.centred, p.row == 0) << p.text.toStdString();
        EXPECT_FALSE(p.italic);
        EXPECT_EQ(p.pointSize, 12) << p.text.toStdString();
    }
    // Widths grow with the display widths: Фамилия and Тема widest, Оценка narrowest.
    const QList<double> w = o.tables[0].columnWidths;
    ASSERT_EQ(w.size(), 7);
    EXPECT_EQ(w[3], w[4]);
    EXPECT_GT(w[3], w[0]);
    EXPECT_GT(w[0], w[6]);
    EXPECT_GT(w[6], w[1]);
    EXPECT_GT(w[1], w[5]);
}

TEST_F(ResultsExportTest, AnEmptySelectionStillHasTheHeaderRow)
{
    document.records.clear();
    const XlsxSheet s = sheet(document);
    EXPECT_EQ(s.cells.value("A4").text, "Дата");
    EXPECT_EQ(s.cells.value("G4").text, "% правильности");
    EXPECT_TRUE(s.styleOf("G4").bordered);
    EXPECT_FALSE(s.has("A5"));

    const OdtDocument o = text(document);
    ASSERT_EQ(o.tables.size(), 1);
    const QList<QStringList> cells = o.cells(0);
    ASSERT_EQ(cells.size(), 2);
    EXPECT_EQ(cells[0][0], "Дата");
    EXPECT_EQ(cells[1], QStringList(7, " "));
}

TEST_F(ResultsExportTest, ASecondExportGetsTheNextNumber)
{
    for (ResultsFormat format : {ResultsFormat::Sheet, ResultsFormat::Text}) {
        const QString extension = format == ResultsFormat::Sheet ? ".xlsx" : ".odt";
        EXPECT_EQ(ExportResultsToFolder(folder, format, document), folder + "Результаты тестирования" + extension);
        EXPECT_EQ(ExportResultsToFolder(folder, format, document), folder + "Результаты тестирования (1)" + extension);
        EXPECT_EQ(ExportResultsToFolder(folder, format, document), folder + "Результаты тестирования (2)" + extension);
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 6); // no temporary file stays
    EXPECT_EQ(ReadXlsxSheet(folder + "Результаты тестирования (1).xlsx").cells.value("D5").text, "Иванов");
}

TEST_F(ResultsExportTest, AnUnwritableFolderGivesAnErrorAndNoFile)
{
    EXPECT_THROW(ExportResultsToFolder(folder + "нет/", ResultsFormat::Sheet, document), std::exception);
    EXPECT_THROW(ExportResultsToFolder(folder + "нет/", ResultsFormat::Text, document), std::exception);
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
}
