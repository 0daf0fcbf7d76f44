#include "adtg.h"
#include "appfolder.h"
#include "archive.h"
#include "enginefixture.h"
#include "enginetexts.h"
#include "markscale.h"
#include "resultfile.h"
#include "runlog.h"
#include "testhome.h"
#include "valuation.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <gtest/gtest.h>

using namespace enginefixture;
using fixture::Question;

namespace {

QString text(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

// n choice questions 100.. with three answers, the first right, prices 1..n.
Table choiceSet(int n, bool seven = false)
{
    Table t = fixture::questionTable(seven);
    for (int i = 0; i < n; ++i)
        fixture::addQuestion(t, {.id = 100 + i, .type = 0, .price = 1 + i, .answers = {"a", "b", "c"}, .correct = "1"});
    return t;
}

QList<int> idsOf(const Table& t)
{
    QList<int> ids;
    for (int r = 0; r < t.rowCount(); ++r)
        ids.append(t.value(r, QStringLiteral("QueID")).toInt());
    return ids;
}

// The four report lines of a "Report".
QByteArray reportBytes(int queId, const char* answer, int shown, int remain)
{
    return QByteArray("Report\0", 7) + "QueID=" + QByteArray::number(queId) + "\r\nsRslt=" + answer +
           "\r\nShownCount=" + QByteArray::number(shown) + "\r\nTimeRemain=" + QByteArray::number(remain) + "\r\n" +
           QByteArray(1, '\0');
}

} // namespace

TEST(TestEngineSelection, QuestionCountsAndOrder)
{
    const struct
    {
        int give;
        int rows;
        int random;
        int expected;
    } cases[] = {{20, 12, 0, 12}, {20, 12, -1, 12}, {5, 12, 0, 5}, {5, 12, -1, 5}, {1, 1, -1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "give " << c.give << " rows " << c.rows << " random " << c.random);
        EngineRig rig;
        const Table set = choiceSet(c.rows);
        rig.start({.RandomOrder = c.random, .GiveMaxCount = c.give}, set);
        const TestEngine& e = rig.engine;
        ASSERT_EQ(e.phase(), TestPhase::Answering);
        EXPECT_EQ(e.presentation().size(), c.expected);
        EXPECT_EQ(e.view().questionNumber, QStringLiteral("Вопрос 1 из %1").arg(c.expected));
        EXPECT_EQ(e.view().titleSuffix, QStringLiteral("[Вопрос 1 из %1]").arg(c.expected));
        // The set now holds exactly the chosen questions, each once; the price sum is theirs.
        const QList<int> kept = idsOf(e.questionSet());
        EXPECT_EQ(QSet<int>(kept.begin(), kept.end()), QSet<int>(e.presentation().begin(), e.presentation().end()));
        EXPECT_EQ(kept.size(), c.expected);
        int prices = 0;
        for (int id : e.presentation())
            prices += id - 100 + 1;
        EXPECT_EQ(e.priceSum(), prices);
        if (!c.random)
            EXPECT_EQ(e.presentation(), idsOf(set).mid(0, c.expected)); // stored order
        EXPECT_TRUE(e.routePending());
    }
}

TEST(TestEngineSelection, RandomOrderDrawsDifferentOrders)
{
    QSet<QList<int>> orders;
    for (quint32 seed = 1; seed <= 10; ++seed) {
        EngineRig rig(seed);
        rig.start({.RandomOrder = -1, .GiveMaxCount = 6}, choiceSet(6));
        orders.insert(rig.engine.presentation());
    }
    EXPECT_GT(orders.size(), 5);
}
