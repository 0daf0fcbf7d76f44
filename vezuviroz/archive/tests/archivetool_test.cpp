#include "appfolder.h"
#include "archivefixture.h"
#include "odtreader.h"
#include "xlsxreader.h"

#include <QDir>
#include <QProcess>

namespace {

struct ToolRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// The tool in the Russian locale on this test's program folder.
ToolRun runTool(const QStringList& args)
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LANG", "ru_RU.UTF-8");
    env.insert("LC_ALL", "ru_RU.UTF-8");
    tool.setProcessEnvironment(env);
    tool.start(VASTREL_TOOL, args);
    EXPECT_TRUE(tool.waitForFinished(30000));
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()),
            QString::fromUtf8(tool.readAllStandardError())};
}

} // namespace

class ArchiveToolTest : public ArchiveFixture
{
protected:
    void SetUp() override
    {
        const int a = addKlass("7А");
        const int b = addKlass("7Б");
        const int algebra = addTopic("Алгебра");
        const int history = addTopic("История");
        addResult(
            {.studentId = addStudent("Иванов", a), .topicId = algebra, .points = 12, .percent = 95.25, .pc = "PC1"});
        addResult({.studentId = addStudent("Петров", b), .topicId = history, .points = 5, .percent = 50, .pc = "PC2"});
        addResult({.studentId = addStudent("Сидоров", a),
                   .topicId = algebra,
                   .date = "2024-03-06T09:00:00",
                   .points = -2,
                   .percent = 80,
                   .pc = "Автономно"});
    }
};

TEST_F(ArchiveToolTest, ListsTheFilteredRowsThenTheStatistics)
{
    const ToolRun all = runTool({"archive", "list"});
    ASSERT_EQ(all.exitCode, 0) << all.err.toStdString();
    EXPECT_EQ(all.out, "05.03.2024\tPC1\t7А\tИванов\t12\t95,3\tАлгебра\n"
                       "05.03.2024\tPC2\t7Б\tПетров\t5\t50\tИстория\n"
                       "06.03.2024 09:00\tАвтономно\t7А\tСидоров\tЗачёт\t80\tАлгебра\n"
                       "Записей: 3\n"
                       "Средний балл: 8,5\n"
                       "Высокий уровень: 1 (50,00%)\n"
                       "Достаточный уровень: 0 (0,00%)\n"
                       "Средний уровень: 1 (50,00%)\n"
                       "Начальный уровень: 0 (0,00%)\n"
                       "Зачёт: 1 (100,00%)\n"
                       "Незачёт: 0 (0,00%)\n");

    const ToolRun filtered =
        runTool({"archive", "list", "--class", "7А", "--date", "2024-03-05", "--topic", "Алгебра"});
    ASSERT_EQ(filtered.exitCode, 0) << filtered.err.toStdString();
    EXPECT_TRUE(filtered.out.startsWith("05.03.2024\tPC1\t7А\tИванов\t12\t95,3\tАлгебра\nЗаписей: 1\n"))
        << filtered.out.toStdString();
    EXPECT_FALSE(filtered.out.contains("Зачёт:"));

    const ToolRun student = runTool({"archive", "list", "--student", "Петров"});
    EXPECT_TRUE(student.out.startsWith("05.03.2024\tPC2\t7Б\tПетров\t5\t50\tИстория\nЗаписей: 1\n"));
}

TEST_F(ArchiveToolTest, RefusesBadArguments)
{
    const QStringList bad[] = {{"archive"},
                               {"archive", "show"},
                               {"archive", "list", "--class"},
                               {"archive", "list", "--class", "9Я"},
                               {"archive", "list", "--date", "05.03.2024"},
                               {"archive", "list", "--colour", "red"}};
    for (const QStringList& args : bad) {
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith("vastrel: ")) << run.err.toStdString();
    }
}

TEST_F(ArchiveToolTest, ExportsTheFilteredResultsWithTheChosenFields)
{
    const QString sheetPath = AppFilePath("out/Итоги.xlsx");
    QDir().mkpath(AppFilePath("out"));
    const ToolRun sheet =
        runTool({"export", "results", sheetPath, "--topic", "Алгебра", "--fields", "Оценка, Фамилия"});
    ASSERT_EQ(sheet.exitCode, 0) << sheet.err.toStdString();
    EXPECT_EQ(sheet.out, sheetPath + "\n");
    const XlsxSheet s = ReadXlsxSheet(sheetPath);
    EXPECT_EQ(s.error, "");
    EXPECT_EQ(s.cells.value("B2").text, "Тема: Алгебра         ");
    EXPECT_EQ(s.cells.value("A4").text, "Оценка");
    EXPECT_EQ(s.cells.value("B4").text, "Фамилия");
    EXPECT_FALSE(s.has("C4"));
    EXPECT_EQ(s.cells.value("A5").number, 12);
    EXPECT_EQ(s.cells.value("B5").text, "Иванов");
    EXPECT_EQ(s.cells.value("A6").text, "Зачёт");
    EXPECT_EQ(s.cells.value("B6").text, "Сидоров");
    EXPECT_FALSE(s.has("A7"));

    // The same file again is replaced; a text document has every field when none are given.
    ASSERT_EQ(runTool({"export", "results", sheetPath, "--date", "2024-03-05", "--class", "7Б"}).exitCode, 0);
    const XlsxSheet again = ReadXlsxSheet(sheetPath);
    EXPECT_EQ(again.cells.value("B2").text, "Дата: 05.03.2024         Класс: 7Б         ");
    EXPECT_EQ(again.cells.value("D5").text, "Петров");
    EXPECT_EQ(QDir(AppFilePath("out")).entryList(QDir::Files | QDir::Hidden), QStringList{"Итоги.xlsx"});

    const QString textPath = AppFilePath("out/Итоги.odt");
    ASSERT_EQ(runTool({"export", "results", textPath, "--student", "Сидоров"}).exitCode, 0);
    const OdtDocument o = ReadOdt(textPath);
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.body().value(2).text, "Студент: Сидоров");
    EXPECT_EQ(o.cells(0),
              (QList<QStringList>{{"Дата", "ПК", "Класс", "Фамилия", "Тема", "Оценка", "% правильности"},
                                  {"06.03.2024 09:00", "Автономно", "7А", "Сидоров", "Алгебра", "Зачёт", "80"}}));
}

TEST_F(ArchiveToolTest, ExportRefusesBadArguments)
{
    const QString out = AppFilePath("r.xlsx");
    const QList<QStringList> bad{
        {"export"},
        {"export", "results"},
        {"export", "results", AppFilePath("r.pdf")},
        {"export", "results", out, "--fields", "Фамилия,Рост"},
        {"export", "results", out, "--fields", "Фамилия,Фамилия"},
        {"export", "results", out, "--fields"},
        {"export", "results", out, "--topic", "Химия"},
        {"export", "results", out, out},
        {"export", "results", AppFilePath("нет/r.xlsx")},
        {"export", "questions", AppFilePath("q.odt")},
        {"export", "questions", "--topic", "Алгебра", "--file", "x.vst4", AppFilePath("q.odt")},
        {"export", "questions", "--topic", "Алгебра", AppFilePath("q.odt"), "--zoom", "0"},
        {"export", "questions", "--topic", "Алгебра", AppFilePath("q.odt"), "--zoom", "abc"},
        {"export", "questions", "--topic", "Алгебра", AppFilePath("q.doc")},
        {"export", "questions", "--topic", "999", AppFilePath("q.odt")},
        {"export", "questions", "--file", AppFilePath("нет.vst4"), AppFilePath("q.odt")}};
    for (const QStringList& args : bad) {
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith("vastrel: ")) << run.err.toStdString();
    }
    EXPECT_TRUE(
        QDir(AppFolder()).entryList({"*.xlsx", "*.odt", "*.pdf", ".*.xlsx.*"}, QDir::Files | QDir::Hidden).isEmpty());

    // The topic exists but lists no question.
    const ToolRun empty = runTool({"export", "questions", "--topic", "История", AppFilePath("q.odt")});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_EQ(empty.err, "vastrel: Тема \"История\" не содержит вопросов.\n");
}
