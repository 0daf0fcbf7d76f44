// The Student program as a process: started headless against a testing server on loopback.
#include "appfolder.h"
#include "ports.h"
#include "serverpeer.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

using Protocol::StudentMessage;

namespace {

constexpr int StartMs = 20000; // a loaded machine starts slowly
constexpr int WaitMs = 10000;

} // namespace

TEST(StudentProcess, AnswersTheServerAndEndsWithItsRunLogOnCloseClient)
{
    ServerPeer peer;
    ASSERT_NO_FATAL_FAILURE(peer.listen());
    QProcess student;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VASTREL_START_MARK", "1"); // the start benchmark's line
    student.setProcessEnvironment(env);
    student.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    student.start(QStringLiteral(STUDENT_PROGRAM), {"--server", "127.0.0.1"});
    ASSERT_TRUE(student.waitForStarted(WaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer.count(StudentMessage::Kind::Iam) == 1; }, StartMs));
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
    QFile log(AppFilePath("Student.LOG"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.contains("BEGIN.    Version"));
    EXPECT_TRUE(text.contains("In: \"!CloseClient\""));
    EXPECT_TRUE(text.contains("Out: \"!NOOP ECHO\""));
    EXPECT_TRUE(text.trimmed().endsWith("END"));
}
