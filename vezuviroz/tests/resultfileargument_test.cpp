// A student's result file opened with Vezuviroz, from the desktop or by a later start of the program,
// is shown in the saved-work viewer.
#include "appfolder.h"
#include "gradingfixture.h"
#include "messagerecorder.h"
#include "resultfile.h"
#include "savedwork.h"
#include "savedworkf.h"
#include "vezuvirozmodules.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace {

QString writeWork(const QString& folder)
{
    ResultWork w;
    w.questions = fixture::questionTable();
    fixture::addQuestion(w.questions, {.id = 1, .type = 0, .answers = {"да", "нет"}, .correct = "1"});
    w.studentName = QStringLiteral("Сидоров");
    w.topicId = 5;
    w.answerList = QStringLiteral("1=1\r\n");
    QDir().mkpath(folder);
    return WriteResultFile(w, folder + "/", QDateTime::currentDateTime());
}

} // namespace

TEST(VezuvirozResultFile, AHandedOverResultFileIsShownInTheViewer)
{
    MessageRecorder messages;
    auto modules = std::make_unique<VezuvirozModules>();
    modules->argumentHandedOver(QString()); // a later start without an argument only comes to the front
    EXPECT_EQ(TSavedWorkF::instance(), nullptr);
    const QString path = writeWork(AppFilePath(QStringLiteral("incoming")));
    ASSERT_FALSE(path.isEmpty());
    modules->argumentHandedOver(path);
    TSavedWorkF* viewer = TSavedWorkF::instance();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->work()->studentName(), QStringLiteral("Сидоров"));
    delete viewer;
}

TEST(VezuvirozResultFile, TheProgramStartedWithAResultFileShowsIt)
{
    const QString home = AppFilePath(QStringLiteral("program"));
    QDir().mkpath(home);
    const QString path = writeWork(AppFilePath(QStringLiteral("incoming")));
    ASSERT_FALSE(path.isEmpty());
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VASTREL_HOME"), home);
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(VEZUVIROZ_PROGRAM), {path});
    ASSERT_TRUE(program.waitForStarted());
    // The store exists once the modules are made; the file is shown in the event loop's first turns.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(home + "/vs4.mdb"); }, 20000));
    QTest::qWait(1500);
    ::kill(pid_t(program.processId()), SIGTERM); // closes the main window: a normal end with its log
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 0);
    QFile log(home + "/Vezuviroz.LOG");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(log.readAll()).contains(QStringLiteral("Result file shown: ") + path));
}
