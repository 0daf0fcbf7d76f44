#include "adtg.h"
#include "appfolder.h"
#include "archive.h"
#include "codec.h"
#include "enginefixture.h"
#include "enginetexts.h"
#include "fixedtext.h"
#include "listlines.h"
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
// Fields each followed by NUL, as on the wire.
QByteArray wire(const QList<QByteArray>& fields)
{
    QByteArray bytes;
    for (const QByteArray& f : fields)
        bytes += f + '\0';
    return bytes;
}

QByteArray reportBytes(int queId, const QByteArray& answer, int shown, int remain)
{
    return wire({"Report", "QueID=" + QByteArray::number(queId) + "\r\nsRslt=" + answer + "\r\nShownCount=" +
                               QByteArray::number(shown) + "\r\nTimeRemain=" + QByteArray::number(remain) + "\r\n"});
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
        if (!c.random) {
            EXPECT_EQ(e.presentation(), idsOf(set).mid(0, c.expected)); // stored order
        }
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

TEST(TestEngineMixing, EmptyAndPictureOnlyAnswersKeepTheirPlace)
{
    // Seven-answer format, answers 1, 2 and 4 written, 3 empty; and an eight-answer question whose
    // answer 3 has only a picture.
    const struct
    {
        const char* what;
        bool seven;
        const char* pictures;
    } cases[] = {{"seven, 3 empty", true, ""}, {"eight, 3 a picture only", false, "3"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QSet<QString> seen;
        for (quint32 seed = 1; seed <= 30; ++seed) {
            Table t = fixture::questionTable(c.seven);
            fixture::addQuestion(t, {.id = 1, .answers = {"a", "b", "", "d"}, .correct = "1", .pictures = c.pictures});
            EngineRig rig(seed);
            rig.start({.MixAnswers = -1}, t);
            const QString mixed = rig.engine.questionSet().value(0, QStringLiteral("HowMixed")).toString();
            const int n = c.seven ? 7 : 8;
            ASSERT_EQ(mixed.size(), n) << mixed.toStdString();
            EXPECT_EQ(mixed[2], u'3');
            QString moved = QString(mixed[0]) + mixed[1] + mixed[3];
            std::sort(moved.begin(), moved.end());
            EXPECT_EQ(moved, QStringLiteral("124")) << mixed.toStdString();
            EXPECT_EQ(mixed.mid(4), QStringLiteral("5678").left(n - 4));
            seen.insert(mixed);
            // The view shows answer a at position k as HowMixed says.
            for (int k = 1; k <= n; ++k)
                EXPECT_EQ(rig.engine.view().positions[k - 1].answer, mixed[k - 1].unicode() - u'0');
        }
        EXPECT_EQ(seen.size(), 6); // every order of the three answers turns up
    }
}

TEST(TestEngineMixing, MixAnswersOffKeepsOrderButMatchingIsAlwaysMixed)
{
    QSet<QString> matching;
    for (quint32 seed = 1; seed <= 20; ++seed) {
        Table t = fixture::questionTable();
        fixture::addQuestion(t, {.id = 1, .type = 0, .answers = {"a", "b", "c", "d", "e"}, .correct = "1"});
        fixture::addQuestion(t, {.id = 2, .type = 2, .answers = {"a", "b", "c", "d", "e"}});
        fixture::addQuestion(t, {.id = 3, .type = 3, .answers = {"a", "b", "c", "", "e", "f", "g", ""}});
        EngineRig rig(seed);
        rig.start({.MixAnswers = 0}, t);
        const Table& set = rig.engine.questionSet();
        EXPECT_EQ(set.value(0, QStringLiteral("HowMixed")).toString(), QStringLiteral("12345678"));
        EXPECT_EQ(set.value(1, QStringLiteral("HowMixed")).toString(), QStringLiteral("12345678"));
        const QString m = set.value(2, QStringLiteral("HowMixed")).toString();
        ASSERT_EQ(m.size(), 8);
        // Each column is mixed within itself; the empty pair 4/8 stays in its row.
        QString left = m.left(3), right = m.mid(4, 3);
        std::sort(left.begin(), left.end());
        std::sort(right.begin(), right.end());
        EXPECT_EQ(left, QStringLiteral("123"));
        EXPECT_EQ(right, QStringLiteral("567"));
        EXPECT_EQ(m[3], u'4');
        EXPECT_EQ(m[7], u'8');
        matching.insert(m);
    }
    EXPECT_GT(matching.size(), 10);
}

namespace {

// One question of each kind, prices 1..4, in stored order.
Arrangement swapped(Arrangement a, int row1, int row2)
{
    std::swap(a[row1 - 1], a[row2 - 1]);
    return a;
}

} // namespace

TEST(TestEngineReports, RouteOnceThenReportsWithTheirBytes)
{
    EngineRig rig;
    TestEngine& e = rig.engine;
    rig.start({}, fourKinds());
    ASSERT_EQ(e.presentation(), (QList<int>{11, 12, 13, 14}));
    e.ToggleTick(1);
    e.ToggleTick(3);
    e.btnNextClick();
    e.SetOpenAnswer("Paris");
    e.btnNextClick();
    EXPECT_TRUE(e.SetArrangement(swapped(e.arrangement(), 1, 2)));
    e.btnNextClick();
    const QString mix = e.questionSet().value(e.view().row, QStringLiteral("HowMixed")).toString();
    const Arrangement matched = swapped(e.arrangement(), 5, 6);
    EXPECT_TRUE(e.SetArrangement(matched));
    e.btnReadyClick();

    // Matching questions are mixed whatever MixAnswers says.
    QByteArray answer14 = mix.left(4).toLatin1();
    for (int k = 5; k <= 8; ++k)
        answer14 += char('0' + matched[k - 1]);
    const QList<QByteArray> expected{
        wire({"Rout", "10", "11\r\n12=***\r\n13=12345678\r\n14=" + mix.toLatin1() + "\r\n"}),
        reportBytes(11, "13", 1, 0),
        reportBytes(12, "Paris", 2, 0),
        reportBytes(13, "21345678", 3, 0),
        reportBytes(14, answer14, 4, 0),
        wire({"FinishReport", "11=13\r\n12=Paris\r\n13=21345678\r\n14=" + answer14 + "\r\n"}),
    };
    EXPECT_EQ(rig.sender.sent, expected);
    EXPECT_FALSE(e.routePending());
}

TEST(TestEngineReports, OpenAnswersKeepToOneLineAndTheirField)
{
    EngineRig rig;
    TestEngine& e = rig.engine;
    rig.start({}, fourKinds());
    e.SetOpenAnswer("not an open question");
    EXPECT_TRUE(e.questionSet().value(0, QStringLiteral("Rslt")).isNull());
    e.btnNextClick();
    e.SetOpenAnswer(QString("Par\r\nis") + QChar(0) + QString(300, u'я'));
    const QString stored = e.questionSet().value(e.view().row, QStringLiteral("Rslt")).toString();
    EXPECT_EQ(stored.size(), 255);
    EXPECT_TRUE(stored.startsWith("Par  is "));
    e.btnNextClick();
    EXPECT_EQ(rig.sender.sent.last(), reportBytes(12, toCp1251(stored), 2, 0));
}

TEST(TestEngineReports, ArrangementsOnlyMoveWhatMayMove)
{
    EngineRig rig;
    TestEngine& e = rig.engine;
    rig.start({}, fourKinds());
    e.btnNextClick();
    e.btnNextClick(); // ordering, answers 1..5
    const Arrangement start = e.arrangement();
    EXPECT_FALSE(e.SetArrangement(swapped(start, 5, 6))); // row 6 holds no answer
    EXPECT_FALSE(e.SetArrangement(swapped(swapped(start, 1, 2), 1, 1) = Arrangement{1, 1, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(e.SetArrangement(swapped(start, 4, 5)));
    e.btnNextClick(); // matching: the left column never moves
    EXPECT_FALSE(e.SetArrangement(swapped(e.arrangement(), 1, 2)));
    EXPECT_FALSE(e.SetArrangement(swapped(e.arrangement(), 4, 5)));
    EXPECT_TRUE(e.SetArrangement(swapped(e.arrangement(), 7, 8)));
}

TEST(TestEngineReports, GoingBackShowsTheArrangementLeft)
{
    for (quint32 seed = 1; seed <= 5; ++seed) {
        EngineRig rig(seed);
        TestEngine& e = rig.engine;
        rig.start({.MixAnswers = -1}, fourKinds());
        e.btnNextClick();
        e.btnNextClick(); // the ordering question, shuffled
        const QString howMixed = e.questionSet().value(e.view().row, QStringLiteral("HowMixed")).toString();
        const Arrangement left = swapped(e.arrangement(), 2, 3);
        ASSERT_TRUE(e.SetArrangement(left));
        e.btnNextClick();
        e.btnPrevClick();
        EXPECT_EQ(e.view().index, 2);
        EXPECT_EQ(e.arrangement(), left);
        for (int k = 1; k <= 8; ++k)
            EXPECT_EQ(e.view().positions[k - 1].answer, left[k - 1]);
        EXPECT_EQ(e.questionSet().value(e.view().row, QStringLiteral("HowMixed")).toString(), howMixed);
        // Coming back to the matching question, unanswered, shows its first mix again.
        e.btnNextClick();
        const QString matchMix = e.questionSet().value(e.view().row, QStringLiteral("HowMixed")).toString();
        for (int k = 1; k <= 8; ++k)
            EXPECT_EQ(e.view().positions[k - 1].answer, matchMix[k - 1].unicode() - u'0');
    }
}

TEST(TestEngineButtons, EnablingFollowsPhaseIndexAndSettings)
{
    const struct
    {
        const char* what;
        Settings settings;
        int index;
        bool prev, next, ready;
    } cases[] = {
        {"first, back allowed", {}, 0, false, true, false},
        {"second, back allowed", {}, 1, true, true, false},
        {"last", {}, 3, true, false, true},
        {"back not allowed", {.AllowBack = 0}, 2, false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EngineRig rig;
        TestEngine& e = rig.engine;
        rig.start(c.settings, fourKinds());
        for (int i = 0; i < c.index; ++i)
            e.btnNextClick();
        const EngineView& v = e.view();
        EXPECT_EQ(v.index, c.index);
        EXPECT_EQ(v.prevEnabled, c.prev);
        EXPECT_EQ(v.nextEnabled, c.next);
        EXPECT_EQ(v.readyEnabled, c.ready);
        EXPECT_EQ(v.prevVisible, c.settings.AllowBack != 0);
        EXPECT_TRUE(v.answersEnabled);
        EXPECT_TRUE(v.criteriaEnabled);
        // A disabled operation does nothing.
        const int sentBefore = int(rig.sender.sent.size());
        if (!c.prev)
            e.btnPrevClick();
        if (!c.ready)
            e.btnReadyClick();
        EXPECT_EQ(e.view().index, c.index);
        EXPECT_EQ(rig.sender.sent.size(), sentBefore);
        EXPECT_EQ(e.phase(), TestPhase::Answering);
    }
}

TEST(TestEngineView, PriceShareRightCountAndKinds)
{
    EngineRig rig;
    TestEngine& e = rig.engine;
    rig.start({}, fourKinds());
    const EngineView& v = e.view();
    EXPECT_EQ(v.priceShare, QStringLiteral("(10,0%)"));
    EXPECT_EQ(v.rightCount, 2);
    EXPECT_TRUE(v.rightCountShown);
    EXPECT_TRUE(v.positions[0].shown && v.positions[2].shown);
    EXPECT_FALSE(v.positions[3].shown);
    e.btnNextClick();
    EXPECT_EQ(v.kind, QuestionKind::Open);
    EXPECT_FALSE(v.rightCountShown);
    EXPECT_EQ(v.priceShare, QStringLiteral("(20,0%)"));
    for (const AnswerPosition& p : v.positions)
        EXPECT_EQ(p.answer, 1);

    EngineRig hidden;
    hidden.start({.ShowPrice = 0, .ShowRightCount = 0}, fourKinds());
    EXPECT_FALSE(hidden.engine.view().pricePanelShown);
    EXPECT_FALSE(hidden.engine.view().rightCountShown);
}

TEST(TestEngineRights, ShowRightsInstantConfirmsThenMovesOnWithoutAnotherReport)
{
    EngineRig rig;
    TestEngine& e = rig.engine;
    rig.start({.ShowRightsInstant = -1}, fourKinds());
    EXPECT_EQ(e.view().nextAction, NextAction::QuestionReady);
    EXPECT_TRUE(e.view().nextEnabled);
    e.btnNextClick(); // the button runs "Вопрос решён" now: the window calls that, not this
    EXPECT_EQ(e.view().index, 0);
    e.ToggleTick(2);
    e.acQuestionReadyExecute();
    EXPECT_EQ(e.phase(), TestPhase::Confirmed);
    EXPECT_TRUE(e.view().marksShown);
    EXPECT_FALSE(e.view().answersEnabled);
    EXPECT_EQ(e.view().nextAction, NextAction::NextQuestion);
    // Answer 1 and 3 are right, 2 not (stored order: MixAnswers off).
    EXPECT_TRUE(e.view().positions[0].right);
    EXPECT_FALSE(e.view().positions[1].right);
    EXPECT_TRUE(e.view().positions[2].right);
    e.ToggleTick(1); // locked
    EXPECT_FALSE(e.questionSet().value(e.view().row, QStringLiteral("Fact1")).toBool());
    EXPECT_EQ(rig.sender.headed("Report").size(), 1);
    e.btnNextClick();
    EXPECT_EQ(e.phase(), TestPhase::Answering);
    EXPECT_EQ(e.view().index, 1);
    EXPECT_EQ(rig.sender.headed("Report").size(), 1);
    EXPECT_EQ(e.view().nextAction, NextAction::QuestionReady);
}

TEST(TestEngineRights, ReviewingMarksOrderingAndMatching)
{
    EngineRig rig;
    TestEngine& e = rig.engine;
    rig.start({.MixAnswers = 0}, fourKinds());
    e.btnNextClick();
    e.btnNextClick();
    ASSERT_TRUE(e.SetArrangement(swapped(e.arrangement(), 1, 2))); // 2 1 3 4 5
    e.btnNextClick();
    const QString mix = e.questionSet().value(e.view().row, QStringLiteral("HowMixed")).toString();
    e.btnReadyClick();
    ASSERT_EQ(e.phase(), TestPhase::Reviewing);
    EXPECT_EQ(e.view().index, 0);
    EXPECT_TRUE(e.view().prevVisible);
    EXPECT_FALSE(e.view().prevEnabled);
    EXPECT_FALSE(e.view().readyEnabled);
    EXPECT_FALSE(e.view().answersEnabled);
    e.btnNextClick();
    EXPECT_TRUE(e.view().rightAnswerShown);
    e.btnNextClick();
    const EngineView& v = e.view();
    EXPECT_TRUE(v.marksShown);
    const bool rightOrder[] = {false, false, true, true, true};
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(v.positions[k - 1].right, rightOrder[k - 1]) << k;
        EXPECT_EQ(v.positions[k - 1].orderMark, v.positions[k - 1].answer);
    }
    EXPECT_FALSE(v.positions[5].shown);
    e.btnNextClick(); // matching, left unanswered: its first mix pairs row k with answer mix[k+4]
    for (int k = 1; k <= 4; ++k) {
        const int left = mix[k - 1].unicode() - u'0';
        const int right = mix[k + 3].unicode() - u'0';
        EXPECT_EQ(v.positions[k - 1].right, right == left + 4) << k;
        EXPECT_EQ(v.positions[k + 3].right, right == left + 4) << k;
        // The right-hand mark names the left row whose partner the answer is.
        EXPECT_EQ(mix[v.positions[k + 3].orderMark - 1].unicode() - u'0' + 4, right);
    }
    e.btnPrevClick();
    EXPECT_EQ(e.view().index, 2);
    e.ChooseQuestion(0);
    EXPECT_EQ(e.view().index, 0);
}

TEST(TestEngineTime, CountdownNoticesAndTheEnd)
{
    const struct
    {
        const char* what;
        int timeLimit;
        int minutes;
        bool timed;
        bool warning;
    } cases[] = {{"two minutes", -1, 2, true, true},
                 {"one minute: starts at 60, no warning", -1, 1, true, false},
                 {"no minutes: untimed", -1, 0, false, false},
                 {"limit off", 0, 5, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EngineRig rig;
        TestEngine& e = rig.engine;
        rig.start({.TimeLimit = c.timeLimit, .MaxTime = c.minutes}, fourKinds());
        ASSERT_NE(rig.timers.countdown, nullptr);
        EXPECT_EQ(rig.timers.countdown->isActive(), c.timed);
        EXPECT_EQ(e.view().timeShown, c.timed);
        if (!c.timed) {
            EXPECT_EQ(e.secondsLeft(), 0);
            continue;
        }
        EXPECT_EQ(rig.timers.countdown->interval, 1000);
        EXPECT_EQ(e.secondsLeft(), c.minutes * 60);
        while (e.secondsLeft() > 61)
            rig.timers.countdown->fire();
        EXPECT_TRUE(rig.notices.notices.isEmpty());
        rig.timers.countdown->fire();
        if (c.warning) {
            EXPECT_EQ(e.secondsLeft(), 60);
            ASSERT_EQ(rig.notices.notices.size(), 1);
            EXPECT_EQ(rig.notices.notices[0], (Notice{"Осталось меньше 1 минуты!", EngineText::OneMinuteText,
                                                      NoticeIcon::Warning, NoticeColour::Magenta, 5, 2}));
            EXPECT_TRUE(e.view().gaugeRed);
            EXPECT_EQ(e.view().minutesText, QStringLiteral("1 мин."));
            EXPECT_EQ(e.view().secondsText, QStringLiteral("0 сек."));
        }
        while (e.secondsLeft() > 1)
            rig.timers.countdown->fire();
        EXPECT_EQ(e.phase(), TestPhase::Answering);
        rig.timers.countdown->fire();
        EXPECT_FALSE(rig.timers.countdown->isActive());
        EXPECT_EQ(e.phase(), TestPhase::Reviewing);
        ASSERT_GE(rig.notices.notices.size(), 2);
        const Notice& timeUp = rig.notices.notices[rig.notices.notices.size() - 2];
        EXPECT_EQ(timeUp,
                  (Notice{"Время истекло!", EngineText::TimeUpText, NoticeIcon::Warning, NoticeColour::Red, 20, 2}));
        EXPECT_EQ(rig.notices.notices.last().title, QStringLiteral("Ваша оценка"));
        EXPECT_EQ(rig.sender.headed("FinishReport").size(), 1);
        EXPECT_FALSE(e.view().timeShown);
        rig.timers.countdown->fire(); // stopped: nothing more
        EXPECT_EQ(e.secondsLeft(), 0);
    }
}

namespace {

// A whole test: every question answered somehow, some right, some wrong.
void answerAll(TestEngine& e)
{
    for (int i = 0; i < e.presentation().size(); ++i) {
        switch (e.view().kind) {
        case QuestionKind::Choice:
            e.ToggleTick(1 + i % 3);
            break;
        case QuestionKind::Open:
            e.SetOpenAnswer(i % 2 ? "Paris" : "London");
            break;
        case QuestionKind::Ordering:
        case QuestionKind::Matching:
            e.SetArrangement(swapped(e.arrangement(), 7, 8 - i % 2)); // matching: rows 7 and 8
            break;
        }
        if (i + 1 < e.presentation().size())
            e.btnNextClick();
    }
}

// A bigger set of all kinds, prices 1..5.
Table mixedKinds(int n, bool seven = false)
{
    Table t = fixture::questionTable(seven);
    for (int i = 0; i < n; ++i) {
        const int type = seven ? 0 : i % 4;
        const QStringList answers = type == 1   ? QStringList{"Paris", "paris*"}
                                    : type == 3 ? QStringList{"a", "b", "c", "d", "A", "B", "C", "D"}
                                                : QStringList{"a", "b", "c", "d", "e", "f", "g", "h"};
        fixture::addQuestion(
            t, {.id = 500 + i, .type = type, .price = 1 + i % 5, .answers = answers, .correct = i % 2 ? "1" : "12"});
    }
    return t;
}

} // namespace

TEST(TestEngineEnd, StudentAndServerAgreeOnTheTotal)
{
    const struct
    {
        const char* what;
        bool seven;
        bool partial;
    } cases[] = {
        {"eight, partial", false, true}, {"eight, all or nothing", false, false}, {"seven, partial", true, true}};
    for (const auto& c : cases) {
        for (quint32 seed = 1; seed <= 4; ++seed) {
            SCOPED_TRACE(testing::Message() << c.what << " seed " << seed);
            EngineRig rig(seed);
            TestEngine& e = rig.engine;
            const Table bank = mixedKinds(24, c.seven);
            rig.start({.RandomOrder = -1, .GiveMaxCount = 15, .MixAnswers = -1, .partial = c.partial}, bank);
            answerAll(e);
            e.btnReadyClick();
            const QList<QByteArray> finish = rig.sender.headed("FinishReport");
            ASSERT_EQ(finish.size(), 1);
            const QString list = QString::fromLatin1(finish[0].mid(13).chopped(1));
            EXPECT_EQ(SplitListLines(list).size(), 15);
            // The server grades the list against its own rows of the topic.
            const double server = ValuateAnswerList(bank, list, c.partial, nullptr, 15).percent.toDouble();
            EXPECT_EQ(e.lastOutcome().percent, server);
            EXPECT_GT(server, 0.0);
            EXPECT_LT(server, 100.0);
            EXPECT_EQ(e.lastOutcome().percentText, FormatFixed(server, 1));
        }
    }
}

TEST(TestEngineEnd, MarkNoticeDetailsAndPhaseByConnection)
{
    const struct
    {
        const char* what;
        bool connected;
        int showRights;
        int hideDetails;
    } cases[] = {{"connected, rights", true, -1, 0},
                 {"connected, no rights, no details", true, 0, -1},
                 {"disconnected", false, -1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EngineRig rig;
        TestEngine& e = rig.engine;
        rig.sender.connected = c.connected;
        rig.start({.ShowRights = c.showRights, .HideDetails = c.hideDetails, .scale = 5, .partial = false},
                  fourKinds());
        e.ToggleTick(1);
        e.ToggleTick(3);
        e.btnNextClick();
        e.SetOpenAnswer("Paris");
        e.btnNextClick();
        e.SetArrangement(swapped(e.arrangement(), 1, 2)); // wrong: nothing without partial credit
        e.btnNextClick();
        Arrangement pairs = e.arrangement(); // every right-hand item beside its partner
        for (int k = 1; k <= 4; ++k)
            pairs[k + 3] = pairs[k - 1] + 4;
        ASSERT_TRUE(e.SetArrangement(pairs));
        e.btnReadyClick();
        // Choice 1, open 2 and matching 4 right of 10: 70 %, a 3 on the five-point scale (Na3 50).
        EXPECT_EQ(e.lastOutcome().percentText, QStringLiteral("70,0"));
        EXPECT_EQ(e.lastOutcome().markText, QStringLiteral("3"));
        const Notice& mark = rig.notices.notices.last();
        EXPECT_EQ(mark.title, QStringLiteral("Ваша оценка"));
        EXPECT_EQ(mark.seconds, 20);
        EXPECT_EQ(mark.text, c.showRights
                                 ? QStringLiteral("Ваша оценка \"3 (70,0%)\r\rТеперь можно просмотреть правильные "
                                                  "(подчёркнутые) варианты ответов.")
                                 : QStringLiteral("Ваша оценка \"3\" (70,0%)"));
        EXPECT_EQ(rig.notices.details.size(), c.hideDetails ? 0 : 1);
        EXPECT_EQ(e.phase(), c.showRights ? TestPhase::Reviewing : TestPhase::Finished);
        EXPECT_EQ(rig.sender.headed("FinishReport").size(), c.connected ? 1 : 0);
        EXPECT_EQ(rig.notices.namesAsked, c.connected ? 0 : 1);
        const QStringList saved = QDir(AppFilePath("SavedWorks")).entryList(QDir::Files);
        EXPECT_EQ(saved.size(), c.connected ? 0 : 1);
        if (!c.showRights) {
            EXPECT_FALSE(e.view().prevEnabled);
            EXPECT_FALSE(e.view().readyEnabled);
            EXPECT_FALSE(e.view().questionReadyEnabled);
        }
        if (!c.hideDetails) {
            const TestDetails& d = rig.notices.details[0];
            ASSERT_EQ(d.rows.size(), 4);
            EXPECT_EQ(d.rows[0], (DetailsRow{"1", "1 (10,0%)", "100%", "10,0%"}));
            EXPECT_EQ(d.rows[1], (DetailsRow{"2", "2 (20,0%)", "100%", "20,0%"}));
            EXPECT_EQ(d.rows[2], (DetailsRow{"3", "3 (30,0%)", "0%", "0,0%"}));
            EXPECT_EQ(d.rows[3], (DetailsRow{"4", "4 (40,0%)", "100%", "40,0%"}));
            EXPECT_EQ(d.percentText, QStringLiteral("70,0"));
            EXPECT_EQ(d.markText, QStringLiteral("3"));
        }
    }
}

TEST(TestEngineEnd, OfflineWorkIsSavedWholeEvenWhenClearedWhileAskingTheName)
{
    EngineRig rig;
    TestEngine& e = rig.engine;
    rig.sender.connected = false;
    rig.start({.TimeLimit = -1, .MaxTime = 3}, fourKinds());
    e.ToggleTick(1);
    rig.timers.countdown->fire();
    e.btnNextClick();
    e.btnNextClick();
    e.btnNextClick();
    const QString answers = e.AnswerList();
    rig.notices.name = QStringLiteral("Петров\r\nTopicID=9");
    rig.notices.whileAsking = [&] { e.ResetForNextStudent(); }; // "!NextStudent" while the dialog is open
    e.btnReadyClick();
    EXPECT_EQ(e.phase(), TestPhase::Waiting);
    const QStringList saved = QDir(AppFilePath("SavedWorks")).entryList(QDir::Files);
    ASSERT_EQ(saved.size(), 1);
    EXPECT_TRUE(saved[0].startsWith("Local-") && saved[0].endsWith(".rslt4")) << saved[0].toStdString();
    const ResultFileContents file = ReadResultFile(QDir(AppFilePath("SavedWorks")).filePath(saved[0]));
    EXPECT_EQ(file.work.studentName, QStringLiteral("Петров  TopicID=9"));
    EXPECT_EQ(file.work.topicId, 7);
    EXPECT_EQ(file.work.maxTime, 3);
    EXPECT_EQ(file.work.timeRemain, 179);
    EXPECT_EQ(file.work.answerList, answers);
    EXPECT_EQ(file.work.questions.rowCount(), 4);
    EXPECT_TRUE(file.hasCriteria);
    // Temp keeps nothing of it.
    EXPECT_TRUE(QDir(AppFilePath("Temp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST(TestEngineEnd, ResetClearsTheWorkplace)
{
    EngineRig rig;
    TestEngine& e = rig.engine;
    rig.start({.TimeLimit = -1, .MaxTime = 2}, fourKinds());
    e.ToggleTick(1);
    e.btnNextClick();
    e.ResetForNextStudent();
    EXPECT_EQ(e.phase(), TestPhase::Waiting);
    EXPECT_EQ(e.settings().TopicID, 0);
    EXPECT_TRUE(e.criteriaList().isEmpty());
    EXPECT_EQ(e.priceSum(), 0);
    EXPECT_EQ(e.questionSet().rowCount(), 0);
    EXPECT_TRUE(e.presentation().isEmpty());
    EXPECT_FALSE(rig.timers.countdown->isActive());
    const EngineView& v = e.view();
    EXPECT_FALSE(v.hasQuestion);
    EXPECT_FALSE(v.timeShown || v.gaugeRed || v.nextEnabled || v.prevEnabled || v.readyEnabled || v.criteriaEnabled);
    EXPECT_TRUE(v.questionNumber.isEmpty() && v.titleSuffix.isEmpty());
    EXPECT_GE(rig.notices.criteriaClosed, 1);
    EXPECT_GE(rig.notices.detailsClosed, 1);
    // Operations on an empty workplace do nothing.
    const qsizetype sent = rig.sender.sent.size();
    e.btnNextClick();
    e.btnReadyClick();
    e.ToggleTick(1);
    e.SendAnswerList(true);
    EXPECT_EQ(rig.sender.sent.size(), sent);
    // The criteria are asked of the server now.
    e.btnShowCriteriaClick();
    EXPECT_EQ(rig.sender.sent.last(), QByteArray("!CriteriaNeeded\0", 16));
    e.TakeCriteriaList("Na12=1\r\n");
    EXPECT_EQ(rig.notices.criteriaShown.last(), QStringLiteral("Na12=1\r\n"));
}

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The package the server sends: an archive holding the set as "QuestionList.ADTG".
QByteArray package(const Table& questions, const QString& member = "QuestionList.ADTG")
{
    const QString adtg = testPath(member);
    WriteAdtgFile(questions, adtg);
    TZLibCompression().CompressFile(adtg, testPath("package.cmpr"));
    QFile::remove(adtg);
    return fileBytes(testPath("package.cmpr"));
}

bool tempIsEmpty()
{
    return QDir(AppFilePath("Temp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty();
}

} // namespace

TEST(TestEngineIntake, PackageLoadsAndLeavesNothingInTemp)
{
    EngineRig rig;
    TestEngine& e = rig.engine;
    ASSERT_TRUE(e.ApplySettingsList(settingsList({.TopicID = 9}), false));
    EXPECT_EQ(e.phase(), TestPhase::Waiting);
    EXPECT_TRUE(rig.timers.setWait->isActive());
    EXPECT_EQ(rig.timers.setWait->interval, 3000);
    ASSERT_EQ(rig.notices.appearances.size(), 1);
    EXPECT_EQ(rig.notices.appearances[0], (Appearance{65535, 16, 14260127, 0, 14, 16768480, 54272}));
    RunLog::clear();
    ASSERT_TRUE(e.LoadQuestionSet(package(fourKinds())));
    EXPECT_EQ(e.phase(), TestPhase::Answering);
    EXPECT_EQ(e.presentation().size(), 4);
    EXPECT_FALSE(e.sevenAnswerFormat());
    EXPECT_TRUE(RunLog::lines().last().endsWith("QuestionList received. No errors."));
    EXPECT_EQ(rig.notices.withdrawals, 1);
    EXPECT_TRUE(tempIsEmpty());
    // The member's name is matched without regard to case.
    ASSERT_TRUE(e.LoadQuestionSet(package(fourKinds(), "questionlist.adtg")));
    EXPECT_TRUE(tempIsEmpty());
    // The wait ends quietly when the set came in.
    rig.timers.setWait->fire();
    EXPECT_EQ(e.phase(), TestPhase::Answering);
    EXPECT_EQ(rig.sender.aborted, 0);
}

TEST(TestEngineIntake, ReceivedSetKeepsOpenAnswersToTheBanksWidth)
{
    // A received file declares its text columns wider than the bank's 255, which must still hold.
    EngineRig rig;
    TestEngine& e = rig.engine;
    ASSERT_TRUE(e.ApplySettingsList(settingsList({}), false));
    ASSERT_TRUE(e.LoadQuestionSet(package(fourKinds())));
    ASSERT_GT(e.questionSet().column(e.questionSet().columnIndex(QStringLiteral("Rslt"))).size, 255);
    e.btnNextClick();
    e.SetOpenAnswer(QString(300, u'я'));
    EXPECT_EQ(e.questionSet().value(e.view().row, QStringLiteral("Rslt")).toString().size(), 255);
}

TEST(TestEngineIntake, SetsThatCannotBeTakenIn)
{
    const Table good = fourKinds();
    Table repeated = fourKinds();
    fixture::addQuestion(repeated, {.id = 12, .answers = {"x"}});
    const QByteArray packed = package(good);
    const struct
    {
        const char* what;
        QByteArray bytes;
        const char* told;
    } cases[] = {
        {"not an archive", "garbage", nullptr},
        {"cut short", packed.left(packed.size() / 2), nullptr},
        {"no QuestionList.ADTG", package(good, "Other.ADTG"), "QuestionList.ADTG"},
        {"no questions", package(fixture::questionTable()), "нет ни одного вопроса"},
        {"a question twice", package(repeated), "Вопрос 12 встречается"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EngineRig rig;
        TestEngine& e = rig.engine;
        rig.start({}, fourKinds()); // a test runs and survives the refused set
        e.ToggleTick(2);
        e.ApplySettingsList(settingsList({}), false);
        EXPECT_FALSE(e.LoadQuestionSet(c.bytes));
        EXPECT_EQ(rig.sender.receivingFailures, 1);
        ASSERT_GE(rig.notices.told.size(), 2);
        EXPECT_EQ(rig.notices.told[0], QStringLiteral("Не удалось принять вопросы. Сообщите преподавателю."));
        if (c.told) {
            EXPECT_TRUE(rig.notices.told[1].contains(QString::fromUtf8(c.told))) << rig.notices.told[1].toStdString();
        }
        EXPECT_EQ(e.questionSet().rowCount(), 4);
        EXPECT_TRUE(tempIsEmpty());
        // The wait then clears the workplace.
        rig.timers.setWait->fire();
        EXPECT_EQ(e.phase(), TestPhase::Waiting);
        EXPECT_EQ(rig.sender.aborted, 1);
    }
}

TEST(TestEngineIntake, SettingsListsApplyWholeOrNotAtAll)
{
    const QString good = settingsList({.GiveMaxCount = 3, .TopicID = 5});
    const struct
    {
        const char* what;
        QString text;
        bool fromFile;
        bool taken;
    } cases[] = {
        {"complete", good, false, true},
        {"no Na4", QString(good).replace("Na4=", "Xa4="), false, false},
        {"no appearance", settingsList({.GiveMaxCount = 3, .TopicID = 5}, false), false, false},
        {"appearance not a number", QString(good).replace("QueFontSize=16", "QueFontSize=big"), false, false},
        {"file without appearance", settingsList({.GiveMaxCount = 3, .TopicID = 5}, false), true, true},
        {"file without MaxPointSystem", QString(good).replace("MaxPointSystem", "MaxPoint"), true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EngineRig rig;
        TestEngine& e = rig.engine;
        EXPECT_EQ(e.ApplySettingsList(c.text, c.fromFile), c.taken);
        EXPECT_EQ(e.settings().TopicID, c.taken ? 5 : 0);
        EXPECT_EQ(e.settings().GiveMaxCount, c.taken ? 3 : 20);
        EXPECT_EQ(e.criteriaList().isEmpty(), !c.taken);
        EXPECT_EQ(rig.timers.setWait->isActive(), c.taken && !c.fromFile);
        EXPECT_EQ(rig.sender.receivingFailures, !c.taken && !c.fromFile ? 1 : 0);
        EXPECT_EQ(rig.notices.told.isEmpty(), c.taken);
        if (c.taken) {
            EXPECT_TRUE(e.criteriaList().startsWith("Na12=101\r\nNa11=101\r\n"));
            continue;
        }
        if (c.fromFile)
            continue;
        // The set that follows a refused list from the network is refused too, and nothing starts.
        EXPECT_FALSE(e.LoadQuestionSet(package(fourKinds())));
        EXPECT_EQ(e.phase(), TestPhase::Waiting);
    }
}

// An empty or odd criteria value is copied whole: the mark scale gives it its meaning (an empty
// "Na12=" makes every result a 12).
TEST(TestEngineIntake, OddCriteriaValuesAreCopiedWhole)
{
    EngineRig rig;
    const QString list = settingsList({.scale = 12}).replace("Na12=101", "Na12=").replace("Na11=101", "Na11=x");
    ASSERT_TRUE(rig.engine.ApplySettingsList(list, false));
    EXPECT_TRUE(rig.engine.criteriaList().startsWith("Na12=\r\nNa11=x\r\nNa10=101\r\n"));
    rig.engine.LoadQuestionSet(fourKinds());
    rig.engine.btnNextClick();
    rig.engine.btnNextClick();
    rig.engine.btnNextClick();
    rig.engine.btnReadyClick();
    EXPECT_EQ(rig.engine.lastOutcome().markText, QStringLiteral("12"));
}

TEST(TestEngineIntake, QuestionFilesAndArguments)
{
    const QString settings = settingsList({.GiveMaxCount = 2, .TopicID = 4}, false);
    EngineRig rig;
    TestEngine& e = rig.engine;
    const std::optional<QString> topic = e.StartFromQuestionFile(questionFile("Алгебра", fourKinds(), settings));
    ASSERT_TRUE(topic.has_value()) << rig.notices.told.join("|").toStdString();
    EXPECT_EQ(*topic, QStringLiteral("Алгебра"));
    EXPECT_EQ(e.phase(), TestPhase::Answering);
    EXPECT_EQ(e.presentation().size(), 2);
    EXPECT_EQ(e.settings().TopicID, 4);
    EXPECT_TRUE(rig.notices.appearances.isEmpty());
    EXPECT_FALSE(rig.timers.setWait->isActive());
    EXPECT_TRUE(tempIsEmpty());

    // Without its settings no test starts.
    EngineRig bare;
    EXPECT_FALSE(bare.engine.StartFromQuestionFile(questionFile("Геометрия", fourKinds(), QString())).has_value());
    EXPECT_EQ(bare.engine.phase(), TestPhase::Waiting);
    EXPECT_EQ(bare.notices.told.size(), 1);

    // A question file as the first argument starts its test; any other file only sets the phase.
    EngineRig argued;
    argued.engine.StartWithArgument(questionFile("Физика", fourKinds(), settings));
    EXPECT_EQ(argued.engine.phase(), TestPhase::Answering);
    EngineRig other;
    QFile text(testPath("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("hello");
    text.close();
    other.engine.StartWithArgument(text.fileName());
    EXPECT_EQ(other.engine.phase(), TestPhase::ArgumentFile);
    ASSERT_EQ(other.notices.told.size(), 1);
    EXPECT_EQ(other.notices.told[0], QStringLiteral("Файл \"%1\" не является файлом вопросов.").arg(text.fileName()));
    EXPECT_FALSE(other.engine.view().criteriaEnabled && other.engine.view().nextEnabled);
}

TEST(TestEngineIntake, WaitRunsOutWithRequestOffered)
{
    EngineRig rig;
    rig.sender.offered = true;
    rig.engine.ApplySettingsList(settingsList({}), false);
    rig.timers.setWait->fire();
    EXPECT_EQ(rig.engine.phase(), TestPhase::Waiting);
    EXPECT_EQ(rig.sender.aborted, 1);
    EXPECT_EQ(rig.notices.beside, QStringList{"Сбой сети. Нажмите кнопку ещё раз, пожалуйста."});
}

TEST(TestEngineReports, AnswerListAfterAReconnectionAndCriteriaWithoutServer)
{
    EngineRig rig;
    TestEngine& e = rig.engine;
    rig.start({}, fourKinds());
    e.ToggleTick(2);
    e.btnNextClick();
    e.SendAnswerList(false); // "!Ready" for our topic after a reconnection
    const QList<QByteArray> total = rig.sender.headed("TotalReport");
    ASSERT_EQ(total.size(), 1);
    EXPECT_EQ(total[0], QByteArray("TotalReport\0"
                                   "11=2\r\n12=***\r\n13=12345678\r\n14=",
                                   42) +
                            e.questionSet().value(3, QStringLiteral("HowMixed")).toString().toLatin1() +
                            QByteArray("\r\n\0", 3));
    // The criteria are known: shown at once, not asked of the server.
    e.btnShowCriteriaClick();
    EXPECT_EQ(rig.notices.criteriaShown, QStringList{e.criteriaList()});
    // Working from a file without criteria, the (empty) window is shown all the same.
    e.ResetForNextStudent();
    rig.sender.autonomous = true;
    const qsizetype sent = rig.sender.sent.size();
    e.btnShowCriteriaClick();
    EXPECT_EQ(rig.notices.criteriaShown.size(), 2);
    EXPECT_EQ(rig.sender.sent.size(), sent);
}

TEST(TestEngineEnd, AWorkThatCannotBeSavedIsToldAndTheMarkShownAllTheSame)
{
    QFile blocker(AppFilePath("SavedWorks")); // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EngineRig rig;
    TestEngine& e = rig.engine;
    rig.sender.connected = false;
    rig.start({}, fourKinds());
    for (int i = 0; i < 3; ++i)
        e.btnNextClick();
    EXPECT_TRUE(e.SaveWorkOffline().isEmpty());
    e.btnReadyClick();
    EXPECT_EQ(rig.notices.told,
              (QStringList{"Не удалось сохранить работу в файл.", "Не удалось сохранить работу в файл."}));
    EXPECT_EQ(rig.notices.notices.last().title, QStringLiteral("Ваша оценка"));
    EXPECT_EQ(e.phase(), TestPhase::Reviewing);
}
