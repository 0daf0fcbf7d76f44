// The three programs start, stay up offscreen, keep to one instance, and end normally writing
// their run log.
#include "codec.h"
#include "ports.h"
#include "testhome.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QThread>
#include <QUdpSocket>
#include <csignal>
#include <gtest/gtest.h>

namespace {

constexpr int StartTimeoutMs = 10000;

QString programPath(const QString& name)
{
    return QStringLiteral(VASTREL_BIN_DIR "/") + name;
}

// Free ports of this test in the port file of its program folder, so that no server or student
// elsewhere on the machine (on the default ports) finds the programs or is found by them.
void useOwnPorts()
{
    QUdpSocket udp;
    QTcpServer tcp;
    ASSERT_TRUE(udp.bind(QHostAddress::Any, 0));
    ASSERT_TRUE(tcp.listen(QHostAddress::Any, 0));
    ASSERT_TRUE(WritePorts({}, udp.localPort(), tcp.serverPort()));
}

// Starts a program in the test's own program folder and waits until its main window is up
// (its log socket folder exists and it still runs after a moment).
void start(QProcess& process, const QString& name, const QStringList& args = {})
{
    process.setProgram(programPath(name));
    process.setArguments(args);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
    ASSERT_TRUE(process.waitForStarted(StartTimeoutMs));
}

QStringList logLines(const QString& name)
{
    QFile log(testPath(name + QStringLiteral(".LOG")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return fromCp1251(log.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

void stopNormally(QProcess& process)
{
    ::kill(pid_t(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(StartTimeoutMs));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
}

} // namespace

TEST(Programs, EachStartsStaysUpAndEndsWithItsLog)
{
    struct Case
    {
        const char* name;
        bool logsBegin;
        int upForMs;
        bool usesStore;
    };
    const Case cases[] = {
        {"Student", true, 3000, false}, {"Vezuviroz", true, 1500, true}, {"Scribant", false, 1500, true}};
    ASSERT_NO_FATAL_FAILURE(useOwnPorts());
    for (const Case& c : cases) {
        const QString name = QString::fromLatin1(c.name);
        QProcess program;
        start(program, name);
        EXPECT_FALSE(program.waitForFinished(c.upForMs)) << c.name << " ended by itself";
        stopNormally(program);
        const QStringList lines = logLines(name);
        ASSERT_FALSE(lines.isEmpty()) << c.name;
        EXPECT_TRUE(lines.last().endsWith(QStringLiteral(": END"))) << lines.last().toStdString();
        EXPECT_EQ(lines.first().endsWith(QStringLiteral(" BEGIN.    Version 4.0.1")), c.logsBegin)
            << lines.first().toStdString();
        // The store programs made their store in the program folder.
        QFile store(testPath(QStringLiteral("vs4.mdb")));
        EXPECT_EQ(store.open(QIODevice::ReadOnly) && store.read(15) == "SQLite format 3", c.usesStore) << c.name;
    }
}

TEST(Programs, SecondStartHandsOverAndEnds)
{
    ASSERT_NO_FATAL_FAILURE(useOwnPorts());
    QProcess first;
    start(first, QStringLiteral("Scribant"));
    ASSERT_FALSE(first.waitForFinished(1500));

    QProcess second;
    start(second, QStringLiteral("Scribant"), {QStringLiteral("/tmp/Дроби.vst4")});
    ASSERT_TRUE(second.waitForFinished(StartTimeoutMs));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(testPath(QStringLiteral("Scribant.LOG")))); // the second wrote no log

    EXPECT_EQ(first.state(), QProcess::Running);
    stopNormally(first);
}
