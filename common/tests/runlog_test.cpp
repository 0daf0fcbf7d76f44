#include "codec.h"
#include "runlog.h"
#include "testhome.h"

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

const QRegularExpression stampPattern(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d: "));

} // namespace

TEST(RunLog, EntryFormsWithTimeStamp)
{
    RunLog::clear();
    LogText(QStringLiteral("Старт"));
    LogIn(QStringLiteral("10.0.0.5"), QStringLiteral("Iam"));
    LogOut(QStringLiteral("PC-1"), QStringLiteral("!Close"));
    const QStringList lines = RunLog::lines();
    ASSERT_EQ(lines.size(), 3);
    for (const QString& line : lines)
        EXPECT_TRUE(stampPattern.match(line).hasMatch()) << line.toStdString();
    EXPECT_EQ(lines[0].mid(14), QStringLiteral("Старт"));
    EXPECT_EQ(lines[1].mid(14), QStringLiteral("From:\"10.0.0.5\", In: \"Iam\""));
    EXPECT_EQ(lines[2].mid(14), QStringLiteral("To:\"PC-1\", Out: \"!Close\""));
}

TEST(RunLog, NulShownAsBar)
{
    RunLog::clear();
    const QString message = QStringLiteral("Iam") + QChar(u'\0') + QStringLiteral("Comp") + QChar(u'\0');
    LogText(message);
    LogIn(QStringLiteral("p"), message);
    EXPECT_EQ(RunLog::lines()[0].mid(14), QStringLiteral("Iam|Comp|"));
    EXPECT_EQ(RunLog::lines()[1].mid(14), QStringLiteral("From:\"p\", In: \"Iam|Comp|\""));
}

TEST(RunLog, PercentSignsInTextAreKept)
{
    RunLog::clear();
    LogOut(QStringLiteral("%1"), QStringLiteral("%2 %3"));
    EXPECT_EQ(RunLog::lines()[0].mid(14), QStringLiteral("To:\"%1\", Out: \"%2 %3\""));
}

TEST(RunLog, BeginLineHoldsDateAndVersion)
{
    RunLog::clear();
    LogBegin();
    const QString line = RunLog::lines()[0].mid(14);
    EXPECT_TRUE(line.endsWith(QStringLiteral(" BEGIN.    Version 4.0.1"))) << line.toStdString();
    EXPECT_TRUE(line.startsWith(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat)));
}

TEST(RunLog, FinishWritesWholeLogWithEndAndReplacesOldFile)
{
    const QString path = RunLog::filePathFor(QStringLiteral("Student"));
    EXPECT_TRUE(path.endsWith(QStringLiteral("/Student.LOG")));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an earlier run that is much longer than this one\r\n\r\n\r\n\r\n\r\n\r\n");
    }
    RunLog::clear();
    LogText(QStringLiteral("Привет"));
    ASSERT_TRUE(RunLog::finish(path));
    EXPECT_TRUE(RunLog::lines().isEmpty());

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 3); // two CR LF lines and the empty rest
    EXPECT_TRUE(lines[0].endsWith(toCp1251(QStringLiteral(": Привет\r"))));
    EXPECT_TRUE(lines[1].endsWith(": END\r"));
    EXPECT_TRUE(lines[2].isEmpty());
}

TEST(RunLog, FinishReportsUnwritableFolder)
{
    RunLog::clear();
    EXPECT_FALSE(RunLog::finish(testPath(QStringLiteral("missing/folder/x.LOG"))));
}

TEST(RunLog, LongEntryIsShortenedAndSaysByHowMuch)
{
    RunLog::clear();
    const qsizetype extra = 123;
    LogIn(QStringLiteral("p"), QString(RunLog::MaxEntryChars + extra, u'x'));
    const QString line = RunLog::lines()[0];
    EXPECT_TRUE(line.startsWith(RunLog::lines()[0].left(14) + QStringLiteral("From:\"p\", In: \"xxx")));
    // the stamp and the frame of the entry are part of what is cut
    const qsizetype cut = extra + 14 + QStringLiteral("From:\"p\", In: \"\"").size();
    EXPECT_TRUE(line.endsWith(QStringLiteral("x... (%1 characters more)").arg(cut))) << line.right(60).toStdString();
    EXPECT_LT(line.size(), RunLog::MaxEntryChars + 40);
}

TEST(RunLog, PastItsBoundTheOldestEntriesGoWithOneLineSayingHowMany)
{
    RunLog::clear();
    const QString filler(1000, u'f');
    auto total = [] {
        qsizetype n = 0;
        for (const QString& l : RunLog::lines())
            n += l.size();
        return n;
    };
    // enough entries to pass the bound three times over
    const int entries = int(3 * RunLog::MaxChars / 1000);
    for (int i = 0; i < entries; ++i)
        LogText(QString::number(i) + filler);
    const QStringList lines = RunLog::lines();
    EXPECT_LE(total(), RunLog::MaxChars);
    EXPECT_GT(total(), RunLog::MaxChars / 2) << "only the oldest go, not the whole log";
    EXPECT_EQ(lines.filter(QStringLiteral("earlier entries given up")).size(), 1);
    const QRegularExpression marker(QStringLiteral(": (\\d+) earlier entries given up"));
    const QRegularExpressionMatch m = marker.match(lines[0]);
    ASSERT_TRUE(m.hasMatch()) << lines[0].toStdString();
    const int givenUp = m.captured(1).toInt();
    EXPECT_EQ(givenUp + lines.size() - 1, entries) << "every entry is either kept or counted";
    // the kept ones are the newest, in order
    EXPECT_TRUE(lines[1].mid(14).startsWith(QString::number(givenUp) + u'f'));
    EXPECT_TRUE(lines.last().mid(14).startsWith(QString::number(entries - 1) + u'f'));
    // the log file holds the same bounded log
    const QString path = testPath(QStringLiteral("bounded.LOG"));
    ASSERT_TRUE(RunLog::finish(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("\r\n"), lines.size() + 1);
}

TEST(RunLog, ObserverSeesEveryLineAsItIsAdded)
{
    RunLog::clear();
    QStringList seen;
    RunLog::setObserver([&](const QString& line) { seen.append(line); });
    LogText(QString::fromLatin1("a\0b", 3));
    LogIn(QStringLiteral("10.0.0.1"), QStringLiteral("x"));
    RunLog::setObserver({});
    LogText(QStringLiteral("after"));
    EXPECT_EQ(seen, RunLog::lines().mid(0, 2));
    ASSERT_EQ(seen.size(), 2);
    EXPECT_TRUE(seen[0].endsWith(": a|b"));
}

namespace {
QStringList forwarded;
void keepForwarded(const QString& line)
{
    forwarded.append(line);
}
} // namespace

// A copy of the log in a loaded module hands its lines on, formed and shortened, and keeps none;
// the program's log takes them as they are.
TEST(RunLog, AForwardingLogHandsOnFormedLinesAndKeepsNone)
{
    RunLog::clear();
    forwarded.clear();
    RunLog::forwardTo(&keepForwarded);
    LogOut(QStringLiteral("10.0.0.2"), QString::fromLatin1("Iam\0"
                                                           "7",
                                                           5));
    LogText(QString(RunLog::MaxEntryChars + 10, u'x')); // 24 over with its time stamp
    const QStringList kept = RunLog::lines();
    RunLog::forwardTo(nullptr);
    EXPECT_TRUE(kept.isEmpty());
    ASSERT_EQ(forwarded.size(), 2);
    EXPECT_TRUE(forwarded[0].endsWith(QStringLiteral(": To:\"10.0.0.2\", Out: \"Iam|7\"")))
        << forwarded[0].toStdString();
    EXPECT_TRUE(forwarded[1].endsWith(QStringLiteral("... (24 characters more)")));
    for (const QString& line : forwarded)
        RunLog::appendLine(line);
    EXPECT_EQ(RunLog::lines(), forwarded);
}
