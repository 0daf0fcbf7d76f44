// Grading as the server does it on every report: an answer list of 200 questions of all kinds
// against the topic's cached question table. Baseline: a loop that only parses the same list.
#include "gradingfixture.h"
#include "valuation.h"

#include <QString>
#include <chrono>
#include <cstdio>

namespace {

static constexpr int QuestionCount = 200;
static constexpr double SecondsPerFigure = 2.0;
// The server grades every report a classroom sends; one core must keep far ahead of them.
static constexpr int TargetReportsPerSecond = 20000;

Table makeQuestions()
{
    Table table = fixture::questionTable();
    const QStringList openAnswers = {QStringLiteral("Париж"), QStringLiteral("paris*"), QStringLiteral("Lutetia"),
                                     QStringLiteral("[Пп]арижск*")};
    for (int i = 0; i < QuestionCount; ++i) {
        fixture::Question q;
        q.id = 1000 + i * 7;
        q.type = i % 4;
        q.price = 1 + i % 10;
        if (q.type == 1) {
            q.answers = openAnswers;
        } else {
            for (int k = 1; k <= (q.type == 0 ? 6 : 8); ++k)
                q.answers.append(QStringLiteral("Ответ %1").arg(k));
        }
        if (q.type == 0)
            q.correct = QStringLiteral("25");
        fixture::addQuestion(table, q);
    }
    return table;
}

QString makeAnswerList()
{
    const QStringList choice = {QStringLiteral("25"), QStringLiteral("2"), QStringLiteral("125"), QStringLiteral("0")};
    const QStringList open = {QStringLiteral(" PARIS-city "), QStringLiteral("париж"), QStringLiteral("Парижский"),
                              QStringLiteral("Лондон")};
    const QStringList order = {QStringLiteral("12345678"), QStringLiteral("21345678"), QStringLiteral("87654321")};
    const QStringList match = {QStringLiteral("12345678"), QStringLiteral("12346578"), QStringLiteral("43218765")};
    QString list;
    for (int i = 0; i < QuestionCount; ++i) {
        const int id = 1000 + i * 7;
        const int v = i / 4;
        QString answer;
        switch (i % 4) {
        case 0:
            answer = choice[v % choice.size()];
            break;
        case 1:
            answer = open[v % open.size()];
            break;
        case 2:
            answer = order[v % order.size()];
            break;
        default:
            answer = match[v % match.size()];
            break;
        }
        list += QString::number(id) + u'=' + answer + QLatin1String("\r\n");
    }
    return list;
}

// Runs body repeatedly for about SecondsPerFigure and returns runs per second.
template <typename Body> double perSecond(Body body)
{
    using Clock = std::chrono::steady_clock;
    long runs = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    do {
        for (int i = 0; i < 100; ++i)
            body();
        runs += 100;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < SecondsPerFigure);
    return runs / elapsed;
}

volatile double sink;

double total(const GradeTotal& graded)
{
    return graded.percent.toDouble() + graded.scoreList.size();
}

} // namespace

int main()
{
    const Table table = makeQuestions();
    const QuestionSet cached(table);
    const QString list = makeAnswerList();

    // What every grader must do at the least: walk the lines and read each id and answer.
    const double parsed = perSecond([&] {
        const QStringView text(list);
        qsizetype start = 0;
        long sum = 0;
        while (start < text.size()) {
            qsizetype end = text.indexOf(u'\n', start);
            if (end < 0)
                end = text.size();
            const QStringView line = text.sliced(start, end - start);
            const qsizetype eq = line.indexOf(u'=');
            sum += line.first(eq).toInt() + line.size() - eq;
            start = end + 1;
        }
        sink = double(sum);
    });
    const double graded =
        perSecond([&] { sink = total(ValuateAnswerList(cached, list, true, nullptr, QuestionCount)); });
    const double gradedExact =
        perSecond([&] { sink = total(ValuateAnswerList(cached, list, false, nullptr, QuestionCount)); });
    QStringList output;
    const double gradedWithOutput =
        perSecond([&] { sink = total(ValuateAnswerList(cached, list, true, &output, QuestionCount)); });
    const double gradedUncached =
        perSecond([&] { sink = total(ValuateAnswerList(table, list, true, nullptr, QuestionCount)); });

    std::printf("answer list of %d questions (%lld characters), total %.3f %%\n", QuestionCount,
                static_cast<long long>(list.size()),
                ValuateAnswerList(cached, list, true, nullptr, QuestionCount).percent.toDouble());
    std::printf("parse only (baseline):               %10.0f lists/s\n", parsed);
    auto figure = [&](const char* name, double rate) {
        std::printf("%-36s %10.0f reports/s  %.2fx the baseline's time\n", name, rate, parsed / rate);
    };
    figure("graded, cached table, partial on:", graded);
    figure("graded, cached table, partial off:", gradedExact);
    figure("graded, cached table, output list:", gradedWithOutput);
    figure("graded, table indexed per report:", gradedUncached);
    std::printf("target: at least %d reports/s graded against the cached table\n", TargetReportsPerSecond);
    return 0;
}
