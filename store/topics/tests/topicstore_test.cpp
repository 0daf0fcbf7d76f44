#include "adtg.h"
#include "apperror.h"
#include "appfolder.h"
#include "archive.h"
#include "codec.h"
#include "datamodules.h"
#include "dataset.h"
#include "messagerecorder.h"
#include "runlog.h"
#include "sqltexts.h"
#include "testhome.h"
#include "testsettings.h"
#include "topicstore.h"
#include "utf8text.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

// Scribant's two data modules on a fresh bank, with the topic services over them.
class Bank
{
public:
    Bank() : dm(StoreProgram::Scribant), shared(&dm), store(&shared) {}

    StoreConnection* connection() { return dm.ADOConnection(); }

    // A topic row as an older bank has it: no list, maybe no parent.
    int addTopic(const QString& name, const QVariant& parent = 0, const QVariant& queIds = QVariant())
    {
        Dataset topics(connection(), "t", Utf8Text(Sql::AllTopics));
        topics.open();
        topics.append();
        topics.setValue("TopicName", name);
        topics.setValue("ParentID", parent);
        topics.setValue("QueIDs", queIds);
        topics.post();
        return topics.value("TopicID").toInt();
    }

    int addQuestion(const QString& text, const QVariant& topicMark = 0, const QVariant& links = QVariant(),
                    const QVariant& queType = QVariant())
    {
        Dataset questions(connection(), "q", Utf8Text(Sql::AllQuestions) + " WHERE FALSE");
        questions.open();
        questions.append();
        questions.setValue("Question", text);
        questions.setValue("TopicID", topicMark);
        questions.setValue("LinksCount", links);
        questions.setValue("QueType", queType);
        questions.post();
        return questions.value("QueID").toInt();
    }

    QVariant topicValue(int topicId, const QString& column)
    {
        Dataset topics(connection(), "t", Utf8Text(Sql::AllTopics));
        topics.open();
        return topics.locate("TopicID", topicId) ? topics.value(column) : QVariant();
    }

    QVariant questionValue(int queId, const QString& column)
    {
        Dataset questions(connection(), "q", Utf8Text(Sql::AllQuestions));
        questions.open();
        return questions.locate("QueID", queId) ? questions.value(column) : QVariant();
    }

    int count(const char* sql)
    {
        Dataset d(connection(), "c", Utf8Text(sql));
        d.open();
        return d.recordCount();
    }

    void setList(int topicId, const QList<int>& ids)
    {
        Dataset topics(connection(), "t", Utf8Text(Sql::AllTopics));
        topics.open();
        ASSERT_TRUE(topics.locate("TopicID", topicId));
        topics.edit();
        QStringList text;
        for (int id : ids)
            text << QString::number(id);
        topics.setValue("QueIDs", TopicStore::QueIdText(text));
        topics.post();
    }

    QStringList list(int topicId) { return TopicStore::QueIdLines(topicValue(topicId, "QueIDs").toString()); }

    TDM dm;
    TSharedDM shared;
    TopicStore store;
};

QStringList ids(const QList<int>& values)
{
    QStringList out;
    for (int v : values)
        out << QString::number(v);
    return out;
}

QByteArray bmpBytes(QRgb colour)
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// An import file as the other programs write it: Windows-1251, CR LF.
void writeLines(const QString& path, const QStringList& lines)
{
    writeFile(path, toCp1251(lines.join("\r\n") + "\r\n"));
}

QStringList workFolderEntries()
{
    return QDir(AppFilePath("Temp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
}

} // namespace

TEST(TopicStore, PrepareStoreBuildsListsFromWorkingMarksOfAnOldBank)
{
    Bank bank;
    const int physics = bank.addTopic("Физика", QVariant());
    const int chemistry = bank.addTopic("Химия", 0);
    const int emptyTopic = bank.addTopic("Пустая", QVariant());
    const int p1 = bank.addQuestion("p1", physics);
    const int c1 = bank.addQuestion("c1", chemistry, 4, 2);
    const int p2 = bank.addQuestion("p2", physics);
    const int loose = bank.addQuestion("loose", 0);

    bank.store.PrepareStore();

    const int holding = bank.shared.NoTopicID();
    ASSERT_NE(holding, 0);
    EXPECT_EQ(bank.topicValue(holding, "TopicName").toString(), Utf8Text("Вопросы без темы"));
    EXPECT_EQ(bank.topicValue(holding, "ParentID").toInt(), 0);
    for (int topic : {physics, chemistry, emptyTopic}) {
        EXPECT_TRUE(bank.topicValue(topic, "ParentID").isValid());
        EXPECT_EQ(bank.topicValue(topic, "ParentID").toInt(), 0);
    }
    EXPECT_EQ(bank.list(physics), ids({p1, p2}));
    EXPECT_EQ(bank.topicValue(physics, "QueIDs").toString(), QString("%1\r\n%2\r\n").arg(p1).arg(p2));
    EXPECT_EQ(bank.list(chemistry), ids({c1}));
    EXPECT_EQ(bank.list(emptyTopic), QStringList());
    EXPECT_EQ(bank.list(holding), QStringList());
    EXPECT_EQ(bank.questionValue(p1, "LinksCount").toInt(), 1);
    EXPECT_EQ(bank.questionValue(c1, "LinksCount").toInt(), 5);
    EXPECT_FALSE(bank.questionValue(loose, "LinksCount").isValid());
    EXPECT_EQ(bank.questionValue(c1, "QueType").toInt(), 2);
    EXPECT_TRUE(bank.questionValue(p1, "QueType").isValid());
    EXPECT_EQ(bank.questionValue(p1, "QueType").toInt(), 0);

    // The holding topic owns the one Default row.
    Dataset settings(bank.connection(), "s", Utf8Text(Sql::Settings));
    settings.open();
    ASSERT_TRUE(settings.locate("Default", true));
    EXPECT_EQ(settings.value("TopicID").toInt(), holding);

    // A second start finds every list built and the holding topic there: nothing changes.
    bank.store.PrepareStore();
    EXPECT_EQ(bank.shared.NoTopicID(), holding);
    EXPECT_EQ(bank.questionValue(p1, "LinksCount").toInt(), 1);
    EXPECT_EQ(bank.list(physics), ids({p1, p2}));
    EXPECT_EQ(bank.count(Sql::AllTopics), 4);
}

// The preparation runs in one transaction: stopped half-way (here by the store refusing one row,
// as a full disk or a crash would stop it), the bank is as it was and the next start does it all.
TEST(TopicStore, PrepareStoreStoppedHalfWayLeavesTheBankAsItWas)
{
    Bank bank;
    const int physics = bank.addTopic("Физика", QVariant());
    const int p1 = bank.addQuestion("p1", physics);
    const int p2 = bank.addQuestion("p2", physics);
    const int loose = bank.addQuestion("loose", 0);
    {
        QSqlQuery trigger(bank.connection()->database());
        ASSERT_TRUE(trigger.exec(QString("CREATE TRIGGER refuse BEFORE UPDATE OF LinksCount ON Questions "
                                         "WHEN OLD.QueID=%1 BEGIN SELECT RAISE(ABORT, 'refused'); END")
                                     .arg(p2)));
    }
    const int noTopicBefore = bank.shared.NoTopicID();
    EXPECT_THROW(bank.store.PrepareStore(), AppError);

    EXPECT_EQ(bank.shared.NoTopicID(), noTopicBefore);
    EXPECT_EQ(bank.count(Sql::AllTopics), 1); // no holding topic
    EXPECT_FALSE(bank.topicValue(physics, "ParentID").isValid());
    EXPECT_FALSE(bank.topicValue(physics, "QueIDs").isValid());
    EXPECT_FALSE(bank.questionValue(p1, "LinksCount").isValid()); // linked before p2 was refused
    EXPECT_FALSE(bank.questionValue(loose, "QueType").isValid());
    EXPECT_EQ(bank.count(Sql::Settings), 0);
    // The shared datasets show the bank as it is, not the rows the failed run had written.
    EXPECT_EQ(bank.shared.sqlTopics->recordCount(), 1);
    EXPECT_EQ(bank.shared.sqlSettings->recordCount(), 0);

    {
        QSqlQuery drop(bank.connection()->database());
        ASSERT_TRUE(drop.exec("DROP TRIGGER refuse"));
    }
    bank.store.PrepareStore();
    EXPECT_NE(bank.shared.NoTopicID(), 0);
    EXPECT_EQ(bank.list(physics), ids({p1, p2}));
    EXPECT_EQ(bank.questionValue(p1, "LinksCount").toInt(), 1);
    EXPECT_EQ(bank.questionValue(p2, "LinksCount").toInt(), 1);
    EXPECT_EQ(bank.count(Sql::Settings), 1);
}

// Two stores open in one process (a test, a tool) each know their own holding topic: preparing
// the second leaves the first's id alone, and the first's orphans go to its own holding topic.
TEST(TopicStore, EachSharedModuleKeepsItsOwnHoldingTopic)
{
    Bank first;
    first.addTopic(Utf8Text("Раньше"), 0, "");
    const int orphan = first.addQuestion("orphan", 0, 1);
    const int topic = first.addTopic(Utf8Text("Тема"), 0, QString::number(orphan) + "\r\n");
    first.store.PrepareStore();
    const int firstHolding = first.shared.NoTopicID();
    ASSERT_GT(firstHolding, 1);

    const QByteArray home = qgetenv("VASTREL_HOME");
    qputenv("VASTREL_HOME", testPath("second").toUtf8());
    {
        Bank second;
        EXPECT_EQ(second.shared.NoTopicID(), 0); // not prepared yet
        second.store.PrepareStore();
        EXPECT_EQ(second.shared.NoTopicID(), 1);
        EXPECT_EQ(first.shared.NoTopicID(), firstHolding);

        Dataset questions(first.connection(), "q", Utf8Text(Sql::AllQuestions));
        first.store.ChangeTopicLinks(questions, topic, false);
        EXPECT_EQ(first.list(firstHolding), ids({orphan}));
        EXPECT_EQ(second.list(1), QStringList());
    }
    qputenv("VASTREL_HOME", home);
}

TEST(TopicStore, AdjustLinkCountsAndReportsTheLastLink)
{
    struct Case
    {
        QVariant before;
        bool add;
        QVariant after;
        bool none;
    };
    const Case cases[] = {
        {QVariant(), true, 1, false}, {2, true, 3, false}, {2, false, 1, false},
        {1, false, 0, true},          {0, false, 0, true}, {QVariant(), false, QVariant(), true},
    };
    Bank bank;
    for (const Case& c : cases) {
        const int id = bank.addQuestion("x", 0, c.before);
        Dataset d(bank.connection(), "d", Utf8Text(Sql::QuestionLinks));
        d.open();
        ASSERT_TRUE(d.locate("QueID", id));
        EXPECT_EQ(TopicStore::AdjustLink(d, c.add), c.none) << c.before.toString().toStdString() << c.add;
        EXPECT_EQ(d.state(), DatasetState::Browse);
        EXPECT_EQ(bank.questionValue(id, "LinksCount"), c.after) << c.before.toString().toStdString() << c.add;
    }
    // A row the caller is editing is left for the caller to post.
    const int id = bank.addQuestion("y", 0, 1);
    Dataset d(bank.connection(), "d", Utf8Text(Sql::QuestionLinks));
    d.open();
    ASSERT_TRUE(d.locate("QueID", id));
    d.edit();
    TopicStore::AdjustLink(d, true);
    EXPECT_EQ(d.state(), DatasetState::Edit);
    EXPECT_EQ(bank.questionValue(id, "LinksCount").toInt(), 1);
    d.post();
    EXPECT_EQ(bank.questionValue(id, "LinksCount").toInt(), 2);
}

TEST(TopicStore, ChangeTopicLinksForDeleteAndCopy)
{
    Bank bank;
    bank.store.PrepareStore();
    const int holding = bank.shared.NoTopicID();
    const int a = bank.addTopic("A");
    const int b = bank.addTopic("B");
    const int shared = bank.addQuestion("shared", 0, 2);
    const int onlyA = bank.addQuestion("onlyA", 0, 1);
    const int alsoHeld = bank.addQuestion("alsoHeld", 0, 1);
    bank.setList(a, {shared, onlyA, alsoHeld, onlyA});
    bank.setList(b, {shared});
    bank.setList(holding, {alsoHeld});

    Dataset questions(bank.connection(), "sqlQuestions", Utf8Text(Sql::QuestionsOfTopic));
    questions.setParam("aTopicID", a);
    questions.open();

    // Copying A: every listed question gains a link; nothing moves to the holding topic.
    bank.store.ChangeTopicLinks(questions, a, true);
    EXPECT_FALSE(questions.isOpen());
    EXPECT_EQ(questions.sql(), Utf8Text(Sql::QuestionsOfTopic));
    EXPECT_EQ(bank.questionValue(shared, "LinksCount").toInt(), 3);
    EXPECT_EQ(bank.questionValue(onlyA, "LinksCount").toInt(), 3); // listed twice in A
    EXPECT_EQ(bank.list(holding), ids({alsoHeld}));

    // Deleting A twice over (as the copy and the original): questions left without a topic go to the
    // holding topic once each; a question still in B stays out of it.
    bank.store.ChangeTopicLinks(questions, a, false);
    EXPECT_EQ(bank.questionValue(shared, "LinksCount").toInt(), 2);
    EXPECT_EQ(bank.questionValue(onlyA, "LinksCount").toInt(), 1);
    EXPECT_EQ(bank.questionValue(alsoHeld, "LinksCount").toInt(), 1);
    EXPECT_EQ(bank.list(holding), ids({alsoHeld}));
    bank.store.ChangeTopicLinks(questions, a, false);
    EXPECT_EQ(bank.questionValue(shared, "LinksCount").toInt(), 1);
    EXPECT_EQ(bank.questionValue(onlyA, "LinksCount").toInt(), 0);
    EXPECT_EQ(bank.questionValue(alsoHeld, "LinksCount").toInt(), 0);
    EXPECT_EQ(bank.list(holding), ids({alsoHeld, onlyA}));
    EXPECT_EQ(bank.list(b), ids({shared}));

    // A topic that does not exist changes nothing.
    bank.store.ChangeTopicLinks(questions, 999, false);
    EXPECT_EQ(bank.questionValue(shared, "LinksCount").toInt(), 1);
}

TEST(TopicStore, QuestionListQuery)
{
    struct Case
    {
        QStringList list;
        const char* expected;
    };
    const Case cases[] = {
        {{"12", "0", "15"}, "SELECT * FROM Questions WHERE QueID=12 OR QueID=15"},
        {{}, "SELECT * FROM Questions WHERE FALSE"},
        {{"-1", "5"}, "SELECT * FROM Questions WHERE FALSE"},
        {{"abc", "5"}, "SELECT * FROM Questions WHERE FALSE"},
        {{"7", "", "x", "-1", "8; DROP TABLE Questions", "9"}, "SELECT * FROM Questions WHERE QueID=7 OR QueID=9"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TopicStore::BuildQuestionListQuery(c.list), Utf8Text(c.expected)) << c.list.join(',').toStdString();

    Bank bank;
    const int x = bank.addQuestion("x");
    bank.addQuestion("y");
    const int z = bank.addQuestion("z");
    Dataset d(bank.connection(), "d", Utf8Text(Sql::AllQuestions));
    d.open();
    TopicStore::OpenQuestionList(d, ids({z, x}));
    ASSERT_TRUE(d.isOpen());
    EXPECT_EQ(d.recordCount(), 2);
}

namespace {

// A topic with questions in an order that is not the key order, pictures, an eighth answer and a
// settings row of its own.
struct SavedTopic
{
    int topicId;
    QList<int> questions;
};

SavedTopic makeTopic(Bank& bank, const QString& name)
{
    const int topic = bank.addTopic(name, 0);
    Dataset questions(bank.connection(), "q", Utf8Text(Sql::AllQuestions) + " WHERE FALSE");
    questions.open();
    QList<int> made;
    for (int i = 0; i < 3; ++i) {
        questions.append();
        questions.setValue("Question", QString("Вопрос %1\r\nстрока").arg(i));
        questions.setValue("TopicID", topic);
        questions.setValue("Used", true);
        questions.setValue("QuePict", bmpBytes(qRgb(10 * i, 0, 0)));
        questions.setValue("Ans1", "один");
        questions.setValue("Ans8", "восемь");
        questions.setValue("OK8", i == 1);
        questions.setValue("Pict8", bmpBytes(qRgb(0, 0, 200)));
        questions.setValue("Price", i + 2);
        questions.setValue("QueType", i);
        questions.setValue("MixAnswers", true);
        questions.setValue("LinksCount", 1);
        questions.post();
        made << questions.value("QueID").toInt();
    }
    const QList<int> order{made[2], made[0], made[1]};
    bank.setList(topic, order);
    Dataset settings(bank.connection(), "s", Utf8Text(Sql::Settings));
    settings.open();
    settings.append();
    settings.setValue("TopicID", topic);
    // Every column a value of its own, unlike the defaults.
    const QStringList& columns = SettingsRowColumns();
    for (int i = 0; i < columns.size(); ++i) {
        const Column& column = settings.fields()[settings.fieldIndex(columns[i])];
        if (column.type == ColumnType::Bool)
            settings.setValue(columns[i], i % 3 == 0);
        else
            settings.setValue(columns[i], 3 * i + 1);
    }
    settings.post();
    return {topic, order};
}

QVariantList settingsFromThirdColumn(Bank& bank, int topicId)
{
    Dataset settings(bank.connection(), "s", Utf8Text(Sql::Settings));
    settings.open();
    if (!settings.locate("TopicID", topicId))
        return {};
    return settings.currentValues().mid(2);
}

QList<QVariantList> questionRows(Bank& bank, const QStringList& list, const QStringList& skip)
{
    Dataset d(bank.connection(), "d", Utf8Text(Sql::AllQuestions));
    d.open();
    QList<QVariantList> rows;
    for (const QString& id : list) {
        EXPECT_TRUE(d.locate("QueID", id.toInt()));
        QVariantList row;
        for (const QString& field : d.fieldNames())
            if (!skip.contains(field))
                row << d.value(field);
        rows << row;
    }
    return rows;
}

} // namespace

TEST(TopicStore, TopicSavedAndLoadedBackUnderAnotherParent)
{
    Bank bank;
    bank.store.PrepareStore();
    const SavedTopic saved = makeTopic(bank, "Physics");
    const int parent = bank.addTopic("Родитель", 0, "");
    const QStringList skip{"QueID", "TopicID", "Used", "LinksCount"};
    const QList<QVariantList> before = questionRows(bank, ids(saved.questions), skip);
    const QVariantList settingsBefore = settingsFromThirdColumn(bank, saved.topicId);

    const QString file = testPath("physics.vst4");
    bank.store.saveDialog = [&](const QString& filter, const QString& ext, const QString& proposed) {
        EXPECT_EQ(filter, Utf8Text("Файлы вопросов Vastrel (*.vst4;*.vst)|*.vst4;*.vst|All files (*.*)|*.*"));
        EXPECT_EQ(ext, "vst4");
        EXPECT_EQ(proposed, "Physics");
        return file;
    };
    ASSERT_TRUE(bank.store.SaveTopicToFile(saved.topicId, "Physics", Utf8Text("Заметка автора")));
    EXPECT_EQ(bank.store.questionIdList(), ids(saved.questions));
    const QList<TZLibEntry> entries = TZLibCompression().ListFiles(file);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].name, "Physics.set");
    EXPECT_EQ(entries[1].name, "Physics.top");
    EXPECT_EQ(workFolderEntries(), QStringList());

    const int loaded = bank.store.LoadTopicFromFile(parent, file);
    ASSERT_NE(loaded, 0);
    EXPECT_EQ(workFolderEntries(), QStringList());
    EXPECT_EQ(bank.topicValue(loaded, "TopicName").toString(), "physics");
    EXPECT_EQ(bank.topicValue(loaded, "ParentID").toInt(), parent);
    EXPECT_EQ(bank.topicValue(loaded, "Remark").toString(), Utf8Text("Заметка автора"));
    const QStringList newList = bank.list(loaded);
    ASSERT_EQ(newList.size(), 3);
    for (const QString& id : newList) {
        EXPECT_FALSE(ids(saved.questions).contains(id));
        EXPECT_EQ(bank.questionValue(id.toInt(), "TopicID").toInt(), 0);
        EXPECT_EQ(bank.questionValue(id.toInt(), "Used").toBool(), false);
    }
    EXPECT_EQ(questionRows(bank, newList, skip), before);
    EXPECT_EQ(settingsFromThirdColumn(bank, loaded), settingsBefore);

    // The saved topic is as it was.
    EXPECT_EQ(bank.list(saved.topicId), ids(saved.questions));
    EXPECT_EQ(questionRows(bank, ids(saved.questions), skip), before);
    EXPECT_EQ(bank.questionValue(saved.questions[0], "TopicID").toInt(), saved.topicId);
    EXPECT_EQ(bank.questionValue(saved.questions[0], "Used").toBool(), true);
}

TEST(TopicStore, LoadedTopicNamesLoseOnlyAsciiCapitals)
{
    Bank bank;
    bank.store.PrepareStore();
    struct Case
    {
        const char* name;
        const char* entry; // the members' base name in the file
        const char* loaded;
    };
    // Members are named so that the Windows programs can unpack them: what a Windows file name
    // cannot hold or Windows-1251 cannot encode is "_" (the topic comes back so named).
    const Case cases[] = {
        {"Алгебра", "Алгебра", "Алгебра"},
        {"Physics", "Physics", "physics"},
        {"ГЕОМЕТРИЯ Plus", "ГЕОМЕТРИЯ Plus", "ГЕОМЕТРИЯ plus"},
        {"Дроби 1\\2 / 3:4", "Дроби 1_2 _ 3_4", "Дроби 1_2 _ 3_4"},
        {"A*b?c\"d<e>f|g", "A_b_c_d_e_f_g", "a_b_c_d_e_f_g"},
        {"Кит 中 😀 №5 ё€", "Кит _ _ №5 ё€", "Кит _ _ №5 ё€"},
        {"tab\there", "tab_here", "tab_here"},
    };
    for (const Case& c : cases) {
        const SavedTopic saved = makeTopic(bank, Utf8Text(c.name));
        const QString file = testPath(QString("f%1.vst").arg(saved.topicId));
        bank.store.SaveTopicToPath(saved.topicId, Utf8Text(c.name), "", file);
        const QList<TZLibEntry> entries = TZLibCompression().ListFiles(file);
        ASSERT_EQ(entries.size(), 2) << c.name;
        EXPECT_EQ(entries[0].name, Utf8Text(c.entry) + ".set") << c.name;
        EXPECT_EQ(entries[1].name, Utf8Text(c.entry) + ".top") << c.name;
        const int loaded = bank.store.LoadTopicFromFile(0, file);
        EXPECT_EQ(bank.topicValue(loaded, "TopicName").toString(), Utf8Text(c.loaded));
        EXPECT_EQ(bank.list(loaded).size(), 3) << c.name;
        // The settings entry is found whatever the letter case of its name.
        EXPECT_EQ(settingsFromThirdColumn(bank, loaded), settingsFromThirdColumn(bank, saved.topicId)) << c.name;
    }
}

TEST(TopicStore, LoadReadsOnlyItsOwnEntries)
{
    Bank bank;
    bank.store.PrepareStore();
    // A left-over entry of an earlier load lies in the work folder.
    Table stale(QList<Column>{{"Question", ColumnType::Memo}});
    stale.appendRow({QString("stale")});
    WriteAdtgFile(stale, QDir(TopicStore::WorkFolder()).filePath("a.top"));

    const SavedTopic saved = makeTopic(bank, "b");
    const QString file = testPath("b.vst4");
    bank.store.SaveTopicToPath(saved.topicId, "b", "", file);
    const int loaded = bank.store.LoadTopicFromFile(0, file);
    EXPECT_EQ(bank.topicValue(loaded, "TopicName").toString(), "b");
    const QStringList list = bank.list(loaded);
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(bank.questionValue(list[0].toInt(), "Question").toString(), Utf8Text("Вопрос 2\r\nстрока"));
    EXPECT_EQ(workFolderEntries(), QStringList({"a.top"}));
}

TEST(TopicStore, LoadOfFilesWithoutQuestionsOrSettings)
{
    Bank bank;
    bank.store.PrepareStore();
    const int topicsBefore = bank.count(Sql::AllTopics);

    // No ".top" entry: nothing is added.
    const QString note = testPath("note.txt");
    writeFile(note, "text");
    const QString noTop = testPath("notop.vst4");
    TZLibCompression().CompressFile(note, noTop);
    EXPECT_EQ(bank.store.LoadTopicFromFile(0, noTop), 0);
    EXPECT_EQ(workFolderEntries(), QStringList());
    // A path that does not exist, and a cancelled dialog.
    EXPECT_EQ(bank.store.LoadTopicFromFile(0, testPath("missing.vst4")), 0);
    bank.store.openDialog = [](const QString&, const QString&, const QString&) { return QString(); };
    EXPECT_EQ(bank.store.LoadTopicFromFile(0), 0);
    EXPECT_EQ(bank.count(Sql::AllTopics), topicsBefore);

    // The older seven-answer layout without settings: QueType 0, no eighth answer, no settings row.
    QList<Column> columns{{"QueID", ColumnType::Int}, {"TopicID", ColumnType::Int}, {"Question", ColumnType::Memo}};
    for (int i = 1; i <= 7; ++i)
        columns << Column{QString("Ans%1").arg(i), ColumnType::Text, 255}
                << Column{QString("OK%1").arg(i), ColumnType::Bool};
    Table old(columns);
    old.appendRow({5, 3, QString("старый"), QString("a1"), true});
    const QString top = testPath("Old.top");
    WriteAdtgFile(old, top);
    const QString oldFile = testPath("old.vst");
    TZLibCompression().CompressFile(top, oldFile);
    const int loaded = bank.store.LoadTopicFromFile(0, oldFile);
    ASSERT_NE(loaded, 0);
    const QStringList list = bank.list(loaded);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(bank.questionValue(list[0].toInt(), "QueType").toInt(), 0);
    EXPECT_EQ(bank.questionValue(list[0].toInt(), "Ans1").toString(), "a1");
    EXPECT_TRUE(bank.questionValue(list[0].toInt(), "OK1").toBool());
    EXPECT_TRUE(bank.questionValue(list[0].toInt(), "Ans8").toString().isEmpty());
    EXPECT_TRUE(settingsFromThirdColumn(bank, loaded).isEmpty());
    EXPECT_EQ(bank.topicValue(loaded, "Remark").toString(), "");
}

// A file that cannot be read stops the load with a message before anything is stored, and the
// folder it was unpacked into goes with it.
TEST(TopicStore, DamagedQuestionFilesStoreNothingAndLeaveNoWorkFiles)
{
    Bank bank;
    bank.store.PrepareStore();
    const SavedTopic saved = makeTopic(bank, "Good");
    const QString good = testPath("good.vst4");
    bank.store.SaveTopicToPath(saved.topicId, "Good", "", good);
    QFile goodFile(good);
    ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
    const QByteArray goodBytes = goodFile.readAll();
    goodFile.close();

    const QString notAdtg = testPath("x.top");
    writeFile(notAdtg, "this is no table");
    const QString notAdtgFile = testPath("notadtg.vst4");
    TZLibCompression().CompressFile(notAdtg, notAdtgFile);
    QByteArray truncatedTop = goodBytes;
    truncatedTop.chop(40); // inside the last entry, the questions
    const struct
    {
        const char* what;
        QString path;
        QByteArray bytes; // written to the path when not empty
    } cases[] = {
        {"archive cut short", testPath("cut.vst4"), truncatedTop},
        {"archive cut in its settings entry", testPath("cut2.vst4"), goodBytes.left(30)},
        {"no archive at all", testPath("text.vst4"), "plain text, no archive"},
        {"questions entry that is no table", notAdtgFile, {}},
    };
    const int topics = bank.count(Sql::AllTopics);
    const int questions = bank.count(Sql::AllQuestions);
    const int settings = bank.count(Sql::Settings);
    for (const auto& c : cases) {
        if (!c.bytes.isEmpty())
            writeFile(c.path, c.bytes);
        EXPECT_THROW(bank.store.LoadTopicFromFile(0, c.path), AppError) << c.what;
        EXPECT_EQ(workFolderEntries(), QStringList()) << c.what;
        EXPECT_EQ(bank.count(Sql::AllTopics), topics) << c.what;
        EXPECT_EQ(bank.count(Sql::AllQuestions), questions) << c.what;
        EXPECT_EQ(bank.count(Sql::Settings), settings) << c.what;
    }
    // The good file still loads.
    EXPECT_NE(bank.store.LoadTopicFromFile(0, good), 0);
    EXPECT_EQ(workFolderEntries(), QStringList());
}

TEST(TopicStore, SavingAsksBeforeReplacingAndVezuvirozNeedsASettingsRow)
{
    Bank bank;
    bank.store.PrepareStore();
    const SavedTopic saved = makeTopic(bank, "T");
    const QString file = testPath("t.vst4");
    writeFile(file, "old contents");
    bank.store.saveDialog = [&](const QString&, const QString&, const QString&) { return file; };
    {
        MessageRecorder no({MsgResult::No});
        EXPECT_FALSE(bank.store.SaveTopicToFile(saved.topicId, "T", ""));
        ASSERT_EQ(no.texts.size(), 1);
        EXPECT_EQ(no.texts[0], Utf8Text("Файл \"%1\" уже существует. Заменить его?").arg(file));
    }
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "old contents");
    f.close();
    EXPECT_EQ(workFolderEntries(), QStringList());

    // Vezuviroz's form for a topic without a settings row: nothing at all, not even the dialog.
    const int bare = bank.addTopic("Без настроек", 0, "");
    Dataset questions(bank.connection(), "q", Utf8Text(Sql::AllQuestions));
    questions.open();
    bool asked = false;
    bank.store.saveDialog = [&](const QString&, const QString&, const QString&) {
        asked = true;
        return testPath("never.vst4");
    };
    EXPECT_FALSE(bank.store.SaveTopicToFile(bare, Utf8Text("Без настроек"), questions));
    EXPECT_FALSE(asked);

    // With a row: the file holds the given dataset's rows as they stand.
    MessageRecorder yes({MsgResult::Yes});
    bank.store.saveDialog = [&](const QString&, const QString&, const QString&) { return file; };
    ASSERT_TRUE(bank.store.SaveTopicToFile(saved.topicId, "T", questions));
    const QString unpacked = testPath("unpacked");
    QDir().mkpath(unpacked);
    TZLibCompression().DecompressFiles(file, unpacked);
    EXPECT_EQ(ReadAdtgFile(unpacked + "/T.top").rowCount(), questions.recordCount());
}

TEST(TopicStore, ImportsOfTheThreeFormats)
{
    Bank bank;
    bank.store.PrepareStore();
    const QString folder = testPath("import");
    writeFile(folder + "/pics/a.bmp", bmpBytes(qRgb(0, 255, 0)));
    {
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(qRgb(0, 0, 255));
        ASSERT_TRUE(image.save(folder + "/B.JPG", "JPG"));
    }

    writeLines(folder + "/t.tst", {"Title=Тест-W", "[Question]", "QuestionLine=Вопрос", "Variant=да", "Variant=нет",
                                   "CorrectVariant=1", "CorrectVariant=0", "[End]"});
    const int testW = bank.store.ImportTestW(folder + "/t.tst");
    ASSERT_NE(testW, 0);
    EXPECT_EQ(bank.topicValue(testW, "TopicName").toString(), Utf8Text("Тест-W"));
    QStringList list = bank.list(testW);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(bank.store.questionIdList(), list);
    EXPECT_EQ(bank.questionValue(list[0].toInt(), "Ans2").toString(), Utf8Text("нет"));
    EXPECT_TRUE(bank.questionValue(list[0].toInt(), "OK1").toBool());
    EXPECT_FALSE(bank.questionValue(list[0].toInt(), "LinksCount").isValid());

    writeLines(folder + "/Арифметика.qst", {"?", "Зелёный", "+да", "@pics\\a.bmp", "?", "Синий", "-нет", "@b.jpg", "?",
                                            "Без рисунка", "@nothere.bmp", "@../../etc/passwd"});
    const int assistant = bank.store.ImportAssistant2(folder + "/Арифметика.qst");
    ASSERT_NE(assistant, 0);
    EXPECT_EQ(bank.topicValue(assistant, "TopicName").toString(), Utf8Text("Арифметика"));
    list = bank.list(assistant);
    ASSERT_EQ(list.size(), 3);
    const QImage green = QImage::fromData(bank.questionValue(list[0].toInt(), "QuePict").toByteArray(), "BMP");
    ASSERT_FALSE(green.isNull());
    EXPECT_EQ(green.pixel(1, 1), qRgb(0, 255, 0));
    const QByteArray blueBytes = bank.questionValue(list[1].toInt(), "QuePict").toByteArray();
    EXPECT_TRUE(blueBytes.startsWith("BM"));
    EXPECT_GT(qBlue(QImage::fromData(blueBytes, "BMP").pixel(4, 4)), 200);
    EXPECT_FALSE(bank.questionValue(list[2].toInt(), "QuePict").isValid());

    QStringList my{Utf8Text("Мой тест"), "", "", "", "", "", ""};
    my << "-1-"
       << "Первый"
       << ""
       << "pics/a.bmp"
       << "1 2"
       << "a"
       << "b"
       << "c"
       << "d"
       << "e";
    my << "-2-"
       << "Выпадет"
       << ""
       << ""
       << "-"
       << "a"
       << "b"
       << "c"
       << "d"
       << "e";
    my << "-3-"
       << "Ждёт номера 2"
       << ""
       << ""
       << "1"
       << "a"
       << "b"
       << "c"
       << "d"
       << "e";
    writeLines(folder + "/my.txt", my);
    const int myTest = bank.store.ImportMyTest(folder + "/my.txt");
    ASSERT_NE(myTest, 0);
    list = bank.list(myTest);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(bank.questionValue(list[0].toInt(), "Question").toString(), Utf8Text("Первый"));
    EXPECT_TRUE(bank.questionValue(list[0].toInt(), "OK2").toBool());
    EXPECT_TRUE(bank.questionValue(list[0].toInt(), "QuePict").toByteArray().startsWith("BM"));

    // The same topic name again at the top level: refused with the message, for the window to show;
    // nothing stored, nothing shown from here.
    const int topics = bank.count(Sql::AllTopics);
    const int questions = bank.count(Sql::AllQuestions);
    MessageRecorder recorder;
    try {
        bank.store.ImportMyTest(folder + "/my.txt");
        ADD_FAILURE() << "imported twice";
    } catch (const AppError& e) {
        EXPECT_EQ(e.message(), Utf8Text("Тема \"Мой тест\" уже существует.\rПереименуйте существующую тему или "
                                        "загрузите новую в другой уровень."));
    }
    EXPECT_TRUE(recorder.texts.isEmpty());
    EXPECT_EQ(bank.count(Sql::AllTopics), topics);
    EXPECT_EQ(bank.count(Sql::AllQuestions), questions);
}

TEST(TopicStore, ImportWithADamagedPictureStoresNothing)
{
    Bank bank;
    bank.store.PrepareStore();
    const QString folder = testPath("bad");
    writeFile(folder + "/ok.bmp", bmpBytes(qRgb(1, 2, 3)));
    writeFile(folder + "/broken.jpg", QByteArray("\xFF\xD8\xFF\xE0 this is no picture", 24));
    writeLines(folder + "/q.qst", {"?", "first", "@ok.bmp", "?", "second", "@broken.jpg"});
    const int topics = bank.count(Sql::AllTopics);
    const int questions = bank.count(Sql::AllQuestions);
    try {
        bank.store.ImportAssistant2(folder + "/q.qst");
        ADD_FAILURE() << "a broken picture was accepted";
    } catch (const AppError& e) {
        EXPECT_TRUE(e.message().contains("broken.jpg")) << e.message().toStdString();
    }
    EXPECT_EQ(bank.count(Sql::AllTopics), topics);
    EXPECT_EQ(bank.count(Sql::AllQuestions), questions);

    // LoadPictureIntoField leaves the column as it was.
    const int id = bank.addQuestion("x");
    Dataset d(bank.connection(), "d", Utf8Text(Sql::AllQuestions));
    d.open();
    ASSERT_TRUE(d.locate("QueID", id));
    d.edit();
    EXPECT_THROW(TopicStore::LoadPictureIntoField(folder + "/broken.jpg", d, "QuePict"), AppError);
    EXPECT_FALSE(d.value("QuePict").isValid());
    TopicStore::LoadPictureIntoField(folder + "/ok.bmp", d, "QuePict");
    d.post();
    EXPECT_TRUE(bank.questionValue(id, "QuePict").toByteArray().startsWith("BM"));
}

TEST(TopicStore, ToolShowsAQuestionFile)
{
    Bank bank;
    bank.store.PrepareStore();
    const SavedTopic saved = makeTopic(bank, "Physics");
    const QString file = testPath("show.vst4");
    bank.store.SaveTopicToPath(saved.topicId, "Physics", Utf8Text("Заметка"), file);

    QProcess tool;
    tool.start(VASTREL_TOOL, {"question-file", "show", file});
    ASSERT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 30);
    EXPECT_EQ(lines[0], "Topic: Physics");
    EXPECT_EQ(lines[1], "[Fields]");
    EXPECT_EQ(lines[2], "Default=0");
    EXPECT_EQ(lines[3], "RandomOrder=-1");
    EXPECT_TRUE(lines.contains(Utf8Text("Remark: Заметка")));
    const qsizetype head = lines.indexOf("QueID\tQueType\tPrice\tQuestion");
    ASSERT_GT(head, 0);
    ASSERT_EQ(lines.size(), head + 4);
    // In the topic's order: the third question made comes first.
    EXPECT_EQ(lines[head + 1], QString("%1\t2\t4\tВопрос 2 строка").arg(saved.questions[0]));
    EXPECT_EQ(lines[head + 2], QString("%1\t0\t2\tВопрос 0 строка").arg(saved.questions[1]));

    // A file that is no question file: one line on stderr, exit code 1.
    const QString junk = testPath("junk.vst4");
    writeFile(junk, "no archive");
    tool.start(VASTREL_TOOL, {"question-file", "show", junk});
    ASSERT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(tool.exitCode(), 1);
    EXPECT_FALSE(tool.readAllStandardError().isEmpty());
}

// Imports take over texts longer than their columns shortened to the width, and say so in the run
// log; the topic name is compared with the existing ones as it will be stored.
TEST(TopicStore, ImportsShortenTooLongTextsAndLogIt)
{
    Bank bank;
    bank.store.PrepareStore();
    const QString longTitle = QString(60, QChar(u'Т'));
    const QString longAnswer = QString(300, QChar(u'о'));
    const QString file = testPath("long.tst");
    writeLines(file, {"Title=" + longTitle, "[Question]", "QuestionLine=" + longAnswer, "Variant=" + longAnswer,
                      "CorrectVariant=1", "[End]"});
    RunLog::clear();
    const int topic = bank.store.ImportTestW(file);
    ASSERT_NE(topic, 0);
    EXPECT_EQ(bank.topicValue(topic, "TopicName").toString(), longTitle.left(50));
    const QStringList list = bank.list(topic);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(bank.questionValue(list[0].toInt(), "Ans1").toString(), longAnswer.left(255));
    EXPECT_EQ(bank.questionValue(list[0].toInt(), "Question").toString(), longAnswer); // Memo: no width
    const QString log = RunLog::lines().join('\n');
    EXPECT_TRUE(log.contains(Utf8Text("long.tst: Текст поля \"TopicName\" длиннее 50 символов. Текст сокращён.")))
        << log.toStdString();
    EXPECT_TRUE(log.contains(Utf8Text("long.tst: Текст поля \"Ans1\" длиннее 255 символов. Текст сокращён.")));

    // Imported again: the shortened name is found, the import refused.
    EXPECT_THROW(bank.store.ImportTestW(file), AppError);

    // A question file whose answer runs past its column, and a name longer than a topic's.
    Table table(QList<Column>{{"Question", ColumnType::Memo}, {"Ans1", ColumnType::Memo}});
    table.appendRow({QString("q"), longAnswer});
    const QString top = testPath(QString(70, QChar(u'x')) + ".top");
    WriteAdtgFile(table, top);
    const QString questionFile = testPath("long.vst4");
    TZLibCompression().CompressFile(top, questionFile);
    const int loaded = bank.store.LoadTopicFromFile(0, questionFile);
    ASSERT_NE(loaded, 0);
    EXPECT_EQ(bank.topicValue(loaded, "TopicName").toString(), QString(50, QChar(u'x')));
    EXPECT_EQ(bank.questionValue(bank.list(loaded).value(0).toInt(), "Ans1").toString(), longAnswer.left(255));
}

// Loading a question file stores its questions, its topic and its settings in one transaction: a
// failure at the last step (here the store refusing the settings row) leaves the bank as it was.
TEST(TopicStore, LoadStoppedHalfWayLeavesTheBankAsItWas)
{
    Bank bank;
    bank.store.PrepareStore();
    const SavedTopic saved = makeTopic(bank, "Half");
    const QString file = testPath("half.vst4");
    bank.store.SaveTopicToPath(saved.topicId, "Half", Utf8Text("заметка"), file);
    {
        QSqlQuery trigger(bank.connection()->database());
        ASSERT_TRUE(trigger.exec("CREATE TRIGGER refuse BEFORE INSERT ON Settings BEGIN SELECT RAISE(ABORT, "
                                 "'refused'); END"));
    }
    const int topics = bank.count(Sql::AllTopics);
    const int questions = bank.count(Sql::AllQuestions);
    const int settings = bank.count(Sql::Settings);
    const int settingsRows = bank.shared.sqlSettings->recordCount();

    EXPECT_THROW(bank.store.LoadTopicFromFile(0, file), AppError);
    EXPECT_EQ(bank.count(Sql::AllTopics), topics);
    EXPECT_EQ(bank.count(Sql::AllQuestions), questions);
    EXPECT_EQ(bank.count(Sql::Settings), settings);
    EXPECT_EQ(workFolderEntries(), QStringList());
    EXPECT_TRUE(bank.store.questionIdList().isEmpty());
    // The shared datasets show the bank as it is, not the rows the failed load had written.
    EXPECT_EQ(bank.shared.sqlSettings->recordCount(), settingsRows);
    EXPECT_FALSE(bank.shared.sqlSingleLevelTopics->locate("TopicName", "half"));

    {
        QSqlQuery drop(bank.connection()->database());
        ASSERT_TRUE(drop.exec("DROP TRIGGER refuse"));
    }
    const int loaded = bank.store.LoadTopicFromFile(0, file);
    ASSERT_NE(loaded, 0);
    EXPECT_EQ(bank.list(loaded).size(), 3);
    EXPECT_EQ(bank.count(Sql::Settings), settings + 1);
}
