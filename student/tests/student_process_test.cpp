// The Student program as a process: started headless against a testing server on loopback.
#include "appfolder.h"
#include "enginefixture.h"
#include "linktexts.h"
#include "ports.h"
#include "resultfile.h"
#include "serverpeer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

using Protocol::StudentMessage;

namespace {

constexpr int StartMs = 20000; // a loaded machine starts slowly
constexpr int WaitMs = 10000;

// Starts Student headless at the peer's address and waits for its "Iam".
void startConnected(QProcess& student, ServerPeer& peer)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VASTREL_START_MARK", "1"); // the start benchmark's line
    student.setProcessEnvironment(env);
    student.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    student.start(QStringLiteral(STUDENT_PROGRAM), {"--server", "127.0.0.1"});
    ASSERT_TRUE(student.waitForStarted(WaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer.count(StudentMessage::Kind::Iam) == 1; }, StartMs));
}

QByteArray runLog()
{
    QFile log(AppFilePath("Student.LOG"));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

} // namespace

TEST(StudentProcess, AnswersTheServerAndEndsWithItsRunLogOnCloseClient)
{
    ServerPeer peer;
    ASSERT_NO_FATAL_FAILURE(peer.listen());
    QProcess student;
    ASSERT_NO_FATAL_FAILURE(startConnected(student, peer));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return student.readAllStandardError().contains("main window shown\n"); }, WaitMs));

    peer.ends.last()->send(Protocol::command(Protocol::Head::Noop));
    EXPECT_TRUE(QTest::qWaitFor([&] { return peer.count(StudentMessage::Kind::NoopEcho) == 1; }, WaitMs));

    peer.ends.last()->send(Protocol::setPorts(9100, 4600));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ReadPorts().tcp == 4600; }, WaitMs));
    EXPECT_EQ(ReadPorts().udp, 9100);

    peer.ends.last()->send(Protocol::command(Protocol::Head::CloseClient));
    ASSERT_TRUE(QTest::qWaitFor([&] { return student.state() == QProcess::NotRunning; }, WaitMs));
    EXPECT_EQ(student.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(student.exitCode(), 0);
    const QByteArray text = runLog();
    EXPECT_TRUE(text.contains("BEGIN.    Version"));
    EXPECT_TRUE(text.contains("In: \"!CloseClient\""));
    EXPECT_TRUE(text.contains("Out: \"!NOOP ECHO\""));
    EXPECT_TRUE(text.trimmed().endsWith("END"));
}

// While connected the window refuses to close and says so in a message box; the desktop session
// ending (SIGTERM) must still end the program, with its run log.
TEST(StudentProcess, EndsOnSigtermWhileConnectedThoughTheWindowRefusesToClose)
{
    ServerPeer peer;
    ASSERT_NO_FATAL_FAILURE(peer.listen());
    QProcess student;
    ASSERT_NO_FATAL_FAILURE(startConnected(student, peer));

    ::kill(pid_t(student.processId()), SIGTERM);
    ASSERT_TRUE(QTest::qWaitFor([&] { return student.state() == QProcess::NotRunning; }, WaitMs))
        << "Student did not end on SIGTERM";
    EXPECT_EQ(student.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(student.exitCode(), 0);
    const QByteArray text = runLog();
    EXPECT_TRUE(text.contains("Connected"));
    EXPECT_TRUE(text.trimmed().endsWith("END")) << text.right(200).toStdString();
}

// A test from a question file is in progress when the computer shuts down (SIGTERM): the work goes
// to a result file before the program ends (without a name: nobody answers the question).
TEST(StudentProcess, SavesAnOfflineTestInProgressOnSigterm)
{
    const QString questions = enginefixture::questionFile("Алгебра", enginefixture::fourKinds(),
                                                          enginefixture::settingsList({.TopicID = 4}, false));
    QProcess student;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VASTREL_START_MARK", "1");
    student.setProcessEnvironment(env);
    student.start(QStringLiteral(STUDENT_PROGRAM), {questions});
    ASSERT_TRUE(student.waitForStarted(WaitMs));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return student.readAllStandardError().contains("main window shown\n"); }, StartMs));

    ::kill(pid_t(student.processId()), SIGTERM);
    ASSERT_TRUE(QTest::qWaitFor([&] { return student.state() == QProcess::NotRunning; }, WaitMs));
    EXPECT_EQ(student.exitCode(), 0);
    const QDir saved(AppFilePath(LinkText::SavedWorksFolder));
    const QStringList files = saved.entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    const ResultWork work = ReadResultFile(saved.filePath(files.first())).work;
    EXPECT_TRUE(work.studentName.isEmpty()); // nobody answered the question
    EXPECT_EQ(work.topicId, 4);
    EXPECT_FALSE(work.answerList.isEmpty());
    EXPECT_TRUE(runLog().contains(LinkText::ClosedInTestLog.toUtf8()));
}
