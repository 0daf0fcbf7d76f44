#include "adtg.h"
#include "apperror.h"
#include "appfolder.h"
#include "archive.h"
#include "codec.h"
#include "gradingfixture.h"
#include "resultfile.h"
#include "runlog.h"
#include "testhome.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

const QDateTime Saved(QDate(2026, 12, 10), QTime(9, 5, 3, 42));

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A worked set of the eight-answer format: a choice answered right, an open answer, an ordering.
ResultWork sampleWork(bool withCriteria = true)
{
    ResultWork w;
    w.questions = fixture::questionTable();
    fixture::addQuestion(w.questions, {.id = 31,
                                       .type = 0,
                                       .price = 2,
                                       .answers = {"да", "нет"},
                                       .correct = "1",
                                       .ticked = "1",
                                       .rslt = "1",
                                       .howMixed = "12345678"});
    fixture::addQuestion(
        w.questions, {.id = 32, .type = 1, .price = 1, .answers = {"Париж"}, .rslt = "Лондон", .howMixed = "12345678"});
    fixture::addQuestion(
        w.questions,
        {.id = 33, .type = 2, .price = 1, .answers = {"a", "b", "c", "d"}, .rslt = "21345678", .howMixed = "12345678"});
    w.studentName = QStringLiteral("Иванова Мария");
    w.topicId = 7;
    w.maxTime = 20;
    w.timeRemain = 75;
    w.answerList = QStringLiteral("31=1\r\n32=Лондон\r\n33=21345678\r\n");
    if (withCriteria)
        w.criteriaList = fixture::criteria(5, true, {101, 101, 101, 101, 101, 101, 101, 90, 75, 50, 30, 60});
    return w;
}

QStringList savedWorks()
{
    return QDir(AppFilePath("SavedWorks")).entryList(QDir::Files | QDir::Hidden);
}

// Runs the tool in the Russian locale, as the users' machines are set up.
void runTool(QProcess& tool, const QStringList& args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LANG", "ru_RU.UTF-8");
    env.insert("LC_ALL", "ru_RU.UTF-8");
    tool.setProcessEnvironment(env);
    tool.start(VASTREL_TOOL, args);
}

QStringList entryNames(const QString& archive)
{
    QStringList names;
    for (const TZLibEntry& e : TZLibCompression().ListFiles(archive))
        names.append(e.name);
    return names;
}

} // namespace

TEST(ResultFile, RoundTripThroughWriterAndReader)
{
    for (const bool withCriteria : {true, false}) {
        SCOPED_TRACE(withCriteria ? "with criteria" : "without criteria");
        const ResultWork work = sampleWork(withCriteria);
        const QString path = WriteResultFile(work, {}, Saved);
        ASSERT_FALSE(path.isEmpty());
        EXPECT_EQ(QFileInfo(path).fileName(),
                  withCriteria ? "Local-101226-09050342.rslt4" : "Local-101226-09050342-2.rslt4");
        EXPECT_EQ(QFileInfo(path).absolutePath(), QDir(AppFilePath("SavedWorks")).absolutePath());
        const QStringList members{"7.top", "addittional.dat", "RoutChecked.list", "Criteria.list"};
        EXPECT_EQ(entryNames(path), withCriteria ? members : members.mid(0, 3));

        const ResultFileContents read = ReadResultFile(path);
        // The values come back; the TableGram may declare a column wider than ours.
        ASSERT_EQ(read.work.questions.columnCount(), work.questions.columnCount());
        for (int c = 0; c < work.questions.columnCount(); ++c) {
            EXPECT_EQ(read.work.questions.column(c).name, work.questions.column(c).name);
            EXPECT_EQ(read.work.questions.column(c).type, work.questions.column(c).type);
        }
        ASSERT_EQ(read.work.questions.rowCount(), work.questions.rowCount());
        for (int r = 0; r < work.questions.rowCount(); ++r)
            EXPECT_EQ(read.work.questions.row(r), work.questions.row(r)) << r;
        EXPECT_EQ(read.work.studentName, work.studentName);
        EXPECT_EQ(read.work.topicId, 7);
        EXPECT_EQ(read.work.maxTime, 20);
        EXPECT_EQ(read.work.timeRemain, 75);
        EXPECT_EQ(read.work.answerList, work.answerList);
        EXPECT_EQ(read.work.criteriaList, work.criteriaList);
        EXPECT_EQ(read.hasCriteria, withCriteria);
        EXPECT_TRUE(read.work.eightAnswerFormat);
        EXPECT_EQ(read.savedAt, QDateTime(Saved.date(), QTime(9, 5, 3)));
    }
    // Nothing of the members stays behind.
    EXPECT_TRUE(QDir(AppFilePath("Temp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    EXPECT_EQ(savedWorks().size(), 2);
}

TEST(ResultFile, MatchesAFileBuiltMemberByMember)
{
    const ResultWork work = sampleWork();
    const QString written = WriteResultFile(work, testPath("out"), Saved);
    ASSERT_EQ(QFileInfo(written).fileName(), "101226-09050342.rslt4");

    // The layout: the set as a TableGram, then the texts in Windows-1251 with CR LF lines.
    QDir().mkpath(testPath("members"));
    const auto member = [](const char* name) { return testPath(QStringLiteral("members/") + name); };
    WriteAdtgFile(work.questions, member("7.top"));
    writeFile(member("addittional.dat"),
              toCp1251(QStringLiteral("[Common]\r\nStudentName=Иванова Мария\r\n\r\n"
                                      "[Settings]\r\nTopicID=7\r\nDateTime=10.12.2026 9:05:03\r\n"
                                      "MaxTime=20\r\nTimeRemain=75\r\n")));
    writeFile(member("RoutChecked.list"), toCp1251(QStringLiteral("31=1\r\n32=Лондон\r\n33=21345678\r\n")));
    writeFile(member("Criteria.list"), work.criteriaList.toLatin1());
    TZLibCompression().CompressFiles(
        {member("7.top"), member("addittional.dat"), member("RoutChecked.list"), member("Criteria.list")},
        testPath("built.rslt4"));
    EXPECT_EQ(fileBytes(written), fileBytes(testPath("built.rslt4")));
}

TEST(ResultFile, SevenAnswerFormatAndListsWithoutFinalLineEnd)
{
    ResultWork work = sampleWork(false);
    work.questions = fixture::questionTable(true);
    fixture::addQuestion(work.questions, {.id = 5, .answers = {"a", "b"}, .correct = "2", .ticked = "2"});
    work.eightAnswerFormat = false;
    work.answerList = QStringLiteral("5=2"); // the last line gets its CR LF
    work.maxTime = 0;
    work.timeRemain = 0;
    const QString path = WriteResultFile(work, {}, QDateTime(QDate(2026, 1, 2), QTime(0, 0)));
    ASSERT_TRUE(path.endsWith("Local-020126-0000000.rslt")) << path.toStdString();
    const ResultFileContents read = ReadResultFile(path);
    EXPECT_FALSE(read.work.eightAnswerFormat);
    EXPECT_EQ(read.work.answerList, QStringLiteral("5=2\r\n"));
    EXPECT_EQ(read.work.maxTime, 0);
    EXPECT_EQ(read.savedAt, QDateTime(QDate(2026, 1, 2), QTime(0, 0)));
}

TEST(ResultFile, SavingTimeAsTheWindowsProgramsWriteIt)
{
    EXPECT_EQ(FormatSavingTime(QDateTime(QDate(2026, 3, 4), QTime(9, 5, 3))), "04.03.2026 9:05:03");
    EXPECT_EQ(FormatSavingTime(QDateTime(QDate(2026, 3, 4), QTime(23, 0, 0))), "04.03.2026 23:00:00");
    EXPECT_EQ(FormatSavingTime(QDateTime(QDate(2026, 3, 4), QTime(0, 0))), "04.03.2026");
    const struct
    {
        const char* text;
        QDateTime expected;
    } cases[] = {
        {"04.03.2026 9:05:03", QDateTime(QDate(2026, 3, 4), QTime(9, 5, 3))},
        {"04.03.2026 09:05:03", QDateTime(QDate(2026, 3, 4), QTime(9, 5, 3))},
        {" 04.03.2026 ", QDateTime(QDate(2026, 3, 4), QTime(0, 0))},
        {"04.03.2026 25:00:00", QDateTime()},
        {"2026-03-04", QDateTime()},
        {"", QDateTime()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseSavingTime(c.text), c.expected) << c.text;
}

TEST(ResultFile, NeverReplacesAnExistingFile)
{
    const ResultWork work = sampleWork();
    QStringList paths;
    for (int i = 0; i < 3; ++i)
        paths.append(WriteResultFile(work, {}, Saved)); // three saves in one millisecond
    EXPECT_EQ(QFileInfo(paths[0]).fileName(), "Local-101226-09050342.rslt4");
    EXPECT_EQ(QFileInfo(paths[1]).fileName(), "Local-101226-09050342-2.rslt4");
    EXPECT_EQ(QFileInfo(paths[2]).fileName(), "Local-101226-09050342-3.rslt4");
    EXPECT_EQ(savedWorks().size(), 3);
}

TEST(ResultFile, AFailedSaveLeavesNothingAndIsLogged)
{
    // The target folder cannot be made: a file stands where it should be.
    writeFile(testPath("blocked"), "x");
    RunLog::clear();
    EXPECT_TRUE(WriteResultFile(sampleWork(), testPath("blocked/sub"), Saved).isEmpty());
    EXPECT_TRUE(RunLog::lines().join('\n').contains("Unable to save work to file"));
    // A set that cannot be written as a TableGram (a text wider than its column).
    ResultWork tooWide = sampleWork();
    tooWide.questions.setValue(0, QStringLiteral("Ans1"), QString(300, u'я'));
    EXPECT_TRUE(WriteResultFile(tooWide, {}, Saved).isEmpty());
    EXPECT_TRUE(savedWorks().isEmpty());
    EXPECT_TRUE(QDir(AppFilePath("Temp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

TEST(ResultFile, DamagedAndForeignFilesSayWhy)
{
    const QString good = WriteResultFile(sampleWork(), testPath("good"), Saved);
    const QByteArray bytes = fileBytes(good);
    // A question file: a ".top" member and its settings, no work.
    const QString top = testPath("Алгебра.top");
    WriteAdtgFile(sampleWork().questions, top);
    writeFile(testPath("Алгебра.set"), "[Fields]\r\nMaxTime=20\r\n");
    TZLibCompression().CompressFiles({top, testPath("Алгебра.set")}, testPath("question.vst4"));
    // Members with damaged values.
    const auto rebuilt = [&](const char* name, const char* additional) {
        QDir().mkpath(testPath("m"));
        TZLibCompression().DecompressFiles(good, testPath("m"));
        writeFile(testPath("m/addittional.dat"), toCp1251(QString::fromUtf8(additional)));
        const QString path = testPath(name);
        TZLibCompression().CompressFiles(
            {testPath("m/7.top"), testPath("m/addittional.dat"), testPath("m/RoutChecked.list")}, path);
        return path;
    };
    const QString badTopic =
        rebuilt("topic.rslt4", "[Settings]\r\nTopicID=семь\r\nDateTime=10.12.2026\r\nMaxTime=0\r\nTimeRemain=0\r\n");
    const QString badDate =
        rebuilt("date.rslt4", "[Settings]\r\nTopicID=7\r\nDateTime=вчера\r\nMaxTime=0\r\nTimeRemain=0\r\n");
    const QString noName =
        rebuilt("noname.rslt4", "[Settings]\r\nTopicID=7\r\nDateTime=10.12.2026\r\nMaxTime=0\r\nTimeRemain=0\r\n");
    // A question set whose reader quotes bytes with a line break among them.
    QFile::remove(testPath("m/7.top"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VASTREL_TEST_DATA "/line-break-in-message.top"), testPath("m/7.top")));
    TZLibCompression().CompressFiles(
        {testPath("m/7.top"), testPath("m/addittional.dat"), testPath("m/RoutChecked.list")}, testPath("quoted.rslt4"));
    writeFile(testPath("cut.rslt4"), bytes.left(bytes.size() / 2));
    writeFile(testPath("text.rslt4"), "Это не архив");

    const struct
    {
        QString path;
        const char* says;
    } cases[] = {
        {testPath("missing.rslt4"), "не найден"},
        {testPath("text.rslt4"), ""},
        {testPath("cut.rslt4"), ""},
        {testPath("question.vst4"), "addittional.dat"},
        {testPath("quoted.rslt4"), "ADTG"},
        {badTopic, "TopicID"},
        {badDate, "вчера"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        try {
            ReadResultFile(c.path);
            ADD_FAILURE() << "read";
        } catch (const AppError& e) {
            EXPECT_FALSE(e.message().isEmpty());
            EXPECT_FALSE(e.message().contains(u'\n'));
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.says))) << e.message().toStdString();
        }
    }
    EXPECT_EQ(ReadResultFile(noName).work.studentName, QStringLiteral("Неизвестно"));
}

TEST(ResultFile, ToolShowsTheGradedWork)
{
    const QString path = WriteResultFile(sampleWork(), {}, Saved);
    QProcess tool;
    runTool(tool, {"result", "show", path});
    ASSERT_TRUE(tool.waitForFinished());
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    // Choice right (2 × 100), open wrong, ordering half right with partial credit: 300 of 400.
    EXPECT_EQ(QString::fromUtf8(tool.readAllStandardOutput()),
              QStringLiteral("Student=Иванова Мария\nTopicID=7\nSaved=10.12.2026 9:05:03\nMaxTime=20\nTimeRemain=75\n"
                             "31=1=200,00\n32=Лондон=0,00\n33=21345678=50,00\nPercent=62,5\nMark=3\n"));

    writeFile(testPath("damaged.rslt4"), "PK\x03\x04");
    QProcess bad;
    runTool(bad, {"result", "show", testPath("damaged.rslt4")});
    ASSERT_TRUE(bad.waitForFinished());
    EXPECT_EQ(bad.exitCode(), 1);
    const QString err = QString::fromUtf8(bad.readAllStandardError());
    EXPECT_TRUE(err.startsWith("vastrel: ")) << err.toStdString();
    EXPECT_EQ(err.count(u'\n'), 1);
    EXPECT_TRUE(bad.readAllStandardOutput().isEmpty());
}
