#pragma once

// The start-up of the two store programs with old question banks beside them, through the same
// modules the programs make at start. Each program's tests instantiate these cases with its own
// modules type:
//     INSTANTIATE_TYPED_TEST_SUITE_P(Vezuviroz, StoreStartUp, VezuvirozModules);
#include "apperror.h"
#include "appfolder.h"
#include "codec.h"
#include "datamodules.h"
#include "dataset.h"
#include "filedialogrecorder.h"
#include "jetreader.h"
#include "messagerecorder.h"
#include "migration.h"
#include "oldbank.h"
#include "runlog.h"
#include "testhome.h"
#include "utf8text.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace StartUpCases {

inline QStringList mdbFiles(const QString& folder = AppFolder())
{
    QStringList names = QDir(folder).entryList({QStringLiteral("*.mdb")}, QDir::Files);
    names.sort();
    return names;
}

inline QAction* updateDbAction(QWidget* mainWindow)
{
    return mainWindow->findChild<QAction*>(QStringLiteral("acUpdateDB"));
}

inline constexpr int PeerTimeoutMs = 10000;

// The holding topic of the store's preparation, which runs after the start-up check.
inline constexpr char HoldingTopic[] = "Вопросы без темы";

} // namespace StartUpCases

template <class Modules> class StoreStartUp : public ::testing::Test
{
protected:
    StoreConnection& store() const { return *modules->store().dm()->ADOConnection(); }
    QAction* action() const { return StartUpCases::updateDbAction(modules->mainWindow()); }
    // How many rows of the old bank's tables arrived (the holding topic is not counted).
    void expectOldBankMoved()
    {
        EXPECT_EQ(count(store(), QStringLiteral("Topics")), 3);
        EXPECT_EQ(count(store(), QStringLiteral("Questions")), 3);
        EXPECT_EQ(count(store(), QStringLiteral("Students")), 2);
        EXPECT_EQ(count(store(), QStringLiteral("Results")), 1);
        EXPECT_EQ(scalar(store(), QStringLiteral("SELECT Students.Name FROM Results, Students WHERE "
                                                 "Results.StudentID = Students.StudentID AND Results.ResID = 40")),
                  QVariant(QStringLiteral("Петров Пётр")));
        EXPECT_EQ(scalar(store(), QStringLiteral("SELECT QuePict FROM Questions WHERE QueID = 12")).toByteArray(),
                  picture(12));
    }

    std::unique_ptr<Modules> modules;
};

TYPED_TEST_SUITE_P(StoreStartUp);

TYPED_TEST_P(StoreStartUp, AFreshStartPreparesTheStoreAndTheWindowHoldsTheCommand)
{
    MessageRecorder messages;
    this->modules = std::make_unique<TypeParam>();
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'|').toStdString();
    EXPECT_EQ(StartUpCases::mdbFiles(), QStringList{QStringLiteral("vs4.mdb")});
    QWidget* window = this->modules->mainWindow();
    ASSERT_NE(window, nullptr);
    QAction* action = this->action();
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), Utf8Text(MigrationTexts::ActionCaption));
    EXPECT_FALSE(action->isEnabled()); // nothing old lies beside the program
    // Reached from the menu the moving message names.
    auto* menu = window->findChild<QMenu*>(QStringLiteral("mnuTopic"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title().remove(u'&'), QStringLiteral("Тема"));
    EXPECT_TRUE(menu->actions().contains(action));
    // The store was prepared: the holding topic is there, and the shared module's datasets see it.
    TSharedDM* shared = this->modules->store().shared();
    EXPECT_TRUE(shared->sqlTopics->isOpen());
    EXPECT_TRUE(shared->sqlTopics->locate(QStringLiteral("TopicName"), Utf8Text(StartUpCases::HoldingTopic)));
}

TYPED_TEST_P(StoreStartUp, OneOldBankIsMovedAtStartThenTheStoreIsPrepared)
{
    makeOldBank(testPath(QStringLiteral("ekz2.mdb")));
    // Had the store been prepared first, its holding topic would make it ask about a non-empty store.
    MessageRecorder messages({MsgResult::No});
    this->modules = std::make_unique<TypeParam>();
    EXPECT_EQ(messages.texts, QStringList{Utf8Text(MigrationTexts::AllMoved)});
    EXPECT_EQ(StartUpCases::mdbFiles(), QStringList({"DataReplaced_From_ekz2_To_vs4.mdb", "vs4.mdb"}));
    EXPECT_FALSE(this->action()->isEnabled());
    this->expectOldBankMoved();
    // The moved topics were prepared with the rest: the shared module's datasets show them.
    Dataset* topics = this->modules->store().shared()->sqlTopics;
    EXPECT_EQ(topics->recordCount(), 3);
    EXPECT_TRUE(topics->locate(QStringLiteral("TopicName"), QStringLiteral("Дроби")));
    EXPECT_TRUE(topics->locate(QStringLiteral("TopicName"), Utf8Text(StartUpCases::HoldingTopic)));
}

TYPED_TEST_P(StoreStartUp, SeveralOldBanksOnlyTellAndLeaveTheCommandEnabled)
{
    makeOldBank(testPath(QStringLiteral("ekz2.mdb")));
    makeOldBank(testPath(QStringLiteral("vs3.mdb")));
    const QByteArray before = fileHash(testPath(QStringLiteral("ekz2.mdb")));
    MessageRecorder messages;
    this->modules = std::make_unique<TypeParam>();
    EXPECT_EQ(messages.texts, QStringList{Utf8Text(MigrationTexts::SeveralOldDatabases)});
    EXPECT_EQ(StartUpCases::mdbFiles(), QStringList({"ekz2.mdb", "vs3.mdb", "vs4.mdb"}));
    EXPECT_EQ(fileHash(testPath(QStringLiteral("ekz2.mdb"))), before);
    EXPECT_TRUE(this->action()->isEnabled());
    EXPECT_EQ(count(this->store(), QStringLiteral("Questions")), 0);
    EXPECT_EQ(count(this->store(), QStringLiteral("Topics")), 1); // the holding topic only
}

TYPED_TEST_P(StoreStartUp, ADamagedOldBankIsToldAndTheProgramStillStarts)
{
    QFile damaged(testPath(QStringLiteral("ekz2.mdb")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(5000, '\x5a'));
    damaged.close();
    MessageRecorder messages;
    this->modules = std::make_unique<TypeParam>();
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(messages.icons.value(0), MsgIcon::Error);
    EXPECT_TRUE(this->action()->isEnabled());
    EXPECT_EQ(StartUpCases::mdbFiles(), QStringList({"ekz2.mdb", "vs4.mdb"})); // tried again next time
    EXPECT_EQ(count(this->store(), QStringLiteral("Topics")), 1);
}

TYPED_TEST_P(StoreStartUp, AJetStoreInPlaceIsSetAsideAFreshStoreMadeAndTheBankMovedIn)
{
    const QString storePath = AppFilePath(QStringLiteral("vs4.mdb"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VASTREL_JET_DATA "/DateTestDatabase.mdb"), storePath));
    const QByteArray jetBytes = fileHash(storePath);
    MessageRecorder messages;
    this->modules = std::make_unique<TypeParam>();
    // The Windows bank holds no table of ours: each counts as moved, and the bank is done with.
    EXPECT_EQ(messages.texts, QStringList{Utf8Text(MigrationTexts::AllMoved)});
    EXPECT_EQ(StartUpCases::mdbFiles(), QStringList({"DataReplaced_From_vs4_jet_To_vs4.mdb", "vs4.mdb"}));
    EXPECT_EQ(fileHash(testPath(QStringLiteral("DataReplaced_From_vs4_jet_To_vs4.mdb"))), jetBytes);
    EXPECT_FALSE(JetReader::isJetFile(storePath));
    EXPECT_EQ(this->store().path(), storePath);
    EXPECT_EQ(count(this->store(), QStringLiteral("Topics")), 1);
    EXPECT_FALSE(this->action()->isEnabled());
}

TYPED_TEST_P(StoreStartUp, AStoreThatCannotBeOpenedStopsTheStartInWords)
{
    const QString storePath = AppFilePath(QStringLiteral("vs4.mdb"));
    QFile foreign(storePath);
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    const QByteArray bytes = QByteArray("not a database of ours ") + QByteArray(4000, '\x01');
    foreign.write(bytes);
    foreign.close();
    MessageRecorder messages;
    try {
        this->modules = std::make_unique<TypeParam>();
        FAIL() << "the modules were made on a foreign file";
    } catch (const AppError& e) {
        EXPECT_TRUE(e.message().contains(storePath)) << e.message().toStdString();
    }
    EXPECT_TRUE(messages.texts.isEmpty()); // the frame shows the failure, not the modules
    QFile after(storePath);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), bytes);
}

TYPED_TEST_P(StoreStartUp, TheCommandAsksForAFileAndMovesItOrDoesNothing)
{
    // Two old banks at start leave the command enabled; one of them is then chosen by hand, from
    // a store that already holds the holding topic.
    makeOldBank(testPath(QStringLiteral("ekz2.mdb")));
    makeOldBank(testPath(QStringLiteral("vs3.mdb")));
    {
        MessageRecorder startMessages;
        this->modules = std::make_unique<TypeParam>();
    }
    QAction* action = this->action();
    ASSERT_TRUE(action->isEnabled());
    const QByteArray before = fileHash(testPath(QStringLiteral("ekz2.mdb")));

    {
        FileDialogRecorder dialogs; // cancelled
        MessageRecorder messages;
        action->trigger();
        ASSERT_EQ(dialogs.requests.size(), 1);
        const FileDialogRequest& asked = dialogs.requests.first();
        EXPECT_EQ(asked.kind, FileDialogRequest::Kind::Open);
        EXPECT_EQ(asked.title, QStringLiteral("Выбор файла старой базы данных"));
        EXPECT_EQ(asked.filter, QStringLiteral("MDB files (*.mdb)"));
        EXPECT_EQ(asked.parent, this->modules->mainWindow());
        EXPECT_TRUE(messages.texts.isEmpty());
        EXPECT_TRUE(action->isEnabled());
        EXPECT_EQ(StartUpCases::mdbFiles(), QStringList({"ekz2.mdb", "vs3.mdb", "vs4.mdb"}));
        EXPECT_EQ(fileHash(testPath(QStringLiteral("ekz2.mdb"))), before);
    }

    struct Case
    {
        MsgResult answer; // to the question about the store that is not empty
        bool moved;
    };
    for (const Case c : {Case{MsgResult::No, false}, Case{MsgResult::Yes, true}}) {
        FileDialogRecorder dialogs({testPath(QStringLiteral("ekz2.mdb"))});
        MessageRecorder messages({c.answer});
        action->trigger();
        EXPECT_EQ(dialogs.requests.size(), 1);
        QStringList expected{Utf8Text(MigrationTexts::NotEmptyQuestion)};
        if (c.moved)
            expected.append(Utf8Text(MigrationTexts::AllMoved));
        EXPECT_EQ(messages.texts, expected);
        EXPECT_EQ(action->isEnabled(), !c.moved);
        EXPECT_EQ(StartUpCases::mdbFiles(),
                  c.moved ? QStringList({"DataReplaced_From_ekz2_To_vs4.mdb", "vs3.mdb", "vs4.mdb"})
                          : QStringList({"ekz2.mdb", "vs3.mdb", "vs4.mdb"}));
        EXPECT_EQ(count(this->store(), QStringLiteral("Questions")), c.moved ? 3 : 0);
    }
    this->expectOldBankMoved();
    // The datasets were reopened on the moved data.
    EXPECT_TRUE(
        this->modules->store().shared()->sqlTopics->locate(QStringLiteral("TopicName"), QStringLiteral("Дроби")));
}

TYPED_TEST_P(StoreStartUp, AFileChosenElsewhereIsRenamedInItsOwnFolder)
{
    makeOldBank(testPath(QStringLiteral("ekz2.mdb")));
    makeOldBank(testPath(QStringLiteral("vs3.mdb")));
    {
        MessageRecorder startMessages;
        this->modules = std::make_unique<TypeParam>();
    }
    const QString folder = testPath(QStringLiteral("Старые базы"));
    ASSERT_TRUE(QDir().mkpath(folder));
    makeOldBank(folder + QStringLiteral("/школа.mdb"));
    FileDialogRecorder dialogs({folder + QStringLiteral("/школа.mdb")});
    MessageRecorder messages({MsgResult::Yes});
    this->action()->trigger();
    EXPECT_EQ(messages.texts.value(1), Utf8Text(MigrationTexts::AllMoved));
    EXPECT_EQ(StartUpCases::mdbFiles(folder), QStringList{"DataReplaced_From_школа_To_vs4.mdb"});
    EXPECT_EQ(StartUpCases::mdbFiles(), QStringList({"ekz2.mdb", "vs3.mdb", "vs4.mdb"}));
    EXPECT_FALSE(this->action()->isEnabled());
    this->expectOldBankMoved();
}

// The same start through the program frame in a process of its own (STARTUP_PEER, see
// startuppeer.h): what it showed, how it ended, and its log.
TYPED_TEST_P(StoreStartUp, TheProgramFrameRunsTheStartAndEndsWithItsLog)
{
    const QString storePath = AppFilePath(QStringLiteral("vs4.mdb"));
    const QByteArray foreign = QByteArray("not a database of ours ") + QByteArray(4000, '\x01');
    enum Setup
    {
        Nothing,
        OldBank,
        JetStore,
        ForeignStore
    };
    struct Case
    {
        Setup setup;
        int exitCode;
        QStringList output; // without the icon numbers
        QStringList files;
    };
    const QString moved = QStringLiteral("message 0 ") + Utf8Text(MigrationTexts::AllMoved);
    const QString failed = QStringLiteral("message 2 ");
    const Case cases[] = {
        {Nothing, 0, {QStringLiteral("acUpdateDB disabled")}, {"vs4.mdb"}},
        {OldBank, 0, {moved, QStringLiteral("acUpdateDB disabled")}, {"DataReplaced_From_ekz2_To_vs4.mdb", "vs4.mdb"}},
        {JetStore,
         0,
         {moved, QStringLiteral("acUpdateDB disabled")},
         {"DataReplaced_From_vs4_jet_To_vs4.mdb", "vs4.mdb"}},
        {ForeignStore, 1, {failed}, {"vs4.mdb"}},
    };
    for (const Case& c : cases) {
        for (const QString& name : QDir(AppFolder()).entryList(QDir::Files))
            QFile::remove(AppFilePath(name));
        if (c.setup == OldBank)
            makeOldBank(testPath(QStringLiteral("ekz2.mdb")));
        if (c.setup == JetStore) {
            ASSERT_TRUE(QFile::copy(QStringLiteral(VASTREL_JET_DATA "/DateTestDatabase.mdb"), storePath));
        }
        if (c.setup == ForeignStore) {
            QFile f(storePath);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(foreign);
        }
        QProcess peer;
        peer.setProgram(QStringLiteral(STARTUP_PEER));
        peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        peer.start();
        ASSERT_TRUE(peer.waitForFinished(StartUpCases::PeerTimeoutMs)) << int(c.setup);
        EXPECT_EQ(peer.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(peer.exitCode(), c.exitCode) << int(c.setup);
        const QStringList output = QString::fromUtf8(peer.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        ASSERT_EQ(output.size(), c.output.size()) << output.join(u'|').toStdString();
        for (qsizetype i = 0; i < output.size(); ++i)
            EXPECT_TRUE(output[i].startsWith(c.output[i])) << output[i].toStdString();
        if (c.setup == ForeignStore) { // told in words naming the file, which is left as it was
            EXPECT_TRUE(output.value(0).contains(storePath)) << output.value(0).toStdString();
            QFile after(storePath);
            ASSERT_TRUE(after.open(QIODevice::ReadOnly));
            EXPECT_EQ(after.readAll(), foreign);
        }
        const QStringList files = StartUpCases::mdbFiles();
        EXPECT_EQ(files, c.files) << int(c.setup);
        QFile log(RunLog::filePathFor(QStringLiteral(STARTUP_PEER_NAME)));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << int(c.setup);
        EXPECT_TRUE(fromCp1251(log.readAll()).endsWith(QStringLiteral(": END\r\n"))) << int(c.setup);
    }
}

REGISTER_TYPED_TEST_SUITE_P(StoreStartUp, AFreshStartPreparesTheStoreAndTheWindowHoldsTheCommand,
                            OneOldBankIsMovedAtStartThenTheStoreIsPrepared,
                            SeveralOldBanksOnlyTellAndLeaveTheCommandEnabled,
                            ADamagedOldBankIsToldAndTheProgramStillStarts,
                            AJetStoreInPlaceIsSetAsideAFreshStoreMadeAndTheBankMovedIn,
                            AStoreThatCannotBeOpenedStopsTheStartInWords, TheCommandAsksForAFileAndMovesItOrDoesNothing,
                            AFileChosenElsewhereIsRenamedInItsOwnFolder, TheProgramFrameRunsTheStartAndEndsWithItsLog);
