#include "apperror.h"
#include "appfolder.h"
#include "schema.h"
#include "storeconnection.h"

#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QStringList columnsOf(StoreConnection& c, const QString& table)
{
    QSqlQuery q(c.database());
    q.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
    QStringList names;
    while (q.next())
        names.append(q.value(1).toString());
    return names;
}

} // namespace

TEST(StoreOpen, CreatesEveryTableEmptyWithColumnsInOrder)
{
    StoreConnection c(QStringLiteral("t"));
    c.open(AppFilePath(QStringLiteral("vs4.mdb")));
    ASSERT_TRUE(c.isOpen());

    const QStringList questions = columnsOf(c, QStringLiteral("Questions"));
    ASSERT_EQ(questions.size(), 43);
    EXPECT_EQ(questions.mid(0, 6), (QStringList{"QueID", "TopicID", "Used", "Question", "QuePict", "Ans1"}));
    EXPECT_EQ(questions.mid(29, 4), (QStringList{"Price", "QueType", "MixAnswers", "LinksCount"}));
    EXPECT_EQ(questions.mid(41), (QStringList{"Rslt", "HowMixed"}));
    const QStringList settings = columnsOf(c, QStringLiteral("Settings"));
    ASSERT_EQ(settings.size(), 27); // TopicID, Default, the 24 settings, HideDetails
    EXPECT_EQ(settings.mid(0, 3), (QStringList{"TopicID", "Default", "RandomOrder"}));
    EXPECT_EQ(settings.mid(8, 1), QStringList{"Na12"});
    EXPECT_EQ(settings.last(), QStringLiteral("HideDetails"));

    for (const SchemaTable& t : StoreSchema()) {
        EXPECT_EQ(columnsOf(c, t.name).size(), t.columns.size()) << t.name.toStdString();
        QSqlQuery count(c.database());
        ASSERT_TRUE(count.exec(QStringLiteral("SELECT Count(*) FROM \"%1\"").arg(t.name)));
        count.next();
        EXPECT_EQ(count.value(0).toInt(), 0) << t.name.toStdString();
    }
    QSqlQuery mode(c.database());
    mode.exec(QStringLiteral("PRAGMA journal_mode"));
    mode.next();
    EXPECT_EQ(mode.value(0).toString(), QStringLiteral("wal"));
}

TEST(StoreOpen, ColumnDefaultsAsTheProgramsRelyOnThem)
{
    StoreConnection c(QStringLiteral("t"));
    c.open(AppFilePath(QStringLiteral("vs4.mdb")));
    c.execute(QStringLiteral("INSERT INTO Questions (Question) VALUES ('q')"));
    c.execute(QStringLiteral("INSERT INTO VezuvirozSettings (PageScroller_Height) VALUES (349)"));
    QSqlQuery q(c.database());
    ASSERT_TRUE(
        q.exec(QStringLiteral("SELECT Used, OK8, Fact1, MixAnswers, Price, LinksCount, QueType FROM Questions")));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 0);
    EXPECT_EQ(q.value(1).toInt(), 0);
    EXPECT_EQ(q.value(2).toInt(), 0);
    EXPECT_EQ(q.value(3).toInt(), 0);
    EXPECT_EQ(q.value(4).toInt(), 1);
    EXPECT_TRUE(q.value(5).isNull());
    EXPECT_TRUE(q.value(6).isNull());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT QueFontColor, QueBGColor, AnsFontColor, AnsBGColor, RightAnsFontColor, "
                                      "QueFontSize, AnsFontSize, TopicBreakCount FROM VezuvirozSettings")));
    ASSERT_TRUE(q.next());
    const QList<int> expected{65535, 14260127, 0, 16768480, 54272, 14, 14};
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(q.value(i).toInt(), expected[i]) << i;
    EXPECT_TRUE(q.value(7).isNull());
    q.finish();
    // Yes/No is never null.
    EXPECT_THROW(c.execute(QStringLiteral("UPDATE Questions SET Used=NULL")), AppError);
}

TEST(StoreOpen, ReopensAnExistingStoreAndAcceptsAZeroLengthFile)
{
    const QString path = AppFilePath(QStringLiteral("vs4.mdb"));
    writeFile(path, {});
    {
        StoreConnection c(QStringLiteral("t"));
        c.open(path);
        c.execute(QStringLiteral("INSERT INTO Klasses (Klass) VALUES ('7A')"));
    }
    StoreConnection c(QStringLiteral("t"));
    c.open(path);
    QSqlQuery q(c.database());
    q.exec(QStringLiteral("SELECT Klass FROM Klasses"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), QStringLiteral("7A"));
}

// A file that is not a store of ours is never written to: the error names the file.
TEST(StoreOpen, RefusesFilesThatAreNotAStoreAndLeavesThemUntouched)
{
    const QString path = AppFilePath(QStringLiteral("vs4.mdb"));
    QByteArray sqliteOther;
    {
        const QString other = AppFilePath(QStringLiteral("other.db"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            db.setDatabaseName(other);
            ASSERT_TRUE(db.open());
            QSqlQuery(db).exec(QStringLiteral("CREATE TABLE notes (a TEXT)"));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
        sqliteOther = readAll(other);
    }
    QByteArray damagedStore;
    {
        StoreConnection c(QStringLiteral("make"));
        c.open(AppFilePath(QStringLiteral("good.mdb")));
        c.close();
        damagedStore = readAll(AppFilePath(QStringLiteral("good.mdb")));
        for (int i = 0; i < 100; ++i)
            damagedStore[i] = char(0xA5);
    }
    const struct
    {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"text", QByteArray("This is a letter, not a database.\r\n")},
        {"Jet header", QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 19) + QByteArray(2000, '\x07')},
        {"damaged store", damagedStore},
        {"another SQLite database", sqliteOther},
        {"truncated header", QByteArray("SQLite form")},
    };
    for (const auto& tc : cases) {
        writeFile(path, tc.bytes);
        StoreConnection c(QStringLiteral("t"));
        try {
            c.open(path);
            ADD_FAILURE() << "opened " << tc.what;
        } catch (const AppError& e) {
            EXPECT_TRUE(e.message().contains(path)) << e.message().toStdString();
        }
        EXPECT_FALSE(c.isOpen());
        EXPECT_EQ(readAll(path), tc.bytes) << tc.what;
        EXPECT_FALSE(QFile::exists(path + QStringLiteral("-wal"))) << tc.what;
    }
}

TEST(StoreOpen, DriverCheckNamesWhatIsMissing)
{
    EXPECT_TRUE(MissingStoreDriver().isEmpty());
    const QString message = MissingStoreDriver(QStringLiteral("QNOSUCHDRIVER"));
    EXPECT_TRUE(message.contains(QStringLiteral("QNOSUCHDRIVER")));
    EXPECT_TRUE(message.contains(QStringLiteral("libqt6sql6-sqlite")));
}
