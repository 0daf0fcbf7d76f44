#include "testhome.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct ToolRun
{
    int exitCode;
    QByteArray out;
    QByteArray err;
};

ToolRun vastrel(const QStringList& args)
{
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/vastrel"), args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(TableCommands, MakeThenDumpGivesTheSameJson)
{
    const QByteArray json = R"({"columns":[
{"name":"QueID","type":"int","nullable":false,"key":true,"autoIncrement":true},
{"name":"Question","type":"memo"},
{"name":"Ans1","type":"text","size":100},
{"name":"OK1","type":"bool","nullable":false},
{"name":"QuePict","type":"binary"}
],"rows":[
[1,"Сколько?\r\nОдин ответ",null,true,"Qk0="],
[2,"",null,false,null]
]}
)";
    const QString in = testPath(QStringLiteral("in.json"));
    const QString top = testPath(QStringLiteral("Тема.top"));
    writeFile(in, json);
    const ToolRun make = vastrel({QStringLiteral("table"), QStringLiteral("make"), in, top});
    ASSERT_EQ(make.exitCode, 0) << make.err.constData();
    const ToolRun dump = vastrel({QStringLiteral("table"), QStringLiteral("dump"), top});
    ASSERT_EQ(dump.exitCode, 0) << dump.err.constData();
    // The file declares text columns at least 256 characters wide.
    EXPECT_EQ(dump.out, QByteArray(json).replace(R"("size":100)", R"("size":256)"));

    // A file written from a dump is the same file.
    const QString again = testPath(QStringLiteral("again.json"));
    const QString top2 = testPath(QStringLiteral("again.top"));
    writeFile(again, dump.out);
    ASSERT_EQ(vastrel({QStringLiteral("table"), QStringLiteral("make"), again, top2}).exitCode, 0);
    QFile a(top), b(top2);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
}

TEST(TableCommands, FailuresSayWhyAndWriteNothing)
{
    const QString bad = testPath(QStringLiteral("bad.json"));
    const QString out = testPath(QStringLiteral("out.top"));
    writeFile(bad, R"({"columns":[{"name":"A","type":"int"}],"rows":[["x"]]})");
    const ToolRun make = vastrel({QStringLiteral("table"), QStringLiteral("make"), bad, out});
    EXPECT_EQ(make.exitCode, 1);
    EXPECT_TRUE(make.err.startsWith("vastrel: ")) << make.err.constData();
    EXPECT_FALSE(QFile::exists(out));

    writeFile(bad, "not a table");
    const ToolRun dump = vastrel({QStringLiteral("table"), QStringLiteral("dump"), bad});
    EXPECT_EQ(dump.exitCode, 1);
    EXPECT_TRUE(dump.out.isEmpty());
    EXPECT_FALSE(dump.err.isEmpty());

    EXPECT_EQ(vastrel({QStringLiteral("table"), QStringLiteral("dump")}).exitCode, 1);
}
