#include "apperror.h"
#include "appfolder.h"
#include "dbutils.h"
#include "messagerecorder.h"
#include "migration.h"
#include "oldbank.h"
#include "runlog.h"
#include "storeconnection.h"
#include "testhome.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

const QString Moved = QString::fromUtf8(MigrationTexts::AllMoved);

// The move is logic: it asks through the callback given and hands its notices back; only the
// command shows anything.
const ConfirmMove yes = [](const QString&) { return true; };

QStringList texts(const MigrationOutcome& outcome)
{
    QStringList t;
    for (const MigrationNotice& n : outcome.notices)
        t.append(n.text);
    return t;
}

QString jetFile(const char* name)
{
    return QStringLiteral(VASTREL_TEST_DATA "/") + QLatin1String(name);
}

class Migration : public ::testing::Test
{
protected:
    void SetUp() override { store.open(AppFilePath(QStringLiteral("vs4.mdb"))); }
    void TearDown() override { store.close(); }

    QStringList folder() const
    {
        QStringList names = QDir(AppFolder()).entryList({"*.mdb"}, QDir::Files);
        names.sort();
        return names;
    }

    void expectBankMoved(bool withSettings = true)
    {
        EXPECT_EQ(count(store, "Topics"), 2);
        EXPECT_EQ(count(store, "Questions"), 3);
        EXPECT_EQ(count(store, "Klasses"), 1);
        EXPECT_EQ(count(store, "Students"), 2);
        EXPECT_EQ(count(store, "Results"), 1);
        EXPECT_EQ(count(store, "Settings"), withSettings ? 1 : 0);
        // Keys kept, so the references hold.
        EXPECT_EQ(scalar(store, "SELECT Students.Name FROM Results, Students WHERE Results.StudentID = "
                                "Students.StudentID AND Results.ResID = 40"),
                  QVariant(QStringLiteral("Петров Пётр")));
        EXPECT_EQ(scalar(store, "SELECT TopicName FROM Topics WHERE TopicID = (SELECT ParentID FROM Topics "
                                "WHERE TopicID = 7)"),
                  QVariant(QStringLiteral("Алгебра")));
        EXPECT_EQ(scalar(store, "SELECT QuePict FROM Questions WHERE QueID = 12").toByteArray(), picture(12));
        EXPECT_EQ(scalar(store, "SELECT QueIDs FROM Topics WHERE TopicID = 5"), QVariant("11\r\n12\r\n"));
        // New rows are numbered after the moved ones.
        store.execute("INSERT INTO Questions (Question) VALUES ('new')");
        EXPECT_EQ(scalar(store, "SELECT Max(QueID) FROM Questions"), QVariant(14));
    }

    StoreConnection store{QStringLiteral("current")};
};

} // namespace

TEST_F(Migration, OneOldFileIsMovedAtStartAndRenamed)
{
    makeOldBank(testPath("ekz2.mdb"));
    MessageRecorder messages;
    UpdateDbCommand command;
    command.startUp(&store);
    EXPECT_FALSE(command.enabled());
    EXPECT_EQ(messages.texts, QStringList({Moved}));
    EXPECT_EQ(folder(), QStringList({"DataReplaced_From_ekz2_To_vs4.mdb", "vs4.mdb"}));
    EXPECT_TRUE(store.isOpen()); // reopened after the move
    expectBankMoved();

    // The renamed file no longer counts as old: the next start does nothing.
    MessageRecorder next;
    const MigrationOutcome again = CheckOldDatabases(&store, yes);
    EXPECT_FALSE(again.success);
    EXPECT_TRUE(again.notices.isEmpty());
    EXPECT_TRUE(next.texts.isEmpty());
}

TEST_F(Migration, SeveralOldFilesOnlyGiveTheMessage)
{
    makeOldBank(testPath("ekz2.mdb"));
    makeOldBank(testPath("vs3.mdb"));
    const QByteArray before = fileHash(testPath("ekz2.mdb"));
    MessageRecorder messages;
    UpdateDbCommand command;
    command.startUp(&store);
    EXPECT_TRUE(command.enabled());
    EXPECT_EQ(messages.texts, QStringList({QString::fromUtf8(MigrationTexts::SeveralOldDatabases)}));
    EXPECT_TRUE(messages.texts.first().contains(QStringLiteral("\r\"Тема | Перенести данные из предыдущей версии\"")));
    EXPECT_EQ(folder(), QStringList({"ekz2.mdb", "vs3.mdb", "vs4.mdb"}));
    EXPECT_TRUE(IsDatabaseEmpty(store.database()));
    EXPECT_EQ(fileHash(testPath("ekz2.mdb")), before);
}

TEST_F(Migration, NoOldFileLeavesTheCommandDisabled)
{
    MessageRecorder messages;
    UpdateDbCommand command;
    command.startUp(&store);
    EXPECT_FALSE(command.enabled());
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(Migration, AnUpperCaseOldFileIsFoundAndMoved)
{
    makeOldBank(testPath("EKZ5.MDB"));
    MessageRecorder messages;
    const MigrationOutcome check = CheckOldDatabases(&store, yes);
    EXPECT_FALSE(check.success); // no old data remain
    EXPECT_EQ(check.notices, QList<MigrationNotice>({{Moved, MsgIcon::Information}}));
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_TRUE(QFile::exists(testPath("DataReplaced_From_EKZ5_To_vs4.mdb")));
    expectBankMoved();
}

TEST_F(Migration, AnOldBankWithoutSettingsStillSucceeds)
{
    makeOldBank(testPath("vs3.mdb"), WithoutSettings);
    const MigrationOutcome moved = MigrateDatabase(&store, testPath("vs3.mdb"), yes);
    EXPECT_TRUE(moved.success);
    EXPECT_EQ(texts(moved), QStringList({Moved}));
    expectBankMoved(false);
}

TEST_F(Migration, ATakenNewNameGetsANumber)
{
    makeOldBank(testPath("ekz3.mdb"));
    QFile taken(testPath("DataReplaced_From_ekz3_To_vs4.mdb"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.write("earlier");
    taken.close();
    EXPECT_TRUE(MigrateDatabase(&store, testPath("ekz3.mdb"), yes).success);
    EXPECT_EQ(folder(),
              QStringList({"DataReplaced_From_ekz3_To_vs4 (1).mdb", "DataReplaced_From_ekz3_To_vs4.mdb", "vs4.mdb"}));
    EXPECT_EQ(fileHash(testPath("DataReplaced_From_ekz3_To_vs4.mdb")),
              QCryptographicHash::hash("earlier", QCryptographicHash::Sha256));
}

TEST_F(Migration, ANonEmptyStoreAsksFirst)
{
    makeOldBank(testPath("ekz2.mdb"));
    store.execute(
        QStringLiteral("INSERT INTO Topics (TopicID, TopicName, ParentID) VALUES (1, 'Вопросы без темы', 0)"));
    const QByteArray oldBefore = fileHash(testPath("ekz2.mdb"));
    const QString question = QString::fromUtf8(MigrationTexts::NotEmptyQuestion);
    {
        MessageRecorder messages({MsgResult::No});
        UpdateDbCommand command;
        command.startUp(&store);
        EXPECT_TRUE(command.enabled());
        EXPECT_EQ(messages.texts, QStringList({question})); // no message follows the No
        EXPECT_EQ(count(store, "Topics"), 1);
        EXPECT_EQ(count(store, "Questions"), 0);
        EXPECT_EQ(folder(), QStringList({"ekz2.mdb", "vs4.mdb"}));
        EXPECT_EQ(fileHash(testPath("ekz2.mdb")), oldBefore);
    }
    QStringList asked;
    MessageRecorder messages;
    const MigrationOutcome moved = MigrateDatabase(&store, testPath("ekz2.mdb"), [&](const QString& q) {
        asked.append(q);
        return true;
    });
    EXPECT_TRUE(moved.success);
    EXPECT_EQ(asked, QStringList({question}));
    EXPECT_EQ(texts(moved), QStringList({Moved}));
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_EQ(count(store, "Topics"), 3);
}

TEST_F(Migration, TheFirstFailingTableStopsTheMove)
{
    makeOldBank(testPath("ekz4.mdb"), DuplicateStudents);
    MessageRecorder messages;
    UpdateDbCommand command;
    command.execute(&store, testPath("ekz4.mdb"));
    EXPECT_TRUE(command.enabled());
    EXPECT_EQ(messages.texts, QStringList({QStringLiteral(
                                  "Не удалось автоматически перенести данные в обновлённую базу из следующих "
                                  "таблиц:\r\rStudents\r\rВы можете перенести их вручную, используя MS Access.")}));
    // Moved before it: kept. The failing table: nothing of it. After it: not tried.
    EXPECT_EQ(count(store, "Topics"), 2);
    EXPECT_EQ(count(store, "Questions"), 3);
    EXPECT_EQ(count(store, "Klasses"), 1);
    EXPECT_EQ(count(store, "Students"), 0);
    EXPECT_EQ(count(store, "Results"), 0);
    EXPECT_EQ(count(store, "Settings"), 0);
    EXPECT_EQ(folder(), QStringList({"ekz4.mdb", "vs4.mdb"})); // tried again at the next start
}

TEST_F(Migration, ACancelledDialogDoesNothing)
{
    makeOldBank(testPath("ekz2.mdb"));
    MessageRecorder messages;
    UpdateDbCommand command;
    command.execute(&store, QString());
    EXPECT_TRUE(command.enabled());
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_TRUE(IsDatabaseEmpty(store.database()));
}

TEST_F(Migration, ADamagedOldFileFailsInWordsAndCopiesNothing)
{
    makeOldBank(testPath("whole.mdb"));
    QFile whole(testPath("whole.mdb"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray sqlite = whole.readAll();
    whole.close();
    QFile jet(jetFile("DateTestDatabase.mdb"));
    ASSERT_TRUE(jet.open(QIODevice::ReadOnly));
    const QByteArray jetBytes = jet.readAll();
    QByteArray noise(40000, Qt::Uninitialized);
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);
    const struct
    {
        const char* name;
        QByteArray bytes;
        const char* words;
    } cases[] = {
        {"random.mdb", noise, "не является базой данных"},
        {"cutsqlite.mdb", sqlite.left(sqlite.size() / 3), "\""},
        {"cutjet.mdb", jetBytes.left(100001), "не кратен странице"},
        {"empty.mdb", {}, "не является базой данных"},
    };
    for (const auto& c : cases) {
        const QString path = testPath(QLatin1String(c.name));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.bytes);
        f.close();
        const QByteArray before = fileHash(path);
        MessageRecorder messages;
        UpdateDbCommand command;
        command.execute(&store, path);
        EXPECT_TRUE(command.enabled()) << c.name;
        ASSERT_EQ(messages.texts.size(), 1) << c.name;
        EXPECT_TRUE(messages.texts.first().contains(path)) << messages.texts.first().toStdString();
        EXPECT_TRUE(messages.texts.first().contains(QString::fromUtf8(c.words)))
            << messages.texts.first().toStdString();
        EXPECT_EQ(messages.icons.first(), MsgIcon::Error);
        EXPECT_TRUE(IsDatabaseEmpty(store.database())) << c.name;
        EXPECT_TRUE(QFile::exists(path)) << c.name;
        EXPECT_EQ(fileHash(path), before) << c.name;
    }
}

TEST_F(Migration, AJetBankIsReadAndRenamed)
{
    // A Jet file of the Windows programs without any table of ours: each table counts as moved.
    ASSERT_TRUE(QFile::copy(jetFile("DateTestDatabase.mdb"), testPath("vs2.mdb")));
    const QByteArray before = fileHash(testPath("vs2.mdb"));
    const MigrationOutcome check = CheckOldDatabases(&store, yes);
    EXPECT_FALSE(check.success);
    EXPECT_EQ(texts(check), QStringList({Moved}));
    EXPECT_EQ(fileHash(testPath("DataReplaced_From_vs2_To_vs4.mdb")), before);
    EXPECT_TRUE(IsDatabaseEmpty(store.database()));
}

TEST(JetStore, AJetStoreIsSetAsideAndMovedInAtStart)
{
    const QString storePath = AppFilePath(QStringLiteral("vs4.mdb"));
    ASSERT_TRUE(QFile::copy(jetFile("DateTestDatabase.mdb"), storePath));
    const QByteArray jetBytes = fileHash(storePath);
    QFile taken(testPath("vs4_jet.mdb"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly)); // an earlier one lies there already
    taken.close();

    EXPECT_EQ(SetAsideJetStore(storePath), testPath("vs4_jet (1).mdb"));
    EXPECT_FALSE(QFile::exists(storePath));
    EXPECT_EQ(fileHash(testPath("vs4_jet (1).mdb")), jetBytes);
    QFile::remove(testPath("vs4_jet.mdb"));

    StoreConnection store(QStringLiteral("current"));
    store.open(storePath);
    EXPECT_EQ(SetAsideJetStore(storePath), QString()); // our own store stays where it is
    const MigrationOutcome check = CheckOldDatabases(&store, yes);
    EXPECT_FALSE(check.success);
    EXPECT_EQ(texts(check), QStringList({Moved}));
    EXPECT_EQ(fileHash(testPath("DataReplaced_From_vs4_jet (1)_To_vs4.mdb")), jetBytes);
    EXPECT_EQ(SetAsideJetStore(testPath("missing.mdb")), QString());
}

// Rows as the Jet reader gives them (its column types, a column the store lacks, a column missing),
// through the same import that the Jet move uses.
TEST_F(Migration, JetShapedRowsKeepKeysTypesAndDefaults)
{
    const QList<Column> columns = {{"QueID", ColumnType::Int},      {"Question", ColumnType::Memo},
                                   {"QuePict", ColumnType::Binary}, {"OK1", ColumnType::Bool},
                                   {"OK2", ColumnType::Bool},       {"Price", ColumnType::Int},
                                   {"ExtraOld", ColumnType::Text},  {"ans1", ColumnType::Text, 255}};
    {
        TableImport import(&store, "Questions");
        import.setColumns(columns);
        import.addRow({101, QStringLiteral("Сколько будет 2+2?\r\nОтвет:"), picture(1), true, false, 3, "x", "4"});
        import.addRow({205, QVariant(), QVariant(), false, true, QVariant(), QVariant(), QVariant()});
        import.commit();
        EXPECT_EQ(import.rows(), 2);
    }
    EXPECT_EQ(scalar(store, "SELECT Question FROM Questions WHERE QueID = 101"),
              QVariant(QStringLiteral("Сколько будет 2+2?\r\nОтвет:")));
    EXPECT_EQ(scalar(store, "SELECT QuePict FROM Questions WHERE QueID = 101").toByteArray(), picture(1));
    EXPECT_EQ(scalar(store, "SELECT OK1 FROM Questions WHERE QueID = 101"), QVariant(1));
    EXPECT_EQ(scalar(store, "SELECT OK2 FROM Questions WHERE QueID = 205"), QVariant(1));
    EXPECT_EQ(scalar(store, "SELECT Ans1 FROM Questions WHERE QueID = 101"), QVariant("4"));
    EXPECT_TRUE(scalar(store, "SELECT QuePict FROM Questions WHERE QueID = 205").isNull());
    // Not in the old table: the store's own default for a Yes/No column.
    EXPECT_EQ(scalar(store, "SELECT OK3 FROM Questions WHERE QueID = 205"), QVariant(0));

    const QList<Column> results = {{"ResID", ColumnType::Int},
                                   {"Date", ColumnType::Date},
                                   {"RightsPercent", ColumnType::Double},
                                   {"Points", ColumnType::Int}};
    TableImport import(&store, "Results");
    import.setColumns(results);
    import.addRow({7, QDateTime(QDate(2004, 3, 1), QTime(9, 15, 30)), 66.7, -2});
    import.commit();
    EXPECT_EQ(scalar(store, "SELECT Date FROM Results WHERE ResID = 7"), QVariant("2004-03-01T09:15:30"));
    EXPECT_EQ(scalar(store, "SELECT RightsPercent FROM Results WHERE ResID = 7"), QVariant(66.7));
}

TEST_F(Migration, AJetTableThatFailsLeavesNothingOfItself)
{
    const QList<Column> columns = {{"KlassID", ColumnType::Int}, {"Klass", ColumnType::Text}};
    try {
        TableImport import(&store, "Klasses");
        import.setColumns(columns);
        import.addRow({1, "5А"});
        import.addRow({1, "5Б"}); // the same key twice
        import.commit();
        ADD_FAILURE() << "a duplicate key was taken";
    } catch (const AppError& e) {
        EXPECT_FALSE(e.message().isEmpty());
    }
    EXPECT_EQ(count(store, "Klasses"), 0);
    EXPECT_THROW(TableImport(&store, "NoSuchTable"), AppError);
    TableImport unrelated(&store, "Klasses");
    EXPECT_THROW(unrelated.setColumns({{"Other", ColumnType::Int}}), AppError);
}

// The Windows programs' banks may have wider text columns than ours: a longer text is moved in
// shortened to our width, and the run log says so.
TEST_F(Migration, TextsWiderThanOurColumnsAreShortenedAndLogged)
{
    const QString wide(60, QChar(u'ю'));
    RunLog::clear();
    TableImport import(&store, "Klasses");
    import.setColumns({{"KlassID", ColumnType::Int}, { "Klass", ColumnType::Text, 255 }});
    import.addRow({1, wide});
    import.addRow({2, QStringLiteral("5А")});
    import.commit();
    EXPECT_EQ(scalar(store, "SELECT Klass FROM Klasses WHERE KlassID = 1"), QVariant(wide.left(50)));
    EXPECT_EQ(scalar(store, "SELECT Klass FROM Klasses WHERE KlassID = 2"), QVariant(QStringLiteral("5А")));
    const QStringList log = RunLog::lines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].endsWith(
        QStringLiteral("Перенос таблицы Klasses: Текст поля \"Klass\" длиннее 50 символов. Текст сокращён.")))
        << log[0].toStdString();
}
