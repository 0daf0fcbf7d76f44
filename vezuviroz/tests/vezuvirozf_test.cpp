// The main window through its commands, headless, with student computers on loopback.
#include "appfolder.h"
#include "archivef.h"
#include "choosestudentf.h"
#include "criterialistf.h"
#include "dataset.h"
#include "exportoptionsf.h"
#include "filedialogrecorder.h"
#include "findtopicf.h"
#include "generalsettingsf.h"
#include "messagerecorder.h"
#include "monitordelegate.h"
#include "monitormodel.h"
#include "ports.h"
#include "runlog.h"
#include "savedworkf.h"
#include "serverfixture.h"
#include "shellrecorder.h"
#include "sqltexts.h"
#include "startoptions.h"
#include "studentviewpanel.h"
#include "topictree.h"
#include "topictreeedits.h"
#include "vezuvirozmodules.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFrame>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUdpSocket>

using K = Protocol::ServerMessage::Kind;

namespace {

constexpr int WaitMs = 10000;

// Answers the window's dialogs while alive: the general settings and the topic search.
class DialogAnswers
{
public:
    explicit DialogAnswers(std::function<int(QDialog&)> answer)
        : m_previous(TVezuvirozF::setDialogRunner(std::move(answer)))
    {}
    ~DialogAnswers() { TVezuvirozF::setDialogRunner(std::move(m_previous)); }

private:
    TVezuvirozF::DialogRunner m_previous;
};

class StudentAnswer
{
public:
    explicit StudentAnswer(int student)
        : m_previous(TVezuvirozF::setStudentChooser([this, student](QWidget*, const QString& title) {
              titles.append(title);
              return student;
          }))
    {}
    ~StudentAnswer() { TVezuvirozF::setStudentChooser(std::move(m_previous)); }
    QStringList titles;

private:
    TVezuvirozF::StudentChooser m_previous;
};

} // namespace

class VezuvirozWindow : public ::testing::Test
{
protected:
    // The bank is filled before the program starts, as a teacher's bank is; the program listens on
    // ports the system chooses.
    void SetUp() override
    {
        WritePorts(AppFolder(), 0, 0);
        {
            ServerBank bank;
            emptyTopic = bank.addTopic(u8("Пустая"));
            topic = bank.addTopic(u8("Алгебра"));
            for (int i = 0; i < 3; ++i)
                questions.append(bank.addChoice(topic, QStringLiteral("Q%1").arg(i + 1)));
            bank.setSettings(topic, [](TestSettings& s) {
                s.RandomOrder = false;
                s.MaxPointSystem = 5;
            });
            student = bank.addStudent(u8("Иванов"));
        }
        RunLog::clear();
        modules = std::make_unique<VezuvirozModules>();
        window()->server()->setRestartPause(10);
        window()->show();
    }
    void TearDown() override
    {
        peers.clear();
        window()->hide();
        modules.reset();
    }

    TVezuvirozF* window() { return modules->window(); }
    TestingServer* server() { return window()->server(); }
    MonitorModel* monitor() { return window()->monitor(); }
    bool enabled(const char* name) { return window()->action(name)->isEnabled(); }

    Peer& addPeer(int n)
    {
        peers.push_back(std::make_unique<Peer>(QStringLiteral("127.0.0.%1").arg(n)));
        Peer& p = *peers.back();
        EXPECT_TRUE(p.connectTo(server()->tcpPort()));
        p.iam();
        EXPECT_TRUE(QTest::qWaitFor([&] { return monitor()->rowOf(p.address) >= 0; }, WaitMs));
        return p;
    }
    void openTopic(int id)
    {
        MessageRecorder quiet;
        ASSERT_TRUE(server()->OpenTestTopic(id));
    }
    // A computer that has its set and finished the test, two of three right.
    Peer& finished()
    {
        openTopic(topic);
        Peer& p = addPeer(2);
        window()->btnStartTesting->click();
        EXPECT_TRUE(p.waitForSet());
        QStringList answers;
        for (int i = 0; i < questions.size(); ++i)
            answers.append(QStringLiteral("%1=%2").arg(questions[i]).arg(i == 0 ? 2 : 1));
        p.sendRaw(Protocol::finishReport(answers));
        EXPECT_TRUE(QTest::qWaitFor([&] { return monitor()->anyReady(); }, WaitMs));
        EXPECT_TRUE(window()->selectRow(p.address));
        return p;
    }
    int filedResults()
    {
        Dataset d(modules->store().dm()->ADOConnection(), "r", u8("SELECT * FROM Results"));
        d.open();
        return d.recordCount();
    }

    std::unique_ptr<VezuvirozModules> modules;
    std::vector<std::unique_ptr<Peer>> peers;
    int emptyTopic = 0;
    int topic = 0;
    int student = 0;
    QList<int> questions;
};

TEST_F(VezuvirozWindow, StartsListeningWithItsCaptionCountersAndSettingsRow)
{
    EXPECT_EQ(window()->windowTitle(), "Vastrel Vezuviroz 4.0.1");
    EXPECT_EQ(window()->lblConnected->text(), u8("Подключено: 0 чел."));
    EXPECT_EQ(window()->lblWorking->text(), u8("Работают: 0 чел."));
    EXPECT_EQ(window()->btnStartTesting->text(), u8("Раздать вопросы! ( F9 )"));
    EXPECT_TRUE(logged("UDP port is 0. TCP port is 0"));
    EXPECT_TRUE(logged("Server is Active. Advertiser is Active"));
    EXPECT_NE(server()->tcpPort(), 0);
    EXPECT_EQ(window()->settings().PageScroller_Height, 349);
    EXPECT_EQ(window()->settings().TopicBreakCount, 10);
    EXPECT_TRUE(QFileInfo(AppFilePath("Temp")).isDir());
    for (const char* name : {"acStartTesting", "acCreateTestFile", "acTopicSettings", "acToArchive", "acClearClient",
                             "acShowCriteriaList", "acExportQueListToWord"})
        EXPECT_FALSE(enabled(name)) << name;
    for (const char* name : {"acOpenTopics", "acAllToArchive", "acProfSettings", "acShowArchive", "acReloadDB"})
        EXPECT_TRUE(enabled(name)) << name;
    EXPECT_EQ(window()->action("acStartTesting")->shortcut(), QKeySequence("F9"));
    EXPECT_EQ(window()->action("acOpenResultFile")->shortcut(), QKeySequence("Ctrl+Alt+R"));
}

TEST_F(VezuvirozWindow, ATopicWithoutQuestionsLeavesTheHandOutCommandsDisabled)
{
    addPeer(2);
    MessageRecorder messages;
    ASSERT_TRUE(server()->OpenTestTopic(emptyTopic));
    EXPECT_EQ(messages.texts, QStringList{u8("В открытой теме \"Пустая\" нет вопросов!")});
    EXPECT_EQ(window()->windowTitle(), u8("Vastrel Vezuviroz 4.0.1 - Пустая (0 вопр.)"));
    for (const char* name : {"acStartTesting", "acCreateTestFile", "acTopicSettings"})
        EXPECT_FALSE(enabled(name)) << name;
    window()->btnStartTesting->click();
    EXPECT_EQ(messages.texts.size(), 1) << "the button does nothing";
    EXPECT_FALSE(window()->pnlHandOut->isVisible());
}

TEST_F(VezuvirozWindow, TheOpenTopicsQuestionListIsExportedFromItsSettingsFolder)
{
    openTopic(topic);
    QAction* command = window()->action("acExportQueListToWord");
    EXPECT_EQ(command->text(), u8("Экспорт вопросов в текстовый документ..."));
    ASSERT_TRUE(command->isEnabled());
    command->trigger();
    auto* dialog = window()->findChild<TExportOptionsF*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->lblTopic->text(), u8("Алгебра"));
    EXPECT_EQ(dialog->edFolder->text(), window()->settings().ExportPath);
    server()->CloseTestTopic();
    EXPECT_FALSE(enabled("acExportQueListToWord"));
}

TEST_F(VezuvirozWindow, QuestionsWithoutComputersOfferTheQuestionFile)
{
    openTopic(topic);
    EXPECT_EQ(window()->windowTitle(), u8("Vastrel Vezuviroz 4.0.1 - Алгебра (3 вопр.)"));
    EXPECT_FALSE(enabled("acStartTesting"));
    EXPECT_TRUE(enabled("acCreateTestFile"));
    EXPECT_TRUE(enabled("acTopicSettings"));
    const QString file = AppFilePath("offline.vst4");
    {
        MessageRecorder declined({MsgResult::No});
        FileDialogRecorder dialogs({file});
        window()->btnStartTesting->click();
        EXPECT_EQ(declined.texts, QStringList{u8("Раздать вопросы невозможно: нет подключенных студентов.\r\r"
                                                 "Создать файл для автономного тестирования?")});
        EXPECT_TRUE(dialogs.requests.isEmpty());
    }
    MessageRecorder accepted({MsgResult::Yes});
    FileDialogRecorder dialogs({file});
    window()->btnStartTesting->click();
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_TRUE(QFileInfo(file).size() > 0);

    // a name typed without its extension gets it, even in a folder whose name has a dot
    QDir().mkpath(AppFilePath(u8("7.А")));
    FileDialogRecorder bare({AppFilePath(u8("7.А/offline"))});
    window()->action("acCreateTestFile")->trigger();
    EXPECT_TRUE(QFileInfo(AppFilePath(u8("7.А/offline.vst4"))).size() > 0);
}

TEST_F(VezuvirozWindow, TheHandOutButtonHandsOutWithItsPanelAndTheMonitorFollows)
{
    openTopic(topic);
    Peer& p = addPeer(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return enabled("acStartTesting"); }, WaitMs));
    EXPECT_EQ(window()->lblConnected->text(), u8("Подключено: 1 чел."));
    const int row = monitor()->rowOf(p.address);
    EXPECT_EQ(monitor()->data(monitor()->index(row, MonitorModel::QuestionsGiven)).toString(), u8("Ожидание..."));
    window()->btnStartTesting->click();
    EXPECT_TRUE(window()->pnlHandOut->isVisible());
    EXPECT_TRUE(window()->btnCancelHandOut->isVisible());
    ASSERT_TRUE(p.waitForSet());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window()->pnlHandOut->isVisible(); }, WaitMs));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return monitor()->data(monitor()->index(row, 0), MonitorModel::FlagRole).toBool(); }, WaitMs));
    EXPECT_EQ(window()->lblWorking->text(), u8("Работают: 1 чел."));
    EXPECT_EQ(window()->pbHandOut->value(), 1);
    EXPECT_TRUE(enabled("acShowCriteriaList"));
    EXPECT_FALSE(enabled("acReloadDB")) << "somebody is working";
}

TEST_F(VezuvirozWindow, TheHandOutIsCancelledBetweenComputers)
{
    openTopic(topic);
    Peer& first = addPeer(2);
    Peer& second = addPeer(3);
    window()->btnStartTesting->click();
    window()->btnCancelHandOut->click(); // before the first computer's turn
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window()->pnlHandOut->isVisible(); }, WaitMs));
    QTest::qWait(200);
    EXPECT_EQ(first.sets.size() + second.sets.size(), 0);
}

TEST_F(VezuvirozWindow, GeneralSettingsSendNewPortsOnlyWhenTheyChanged)
{
    Peer& p = addPeer(2);
    {
        MessageRecorder messages;
        DialogAnswers unchanged([](QDialog&) { return int(QDialog::Accepted); });
        window()->acProfSettingsExecute();
        EXPECT_TRUE(messages.texts.isEmpty());
    }
    {
        DialogAnswers cancelled([](QDialog& d) {
            static_cast<TGeneralSettingsF&>(d).edUDPPort->setValue(9555);
            return int(QDialog::Rejected);
        });
        window()->acProfSettingsExecute();
    }
    p.connection.sendNoop();
    QTest::qWait(300); // anything the server sent has arrived by now
    EXPECT_EQ(p.count(K::SetPorts), 0);
    EXPECT_EQ(window()->settings().UDPPort, 0);

    MessageRecorder messages;
    DialogAnswers changed([](QDialog& d) {
        auto& f = static_cast<TGeneralSettingsF&>(d);
        f.edUDPPort->setValue(9555);
        f.edTCPPort->setValue(4666);
        f.cbTopicBreakCount->setCurrentText("20");
        f.cbRequestMode->setChecked(true);
        return int(QDialog::Accepted);
    });
    window()->acProfSettingsExecute();
    ASSERT_TRUE(p.waitFor(K::SetPorts));
    EXPECT_EQ(p.last(K::SetPorts)->udpPort, 9555);
    EXPECT_EQ(p.last(K::SetPorts)->tcpPort, 4666);
    EXPECT_EQ(messages.texts, QStringList{u8("Новые порты будут применены после перезапуска сервера и клиентов.")});
    EXPECT_TRUE(server()->requestMode());
    EXPECT_TRUE(window()->lblRequestMode->isVisible());
    EXPECT_EQ(window()->lblRequestMode->text(), u8("Запрос заданий разрешен"));
    EXPECT_EQ(VezuvirozSettingsRow(modules->store().dm()->sqlAppSettings).read().TopicBreakCount, 20);
    EXPECT_EQ(server()->tcpPort(), window()->server()->tcpPort()) << "the server keeps its port";
    // a computer that comes later is told after its "Iam"
    Peer& later = addPeer(3);
    ASSERT_TRUE(later.waitFor(K::SetPorts));
}

TEST_F(VezuvirozWindow, PortsSavedForTheNextStartStayUntilTheTeacherTakesThemBack)
{
    // The computers cannot be told port 0: this run listens on ports of its own port file.
    QTcpServer freeTcp;
    QUdpSocket freeUdp;
    ASSERT_TRUE(freeTcp.listen(QHostAddress::LocalHost) && freeUdp.bind(QHostAddress::LocalHost));
    const Ports running{freeUdp.localPort(), freeTcp.serverPort()};
    freeTcp.close();
    freeUdp.close();
    window()->hide();
    modules.reset();
    ASSERT_TRUE(WritePorts(AppFolder(), running.udp, running.tcp));
    modules = std::make_unique<VezuvirozModules>();
    window()->show();
    ASSERT_EQ(server()->tcpPort(), running.tcp);
    Peer& p = addPeer(2);
    const auto setPorts = [](int udp, int tcp) {
        return [udp, tcp](QDialog& d) {
            auto& f = static_cast<TGeneralSettingsF&>(d);
            f.edUDPPort->setValue(udp);
            f.edTCPPort->setValue(tcp);
            return int(QDialog::Accepted);
        };
    };
    const auto stored = [&] { return VezuvirozSettingsRow(modules->store().dm()->sqlAppSettings).read(); };
    MessageRecorder messages;
    {
        DialogAnswers changed(setPorts(9555, 4666));
        window()->acProfSettingsExecute();
    }
    ASSERT_TRUE(p.waitFor(K::SetPorts));

    // Opened again for another setting: the saved ports are shown and kept.
    QList<int> shown;
    {
        DialogAnswers other([&](QDialog& d) {
            auto& f = static_cast<TGeneralSettingsF&>(d);
            shown = {f.edUDPPort->value(), f.edTCPPort->value()};
            f.cbTopicBreakCount->setCurrentText("15");
            return int(QDialog::Accepted);
        });
        window()->acProfSettingsExecute();
    }
    EXPECT_EQ(shown, (QList<int>{9555, 4666}));
    EXPECT_EQ(stored().UDPPort, 9555);
    EXPECT_EQ(stored().TCPPort, 4666);
    EXPECT_EQ(stored().TopicBreakCount, 15);
    ASSERT_TRUE(p.waitFor(K::SetPorts, 2));
    EXPECT_EQ(p.last(K::SetPorts)->udpPort, 9555);

    // Back to the running ports: the computers are told to go back, without the restart notice.
    {
        DialogAnswers back(setPorts(running.udp, running.tcp));
        window()->acProfSettingsExecute();
    }
    ASSERT_TRUE(p.waitFor(K::SetPorts, 3));
    EXPECT_EQ(p.last(K::SetPorts)->udpPort, running.udp);
    EXPECT_EQ(p.last(K::SetPorts)->tcpPort, running.tcp);
    EXPECT_EQ(messages.texts.count(u8("Новые порты будут применены после перезапуска сервера и клиентов.")), 2);
    {
        DialogAnswers unchanged([](QDialog&) { return int(QDialog::Accepted); });
        window()->acProfSettingsExecute();
    }
    p.connection.sendNoop();
    QTest::qWait(300); // anything the server sent has arrived by now
    EXPECT_EQ(p.count(K::SetPorts), 3);
}

TEST_F(VezuvirozWindow, FilingFromTheGridAsksOnceAndClearsTheWorkplace)
{
    Peer& p = finished();
    EXPECT_TRUE(enabled("acToArchive"));
    StudentAnswer chooser(student);
    MessageRecorder messages({MsgResult::Yes});
    window()->action("acToArchive")->trigger();
    EXPECT_EQ(chooser.titles, QStringList{u8("Выбор студента на PC-2")});
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].startsWith(u8("Засчитать предварительную оценку")))
        << messages.texts[0].toStdString();
    EXPECT_EQ(filedResults(), 1);
    ASSERT_TRUE(p.waitFor(K::NextStudent));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !monitor()->anyReady(); }, WaitMs));
    EXPECT_FALSE(enabled("acToArchive"));
}

TEST_F(VezuvirozWindow, AFinalMarkTypedInTheGridIsFiledWithoutAsking)
{
    Peer& p = finished();
    const int row = monitor()->rowOf(p.address);
    ASSERT_TRUE(monitor()->setData(monitor()->index(row, MonitorModel::Points), 5));
    StudentAnswer chooser(student);
    MessageRecorder messages;
    window()->action("acToArchive")->trigger();
    EXPECT_TRUE(messages.texts.isEmpty());
    ASSERT_TRUE(p.waitFor(K::YourFinalPointsAre));
    EXPECT_EQ(p.last(K::YourFinalPointsAre)->text, "5");
}

TEST_F(VezuvirozWindow, AFinalMarkStillBeingTypedIsFiledWithTheRow)
{
    Peer& p = finished();
    QTableView* grid = window()->grdMonitor;
    const QModelIndex points = monitor()->index(monitor()->rowOf(p.address), MonitorModel::Points);
    grid->setCurrentIndex(points);
    grid->edit(points);
    auto* editor = grid->viewport()->findChild<QSpinBox*>();
    ASSERT_NE(editor, nullptr);
    editor->setValue(4);
    StudentAnswer chooser(student);
    MessageRecorder messages({MsgResult::Yes});
    window()->action("acToArchive")->trigger(); // Ctrl+S without leaving the cell
    EXPECT_TRUE(messages.texts.isEmpty()) << "the typed mark is filed, the preliminary one not offered";
    ASSERT_TRUE(p.waitFor(K::YourFinalPointsAre));
    EXPECT_EQ(p.last(K::YourFinalPointsAre)->text, "4");
    ASSERT_TRUE(p.waitFor(K::NextStudent));
    EXPECT_EQ(monitor()->row(monitor()->rowOf(p.address)).points, 0) << "nothing left for the next student";
}

TEST_F(VezuvirozWindow, ClosingWithAReadyRowCancelKeepsRunningYesFilesIt)
{
    Peer& p = finished();
    StudentAnswer chooser(student);
    window()->acSetStudentNameExecute();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return monitor()->row(monitor()->rowOf(p.address)).studentId == student; }, WaitMs));
    EXPECT_EQ(monitor()->row(0).studentName, u8("Иванов"));
    {
        MessageRecorder cancel({MsgResult::Cancel});
        EXPECT_FALSE(window()->close());
        EXPECT_EQ(cancel.texts,
                  QStringList{u8("Остались несохранённые результаты тестирования.\r\rСохранить их в архив?")});
        EXPECT_TRUE(window()->isVisible());
        EXPECT_NE(server()->tcpPort(), 0);
        EXPECT_EQ(filedResults(), 0);
    }
    MessageRecorder yes({MsgResult::Yes});
    EXPECT_TRUE(window()->close());
    EXPECT_EQ(filedResults(), 1);
    EXPECT_FALSE(window()->isVisible());
}

TEST_F(VezuvirozWindow, ClosingDoesNotLoseAFinishedWorkWithoutAStudent)
{
    finished();
    MessageRecorder yes({MsgResult::Yes});
    EXPECT_FALSE(window()->close());
    ASSERT_EQ(yes.texts.size(), 2);
    EXPECT_EQ(yes.texts[1], u8("Не все результаты сохранены в архив: выберите студентов для оставшихся работ."));
    EXPECT_TRUE(monitor()->anyReady());
}

TEST_F(VezuvirozWindow, ClosingWithConnectedComputersAsksWithTheMendedText)
{
    addPeer(2);
    {
        MessageRecorder no({MsgResult::No});
        EXPECT_FALSE(window()->close());
        EXPECT_EQ(no.texts, QStringList{u8("Остались подключенные клиенты. Выйти всё равно?")});
    }
    MessageRecorder yes({MsgResult::Yes});
    EXPECT_TRUE(window()->close());
}

TEST_F(VezuvirozWindow, TheTimeBarIsDrawnFromTheCellsRightEdgeMagentaInTheLastMinute)
{
    openTopic(topic);
    Peer& p = addPeer(2);
    window()->btnStartTesting->click();
    ASSERT_TRUE(p.waitForSet());
    const int row = monitor()->rowOf(p.address);
    QTableView* grid = window()->grdMonitor;
    grid->setColumnWidth(MonitorModel::TimeRemain, 200);
    // MaxTime is 20 minutes: 600 seconds left fill half of the cell
    struct Case
    {
        int remain;
        QColor right; // just inside the cell's right edge
        bool halfFilled;
    } cases[] = {{600, Qt::green, true}, {61, Qt::green, false}, {60, Qt::magenta, false}};
    int shown = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.remain);
        p.sendRaw(Protocol::report({questions[0], "1", ++shown, c.remain}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return monitor()->row(row).timeRemain == c.remain; }, WaitMs));
        grid->clearSelection(); // the selection's colour would stand over the cell
        grid->setCurrentIndex({});
        const QRect cell = grid->visualRect(monitor()->index(row, MonitorModel::TimeRemain));
        const QImage image = grid->viewport()->grab().toImage();
        const int y = cell.center().y();
        EXPECT_EQ(QColor(image.pixel(cell.right() - 3, y)), c.right);
        EXPECT_EQ(QColor(image.pixel(cell.center().x() + 10, y)) == c.right, c.halfFilled);
        EXPECT_NE(QColor(image.pixel(cell.left() + 10, y)), c.right);
    }
}

TEST_F(VezuvirozWindow, TheStudentViewHidesWithoutDataWhenAskedAndComesBackOnRequest)
{
    addPeer(2);
    window()->action("acHideStudentViewPanel")->setChecked(true);
    EXPECT_FALSE(window()->pnlStudentView->isVisible());
    EXPECT_TRUE(VezuvirozSettingsRow(modules->store().dm()->sqlAppSettings).read().HideStudentViewPanel);
    window()->action("acStudentView")->trigger();
    EXPECT_TRUE(window()->pnlStudentView->isVisible());
    EXPECT_FALSE(VezuvirozSettingsRow(modules->store().dm()->sqlAppSettings).read().HideStudentViewPanel);
}

TEST_F(VezuvirozWindow, TheRestartNoticeShowsAndGoesWithoutANetworkFault)
{
    window()->action("acRestartServer")->trigger();
    EXPECT_TRUE(window()->pnlRestart->isVisible());
    EXPECT_FALSE(window()->lblNetworkFault->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window()->pnlRestart->isVisible(); }, WaitMs));
    EXPECT_EQ(window()->lblRestartStatus->text(), u8("Сервер готов к работе."));
}

TEST_F(VezuvirozWindow, RequestModeShowsItsLabelAndTellsTheComputers)
{
    openTopic(topic);
    Peer& p = addPeer(2);
    window()->action("acAllowTestingByRequest")->trigger();
    EXPECT_TRUE(server()->requestMode());
    EXPECT_TRUE(window()->lblRequestMode->isVisible());
    ASSERT_TRUE(p.waitFor(K::AllowRequest));
    window()->action("acAllowTestingByRequest")->trigger();
    EXPECT_FALSE(window()->lblRequestMode->isVisible());
    ASSERT_TRUE(p.waitFor(K::DenyRequest));
}

TEST_F(VezuvirozWindow, ResultFilesArchiveEditorAndTopicBreak)
{
    FileDialogRecorder dialogs;
    window()->action("acOpenResultFile")->trigger();
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_TRUE(dialogs.requests[0].filter.contains("*.rslt4"));
    EXPECT_TRUE(dialogs.requests[0].filter.contains("*.rslt"));

    window()->action("acShowArchive")->trigger();
    TArchiveF* archive = TArchiveF::instance();
    ASSERT_NE(archive, nullptr);
    window()->action("acShowArchive")->trigger();
    EXPECT_EQ(TArchiveF::instance(), archive) << "one archive window";
    delete archive;

    ShellRecorder shell(false);
    MessageRecorder messages;
    window()->action("acSwitchToScribant")->trigger();
    ASSERT_EQ(shell.targets.size(), 1);
    EXPECT_TRUE(shell.targets[0].endsWith("/Scribant"));
    EXPECT_EQ(messages.texts, QStringList{u8("Невозможно найти \"%1\"").arg(shell.targets[0])});

    QAction* by20 = window()->findChild<QAction*>("mnuBreak20");
    ASSERT_NE(by20, nullptr);
    by20->trigger();
    EXPECT_TRUE(by20->isChecked());
    EXPECT_EQ(window()->settings().TopicBreakCount, 20);
}

TEST_F(VezuvirozWindow, ATopicFromTheCommandLineOpensWithRequestMode)
{
    window()->setStartOptions(ParseStartOptions({"--topic", u8("алгебра"), "--allow-requests"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server()->openTopicId() == topic; }, WaitMs));
    EXPECT_TRUE(server()->requestMode());
    EXPECT_TRUE(window()->lblRequestMode->isVisible());
    EXPECT_TRUE(window()->action("acAllowTestingByRequest")->isChecked());
    Peer& p = addPeer(2);
    ASSERT_TRUE(p.waitFor(K::AllowRequest));
    EXPECT_EQ(p.last(K::AllowRequest)->topicId, topic);

    MessageRecorder messages;
    window()->setStartOptions(ParseStartOptions({"--topic"}));
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].contains("--topic"));
}

TEST_F(VezuvirozWindow, TheTopicsPanelOpensTheChosenTopicAndWarnsWhileStudentsWork)
{
    QAction* panel = window()->action("acTopicsCtrl");
    panel->trigger();
    ASSERT_TRUE(window()->pnlTopics->isVisible());
    EXPECT_FALSE(window()->btnOpenTopic->isEnabled());
    QTreeWidgetItem* algebra = nullptr;
    for (int i = 0; i < window()->tvTopics->topLevelItemCount(); ++i)
        if (window()->tvTopics->topLevelItem(i)->text(0) == u8("Алгебра"))
            algebra = window()->tvTopics->topLevelItem(i);
    ASSERT_NE(algebra, nullptr);
    window()->tvTopics->setCurrentItem(algebra);
    EXPECT_TRUE(window()->btnOpenTopic->isEnabled());
    window()->btnOpenTopic->click();
    EXPECT_EQ(server()->openTopicId(), topic);
    EXPECT_FALSE(window()->pnlTopics->isVisible());

    Peer& p = addPeer(2);
    window()->btnStartTesting->click();
    ASSERT_TRUE(p.waitForSet());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server()->nobodyWorking(); }, WaitMs));
    MessageRecorder messages;
    panel->trigger();
    EXPECT_EQ(messages.texts, QStringList{u8("Чтобы изменять структуру тем,\rдождитесь, пока все закончат работу.")});
    panel->trigger();
    EXPECT_FALSE(window()->pnlTopics->isVisible());
}

TEST_F(VezuvirozWindow, TheCriteriaWindowFollowsTheSelectedRow)
{
    openTopic(topic);
    Peer& working = addPeer(2);
    window()->btnStartTesting->click();
    ASSERT_TRUE(working.waitForSet());
    Peer& waiting = addPeer(3);
    ASSERT_TRUE(window()->selectRow(working.address));
    ASSERT_TRUE(QTest::qWaitFor([&] { return enabled("acShowCriteriaList"); }, WaitMs));
    window()->action("acShowCriteriaList")->trigger();
    ASSERT_NE(TCriteriaListF::instance(), nullptr);
    ASSERT_TRUE(window()->selectRow(waiting.address));
    EXPECT_EQ(TCriteriaListF::instance(), nullptr) << "a row without questions has no criteria";
    EXPECT_FALSE(enabled("acShowCriteriaList"));

    // The same row losing its questions (the workplace cleared) closes the window too.
    ASSERT_TRUE(window()->selectRow(working.address));
    window()->action("acShowCriteriaList")->trigger();
    ASSERT_NE(TCriteriaListF::instance(), nullptr);
    MessageRecorder yes({MsgResult::Yes});
    window()->action("acClearClient")->trigger();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !monitor()->row(monitor()->rowOf(working.address)).questionsGiven; }, WaitMs));
    EXPECT_EQ(window()->selectedAddress(), working.address);
    EXPECT_EQ(TCriteriaListF::instance(), nullptr);
}

TEST_F(VezuvirozWindow, AClickOnAColumnTitleOrAReconnectionReadsTheNamesAgain)
{
    Peer& p = addPeer(2);
    StudentAnswer chooser(student);
    ASSERT_TRUE(window()->selectRow(p.address));
    window()->acSetStudentNameExecute();
    const int row = monitor()->rowOf(p.address);
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor()->row(row).studentName == u8("Иванов"); }, WaitMs));
    TDM* dm = modules->store().dm();
    dm->setScheduler([](int, std::function<void()> work) { work(); }); // the reconnection's pause
    QHeaderView* header = window()->grdMonitor->horizontalHeader();
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"Иванова",
         [&] {
             QTest::mouseClick(
                 header->viewport(), Qt::LeftButton, {},
                 QPoint(header->sectionViewportPosition(MonitorModel::Student) + 5, header->height() / 2));
         }},
        {"Иванов-Петров", [&] { window()->action("acReloadDB")->trigger(); }},
    };
    for (const auto& [name, readAgain] : ways) {
        SCOPED_TRACE(name);
        {
            // renamed elsewhere: by the editor or another program on the same database
            Dataset students(dm->ADOConnection(), "s", u8("SELECT * FROM Students"));
            students.open();
            ASSERT_TRUE(students.locate("StudentID", student));
            students.edit();
            students.setValue("Name", u8(name));
            students.post();
        }
        readAgain();
        EXPECT_EQ(monitor()->data(monitor()->index(row, MonitorModel::Student)).toString(), u8(name));
    }
}

TEST_F(VezuvirozWindow, TheSelectedComputerStaysSelectedWhenOthersComeAndGo)
{
    addPeer(3);
    Peer& chosen = addPeer(5);
    ASSERT_TRUE(window()->selectRow(chosen.address));
    addPeer(2); // sorts before the chosen one
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor()->rowCount() == 3; }, WaitMs));
    EXPECT_EQ(window()->selectedAddress(), chosen.address);
    peers.erase(peers.begin()); // PC-3 goes away without a work: its row goes
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor()->rowCount() == 2; }, WaitMs));
    EXPECT_EQ(window()->selectedAddress(), chosen.address);
    EXPECT_EQ(window()->grdMonitor->currentIndex().row(), monitor()->rowOf(chosen.address));
}

namespace {

QTreeWidgetItem* findNode(QTreeWidget* tree, const QString& name)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->text(0) == name)
            return *it;
    return nullptr;
}

} // namespace

TEST_F(VezuvirozWindow, TopicsAreMovedCopiedAndRenamedInThePanel)
{
    window()->action("acTopicsCtrl")->trigger();
    TopicTree* tree = window()->tvTopics;
    TopicTreeEdits edits(window()->topics());
    ASSERT_NE(findNode(tree, u8("Пустая")), nullptr);
    // A drag cannot be made headless: the tree's drop handler is called as its drop calls it.
    // Алгебра under Пустая; a copy of Пустая beside it at the top; Пустая below its own child refused.
    tree->topicDropped(findNode(tree, u8("Алгебра")), findNode(tree, u8("Пустая")), false, false);
    EXPECT_EQ(edits.parentOf(topic), emptyTopic);
    ASSERT_NE(findNode(tree, u8("Алгебра")), nullptr) << "the target is expanded";
    tree->topicDropped(findNode(tree, u8("Пустая")), findNode(tree, u8("Пустая")), true, true);
    int copies = 0;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        copies += tree->topLevelItem(i)->text(0) == u8("Пустая");
    EXPECT_EQ(copies, 2);
    tree->topicDropped(findNode(tree, u8("Пустая")), findNode(tree, u8("Алгебра")), false, false);
    EXPECT_EQ(edits.parentOf(emptyTopic), 0) << "a topic never goes below itself";
    {
        MessageRecorder messages;
        tree->topicDropped(findNode(tree, u8("Вопросы без темы")), findNode(tree, u8("Пустая")), false, false);
        EXPECT_EQ(messages.texts, QStringList{u8("\"Вопросы без темы\" нельзя перемещать и копировать.")});
    }

    QTreeWidgetItem* node = findNode(tree, u8("Алгебра"));
    tree->setCurrentItem(node);
    QTest::keyClick(tree, Qt::Key_F2);
    EXPECT_NE(tree->viewport()->findChild<QLineEdit*>(), nullptr) << "a sub-topic's label is edited in place";
    node->setText(0, u8("Алгебра 7"));
    EXPECT_EQ(edits.topicName(topic), u8("Алгебра 7"));
    QTreeWidgetItem* holding = findNode(tree, u8("Вопросы без темы"));
    tree->setCurrentItem(holding);
    QTest::keyClick(tree, Qt::Key_F2);
    MessageRecorder messages;
    holding->setText(0, u8("Другое"));
    EXPECT_EQ(messages.texts, QStringList{u8("Эту тему переименовывать нельзя!")});
    EXPECT_EQ(edits.topicName(window()->topics().shared()->NoTopicID()), u8("Вопросы без темы"));
}

TEST_F(VezuvirozWindow, ADropBeforeANestedTopicOpensThatTopic)
{
    // Пустая > Алгебра > Пустая (a copy)
    TopicTreeEdits edits(window()->topics());
    ASSERT_NE(edits.dragTopic(topic, emptyTopic, false), 0);
    ASSERT_NE(edits.dragTopic(emptyTopic, topic, true), 0);
    window()->action("acTopicsCtrl")->trigger();
    TopicTree* tree = window()->tvTopics;
    window()->tvTopics->expandItem(findNode(tree, u8("Пустая")));
    QTreeWidgetItem* algebra = findNode(tree, u8("Алгебра"));
    ASSERT_NE(algebra, nullptr);
    ASSERT_FALSE(algebra->isExpanded());
    // a copy of Алгебра before Алгебра, with Shift: Алгебра is opened with its sub-topic shown
    tree->topicDropped(algebra, algebra, true, true);
    algebra = nullptr;
    int algebras = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->text(0) == u8("Алгебра")) {
            ++algebras;
            if ((*it)->isExpanded())
                algebra = *it;
        }
    }
    EXPECT_EQ(algebras, 2);
    ASSERT_NE(algebra, nullptr) << "the target is expanded";
    ASSERT_EQ(algebra->childCount(), 1);
    EXPECT_EQ(algebra->child(0)->text(0), u8("Пустая"));
}

TEST_F(VezuvirozWindow, TopicsStayWhereTheyAreWhileStudentsWork)
{
    openTopic(topic);
    Peer& p = addPeer(2);
    window()->btnStartTesting->click();
    ASSERT_TRUE(p.waitForSet());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server()->nobodyWorking(); }, WaitMs));
    MessageRecorder messages;
    window()->action("acTopicsCtrl")->trigger();
    TopicTree* tree = window()->tvTopics;
    tree->topicDropped(findNode(tree, u8("Алгебра")), findNode(tree, u8("Пустая")), false, false);
    EXPECT_EQ(TopicTreeEdits(window()->topics()).parentOf(topic), 0);
    EXPECT_EQ(messages.texts.size(), 2);
}

TEST_F(VezuvirozWindow, TheStudentViewFollowsTheSelectedRowAndItsQuestionKeys)
{
    openTopic(topic);
    Peer& first = addPeer(2);
    Peer& second = addPeer(3);
    window()->btnStartTesting->click();
    ASSERT_TRUE(first.waitForSet());
    ASSERT_TRUE(second.waitForSet());
    QStringList route;
    for (int id : questions)
        route << QString::number(id);
    for (Peer* p : {&first, &second})
        p->sendRaw(Protocol::rout(3, route));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !monitor()->row(monitor()->rowOf(second.address)).results.isEmpty(); }, WaitMs));
    StudentViewPanel* view = window()->pnlStudentView;
    ASSERT_TRUE(window()->selectRow(first.address));
    ASSERT_TRUE(view->hasData());
    EXPECT_EQ(view->numberLabel()->text(), u8("Вопрос 1 из 3"));
    EXPECT_EQ(view->questionLabel()->text(), "Q1");
    QAction* next = window()->action("acNextQue");
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->shortcut(), QKeySequence("F7"));
    EXPECT_EQ(window()->action("acPrevQue")->shortcut(), QKeySequence("F6"));
    next->trigger();
    EXPECT_EQ(view->numberLabel()->text(), u8("Вопрос 2 из 3"));
    // a report refreshes the view where it stands; another row starts at its first question
    first.sendRaw(Protocol::report({questions[1], "2", 2, 500}));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return monitor()->row(monitor()->rowOf(first.address)).passedCount == 2; }, WaitMs));
    EXPECT_EQ(view->numberLabel()->text(), u8("Вопрос 2 из 3"));
    ASSERT_TRUE(window()->selectRow(second.address));
    EXPECT_EQ(view->numberLabel()->text(), u8("Вопрос 1 из 3"));
}

TEST_F(VezuvirozWindow, AnEmptyAnswerInTheViewAsksTheComputerForItsRoute)
{
    openTopic(topic);
    Peer& p = addPeer(2);
    window()->btnStartTesting->click();
    ASSERT_TRUE(p.waitForSet());
    p.sendRaw(Protocol::rout(3, {QString::number(questions[0]) + "=", QString::number(questions[1])}));
    ASSERT_TRUE(window()->selectRow(p.address));
    ASSERT_TRUE(QTest::qWaitFor([&] { return logged("Out: \"!NeedRoute\""); }, WaitMs));
}

TEST_F(VezuvirozWindow, TheStudentsWindowWithoutClassesOpensTheClassesWindow)
{
    // the windows are modal: each is closed as soon as it stands
    QTimer closer;
    QStringList shown;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            shown.append(modal->objectName());
            modal->close();
        }
    });
    closer.start(20);
    MessageRecorder messages;
    window()->action("acStudentsList")->trigger();
    EXPECT_EQ(messages.texts, QStringList{u8("Сначала следует создать хотя бы один класс.")});
    EXPECT_EQ(shown.size(), 1);
    EXPECT_TRUE(enabled("acKlassList"));
    EXPECT_TRUE(enabled("acStudentViewSettings"));
}

TEST_F(VezuvirozWindow, TheStudentChoiceDialogStoresTheStudentOfTheSelectedComputer)
{
    addPeer(2);
    Peer& chosen = addPeer(3); // not the first row: the dialog must work on the selected one
    ASSERT_TRUE(window()->selectRow(chosen.address));
    QString title;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<TChooseStudentF*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        answer.stop();
        title = dialog->windowTitle();
        dialog->choice().chooseRow(0);
        dialog->accept();
    });
    answer.start(20);
    window()->action("acSetStudentName")->trigger();
    EXPECT_EQ(title, u8("Выбор студента на PC-3"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return monitor()->row(monitor()->rowOf(chosen.address)).studentId == student; }, WaitMs));
    EXPECT_EQ(monitor()->row(monitor()->rowOf("127.0.0.2")).studentId, 0);
    EXPECT_EQ(window()->lblKlass->text(), u8("все"));
}

TEST_F(VezuvirozWindow, TheEllipsisButtonOfTheStudentCellOpensTheChooser)
{
    addPeer(2);
    Peer& chosen = addPeer(3);
    StudentAnswer chooser(student);
    QTableView* grid = window()->grdMonitor;
    const QRect cell = grid->visualRect(monitor()->index(monitor()->rowOf(chosen.address), MonitorModel::Student));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center() - QPoint(cell.width() / 4, 0));
    EXPECT_EQ(window()->selectedAddress(), chosen.address);
    EXPECT_TRUE(chooser.titles.isEmpty()) << "the cell itself only selects";
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, MonitorDelegate::StudentButtonRect(cell).center());
    EXPECT_EQ(chooser.titles, QStringList{u8("Выбор студента на PC-3")});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return monitor()->row(monitor()->rowOf(chosen.address)).studentId == student; }, WaitMs));
    // the button is drawn on the selected row only
    const QImage image = grid->viewport()->grab().toImage();
    const QRect other = grid->visualRect(monitor()->index(monitor()->rowOf("127.0.0.2"), MonitorModel::Student));
    const QPoint inOther = MonitorDelegate::StudentButtonRect(other).topLeft() + QPoint(1, 1);
    const QPoint inChosen = MonitorDelegate::StudentButtonRect(cell).topLeft() + QPoint(1, 1);
    EXPECT_NE(image.pixel(inChosen), image.pixel(cell.center() - QPoint(cell.width() / 4, 0)));
    EXPECT_EQ(image.pixel(inOther), image.pixel(other.center() - QPoint(other.width() / 4, 0)));
}

TEST_F(VezuvirozWindow, TheTopicSearchOpensTheFoundTopic)
{
    DialogAnswers search([](QDialog& d) {
        auto& f = static_cast<TFindTopicF&>(d);
        f.edName->setText(u8("алг"));
        f.cbPartial->setChecked(true);
        f.cbIgnoreCase->setChecked(true);
        f.Search();
        if (f.foundNames() != QStringList{u8("Алгебра")})
            return int(QDialog::Rejected);
        QTest::mouseClick(f.grdTopics->viewport(), Qt::LeftButton, {},
                          f.grdTopics->visualRect(f.grdTopics->model()->index(0, 0)).center());
        return f.chosenTopicId() != 0 ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
    window()->action("acFindTopic")->trigger();
    EXPECT_EQ(server()->openTopicId(), topic);
    EXPECT_EQ(window()->action("acFindTopic")->shortcut(), QKeySequence("Ctrl+F"));
}
