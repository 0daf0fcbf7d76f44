#include "adtg.h"
#include "codec.h"
#include "gradingfixture.h"
#include "tablejson.h"
#include "testhome.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

using fixture::Question;

namespace {

struct ToolRun
{
    int exitCode;
    QString out;
    QString err;
};

ToolRun grade(const QStringList& args)
{
    QProcess p;
    // The tool writes reals with the decimal separator of the user's locale: pin it.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LANG", "ru_RU.UTF-8");
    env.insert("LC_ALL", "ru_RU.UTF-8");
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/vastrel"), QStringList{"grade"} + args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

Table questions()
{
    Table t = fixture::questionTable();
    fixture::addQuestion(
        t, Question{.id = 1, .type = 0, .price = 2, .answers = {"a", "b", "c", "d", "e"}, .correct = "124"});
    fixture::addQuestion(t, Question{.id = 2, .type = 1, .answers = {"Париж"}});
    fixture::addQuestion(t, Question{.id = 3, .type = 2, .answers = {"1", "2", "3", "4", "5"}});
    return t;
}

class GradeTool : public testing::Test
{
protected:
    void SetUp() override
    {
        writeFile(m_json, "\r\n  " + TableToJson(questions()));
        WriteAdtgFile(questions(), m_adtg);
        writeFile(m_answers, toCp1251("1=12\r\n2=Париж\r\n3=12354\r\n99=abc\r\n"));
        QString criteria = fixture::criteria(5, false, {0, 0, 0, 0, 0, 0, 0, 90, 75, 50, 30, 0});
        writeFile(m_criteria, toCp1251(criteria));
        writeFile(m_passCriteria, toCp1251(fixture::criteria(1, true, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 81})));
    }

    const QString m_json = testPath("questions.json");
    const QString m_adtg = testPath("questions.adtg");
    const QString m_answers = testPath("answers.txt");
    const QString m_criteria = testPath("criteria.txt");
    const QString m_passCriteria = testPath("pass.txt");
};

TEST_F(GradeTool, GradesAgainstEitherTableKind)
{
    struct Case
    {
        QStringList args;
        QString out;
    };
    const QString partial = "1=160,00\n2=100,00\n3=60,00\n99=abc\nPercent=80,0\n";
    const QString exact = "1=0,00\n2=100,00\n3=0,00\n99=abc\nPercent=25,0\n";
    const Case cases[] = {
        {{m_json, m_answers}, partial},
        {{m_adtg, m_answers}, partial},
        {{m_adtg, m_answers, "--partial", "off"}, exact},
        // Partial credit from the criteria list (off there), the mark on its five-point scale.
        {{m_json, m_answers, "--criteria", m_criteria}, exact + "Mark=1\n"},
        {{m_json, m_answers, "--criteria", m_criteria, "--partial", "on"}, partial + "Mark=4\n"},
        {{m_json, m_answers, "--criteria", m_passCriteria}, QString(partial) + "Mark=Незачёт\n"},
        {{m_json, m_answers, "--limit", "1"}, "1=160,00\n2=Париж\n3=12354\n99=abc\nPercent=80,0\n"},
        {{m_json, m_answers, "--limit", "0"}, "1=160,00\n2=100,00\n3=0,00\n99=abc\nPercent=65,0\n"},
    };
    for (const Case& c : cases) {
        const ToolRun run = grade(c.args);
        EXPECT_EQ(run.exitCode, 0) << c.args.join(' ').toStdString() << run.err.toStdString();
        EXPECT_EQ(run.out, c.out) << c.args.join(' ').toStdString();
    }
}

TEST_F(GradeTool, ExactTotalsAndTies)
{
    Table t = fixture::questionTable();
    fixture::addQuestion(t, Question{.id = 1, .type = 1, .answers = {"x"}});
    fixture::addQuestion(t, Question{.id = 2, .type = 2, .answers = {"1", "2", "3", "4", "5", "6", "7", "8"}});
    fixture::addQuestion(t, Question{.id = 3, .answers = {"a", "b", "c"}, .correct = "12"});
    fixture::addQuestion(t, Question{.id = 4, .answers = {"a", "b", "c"}, .correct = "1"});
    const QString table = testPath("ties.json");
    writeFile(table, TableToJson(t));
    const QString tie = testPath("tie.txt");
    writeFile(tie, "1=x\r\n2=13456782\r\n");
    const QString thirds = testPath("thirds.txt");
    writeFile(thirds, "3=13\r\n4=12\r\n");
    const QString passAtFifty = testPath("fifty.txt");
    writeFile(passAtFifty, toCp1251(fixture::criteria(1, true, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 50})));

    // 56.25 %: the tie goes away from zero.
    ToolRun run = grade({table, tie});
    EXPECT_EQ(run.out, "1=100,00\n2=12,50\nPercent=56,3\n") << run.err.toStdString();
    // 1/3 and 2/3 make exactly 50 %, which passes a pass mark of 50.
    run = grade({table, thirds, "--criteria", passAtFifty});
    EXPECT_EQ(run.out, "3=33,33\n4=66,67\nPercent=50,0\nMark=Зачёт\n") << run.err.toStdString();
}

TEST_F(GradeTool, RejectsBadInput)
{
    const QString broken = testPath("broken.adtg");
    writeFile(broken, "not a table at all");
    const QString brokenJson = testPath("broken.json");
    writeFile(brokenJson, "{\"columns\":");
    const QStringList cases[] = {
        {m_json},
        {m_json, m_answers, "--partial", "maybe"},
        {m_json, m_answers, "--limit", "ten"},
        {m_json, m_answers, "--limit"},
        {m_json, m_answers, "--colour", "red"},
        {m_json, testPath("missing.txt")},
        {m_json, m_answers, "--criteria", testPath("missing.txt")},
        {broken, m_answers},
        {brokenJson, m_answers},
    };
    for (const QStringList& args : cases) {
        const ToolRun run = grade(args);
        EXPECT_EQ(run.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith("vastrel: ")) << args.join(' ').toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    }
}

} // namespace
