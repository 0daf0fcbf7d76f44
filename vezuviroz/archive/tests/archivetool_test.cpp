#include "archivefixture.h"

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
