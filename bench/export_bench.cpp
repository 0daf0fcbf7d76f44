// The exports, in the same run:
//   - 10,000 archive results to a spreadsheet (.xlsx) through the results export, against a bare
//     libxlsxwriter loop that writes the same cells with the same formats from ready-made C strings;
//   - a 500-question topic with a picture to each question (320 x 240) and to two of its answers
//     (96 x 64) to a text document (.odt) with the pictures, reported as time per question.
#include "appfolder.h"
#include "benchstats.h"
#include "gradingfixture.h"
#include "questionlist.h"
#include "resultsexport.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <string>
#include <vector>
#include <xlsxwriter.h>

namespace {

constexpr int Results = 10000;
constexpr int Questions = 500;
constexpr int Rounds = 5;
constexpr int ListRounds = 3;

ResultsDocument sampleResults()
{
    ResultsDocument d;
    d.fields = AllResultFields();
    d.filters.date = QStringLiteral("10.12.2026");
    static const char* const names[] = {"Антонова", "Борисов", "Васильева", "Григорьев", "Дмитриева", "Егоров"};
    for (int i = 0; i < Results; ++i) {
        ResultRecord r;
        r.date = QDateTime(QDate(2026, 1, 1).addDays(i % 300), QTime(8 + i % 8, i % 60));
        r.dateText = r.date.toString(QStringLiteral("dd.MM.yyyy HH:mm"));
        r.pcName = QStringLiteral("PC%1").arg(i % 30 + 1);
        r.klass = QStringLiteral("%1А").arg(5 + i % 7);
        r.name = QString::fromUtf8(names[i % 6]) + QString::number(i);
        r.topic = QStringLiteral("Тема %1").arg(i % 40);
        r.points = i % 13 == 0 ? -2 : 1 + i % 12;
        r.pointsText = r.points == -2 ? QStringLiteral("Зачёт") : QString::number(r.points);
        r.percent = (i * 37 % 1000) / 10.0;
        r.percentText = QString::number(r.percent);
        d.records.append(r);
    }
    return d;
}

double timeIt(const std::function<void()>& work)
{
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e6;
}

// The cells of the bare loop, made before it is timed.
struct BareRow
{
    lxw_datetime date;
    std::string pc, klass, name, topic, pointsText;
    int points;
    double percent;
};

std::vector<BareRow> bareRows(const ResultsDocument& d)
{
    std::vector<BareRow> rows;
    rows.reserve(d.records.size());
    for (const ResultRecord& r : d.records) {
        rows.push_back({{r.date.date().year(), r.date.date().month(), r.date.date().day(), r.date.time().hour(),
                         r.date.time().minute(), 0},
                        r.pcName.toStdString(),
                        r.klass.toStdString(),
                        r.name.toStdString(),
                        r.topic.toStdString(),
                        r.pointsText.toStdString(),
                        r.points,
                        r.percent});
    }
    return rows;
}

// The same cells as the export, written straight: the strings are UTF-8 already.
void bareSheet(const char* path, std::vector<BareRow>& rows)
{
    lxw_workbook* book = workbook_new(path);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    const auto format = [book](double size, bool bold) {
        lxw_format* f = workbook_add_format(book);
        format_set_font_size(f, size);
        if (bold)
            format_set_bold(f);
        return f;
    };
    worksheet_write_string(sheet, 0, 2, "Результаты тестирования", format(12, true));
    worksheet_write_string(sheet, 1, 1, "Дата: 10.12.2026         ", format(10, true));
    lxw_format* header = format(10, true);
    format_set_align(header, LXW_ALIGN_CENTER);
    format_set_align(header, LXW_ALIGN_VERTICAL_CENTER);
    format_set_text_wrap(header);
    format_set_border(header, LXW_BORDER_THIN);
    worksheet_set_row(sheet, 3, 40, nullptr);
    const char* captions[] = {"Дата", "ПК", "Класс", "Фамилия", "Тема", "Оценка", "% правильности"};
    const double widths[] = {18, 10, 10, 25, 25, 8, 14};
    for (lxw_col_t c = 0; c < 7; ++c) {
        worksheet_set_column(sheet, c, c, widths[c], nullptr);
        worksheet_write_string(sheet, 3, c, captions[c], header);
    }
    lxw_format* text = format(10, false);
    format_set_border(text, LXW_BORDER_THIN);
    lxw_format* number = format(10, false);
    format_set_border(number, LXW_BORDER_THIN);
    lxw_format* moment = format(10, false);
    format_set_border(moment, LXW_BORDER_THIN);
    format_set_num_format(moment, "dd.mm.yyyy hh:mm:ss");
    lxw_row_t r = 4;
    for (BareRow& row : rows) {
        worksheet_write_datetime(sheet, r, 0, &row.date, moment);
        worksheet_write_string(sheet, r, 1, row.pc.c_str(), text);
        worksheet_write_string(sheet, r, 2, row.klass.c_str(), text);
        worksheet_write_string(sheet, r, 3, row.name.c_str(), text);
        worksheet_write_string(sheet, r, 4, row.topic.c_str(), text);
        if (row.points < 0)
            worksheet_write_string(sheet, r, 5, row.pointsText.c_str(), text);
        else
            worksheet_write_number(sheet, r, 5, row.points, number);
        worksheet_write_number(sheet, r, 6, row.percent, number);
        ++r;
    }
    workbook_close(book);
}

// A picture that packs about as badly as a photograph: a gradient with noise on it.
QByteArray bitmap(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 noise = quint32(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = int(noise >> 28);
            image.setPixel(x, y, qRgb((x + n) % 256, (y + n) % 256, (x + y + n) % 256));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

Table sampleTopic()
{
    Table table = fixture::questionTable();
    const QByteArray big = bitmap(320, 240, 1);
    const QByteArray small = bitmap(96, 64, 2);
    for (int i = 0; i < Questions; ++i) {
        const int row = fixture::addQuestion(table, {.id = i + 1,
                                                     .answers = {"первый", "второй", "третий", "четвёртый"},
                                                     .correct = QString::number(1 + i % 4)});
        table.setValue(row, "Question", QStringLiteral("Вопрос номер %1: что изображено на рисунке?").arg(i + 1));
        table.setValue(row, "QuePict", big);
        table.setValue(row, "Pict1", small);
        table.setValue(row, "Pict2", small);
    }
    return table;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = AppFolder() + u'/';
    const ResultsDocument results = sampleResults();
    const QString ours = folder + QStringLiteral("ours.xlsx");
    const QByteArray bare = QFile::encodeName(folder + QStringLiteral("bare.xlsx"));
    std::vector<BareRow> rows = bareRows(results);

    std::vector<double> exportMs;
    std::vector<double> bareMs;
    for (int round = 0; round < Rounds; ++round) {
        exportMs.push_back(timeIt([&] { WriteResultsSheet(ours, results); }));
        bareMs.push_back(timeIt([&] { bareSheet(bare.constData(), rows); }));
    }
    const double e = Median(exportMs);
    const double b = Median(bareMs);
    std::printf("results to .xlsx, %d rows: export %.1f ms, bare libxlsxwriter loop %.1f ms, ratio %.2f "
                "(target <= 1.5; medians of %d rounds)\n",
                Results, e, b, e / b, Rounds);
    std::printf("  files: %lld and %lld bytes\n", QFileInfo(ours).size(), QFileInfo(QFile::decodeName(bare)).size());

    const Table topic = sampleTopic();
    QuestionListOptions options;
    options.showRights = true;
    options.pictures = true;
    std::vector<double> listMs;
    std::vector<double> buildMs;
    for (int round = 0; round < ListRounds; ++round) {
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        double built = 0;
        listMs.push_back(timeIt([&] {
            QuestionListBuilder builder(QStringLiteral("Рисунки"), topic, options);
            built = timeIt([&] {
                while (!builder.atEnd())
                    builder.step();
            });
            builder.write(folder + QStringLiteral("list.odt"));
        }));
        buildMs.push_back(built);
    }
    const double l = Median(listMs);
    std::printf("question list to .odt, %d questions with 3 pictures each: %.1f ms in all, %.2f ms per question "
                "(building %.2f ms per question, writing the rest; medians of %d rounds); file %lld bytes\n",
                Questions, l, l / Questions, Median(buildMs) / Questions, ListRounds,
                QFileInfo(folder + QStringLiteral("list.odt")).size());
    return 0;
}
