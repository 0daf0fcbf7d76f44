#include "codec.h"
#include "inifile.h"
#include "ports.h"
#include "testhome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(Ports, DefaultsWithoutFileAndNothingCreated)
{
    const Ports p = ReadPorts();
    EXPECT_EQ(p.udp, 9000);
    EXPECT_EQ(p.tcp, 4545);
    EXPECT_FALSE(QFile::exists(testPath(QStringLiteral("Ports"))));
}

TEST(Ports, FileCases)
{
    struct Case
    {
        const char* content;
        int udp;
        int tcp;
    };
    const Case cases[] = {
        {"[TCP]\r\nPort=4600\r\n", 9000, 4600},
        {"[UDP]\r\nPort=9100\r\n", 9100, 4545},
        {"[udp]\nport=9200\n[Tcp]\nPORT = 4700\n", 9200, 4700},
        {"[UDP]\r\nPort=abc\r\n[TCP]\r\nPort=\r\n", 9000, 4545},
        {"", 9000, 4545},
        {"garbage without sections\r\nPort=1\r\n", 9000, 4545},
    };
    for (const Case& c : cases) {
        writeFile(testPath(QStringLiteral("Ports")), c.content);
        const Ports p = ReadPorts(testHome());
        EXPECT_EQ(p.udp, c.udp) << c.content;
        EXPECT_EQ(p.tcp, c.tcp) << c.content;
    }
}

TEST(Ports, WrittenPortsReadBackAfterRestart)
{
    ASSERT_TRUE(WritePorts({}, 9100, 4600));
    const Ports p = ReadPorts();
    EXPECT_EQ(p.udp, 9100);
    EXPECT_EQ(p.tcp, 4600);
    QFile f(testPath(QStringLiteral("Ports")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("[UDP]\r\nPort=9100\r\n\r\n[TCP]\r\nPort=4600\r\n"));
}

TEST(Ports, WriteKeepsOtherEntries)
{
    writeFile(testPath(QStringLiteral("Ports")), toCp1251(QStringLiteral("[TCP]\r\nPort=1\r\nNote=да\r\n")));
    ASSERT_TRUE(WritePorts(testHome(), 9001, 4546));
    const IniFile ini = IniFile::load(testPath(QStringLiteral("Ports")));
    EXPECT_EQ(ini.value(QStringLiteral("TCP"), QStringLiteral("Note")), QStringLiteral("да"));
    EXPECT_EQ(ini.intValue(QStringLiteral("TCP"), QStringLiteral("Port"), 0), 4546);
}

TEST(IniFile, Cp1251ValuesAndFirstDuplicateWins)
{
    const IniFile ini = IniFile::fromBytes(toCp1251(QStringLiteral("[Тема]\r\nИмя=Дроби\r\nИмя=второе\r\n")));
    EXPECT_EQ(ini.value(QStringLiteral("тема"), QStringLiteral("имя")), QStringLiteral("Дроби"));
    EXPECT_EQ(IniFile::fromBytes(ini.toBytes()).value(QStringLiteral("Тема"), QStringLiteral("Имя")),
              QStringLiteral("Дроби"));
}
