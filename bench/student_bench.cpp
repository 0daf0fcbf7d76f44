// From the received question package to the first question shown, by the test engine alone (write
// the package to Temp, unpack, read the table, draw and mix 200 questions, show the first), against
// unpacking the same package from a file and reading its table, nothing else, in the same run. The
// set has 200 questions with pictures and is about 2 MiB packed. Ratio = engine time / baseline
// time: 1 means the engine adds nothing, 1.3 is the target's limit.
#include "adtg.h"
#include "archive.h"
#include "benchquestions.h"
#include "testengine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int Questions = 200;
constexpr int PictureBytes = 10'500; // random, so packing keeps them whole: about 2 MiB in all
constexpr int Rounds = 30;

class SilentSender : public EngineSender
{
public:
    bool isConnected() const override { return true; }
    bool isAutonomous() const override { return false; }
    bool requestOffered() const override { return false; }
    void sendRout(int, const QStringList&) override {}
    void sendReport(const Protocol::ReportLines&) override {}
    void sendFinishReport(const QStringList&) override {}
    void sendTotalReport(const QStringList&) override {}
    void sendCriteriaNeeded() override {}
    void abortQuestionSet() override {}
    void reportReceivingFailure() override { qFatal("the engine refused the set"); }
};

class SilentNotices : public EngineNotices
{
public:
    void showNotice(const Notice&) override {}
    void withdrawAllNotices() override {}
    void tellUser(const QString& text) override { qFatal("told: %s", qPrintable(text)); }
    void tellBesideGetQuestions(const QString&) override {}
    std::optional<QString> askStudentName() override { return QString(); }
    void applyAppearance(const Appearance&) override {}
    void showDetails(const TestDetails&) override {}
    void closeDetails() override {}
    void showCriteria(const QString&) override {}
    void closeCriteria() override {}
};

// The best of Rounds runs of each, taken in turns so that both meet the same load of the machine.
std::pair<double, double> bestMsInTurns(const std::function<void()>& first, const std::function<void()>& second)
{
    double best[2] = {1e300, 1e300};
    for (int i = 0; i < Rounds; ++i) {
        int which = 0;
        for (const auto* work : {&first, &second}) {
            QElapsedTimer timer;
            timer.start();
            (*work)();
            best[which] = std::min(best[which], double(timer.nsecsElapsed()) / 1e6);
            ++which;
        }
    }
    return {best[0], best[1]};
}

QString settingsList()
{
    QString text = QStringLiteral("RandomOrder=-1\r\nAllowBack=-1\r\nShowRights=-1\r\nTimeLimit=-1\r\nMaxTime=20\r\n"
                                  "GiveMaxCount=%1\r\nTopicID=7\r\nMixAnswers=-1\r\n")
                       .arg(Questions);
    for (int mark = 12; mark >= 1; --mark)
        text += QStringLiteral("Na%1=%2\r\n").arg(mark).arg(mark * 8);
    text +=
        QStringLiteral("MaxPointSystem=12\r\nTakePartialRight=-1\r\nQueFontColor=0\r\nQueFontSize=16\r\n"
                       "QueBGColor=0\r\nAnsFontColor=0\r\nAnsFontSize=14\r\nAnsBGColor=0\r\nRightAnsFontColor=0\r\n");
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString adtg = dir.filePath(QStringLiteral("QuestionList.ADTG"));
    const QString packagePath = dir.filePath(QStringLiteral("package.cmpr"));
    WriteAdtgFile(BenchQuestionSet(Questions, PictureBytes, true), adtg);
    TZLibCompression().CompressFile(adtg, packagePath);
    QFile::remove(adtg);
    QFile packageFile(packagePath);
    if (!packageFile.open(QIODevice::ReadOnly))
        qFatal("cannot read the package");
    const QByteArray package = packageFile.readAll();

    const QString unpacked = dir.filePath(QStringLiteral("unpacked"));
    QDir().mkpath(unpacked);
    SilentSender sender;
    SilentNotices notices;
    TestEngine engine(sender, notices, 1);
    if (!engine.ApplySettingsList(settingsList(), false))
        qFatal("settings refused");
    int rows = 0;
    const auto [baselineMs, engineMs] = bestMsInTurns(
        [&] {
            TZLibCompression().DecompressFiles(packagePath, unpacked);
            rows = ReadAdtgFile(QDir(unpacked).filePath(QStringLiteral("QuestionList.ADTG"))).rowCount();
        },
        [&] {
            if (!engine.LoadQuestionSet(package) || engine.presentation().size() != Questions ||
                !engine.view().hasQuestion)
                qFatal("no test started");
        });
    if (rows != Questions)
        qFatal("read %d rows instead of %d", rows, Questions);
    // Not a target, shown to tell costs apart: the package is written to a file before unpacking.
    const QString written = dir.filePath(QStringLiteral("written.cmpr"));
    const auto [writeMs, unusedMs] = bestMsInTurns(
        [&] {
            QFile file(written);
            if (!file.open(QIODevice::WriteOnly) || file.write(package) != package.size())
                qFatal("cannot write the package");
            file.close();
            QFile::remove(written);
        },
        [] {});

    std::printf("package of %d questions with %d-byte pictures: %lld bytes packed\n", Questions, PictureBytes,
                static_cast<long long>(package.size()));
    std::printf("unpack and read the table (baseline): %7.2f ms\n", baselineMs);
    std::printf("write the package to a file (info):   %7.2f ms\n", writeMs);
    std::printf("engine, package to first question:    %7.2f ms   ratio %.2f (target <= 1.3)\n", engineMs,
                engineMs / baselineMs);
    return 0;
}
