#include "archivefixture.h"
#include "archivemodel.h"
#include "archivequery.h"
#include "archivestatistics.h"
#include "messagerecorder.h"

#include <QAbstractItemModelTester>

namespace {

QStringList names(const ArchiveQuery& q)
{
    QStringList out;
    for (int i = 0; i < q.rowCount(); ++i)
        out.append(q.name(i));
    return out;
}

ArchiveStatistics statisticsOf(std::initializer_list<int> points)
{
    ArchiveStatistics s;
    for (int p : points)
        s.add(p);
    return s;
}

} // namespace

TEST(ArchiveSql, EachFilterPartGoesInItsPlaceAndAnOffPartIsEmpty)
{
    const QString base = QStringLiteral("SELECT * FROM Results, Students WHERE Results.StudentID= Students.StudentID");
    struct Case
    {
        ArchiveFilter filter;
        QString tail;
    } cases[] = {
        {{}, "    "},
        {{.klassId = 3}, " AND KlassID=3   "},
        {{.studentId = 7}, "   AND Results.StudentID=7 "},
        {{.date = QDate(2024, 3, 5)}, "  AND Date LIKE \"05.03.2024%\"  "},
        {{.topicId = 9}, "    AND TopicID=9"},
        {{3, 7, QDate(2024, 12, 31), 9},
         " AND KlassID=3 AND Date LIKE \"31.12.2024%\" AND Results.StudentID=7 AND TopicID=9"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildArchiveSql(c.filter), base + c.tail);
}

TEST(ArchiveTexts, MarkAndPercentAsTheReportAndGridShowThem)
{
    const std::pair<int, QString> marks[] = {{-2, "Зачёт"}, {-1, "Незачёт"}, {0, "0"}, {12, "12"}, {100, "100"}};
    for (const auto& [points, text] : marks)
        EXPECT_EQ(PointsText(points), text) << points;
    const std::pair<double, QString> percents[] = {{85, "85"},     {85.25, "85,3"}, {0, "0"},         {99.94, "99,9"},
                                                   {99.96, "100"}, {0.04, "0"},     {33.333, "33,3"}, {100, "100"}};
    for (const auto& [percent, text] : percents)
        EXPECT_EQ(PercentText(percent), text) << percent;
}

TEST(ArchiveStatisticsTest, TwelveFiveAndPass)
{
    const ArchiveStatistics s = statisticsOf({12, 5, -2});
    EXPECT_EQ(s.records, 3);
    EXPECT_EQ(s.averageText(), "8,5");
    EXPECT_EQ(s.highText(), "1 (50,00%)");
    EXPECT_EQ(s.sufficientText(), "0 (0,00%)");
    EXPECT_EQ(s.mediumText(), "1 (50,00%)");
    EXPECT_EQ(s.initialText(), "0 (0,00%)");
    ASSERT_TRUE(s.showsPassFail());
    EXPECT_EQ(s.passText(), "1 (100,00%)");
    EXPECT_EQ(s.failText(), "0 (0,00%)");
}

TEST(ArchiveStatisticsTest, PassFailOnlyShowsZeroLevelsAndSharesOfTheUnmarked)
{
    const ArchiveStatistics s = statisticsOf({-2, -2, -1});
    EXPECT_EQ(s.records, 3);
    for (const QString& t : {s.averageText(), s.highText(), s.sufficientText(), s.mediumText(), s.initialText()})
        EXPECT_EQ(t, "0");
    EXPECT_EQ(s.passText(), "2 (66,67%)");
    EXPECT_EQ(s.failText(), "1 (33,33%)");
    // A row without a mark counts among the unmarked, so the two shares no longer make 100 %.
    const ArchiveStatistics withZero = statisticsOf({-2, -1, 0, 0});
    EXPECT_EQ(withZero.passText(), "1 (25,00%)");
    EXPECT_EQ(withZero.failText(), "1 (25,00%)");
}

TEST(ArchiveStatisticsTest, NoRowsAndNoUnmarkedRows)
{
    const ArchiveStatistics empty;
    EXPECT_EQ(empty.records, 0);
    EXPECT_EQ(empty.averageText(), "0");
    EXPECT_EQ(empty.highText(), "0");
    EXPECT_FALSE(empty.showsPassFail());
    EXPECT_EQ(empty.lines().size(), 6);

    const ArchiveStatistics marked = statisticsOf({1, 3, 4, 7, 9, 10});
    EXPECT_FALSE(marked.showsPassFail());
    EXPECT_EQ(marked.lines().size(), 6);
    EXPECT_EQ(marked.initialText(), "2 (33,33%)");
    EXPECT_EQ(marked.sufficientText(), "2 (33,33%)");
    const std::pair<std::initializer_list<int>, QString> averages[] = {
        {{12, 11, 10}, "11"}, {{7, 8}, "7,5"}, {{1, 2, 2}, "1,67"}, {{85, 86, 90}, "87"}, {{100, 99}, "99,5"}};
    for (const auto& [points, text] : averages)
        EXPECT_EQ(statisticsOf(points).averageText(), text);
    // Marks of the 100-point scale above 12 count in the average but in no level.
    const ArchiveStatistics hundred = statisticsOf({50, 12});
    EXPECT_EQ(hundred.highText(), "1 (50,00%)");
    EXPECT_EQ(hundred.averageText(), "31");
}

class ArchiveQueryTest : public ArchiveFixture
{
protected:
    int klass7a = addKlass("7А");
    int klass7b = addKlass("7Б");
    int ivanov = addStudent("Иванов", klass7a);
    int petrov = addStudent("Петров", klass7b);
    int sidorov = addStudent("Сидоров", klass7a);
    int algebra = addTopic("Алгебра");
    int history = addTopic("История");
    ArchiveQuery query{store};
};

TEST_F(ArchiveQueryTest, AllFiltersOffListsEveryResultThatHasAStudent)
{
    addResult({.studentId = ivanov, .topicId = algebra, .points = 12, .percent = 95});
    addResult({.studentId = petrov, .topicId = history, .date = "2023-01-02T10:00:00", .points = 5});
    addResult({.studentId = 999, .topicId = algebra, .points = 7});  // the student row is gone
    addResult({.studentId = sidorov, .topicId = 555, .points = -2}); // the topic is gone
    query.setFilter({});
    EXPECT_EQ(names(query), (QStringList{"Иванов", "Петров", "Сидоров"}));
    EXPECT_EQ(query.klass(0), "7А");
    EXPECT_EQ(query.klass(1), "7Б");
    EXPECT_EQ(query.topic(0), "Алгебра");
    EXPECT_EQ(query.topic(2), "");
    EXPECT_EQ(query.statistics().records, 3);
    EXPECT_EQ(query.statistics().averageText(), "8,5");
}

TEST_F(ArchiveQueryTest, DateFilterTakesTheWholeCalendarDayInEveryStoredForm)
{
    const char* dates[] = {"2024-03-04T23:59:59", "2024-03-05T00:00:00",     "2024-03-05T23:59:59",
                           "2024-03-05 12:30:00", "2024-03-05T08:00:00.250", "2024-03-06T00:00:00"};
    QStringList expected;
    int n = 0;
    for (const char* d : dates) {
        const QString name = QStringLiteral("r%1").arg(n++);
        addResult({.studentId = addStudent(name, klass7a), .date = d});
        if (QString(d).startsWith("2024-03-05"))
            expected.append(name);
    }
    query.setFilter({.date = QDate(2024, 3, 5)});
    EXPECT_EQ(names(query), expected);
    query.setFilter({.date = QDate(2024, 3, 7)});
    EXPECT_EQ(query.rowCount(), 0);
}

TEST_F(ArchiveQueryTest, ClassStudentAndTopicFiltersCombine)
{
    addResult({.studentId = ivanov, .topicId = algebra, .points = 10});
    addResult({.studentId = ivanov, .topicId = history, .points = 9});
    addResult({.studentId = petrov, .topicId = algebra, .points = 8});
    addResult({.studentId = sidorov, .topicId = algebra, .points = 7});
    struct Case
    {
        ArchiveFilter filter;
        QList<int> points;
    } cases[] = {
        {{.klassId = klass7a}, {10, 9, 7}},
        {{.klassId = klass7b}, {8}},
        {{.studentId = ivanov}, {10, 9}},
        {{.topicId = algebra}, {10, 8, 7}},
        {{.klassId = klass7a, .topicId = algebra}, {10, 7}},
        {{.klassId = klass7a, .studentId = ivanov, .date = QDate(2024, 3, 5), .topicId = history}, {9}},
        {{.klassId = klass7b, .studentId = ivanov}, {}},
    };
    for (const Case& c : cases) {
        query.setFilter(c.filter);
        QList<int> points;
        for (int i = 0; i < query.rowCount(); ++i)
            points.append(query.points(i));
        EXPECT_EQ(points, c.points) << BuildArchiveSql(c.filter).toStdString();
        EXPECT_EQ(query.statistics().records, c.points.size());
    }
}

TEST_F(ArchiveQueryTest, SecondClickReversesAnotherColumnSortsAscending)
{
    addResult({.studentId = petrov, .topicId = algebra, .points = 5, .percent = 50});
    addResult({.studentId = ivanov, .topicId = history, .points = 12, .percent = 100});
    addResult({.studentId = sidorov, .topicId = algebra, .points = -2, .percent = 75});
    query.setFilter({});
    query.sortBy(ArchiveField::Name);
    EXPECT_EQ(names(query), (QStringList{"Иванов", "Петров", "Сидоров"}));
    query.sortBy(ArchiveField::Name);
    EXPECT_TRUE(query.isDescending());
    EXPECT_EQ(names(query), (QStringList{"Сидоров", "Петров", "Иванов"}));
    query.sortBy(ArchiveField::Points);
    EXPECT_FALSE(query.isDescending());
    EXPECT_EQ(names(query), (QStringList{"Сидоров", "Петров", "Иванов"}));
    query.sortBy(ArchiveField::RightsPercent);
    EXPECT_EQ(names(query), (QStringList{"Петров", "Сидоров", "Иванов"}));
    query.sortBy(ArchiveField::Topic);
    EXPECT_EQ(names(query), (QStringList{"Петров", "Сидоров", "Иванов"})); // equal topics keep their order
    query.sortBy(ArchiveField::Topic);
    EXPECT_EQ(names(query), (QStringList{"Иванов", "Петров", "Сидоров"}));
    query.sortBy(ArchiveField::Topic);
    EXPECT_FALSE(query.isDescending());
    // The order holds over a re-read.
    query.reread();
    EXPECT_EQ(names(query), (QStringList{"Петров", "Сидоров", "Иванов"}));
}

TEST_F(ArchiveQueryTest, DeletionAsksWithTheNameAndOnYesRemovesTheRowAndRecounts)
{
    addResult({.studentId = ivanov, .points = 12});
    addResult({.studentId = petrov, .points = 5});
    query.setFilter({});
    {
        MessageRecorder no({MsgResult::No});
        EXPECT_FALSE(query.deleteRow(1));
        EXPECT_EQ(no.texts, QStringList{"Удалить запись \"Петров\" ?"});
    }
    EXPECT_EQ(resultCount(), 2);
    MessageRecorder yes({MsgResult::Yes});
    EXPECT_TRUE(query.deleteRow(1));
    EXPECT_EQ(resultCount(), 1);
    EXPECT_EQ(names(query), QStringList{"Иванов"});
    EXPECT_EQ(query.statistics().averageText(), "12");
    EXPECT_FALSE(query.deleteRow(5));
}

TEST_F(ArchiveQueryTest, ModelShowsTheFieldsInGridOrderAndSortsThroughTheQuery)
{
    addResult({.studentId = petrov,
               .topicId = algebra,
               .date = "2024-03-05T14:05:00",
               .points = -2,
               .percent = 66.66,
               .pc = "PC7"});
    addResult({.studentId = ivanov, .topicId = history, .points = 11, .percent = 91});
    query.setFilter({});
    ArchiveModel model(&query);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QStringList titles;
    for (int c = 0; c < model.columnCount(); ++c)
        titles.append(model.headerData(c, Qt::Horizontal).toString());
    EXPECT_EQ(titles, (QStringList{"Дата", "ПК", "Класс", "Фамилия", "Оценка", "% правильности", "Тема"}));
    QStringList row;
    for (int c = 0; c < model.columnCount(); ++c)
        row.append(model.index(0, c).data().toString());
    EXPECT_EQ(row, (QStringList{"05.03.2024 14:05", "PC7", "7Б", "Петров", "Зачёт", "66,7", "Алгебра"}));
    EXPECT_EQ(model.index(1, 0).data().toString(), "05.03.2024");
    EXPECT_EQ(model.index(0, 4).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    model.sort(3);
    EXPECT_EQ(model.index(0, 3).data().toString(), "Иванов");
    query.setFilter({.klassId = klass7b});
    EXPECT_EQ(model.rowCount(), 1);
}
