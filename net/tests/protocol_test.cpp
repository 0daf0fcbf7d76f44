#include "codec.h"
#include "protocol.h"
#include "wireparser.h"

#include <QLocale>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace Protocol;

namespace {

// Test spelling of wire bytes: "|" stands for NUL.
QByteArray wire(const char* text)
{
    QByteArray b(text);
    b.replace('|', '\0');
    return b;
}

struct BuildCase
{
    const char* name;
    QByteArray built;
    QByteArray expected;
};

} // namespace

TEST(ProtocolBuild, EveryMessageOfBothTablesByteForByte)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const BuildCase cases[] = {
        {"Iam", iam(12, QStringLiteral("pc-07")), wire("Iam|12|pc-07|")},
        {"Iam negative", iam(-3, QStringLiteral("x")), wire("Iam|-3|x|")},
        {"GetQuestions", command(Head::GetQuestions), "!GetQuestions"},
        {"Rout", rout(17, {QStringLiteral("5"), QStringLiteral("6=***"), QStringLiteral("7=213")}),
         wire("Rout|17|5\r\n6=***\r\n7=213\r\n|")},
        {"Report", report({42, QStringLiteral("1;0"), 3, 590}),
         wire("Report|QueID=42\r\nsRslt=1;0\r\nShownCount=3\r\nTimeRemain=590\r\n|")},
        {"TotalReport", totalReport({QStringLiteral("1=0"), QStringLiteral("2=1")}),
         wire("TotalReport|1=0\r\n2=1\r\n|")},
        {"FinishReport", finishReport({QStringLiteral("1=0")}), wire("FinishReport|1=0\r\n|")},
        {"FinishReport empty", finishReport({}), wire("FinishReport||")},
        {"CriteriaNeeded", criteriaNeeded(), wire("!CriteriaNeeded|")},
        {"NoopEcho", command(Head::NoopEcho), "!NOOP ECHO"},
        {"Noop", command(Head::Noop), "!NOOP"},
        {"ReceivingError", command(Head::ReceivingError), "!ReceivingError"},
        {"SetPorts", setPorts(9100, 4600), wire("!SetPorts|9100|4600")},
        {"AllowRequest", allowRequest(7, false, QStringLiteral("Тема")), wire("!AllowRequest|7|0|\xD2\xE5\xEC\xE0")},
        {"AllowRequest retry", allowRequest(7, true, QStringLiteral("T")), wire("!AllowRequest|7|1|T")},
        {"DenyRequest", command(Head::DenyRequest), "!DenyRequest"},
        {"Ready", ready(31), wire("!Ready|31|")},
        {"SettingsList", settingsList({QStringLiteral("TimeLimit=-1"), QStringLiteral("MaxTime=20")}),
         wire("SettingsList|TimeLimit=-1\r\nMaxTime=20\r\n|")},
        {"QuestionList head", questionListHead(2097152), wire("QuestionList|2097152|")},
        {"YourPrePointsAre", yourPrePointsAre(QStringLiteral("Зачёт"), 66.66, {QStringLiteral("4=1,00")}),
         wire("YourPrePointsAre|\xC7\xE0\xF7\xB8\xF2|66,7|4=1,00\r\n")},
        {"YourPrePointsAre number", yourPrePointsAre(QStringLiteral("5"), 100, {}), wire("YourPrePointsAre|5|100,0|")},
        // A tie of the percentage goes away from zero, as everywhere a real is written.
        {"YourPrePointsAre tie", yourPrePointsAre(QStringLiteral("7"), 56.25, {}), wire("YourPrePointsAre|7|56,3|")},
        {"YourFinalPointsAre", yourFinalPointsAre(11), wire("YourFinalPointsAre|11")},
        {"CriteriaListIs", criteriaListIs({QStringLiteral("Na5=90"), QStringLiteral("MaxPointSystem=5")}),
         wire("!CriteriaListIs|Na5=90\r\nMaxPointSystem=5\r\n")},
        {"NextStudent", command(Head::NextStudent), "!NextStudent"},
        {"CloseClient", command(Head::CloseClient), "!CloseClient"},
        {"WhoAreYou", command(Head::WhoAreYou), "!WhoAreYou"},
        {"NeedRoute", command(Head::NeedRoute), "!NeedRoute"},
    };
    for (const BuildCase& c : cases)
        EXPECT_EQ(c.built, c.expected) << c.name;
}

TEST(ProtocolBuild, LogTextsOfSends)
{
    struct Case
    {
        Side side;
        QByteArray message;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {Side::Server, settingsList({QStringLiteral("A=1")}), QStringLiteral("SettingsList......")},
        {Side::Server, questionListHead(10), QStringLiteral("QuestionList......")},
        {Side::Server, yourFinalPointsAre(5), QStringLiteral("YourFinalPointsAre...")},
        {Side::Server, setPorts(1, 2), std::nullopt},
        {Side::Server, ready(3), std::nullopt},
        {Side::Server, command(Head::Noop), std::nullopt},
        {Side::Student, command(Head::Noop), std::nullopt},
        {Side::Student, command(Head::NoopEcho), QStringLiteral("!NOOP ECHO")},
        {Side::Server, allowRequest(1, false, QStringLiteral("Тема")),
         QStringLiteral("!AllowRequest\u00001\u00000\u0000Тема")},
        {Side::Server, yourPrePointsAre(QStringLiteral("4"), 50, {}),
         QString::fromLatin1("YourPrePointsAre\0"
                             "4\0"
                             "50,0\0",
                             24)},
        {Side::Student, iam(0, QStringLiteral("h")),
         QString::fromLatin1("Iam\0"
                             "0\0h\0",
                             8)},
        {Side::Student, report({1, QStringLiteral("x"), 1, 1}), fromCp1251(report({1, QStringLiteral("x"), 1, 1}))},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sentLogText(c.side, c.message), c.expected) << c.message.toStdString();
}

TEST(ProtocolFields, TakingFieldsAndLists)
{
    FieldReader r(wire("a|bc||d"));
    EXPECT_EQ(r.take(), "a");
    EXPECT_EQ(r.take(), "bc");
    EXPECT_EQ(r.take(), "");
    EXPECT_EQ(r.take(), "d");
    EXPECT_TRUE(r.rest().isEmpty());

    EXPECT_EQ(splitLines("a\r\nb\rc\nd"), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines(wire("a\r\nb\r\n|c\r\n")), (QStringList{"a", "b"}));
    EXPECT_EQ(splitLines("a\n\nb\r\n"), (QStringList{"a", "", "b"}));
    EXPECT_TRUE(splitLines("").isEmpty());

    EXPECT_EQ(parseDecimal("-12"), -12);
    EXPECT_EQ(parseDecimal("0"), 0);
    for (const char* bad : {"", "-", "+1", " 1", "1 ", "1a", "0x10", "1234567890123456789"})
        EXPECT_FALSE(parseDecimal(bad).has_value()) << bad;
    EXPECT_FALSE(parseInt("2147483648").has_value());
    EXPECT_EQ(parseInt("-2147483648"), std::numeric_limits<int>::min());

    EXPECT_TRUE(firstFieldIs(wire("Report|x"), "Report"));
    EXPECT_TRUE(firstFieldIs("Report", "Report"));
    EXPECT_FALSE(firstFieldIs("ReportX", "Report"));
    EXPECT_FALSE(firstFieldIs(wire("TotalReport|"), "Report"));
}

TEST(ProtocolDispatch, ServerTakesEveryStudentMessage)
{
    using Kind = StudentMessage::Kind;
    using Status = Dispatched<StudentMessage>::Status;

    auto d = dispatchOnServer(iam(12, QStringLiteral("pc-07")));
    ASSERT_EQ(d.status, Status::Message);
    EXPECT_EQ(d.message.kind, Kind::Iam);
    EXPECT_EQ(d.message.topicId, 12);
    EXPECT_EQ(d.message.hostName, "pc-07");

    d = dispatchOnServer(rout(17, {QStringLiteral("5"), QStringLiteral("6=***")}));
    ASSERT_EQ(d.status, Status::Message);
    EXPECT_EQ(d.message.kind, Kind::Rout);
    EXPECT_EQ(d.message.priceSum, 17);
    EXPECT_EQ(d.message.lines, (QStringList{"5", "6=***"}));

    d = dispatchOnServer(report({42, QStringLiteral("Ответ"), 3, 590}));
    ASSERT_EQ(d.status, Status::Message);
    EXPECT_EQ(d.message.kind, Kind::Report);
    EXPECT_EQ(d.message.report, (ReportLines{42, QStringLiteral("Ответ"), 3, 590}));

    d = dispatchOnServer(totalReport({QStringLiteral("1=0")}));
    EXPECT_EQ(d.message.kind, Kind::TotalReport);
    EXPECT_EQ(d.message.lines, QStringList{"1=0"});
    d = dispatchOnServer(finishReport({QStringLiteral("2=1")}));
    EXPECT_EQ(d.message.kind, Kind::FinishReport);
    EXPECT_EQ(d.message.lines, QStringList{"2=1"});

    const std::pair<QByteArray, Kind> wholes[] = {{command(Head::GetQuestions), Kind::GetQuestions},
                                                  {command(Head::NoopEcho), Kind::NoopEcho},
                                                  {criteriaNeeded(), Kind::CriteriaNeeded}};
    for (const auto& [bytes, kind] : wholes) {
        d = dispatchOnServer(bytes);
        EXPECT_EQ(d.status, Status::Message) << bytes.toStdString();
        EXPECT_EQ(d.message.kind, kind) << bytes.toStdString();
    }
    // Ignored: the student's "!NOOP", "!ReceivingError" (only logged), whole texts with anything
    // more or less, and "!CriteriaNeeded" without its NUL.
    for (const QByteArray& bytes :
         {command(Head::Noop), command(Head::ReceivingError), QByteArray("!GetQuestions "),
          QByteArray("!CriteriaNeeded"), wire("!CriteriaNeeded||"), QByteArray("!NOOP ECHO!"), QByteArray("Hello")})
        EXPECT_EQ(dispatchOnServer(bytes).status, Status::Ignored) << bytes.toStdString();
}

TEST(ProtocolDispatch, BadNumbersAreRefusedWithAReason)
{
    using Status = Dispatched<StudentMessage>::Status;
    const QByteArray bad[] = {wire("Iam|x|pc|"), wire("Iam||pc|"), wire("Rout|1.5|1\r\n|"),
                              wire("Report|QueID=4x\r\nsRslt=1\r\nShownCount=1\r\nTimeRemain=0\r\n|"),
                              wire("Report|QueID=4\r\nsRslt=1\r\nTimeRemain=0\r\n|")};
    for (const QByteArray& m : bad) {
        const auto d = dispatchOnServer(m);
        EXPECT_EQ(d.status, Status::Refused) << m.toStdString();
        EXPECT_TRUE(d.problem.contains(QStringLiteral("not a decimal number"))) << d.problem.toStdString();
    }
    using SStatus = Dispatched<ServerMessage>::Status;
    const QByteArray badServer[] = {wire("!Ready|abc|"), wire("!AllowRequest|1|y|T"), wire("!SetPorts|9000|4545x"),
                                    wire("!SetPorts|0|4545"), wire("!SetPorts|9000|70000")};
    for (const QByteArray& m : badServer)
        EXPECT_EQ(dispatchOnStudent(m).status, SStatus::Refused) << m.toStdString();
}

TEST(ProtocolDispatch, StudentTakesEveryServerMessage)
{
    using Kind = ServerMessage::Kind;
    using Status = Dispatched<ServerMessage>::Status;

    auto d = dispatchOnStudent(allowRequest(7, true, QStringLiteral("Тема 1")));
    ASSERT_EQ(d.status, Status::Message);
    EXPECT_EQ(d.message.kind, Kind::AllowRequest);
    EXPECT_EQ(d.message.topicId, 7);
    EXPECT_TRUE(d.message.retry);
    EXPECT_EQ(d.message.text, QStringLiteral("Тема 1"));
    EXPECT_TRUE(dispatchOnStudent(wire("!AllowRequest|7|-1|T")).message.retry); // any non-zero is true
    EXPECT_FALSE(dispatchOnStudent(allowRequest(7, false, "T")).message.retry);

    d = dispatchOnStudent(ready(31));
    EXPECT_EQ(d.message.kind, Kind::Ready);
    EXPECT_EQ(d.message.topicId, 31);

    d = dispatchOnStudent(settingsList({QStringLiteral("A=1"), QStringLiteral("B=Б")}));
    EXPECT_EQ(d.message.kind, Kind::SettingsList);
    EXPECT_EQ(d.message.lines, (QStringList{"A=1", QStringLiteral("B=Б")}));

    d = dispatchOnStudent(yourFinalPointsAre(11));
    EXPECT_EQ(d.message.kind, Kind::YourFinalPointsAre);
    EXPECT_EQ(d.message.text, "11");

    d = dispatchOnStudent(setPorts(9100, 4600));
    EXPECT_EQ(d.message.kind, Kind::SetPorts);
    EXPECT_EQ(d.message.udpPort, 9100);
    EXPECT_EQ(d.message.tcpPort, 4600);

    d = dispatchOnStudent(criteriaListIs({QStringLiteral("Na5=90")}));
    EXPECT_EQ(d.message.kind, Kind::CriteriaListIs);
    EXPECT_EQ(d.message.lines, QStringList{"Na5=90"});

    d = dispatchOnStudent(yourPrePointsAre(QStringLiteral("Незачёт"), 12.5, {QStringLiteral("1=0,00")}));
    EXPECT_EQ(d.message.kind, Kind::YourPrePointsAre);
    EXPECT_EQ(d.message.text, QStringLiteral("Незачёт"));
    EXPECT_EQ(d.message.percent, "12,5");
    EXPECT_EQ(d.message.lines, QStringList{"1=0,00"});

    const std::pair<QByteArray, Kind> wholes[] = {{command(Head::WhoAreYou), Kind::WhoAreYou},
                                                  {command(Head::Noop), Kind::Noop},
                                                  {command(Head::DenyRequest), Kind::DenyRequest},
                                                  {command(Head::NextStudent), Kind::NextStudent},
                                                  {command(Head::CloseClient), Kind::CloseClient}};
    for (const auto& [bytes, kind] : wholes) {
        d = dispatchOnStudent(bytes);
        EXPECT_EQ(d.status, Status::Message) << bytes.toStdString();
        EXPECT_EQ(d.message.kind, kind) << bytes.toStdString();
    }
    for (const QByteArray& bytes :
         {command(Head::NeedRoute), QByteArray("!NOOP "), QByteArray("!NOOP ECHO"), QByteArray("")})
        EXPECT_EQ(dispatchOnStudent(bytes).status, Status::Ignored) << bytes.toStdString();
}

// --- framing ---

namespace {

QList<QByteArray> serverSide(ServerReceiver& r, const QList<QByteArray>& reads,
                             QList<ServerReceiver::Event>* all = nullptr)
{
    QList<QByteArray> messages;
    for (const QByteArray& read : reads) {
        for (const ServerReceiver::Event& e : r.feed(read)) {
            messages += e.bytes;
            if (all)
                *all += e;
        }
    }
    return messages;
}

QList<StudentReceiver::Event> studentSide(StudentReceiver& r, const QList<QByteArray>& reads)
{
    QList<StudentReceiver::Event> events;
    for (const QByteArray& read : reads)
        events += r.feed(read);
    return events;
}

// Messages of the student whose end the grammar tells.
QList<QByteArray> studentConversation()
{
    return {iam(0, QStringLiteral("pc-01")),
            command(Head::GetQuestions),
            rout(9, {QStringLiteral("1"), QStringLiteral("2=***")}),
            report({1, QStringLiteral("0;1"), 1, 100}),
            command(Head::Noop),
            report({2, QStringLiteral("текст"), 2, 90}),
            criteriaNeeded(),
            command(Head::NoopEcho),
            totalReport({QStringLiteral("1=0;1")}),
            command(Head::ReceivingError),
            finishReport({QStringLiteral("1=0;1"), QStringLiteral("2=текст")})};
}

} // namespace

TEST(ProtocolFraming, ServerCutsEverySplitAndMergeOfTheStudentsMessages)
{
    const QList<QByteArray> conversation = studentConversation();
    const QByteArray stream = conversation.join();
    {
        ServerReceiver r;
        EXPECT_EQ(serverSide(r, {stream}), conversation) << "all in one read";
    }
    for (qsizetype cut = 1; cut < stream.size(); ++cut) {
        ServerReceiver r;
        EXPECT_EQ(serverSide(r, {stream.first(cut), stream.sliced(cut)}), conversation) << "cut at " << cut;
    }
    {
        ServerReceiver r;
        QList<QByteArray> bytes;
        for (char c : stream)
            bytes += QByteArray(1, c);
        EXPECT_EQ(serverSide(r, bytes), conversation) << "one byte per read";
    }
}

TEST(ProtocolFraming, ServerDispatchesEachMessageOnce)
{
    ServerReceiver r;
    QList<ServerReceiver::Event> events;
    serverSide(r, {report({5, "a", 1, 1}) + report({6, "b", 2, 2}).first(9), report({6, "b", 2, 2}).sliced(9)},
               &events);
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0].type, ServerReceiver::Event::Type::Message);
    EXPECT_EQ(events[0].message.report.queId, 5);
    EXPECT_EQ(events[1].message.report.queId, 6);
}

TEST(ProtocolFraming, CriteriaNeededWithoutItsNulIsIgnoredAndTheNextMessageStillCounts)
{
    ServerReceiver r;
    QList<ServerReceiver::Event> events;
    serverSide(r, {"!CriteriaNeeded", report({5, "a", 1, 1})}, &events);
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0].type, ServerReceiver::Event::Type::Ignored);
    EXPECT_EQ(events[0].bytes, "!CriteriaNeeded");
    EXPECT_EQ(events[1].type, ServerReceiver::Event::Type::Message);
    EXPECT_EQ(events[1].message.kind, StudentMessage::Kind::Report);

    // the same text alone in its read is never dispatched
    ServerReceiver alone;
    events.clear();
    serverSide(alone, {"!CriteriaNeeded"}, &events);
    EXPECT_TRUE(events.isEmpty());
}

TEST(ProtocolFraming, UnknownBytesRunToTheEndOfTheirRead)
{
    ServerReceiver r;
    QList<ServerReceiver::Event> events;
    serverSide(r, {"garbage" + command(Head::NoopEcho), command(Head::GetQuestions)}, &events);
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0].type, ServerReceiver::Event::Type::Ignored);
    EXPECT_EQ(events[0].bytes, "garbage!NOOP ECHO");
    EXPECT_EQ(events[1].message.kind, StudentMessage::Kind::GetQuestions);
}

TEST(ProtocolFraming, NoopWaitsForWhatMayMakeItAnEcho)
{
    ServerReceiver r;
    QList<ServerReceiver::Event> events;
    serverSide(r, {"!NOOP", " ECHO"}, &events);
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].message.kind, StudentMessage::Kind::NoopEcho);
    events.clear();
    serverSide(r, {"!NOOP", command(Head::GetQuestions)}, &events);
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0].type, ServerReceiver::Event::Type::Ignored);
    EXPECT_EQ(events[0].bytes, "!NOOP");
    EXPECT_EQ(events[1].message.kind, StudentMessage::Kind::GetQuestions);
}

TEST(ProtocolFraming, StudentCutsServerMessagesAndRunOnFieldsEndWithTheRead)
{
    // each run-on message closes its read; the rest may be split anywhere
    const QList<QList<QByteArray>> segments = {
        {command(Head::WhoAreYou), ready(4), settingsList({QStringLiteral("A=1")}),
         allowRequest(4, false, QStringLiteral("Тема"))},
        {command(Head::DenyRequest), command(Head::Noop), command(Head::NextStudent), command(Head::NeedRoute),
         setPorts(9100, 4600)},
        {command(Head::CloseClient), yourPrePointsAre(QStringLiteral("5"), 90, {QStringLiteral("1=1,00")})},
        {criteriaListIs({QStringLiteral("Na5=90")})},
        {ready(5), yourFinalPointsAre(12)},
    };
    QList<QByteArray> expected;
    for (const auto& s : segments)
        expected += s;

    QRandomGenerator rng(1234);
    for (int round = 0; round < 200; ++round) {
        QList<QByteArray> reads;
        for (const auto& s : segments) {
            const QByteArray joined = s.join();
            // split the segment's fixed-end part randomly; the last message's run-on part stays in the last read
            const qsizetype fixedEnd = joined.size() - s.last().size() + s.last().lastIndexOf('\0') + 1;
            qsizetype pos = 0;
            while (pos < fixedEnd) {
                const qsizetype n = 1 + rng.bounded(int(fixedEnd - pos));
                reads += joined.sliced(pos, n);
                pos += n;
            }
            if (pos < joined.size())
                reads.last() += joined.sliced(pos);
        }
        StudentReceiver r;
        QList<QByteArray> got;
        for (const auto& e : studentSide(r, reads)) {
            EXPECT_NE(e.type, StudentReceiver::Event::Type::Refused);
            got += e.bytes;
        }
        ASSERT_EQ(got, expected) << "round " << round;
    }
}

TEST(ProtocolFraming, ARunOnNumberOrListEndsWhereTheNextMessageOfTheSameReadBegins)
{
    // what a sender that writes two messages at once puts in one read
    struct Case
    {
        const char* name;
        QList<QByteArray> messages; // as they should be read apart
    };
    const Case apart[] = {
        {"ports, then a command", {setPorts(9100, 4600), command(Head::NextStudent)}},
        {"ports, then an offer", {setPorts(9100, 4600), allowRequest(3, false, QStringLiteral("Дроби"))}},
        {"final points, then a command", {yourFinalPointsAre(5), command(Head::NextStudent)}},
        {"criteria, then a command", {criteriaListIs({QStringLiteral("Na5=90")}), command(Head::WhoAreYou)}},
        {"marks without details, then points", {yourPrePointsAre(QStringLiteral("5"), 90, {}), yourFinalPointsAre(11)}},
        {"marks with details, then ready",
         {yourPrePointsAre(QStringLiteral("4"), 75, {QStringLiteral("1=1,00"), QStringLiteral("2=0,50")}), ready(7)}},
    };
    for (const Case& c : apart) {
        StudentReceiver r;
        QList<QByteArray> got;
        for (const auto& e : studentSide(r, {c.messages.join()})) {
            EXPECT_EQ(e.type, StudentReceiver::Event::Type::Message) << c.name;
            got += e.bytes;
        }
        EXPECT_EQ(got, c.messages) << c.name;
    }

    // a topic name has no form of its own: what follows it in the read is part of it
    StudentReceiver r;
    auto events = studentSide(r, {allowRequest(3, false, QStringLiteral("Дроби")) + command(Head::NextStudent)});
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].message.text, QStringLiteral("Дроби!NextStudent"));
    // nor is a number cut before bytes that begin no message
    events = studentSide(r, {setPorts(9100, 4600) + "!Next"});
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].type, StudentReceiver::Event::Type::Refused);
    events = studentSide(r, {yourFinalPointsAre(5) + "!Next"});
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].message.text, QStringLiteral("5!Next"));
}

TEST(ProtocolFraming, AMessageWithoutItsLastNulDoesNotSwallowTheNextOne)
{
    struct Case
    {
        const char* name;
        QByteArray unended; // a message whose last NUL never comes
        QByteArray next;
    };
    const Case serverCases[] = {
        {"Iam", wire("Iam|0|pc-01"), report({3, "x", 1, 9})},
        {"Report", wire("Report|QueID=1\r\n"), command(Head::GetQuestions)},
        {"Rout", wire("Rout|2|1\r\n"), iam(0, QStringLiteral("pc"))},
        {"CriteriaNeeded", "!CriteriaNeeded", finishReport({QStringLiteral("1=0")})},
    };
    for (const Case& c : serverCases) {
        ServerReceiver r;
        QList<ServerReceiver::Event> events;
        const QList<QByteArray> got = serverSide(r, {c.unended, c.next}, &events);
        EXPECT_EQ(got, (QList<QByteArray>{c.unended, c.next})) << c.name;
        EXPECT_EQ(events.last().type, ServerReceiver::Event::Type::Message) << c.name;
        EXPECT_EQ(r.heldByteCount(), 0) << c.name;
    }
    const Case studentCases[] = {
        {"Ready", wire("!Ready|4"), command(Head::NextStudent)},
        {"SettingsList", wire("SettingsList|A=1\r\n"), command(Head::WhoAreYou)},
        {"AllowRequest", wire("!AllowRequest|4|0"), ready(4)},
    };
    for (const Case& c : studentCases) {
        StudentReceiver r;
        const auto events = studentSide(r, {c.unended, c.next});
        ASSERT_EQ(events.size(), 2) << c.name;
        EXPECT_EQ(events[0].bytes, c.unended) << c.name;
        EXPECT_EQ(events[1].bytes, c.next) << c.name;
        EXPECT_EQ(events[1].type, StudentReceiver::Event::Type::Message) << c.name;
    }
}

TEST(ProtocolFraming, HeldBytesAreGivenOutWhenTheirEndIsOverdue)
{
    ServerReceiver server;
    EXPECT_TRUE(server.feed(wire("Iam|5|pc-0")).isEmpty());
    EXPECT_EQ(server.heldByteCount(), 10); // "Iam|5|pc-0"
    auto events = server.flushHeld();
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].message.kind, StudentMessage::Kind::Iam);
    EXPECT_EQ(events[0].message.hostName, "pc-0");
    EXPECT_EQ(server.heldByteCount(), 0);
    EXPECT_TRUE(server.flushHeld().isEmpty());

    // a set head without its NUL is not a count to wait for
    StudentReceiver student;
    EXPECT_TRUE(student.feed(wire("QuestionList|12")).isEmpty());
    const auto studentEvents = student.flushHeld();
    ASSERT_EQ(studentEvents.size(), 1);
    EXPECT_EQ(studentEvents[0].type, StudentReceiver::Event::Type::QuestionSetRefused);
    EXPECT_FALSE(student.receivingQuestionSet());
}

TEST(ProtocolFraming, ATrickledMessageIsTakenWholeOnceItsEndComes)
{
    // one byte a read, then larger pieces: the held message grows where it is
    const QByteArray message = finishReport(QStringList(2000, QStringLiteral("123=1;0;1")));
    ServerReceiver r;
    QList<ServerReceiver::Event> events;
    qsizetype pos = 0;
    for (qsizetype n = 1; pos < message.size(); n = qMin<qsizetype>(n * 2, 4096)) {
        const qsizetype take = qMin(n, message.size() - pos);
        events += r.feed(message.sliced(pos, take));
        pos += take;
        if (pos < message.size()) {
            ASSERT_TRUE(events.isEmpty()) << "at " << pos;
        }
    }
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].bytes, message);
    EXPECT_EQ(events[0].message.lines.size(), 2000);
}

TEST(ProtocolFraming, StudentLogsDispatchedMessagesButNeverSetBytes)
{
    StudentReceiver r;
    const QByteArray payload("\x01\x02secret", 8);
    const auto events = studentSide(
        r, {command(Head::WhoAreYou), questionListHead(payload.size()) + payload, command(Head::NeedRoute)});
    ASSERT_EQ(events.size(), 4);
    EXPECT_EQ(events[0].logText, "!WhoAreYou");
    EXPECT_EQ(events[1].type, StudentReceiver::Event::Type::QuestionSetHead);
    EXPECT_EQ(events[1].logText, "QuestionList......");
    EXPECT_EQ(events[2].type, StudentReceiver::Event::Type::QuestionSetComplete);
    EXPECT_FALSE(events[2].logText.has_value());
    EXPECT_EQ(events[3].type, StudentReceiver::Event::Type::Ignored);
    EXPECT_EQ(events[3].logText, "!NeedRoute");
}

// --- question set ---

namespace {

int completions(const QList<StudentReceiver::Event>& events, QByteArray* set = nullptr)
{
    int n = 0;
    for (const auto& e : events) {
        if (e.type == StudentReceiver::Event::Type::QuestionSetComplete) {
            ++n;
            if (set)
                *set = e.bytes;
        }
    }
    return n;
}

} // namespace

TEST(ProtocolQuestionSet, CompletesExactlyOnTheReadThatReachesTheCount)
{
    QByteArray payload(3000, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 7);
    struct Case
    {
        const char* name;
        qsizetype inHead; // payload bytes in the head's read
        QList<qsizetype> later;
    };
    const Case cases[] = {{"all in the head's read", 3000, {}},
                          {"none in the head's read, three later reads", 0, {1000, 1000, 1000}},
                          {"some in the head's read, three later reads", 10, {990, 1999, 1}}};
    for (const Case& c : cases) {
        StudentReceiver r;
        auto events = r.feed(settingsList({QStringLiteral("A=1")}));
        ASSERT_EQ(events.size(), 1);
        events = r.feed(questionListHead(payload.size()) + payload.first(c.inHead));
        EXPECT_EQ(events.first().type, StudentReceiver::Event::Type::QuestionSetHead) << c.name;
        EXPECT_EQ(events.first().byteCount, 3000) << c.name;
        qsizetype pos = c.inHead;
        for (qsizetype n : c.later) {
            EXPECT_EQ(completions(events), 0) << c.name << " before byte " << pos;
            EXPECT_TRUE(r.receivingQuestionSet());
            events = r.feed(payload.sliced(pos, n));
            pos += n;
        }
        QByteArray set;
        EXPECT_EQ(completions(events, &set), 1) << c.name;
        EXPECT_EQ(set, payload) << c.name;
        EXPECT_FALSE(r.receivingQuestionSet());
    }
}

TEST(ProtocolQuestionSet, BytesBeyondTheCountAreNotPartOfTheSet)
{
    StudentReceiver r;
    const QByteArray payload(100, 'q');
    const auto events = r.feed(questionListHead(100) + payload + QByteArray(5, 'z'));
    QByteArray set;
    EXPECT_EQ(completions(events, &set), 1);
    EXPECT_EQ(set.size(), 100);
    EXPECT_EQ(set, payload);
    // the extra bytes went on as a message of their own, which nobody takes
    ASSERT_EQ(events.last().type, StudentReceiver::Event::Type::Ignored);
    EXPECT_EQ(events.last().bytes, "zzzzz");
    EXPECT_EQ(completions(r.feed(QByteArray(100, 'q'))), 0);
}

TEST(ProtocolQuestionSet, MessageRightAfterTheSetIsDispatched)
{
    StudentReceiver r;
    const auto events = r.feed(questionListHead(4) + "abcd" + command(Head::Noop));
    ASSERT_EQ(events.size(), 3);
    EXPECT_EQ(events[1].bytes, "abcd");
    EXPECT_EQ(events[2].message.kind, ServerMessage::Kind::Noop);
}

TEST(ProtocolQuestionSet, RefusedCountsDropTheSetsBytesUntilAMessageBegins)
{
    const QByteArray heads[] = {wire("QuestionList|-5|"), wire("QuestionList|12a|"), wire("QuestionList||"),
                                wire("QuestionList|536870913|"), wire("QuestionList|99999999999999999|")};
    for (const QByteArray& head : heads) {
        SCOPED_TRACE(head.toStdString());
        StudentReceiver r;
        auto events = r.feed(head + "xyz");
        ASSERT_EQ(events.size(), 1) << "the rest of the read is not taken as messages";
        EXPECT_EQ(events[0].type, StudentReceiver::Event::Type::QuestionSetRefused);
        EXPECT_FALSE(events[0].problem.isEmpty());
        EXPECT_FALSE(r.receivingQuestionSet());
        // what the server still sends of that set goes unread, with one log line for all of it
        events = r.feed(QByteArray(4096, '\x9c'));
        ASSERT_EQ(events.size(), 1);
        EXPECT_EQ(events[0].type, StudentReceiver::Event::Type::Refused);
        EXPECT_FALSE(events[0].logText.has_value());
        EXPECT_TRUE(r.feed(wire("abc|def")).isEmpty());
        // a read that begins with a message ends the dropping
        events = r.feed(command(Head::CloseClient));
        ASSERT_EQ(events.size(), 1);
        EXPECT_EQ(events[0].message.kind, ServerMessage::Kind::CloseClient);
        EXPECT_FALSE(r.droppingSetRest());
        events = r.feed("zz");
        ASSERT_EQ(events.size(), 1);
        EXPECT_EQ(events[0].type, StudentReceiver::Event::Type::Ignored) << "later unknown bytes are messages again";
    }
    // at the limit the set is taken
    StudentReceiver r;
    const auto events = r.feed(wire("QuestionList|536870912|"));
    EXPECT_EQ(events[0].type, StudentReceiver::Event::Type::QuestionSetHead);
    EXPECT_TRUE(r.receivingQuestionSet());
}

TEST(ProtocolQuestionSet, RestOfASetWhoseWaitRanOutIsDroppedNotTakenAsMessages)
{
    StudentReceiver r;
    r.feed(questionListHead(1000) + QByteArray(300, 'a'));
    r.abortQuestionSet();
    EXPECT_TRUE(r.droppingSetRest());
    QList<StudentReceiver::Event> events = studentSide(r, {QByteArray(500, 'b'), QByteArray(200, 'c')});
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].type, StudentReceiver::Event::Type::Refused);
    EXPECT_FALSE(events[0].logText.has_value()) << "set bytes are never logged as a message";
    events = studentSide(r, {command(Head::NextStudent), command(Head::WhoAreYou)});
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0].message.kind, ServerMessage::Kind::NextStudent);
    EXPECT_EQ(events[1].message.kind, ServerMessage::Kind::WhoAreYou);

    // a set that had come whole leaves nothing to drop
    StudentReceiver whole;
    whole.feed(questionListHead(3) + "abc");
    whole.abortQuestionSet();
    EXPECT_FALSE(whole.droppingSetRest());
}

TEST(ProtocolQuestionSet, EmptySetCompletesAtItsHead)
{
    StudentReceiver r;
    const auto events = r.feed(questionListHead(0) + command(Head::WhoAreYou));
    ASSERT_EQ(events.size(), 3);
    EXPECT_EQ(events[1].type, StudentReceiver::Event::Type::QuestionSetComplete);
    EXPECT_TRUE(events[1].bytes.isEmpty());
    EXPECT_EQ(events[2].message.kind, ServerMessage::Kind::WhoAreYou);
}

TEST(ProtocolQuestionSet, AbortEndsReceiving)
{
    StudentReceiver r;
    r.feed(questionListHead(10) + "abc");
    EXPECT_EQ(r.receivedByteCount(), 3);
    r.abortQuestionSet();
    EXPECT_FALSE(r.receivingQuestionSet());
    const auto events = r.feed(command(Head::NextStudent));
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].message.kind, ServerMessage::Kind::NextStudent);
}

// --- limits ---

TEST(ProtocolLimits, OverlongMessageIsDroppedAndTheConnectionGoesOn)
{
    ServerReceiver r;
    const QByteArray chunk(1024 * 1024, 'a');
    QList<ServerReceiver::Event> events;
    events += r.feed(QByteArray("Report") + '\0');
    for (int i = 0; i < 17 && events.isEmpty(); ++i)
        events += r.feed(chunk);
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].type, ServerReceiver::Event::Type::Refused);
    EXPECT_TRUE(events[0].problem.contains(QStringLiteral("16777216")));
    events = r.feed(command(Head::GetQuestions));
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].message.kind, StudentMessage::Kind::GetQuestions);
}

TEST(ProtocolRandom, RandomReadsLoseAndRepeatNoByte)
{
    QRandomGenerator rng(99);
    const QByteArray alphabet = wire("|||QuestionList|Report|Iam|!NOOP ECHO|!NOOP|!Ready|12|-1|\r\n=abc");
    for (int round = 0; round < 300; ++round) {
        StudentReceiver student;
        ServerReceiver server;
        QByteArray input;
        QByteArray cutByServer;
        for (int read = 0; read < 20; ++read) {
            QByteArray bytes;
            const int n = rng.bounded(60);
            for (int i = 0; i < n; ++i)
                bytes += rng.bounded(4) == 0 ? char(rng.bounded(256)) : alphabet[rng.bounded(int(alphabet.size()))];
            input += bytes;
            for (const auto& e : student.feed(bytes)) {
                if (e.type == StudentReceiver::Event::Type::QuestionSetComplete) {
                    EXPECT_EQ(e.bytes.size(), e.byteCount);
                }
            }
            for (const auto& e : server.feed(bytes))
                cutByServer += e.bytes;
        }
        ASSERT_EQ(cutByServer + server.pendingBytes(), input) << "round " << round;
    }
}
