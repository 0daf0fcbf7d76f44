#include "appfolder.h"
#include "archive.h"
#include "archivefixture.h"
#include "gradingfixture.h"
#include "messagerecorder.h"
#include "resultfile.h"
#include "savedwork.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSqlQuery>

namespace {

// Choice question 1 (answer 1 right of two) and open question 2 ("Москва"), price 1 each.
Table workQuestions()
{
    Table t = fixture::questionTable();
    fixture::addQuestion(t, {.id = 1, .type = 0, .price = 1, .answers = {"да", "нет"}, .correct = "1"});
    fixture::addQuestion(t, {.id = 2, .type = 1, .price = 3, .answers = {"Москва"}});
    return t;
}

const QString TwelvePoint = fixture::criteria(12, true, {100, 90, 80, 70, 60, 50, 40, 30, 20, 10, 5, 0});
const QString PassFail = fixture::criteria(1, true, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 50});

} // namespace

class SavedWorkTest : public ArchiveFixture
{
protected:
    TSharedDM shared{&dm};
    SavedWork viewer{&shared};
    int topic = addTopic("География");
    const QDateTime savedAt{QDate(2024, 3, 5), QTime(10, 20, 30)};
    QString folder = AppFilePath("incoming");

    QString writeWork(ResultWork work)
    {
        QDir().mkpath(folder);
        const QString path = WriteResultFile(work, folder + "/", savedAt);
        EXPECT_FALSE(path.isEmpty());
        return path;
    }
    ResultWork work(const QString& answers, const QString& criteria = TwelvePoint)
    {
        ResultWork w;
        w.questions = workQuestions();
        w.studentName = "Иванов";
        w.topicId = topic;
        w.maxTime = 20;
        w.timeRemain = 300;
        w.answerList = answers;
        w.criteriaList = criteria;
        return w;
    }
    void addBankQuestion(int id, int type, int price, const QString& ans1, const QString& ans2, bool ok1, bool ok2)
    {
        insert("INSERT INTO Questions (QueID, TopicID, QueType, Price, Ans1, Ans2, OK1, OK2) VALUES (:id, :t, :qt, :p, "
               ":a1, :a2, :o1, :o2)",
               {{"id", id},
                {"t", topic},
                {"qt", type},
                {"p", price},
                {"a1", ans1},
                {"a2", ans2},
                {"o1", ok1},
                {"o2", ok2}});
    }
};

TEST_F(SavedWorkTest, MissingFileIsToldAndNothingElse)
{
    MessageRecorder messages;
    EXPECT_EQ(viewer.OpenResultFile(folder + "/нет.rslt4"), SavedWork::Opened::FileMissing);
    EXPECT_EQ(messages.texts, QStringList{"Файл \"" + folder + "/нет.rslt4\" не найден."});
    EXPECT_EQ(viewer.questionCount(), 0);
}

TEST_F(SavedWorkTest, AFileWithoutAQuestionSetClosesTheViewerSilently)
{
    QDir().mkpath(folder);
    const QString member = folder + "/addittional.dat";
    QFile f(member);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Common]\r\nStudentName=X\r\n");
    f.close();
    TZLibCompression().CompressFiles({member}, folder + "/bare.rslt4");
    MessageRecorder messages;
    EXPECT_EQ(viewer.OpenResultFile(folder + "/bare.rslt4"), SavedWork::Opened::NoQuestionSet);
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(SavedWorkTest, OpensAWorkGradedWithTheFilesCriteria)
{
    const QString path = writeWork(work("1=1\r\n2=***\r\n"));
    ASSERT_EQ(viewer.OpenResultFile(path), SavedWork::Opened::Shown);
    EXPECT_EQ(viewer.studentName(), "Иванов");
    EXPECT_EQ(viewer.topicName(), "География");
    EXPECT_EQ(viewer.savedAt(), savedAt);
    EXPECT_TRUE(viewer.showsTimeGauge());
    EXPECT_EQ(viewer.timeRemain(), 300);
    EXPECT_EQ(viewer.percentText(), "25,0%"); // price 1 of 4 right
    EXPECT_EQ(viewer.mark(), 4);              // 25 % reaches Na4 = 20 on this scale
    EXPECT_TRUE(viewer.canStore());
    EXPECT_FALSE(viewer.isStored());
    EXPECT_FALSE(viewer.bankDiffers());
    EXPECT_EQ(viewer.windowTitle(), "Просмотр сохранённой работы студента Иванов          [Вопрос 1 из 2]");
    // The unpacked members are gone.
    EXPECT_TRUE(QDir(AppFilePath("Temp")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(SavedWorkTest, WithoutATimeLimitThereIsNoTimeGaugeAndAnUnknownTopicReadsUnknown)
{
    ResultWork w = work("1=1\r\n");
    w.maxTime = 0;
    w.timeRemain = 0;
    w.topicId = 4242;
    ASSERT_EQ(viewer.OpenResultFile(writeWork(w)), SavedWork::Opened::Shown);
    EXPECT_FALSE(viewer.showsTimeGauge());
    EXPECT_EQ(viewer.topicName(), "Неизвестно");
}

TEST_F(SavedWorkTest, SavedInDbPrefixMeansStored)
{
    const QString path = writeWork(work("1=1\r\n"));
    const QString renamed = QFileInfo(path).dir().filePath("SavedInDB_" + QFileInfo(path).fileName());
    ASSERT_TRUE(QFile::rename(path, renamed));
    ASSERT_EQ(viewer.OpenResultFile(renamed), SavedWork::Opened::Shown);
    EXPECT_TRUE(viewer.isStored());
    EXPECT_FALSE(viewer.canStore());
    EXPECT_FALSE(viewer.Store(1));
}

TEST_F(SavedWorkTest, StoringWritesTheSavingTimeAndAutonomousAndRenamesTheFile)
{
    const int student = addStudent("Иванов", addKlass("7А"));
    const QString path = writeWork(work("1=1\r\n2=Москва\r\n"));
    const QString copy = folder + "/copy.rslt4";
    ASSERT_TRUE(QFile::copy(path, copy));
    ASSERT_EQ(viewer.OpenResultFile(path), SavedWork::Opened::Shown);
    QSignalSpy stored(&viewer, &SavedWork::workStored);
    QSignalSpy told(&StoredWorkNotice::instance(), &StoredWorkNotice::workStored);
    EXPECT_FALSE(viewer.Store(0)); // no student chosen: abandoned silently
    EXPECT_EQ(resultCount(), 0);
    ASSERT_TRUE(viewer.Store(student));
    EXPECT_EQ(stored.count(), 1);
    EXPECT_EQ(told.count(), 1);
    QSqlQuery q(store->database());
    ASSERT_TRUE(q.exec("SELECT Date, StudentID, TopicID, PcName, RightsPercent, Points, RoutChecked, TimeRemain "
                       "FROM Results") &&
                q.next());
    EXPECT_EQ(q.value(0).toString(), "2024-03-05T10:20:30");
    EXPECT_EQ(q.value(1).toInt(), student);
    EXPECT_EQ(q.value(2).toInt(), topic);
    EXPECT_EQ(q.value(3).toString(), "Автономно");
    EXPECT_DOUBLE_EQ(q.value(4).toDouble(), 100);
    EXPECT_EQ(q.value(5).toInt(), 12);
    EXPECT_EQ(q.value(6).toString(), "1=1\r\n2=Москва\r\n");
    EXPECT_EQ(q.value(7).toInt(), 300);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_TRUE(viewer.filePath().endsWith("/SavedInDB_" + QFileInfo(path).fileName()));
    EXPECT_TRUE(QFileInfo::exists(viewer.filePath()));
    EXPECT_TRUE(viewer.isStored());
    EXPECT_FALSE(viewer.Store(student));

    // Another copy of the same work is recognised by its saving time and refused.
    ASSERT_EQ(viewer.OpenResultFile(copy), SavedWork::Opened::Shown);
    EXPECT_TRUE(viewer.isStored());
    EXPECT_FALSE(viewer.Store(student));
    EXPECT_EQ(resultCount(), 1);
}

TEST_F(SavedWorkTest, AWorkStoredWhileTheViewerWasOpenIsRefusedAtStoring)
{
    const int student = addStudent("Иванов", addKlass("7А"));
    const QString path = writeWork(work("1=1\r\n"));
    ASSERT_EQ(viewer.OpenResultFile(path), SavedWork::Opened::Shown);
    addResult({.studentId = student, .topicId = topic, .date = "2024-03-05T10:20:30", .points = 12});
    MessageRecorder messages;
    EXPECT_FALSE(viewer.Store(student));
    EXPECT_EQ(messages.texts, QStringList{"Эта работа уже сохранена в общей базе данных."});
    EXPECT_EQ(resultCount(), 1);
    EXPECT_TRUE(viewer.isStored());
    EXPECT_TRUE(QFileInfo::exists(path));
}

TEST_F(SavedWorkTest, PassFailMarksAreStoredAsMinusTwoAndMinusOne)
{
    const int student = addStudent("Иванов", addKlass("7А"));
    struct Case
    {
        QString answers;
        int mark;
        QString text;
    } cases[] = {{"1=1\r\n2=Москва\r\n", -2, "Зачёт"}, {"1=2\r\n2=***\r\n", -1, "Незачёт"}};
    for (const Case& c : cases) {
        ASSERT_EQ(viewer.OpenResultFile(writeWork(work(c.answers, PassFail))), SavedWork::Opened::Shown);
        EXPECT_EQ(viewer.mark(), c.mark);
        EXPECT_EQ(viewer.markText(), c.text);
        QSqlQuery(store->database()).exec("DELETE FROM Results");
    }
    ASSERT_TRUE(viewer.Store(student));
    QSqlQuery q(store->database());
    ASSERT_TRUE(q.exec("SELECT Points FROM Results") && q.next());
    EXPECT_EQ(q.value(0).toInt(), -1);
}

TEST_F(SavedWorkTest, WithoutCriteriaInTheFileTheTopicsSettingsGiveTheScale)
{
    shared.settings().EnsureSettingsRow(topic);
    ASSERT_TRUE(shared.settings().locateTopic(topic));
    TestSettings s = shared.settings().ReadSettingsRow();
    s.MaxPointSystem = 1;
    s.setNa(1, 50);
    shared.settings().WriteSettingsRow(s);
    ASSERT_EQ(viewer.OpenResultFile(writeWork(work("1=1\r\n2=Москва\r\n", ""))), SavedWork::Opened::Shown);
    EXPECT_EQ(viewer.markText(), "Зачёт");
}

TEST_F(SavedWorkTest, AnEditedFileIsGradedByTheBankAndSaysSo)
{
    // The bank: answer 1 is right. The file's copy was edited to make answer 2 right, the one ticked.
    addBankQuestion(1, 0, 1, "да", "нет", true, false);
    ResultWork w = work("1=2\r\n2=Москва\r\n");
    w.questions.setValue(0, "OK1", false);
    w.questions.setValue(0, "OK2", true);
    const int student = addStudent("Иванов", addKlass("7А"));
    ASSERT_EQ(viewer.OpenResultFile(writeWork(w)), SavedWork::Opened::Shown);
    EXPECT_TRUE(viewer.bankDiffers());
    // Question 1 is wrong by the bank; question 2 is missing from the bank and graded from the file.
    EXPECT_EQ(viewer.percentText(), "75,0%");
    EXPECT_TRUE(viewer.question(0).answers[0].right);
    EXPECT_FALSE(viewer.question(0).answers[1].right);
    ASSERT_TRUE(viewer.Store(student));
    QSqlQuery q(store->database());
    ASSERT_TRUE(q.exec("SELECT RightsPercent FROM Results") && q.next());
    EXPECT_DOUBLE_EQ(q.value(0).toDouble(), 75);

    // A raised price counts as an edit too; an unchanged copy does not.
    struct Case
    {
        const char* column;
        QVariant value;
        bool differs;
    } cases[] = {{"Price", 5, true}, {"Ans1", "ДА", true}, {"Question", "другой текст", false}, {"Ans1", "да", false}};
    for (const Case& c : cases) {
        ResultWork edited = work("1=1\r\n");
        edited.questions.setValue(0, c.column, c.value);
        ASSERT_EQ(viewer.OpenResultFile(writeWork(edited)), SavedWork::Opened::Shown);
        EXPECT_EQ(viewer.bankDiffers(), c.differs) << c.column;
    }
}

TEST_F(SavedWorkTest, QuestionViewByKind)
{
    Table t = fixture::questionTable();
    fixture::addQuestion(t, {.id = 1, .type = 0, .answers = {"a", "b", "c"}, .correct = "13"});
    fixture::addQuestion(t, {.id = 2, .type = 1, .answers = {"Москва", "", "москва", "Moscow"}});
    fixture::addQuestion(t, {.id = 3, .type = 2, .answers = {"1", "2", "3"}});
    fixture::addQuestion(t, {.id = 4, .type = 3, .answers = {"a", "b", "c", "d", "A", "B", "C", "D"}});
    ResultWork w = work("1=12\r\n2=***\r\n3=132\r\n4=12346587\r\n99=1\r\n");
    w.questions = t;
    ASSERT_EQ(viewer.OpenResultFile(writeWork(w)), SavedWork::Opened::Shown);
    ASSERT_EQ(viewer.questionCount(), 5);

    const SavedQuestion choice = viewer.question(0);
    ASSERT_TRUE(choice.found);
    EXPECT_TRUE(choice.answers[0].ticked && choice.answers[0].right);
    EXPECT_TRUE(choice.answers[1].ticked && !choice.answers[1].right);
    EXPECT_TRUE(!choice.answers[2].ticked && choice.answers[2].right);
    EXPECT_FALSE(choice.answers[3].present);
    EXPECT_DOUBLE_EQ(choice.priceShare, 25);

    const SavedQuestion open = viewer.question(1);
    EXPECT_EQ(open.queType, 1);
    EXPECT_EQ(open.typedAnswer, ""); // "***" is an empty answer
    EXPECT_EQ(open.rightAnswer, "Москва");
    EXPECT_EQ(open.variants, (QStringList{"москва", "Moscow"}));
    EXPECT_DOUBLE_EQ(open.correctness, 0);

    const SavedQuestion order = viewer.question(2);
    QStringList placed;
    QList<bool> right;
    for (int k = 0; k < 3; ++k) {
        placed.append(order.answers[k].placed);
        right.append(order.answers[k].highlighted);
    }
    EXPECT_EQ(placed, (QStringList{"1", "3", "2"}));
    EXPECT_EQ(right, (QList<bool>{true, false, false}));

    // Rows 1..4 hold 6, 5, 8, 7: no row holds its own partner (i + 4); each right item names its row.
    const SavedQuestion match = viewer.question(3);
    EXPECT_EQ(match.answers[4].placed, "2"); // answer 5 sits in row 2
    EXPECT_EQ(match.answers[5].placed, "1");
    EXPECT_EQ(match.answers[6].placed, "4");
    EXPECT_EQ(match.answers[7].placed, "3");
    for (int k = 0; k < 4; ++k)
        EXPECT_FALSE(match.answers[k].highlighted) << k;

    EXPECT_FALSE(viewer.question(4).found);
    viewer.setPosition(4);
    EXPECT_FALSE(viewer.canGoForward());
    EXPECT_TRUE(viewer.canGoBack());
}

TEST_F(SavedWorkTest, StoredWorkOfAnArchiveRow)
{
    MessageRecorder messages;
    EXPECT_FALSE(viewer.ShowStoredWork(topic, 0, "", "География", "Петров"));
    EXPECT_EQ(messages.texts, QStringList{"Для этой записи нет сохранённой работы."});

    addBankQuestion(1, 0, 1, "да", "нет", true, false);
    addBankQuestion(2, 0, 1, "да", "нет", false, true);
    ASSERT_TRUE(viewer.ShowStoredWork(topic, 120, "1=1\r\n2=1\r\n", "География", "Петров"));
    EXPECT_EQ(viewer.questionCount(), 2);
    EXPECT_EQ(viewer.percentText(), "50,0%");
    EXPECT_TRUE(viewer.isStored());
    EXPECT_FALSE(viewer.canStore());
    EXPECT_TRUE(viewer.showsTimeGauge()); // the topic's settings row, made sure of, has a time limit
    EXPECT_TRUE(shared.settings().locateTopic(topic));
    EXPECT_EQ(viewer.caption(), "Просмотр сохранённой работы студента Петров");
}

TEST_F(SavedWorkTest, OddAnswerLinesShowAsMissingQuestionsAndGradeNothing)
{
    ResultWork w = work("без равенства\r\n=\r\n1\r\n99999999999=1\r\n-1=2\r\n2=" + QString(5000, u'я') + "\r\n");
    ASSERT_EQ(viewer.OpenResultFile(writeWork(w)), SavedWork::Opened::Shown);
    ASSERT_EQ(viewer.questionCount(), 6);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(viewer.question(k).found, k == 2) << k; // "1" alone is question 1 without an answer
    EXPECT_TRUE(viewer.question(5).found);
    EXPECT_FALSE(viewer.question(6).found); // past the end
    EXPECT_FALSE(viewer.question(-1).found);
    EXPECT_EQ(viewer.percentText(), "0,0%");
}
