#include "aboutbox.h"
#include "apperror.h"
#include "filedialogrecorder.h"
#include "messagedialog.h"
#include "programframe.h"
#include "splashbox.h"
#include "waitwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// Presses the button with the given caption in the next modal message dialog, recording the
// captions it offered.
void pressWhenShown(const QString& caption, QStringList* offered = nullptr)
{
    QTimer::singleShot(0, [caption, offered] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* b : box->buttons()) {
            if (offered)
                offered->append(b->text());
        }
        for (QAbstractButton* b : box->buttons())
            if (b->text() == caption)
                return b->click();
        FAIL() << "no button " << caption.toStdString();
    });
}

} // namespace

TEST(MessageDialog, ButtonSetsAndAnswers)
{
    struct Case
    {
        MsgButtons buttons;
        QStringList captions;
        QString press;
        MsgResult expected;
    };
    const QString ok = QStringLiteral("OK"), yes = QStringLiteral("Да"), no = QStringLiteral("Нет"),
                  cancel = QStringLiteral("Отмена");
    const Case cases[] = {
        {MsgButtons::Ok, {ok}, ok, MsgResult::Ok},
        {MsgButtons::YesNo, {yes, no}, no, MsgResult::No},
        {MsgButtons::YesNoCancel, {yes, no, cancel}, cancel, MsgResult::Cancel},
        {MsgButtons::YesNoCancel, {yes, no, cancel}, yes, MsgResult::Yes},
        {MsgButtons::YesCancel, {yes, cancel}, yes, MsgResult::Yes},
    };
    for (const Case& c : cases) {
        QStringList offered;
        pressWhenShown(c.press, &offered);
        EXPECT_EQ(ShowMessageDialog(QStringLiteral("Вопрос?"), MsgIcon::Question, c.buttons), c.expected);
        offered.sort();
        QStringList expected = c.captions;
        expected.sort();
        EXPECT_EQ(offered, expected);
    }
}

TEST(MessageDialog, InstalledBehindShowMessageWithTextAndIcon)
{
    InstallMessageDialog();
    QString shownText;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shownText = box->text();
        shownIcon = box->icon();
        box->buttons().first()->click();
    });
    EXPECT_EQ(ShowMessage(QStringLiteral("Первая строка\rвторая"), MsgIcon::Error), MsgResult::Ok);
    SetMessageHandler({});
    EXPECT_EQ(shownText, QStringLiteral("Первая строка\nвторая"));
    EXPECT_EQ(shownIcon, QMessageBox::Critical);
}

TEST(SplashBox, ShowsNameAndRole)
{
    SplashBox splash(QStringLiteral("Student"), QStringLiteral("Клиент тестирования"));
    EXPECT_EQ(splash.findChild<QLabel*>(QStringLiteral("splashName"))->text(), QStringLiteral("Student"));
    EXPECT_EQ(splash.findChild<QLabel*>(QStringLiteral("splashRole"))->text(), QStringLiteral("Клиент тестирования"));
    // White text on a blue gradient, lighter at the top.
    const QImage drawn = splash.grab().toImage();
    EXPECT_EQ(drawn.pixelColor(1, 0), QColor(0x2b, 0x57, 0x97));
    EXPECT_EQ(drawn.pixelColor(1, drawn.height() - 1).blue(), 0x6e);
    EXPECT_EQ(splash.findChild<QLabel*>(QStringLiteral("splashName"))->palette().color(QPalette::WindowText),
              QColor(Qt::white));
}

// The main window shows at once; the splash stays on top of it for its wait, on a timer of the
// event loop, and then goes.
TEST(SplashBox, StaysOverTheShownMainWindowForItsWait)
{
    struct Case
    {
        int waitMs;
        bool splashStays;
    } cases[] = {{2000, true}, {0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.waitMs);
        QWidget mainWindow;
        std::unique_ptr<QWidget> splash =
            std::make_unique<SplashBox>(QStringLiteral("Student"), QStringLiteral("Клиент"));
        splash->show();
        const QPointer<QWidget> shownSplash = splash.get();
        ShowMainWindow(&mainWindow, splash, c.waitMs);
        EXPECT_TRUE(mainWindow.isVisible());
        EXPECT_EQ(!shownSplash.isNull() && shownSplash->isVisible(), c.splashStays);
        auto* timer = mainWindow.findChild<QTimer*>(QStringLiteral("splashTimer"));
        ASSERT_EQ(timer != nullptr, c.splashStays);
        if (!timer)
            continue;
        EXPECT_TRUE(timer->isActive());
        EXPECT_TRUE(timer->isSingleShot());
        EXPECT_EQ(timer->interval(), 2000);
        QMetaObject::invokeMethod(timer, "timeout"); // as when the wait is over
        EXPECT_TRUE(shownSplash.isNull());
        EXPECT_EQ(splash, nullptr);
        EXPECT_TRUE(mainWindow.isVisible());
    }
}

// The frame tells its modules once that the main window is on screen: after its first paint
// (and not before it), or, for a window that never paints, after the fallback wait. A shown
// window's fallback is far beyond the wait here, so only its paint can tell in time.
TEST(FirstDrawWatch, TellsOnceAfterTheFirstPaintOrAfterTheFallback)
{
    for (const bool shown : {true, false}) {
        SCOPED_TRACE(shown ? "shown" : "never painted");
        QWidget window;
        window.resize(200, 100);
        struct PaintSpy : QObject
        {
            bool painted = false;
            bool eventFilter(QObject*, QEvent* e) override
            {
                painted = painted || e->type() == QEvent::Paint;
                return false;
            }
        } spy;
        window.installEventFilter(&spy);
        int told = 0;
        bool paintedWhenTold = false;
        new FirstDrawWatch(
            &window,
            [&] {
                ++told;
                paintedWhenTold = spy.painted;
            },
            shown ? 60000 : 300);
        if (shown)
            window.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return told > 0; }, 5000));
        EXPECT_EQ(paintedWhenTold, shown);
        window.update();
        QTest::qWait(400); // later paints, and the short fallback's time: still told once
        EXPECT_EQ(told, 1);
    }
}

TEST(AboutBox, ShowsNameRoleAndVersion)
{
    QStringList texts;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QLabel* l : box->findChildren<QLabel*>())
            texts.append(l->text());
        box->accept();
    });
    ShowAboutBox(nullptr, QStringLiteral("Scribant"), QStringLiteral("Редактор вопросов"));
    EXPECT_TRUE(texts.contains(QStringLiteral("Редактор вопросов")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Версия 4.0.1")));
    EXPECT_TRUE(texts.join(u' ').contains(QStringLiteral("Scribant")));
}

TEST(WaitWindow, StaysResponsiveAndShowsProgress)
{
    WaitWindow window(QStringLiteral("Экспорт..."));
    std::atomic<bool> release{false};
    int ticksWhileWorking = 0;
    int progressSeen = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticksWhileWorking; // the user-interface thread runs while the job works
        progressSeen = std::max(progressSeen, window.progress());
        if (ticksWhileWorking >= 5 && progressSeen == 50)
            release = true;
    });
    ticker.start(10);
    window.run([&](const WaitWindow::Progress& progress) {
        progress(50);
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    EXPECT_GE(ticksWhileWorking, 5);
    EXPECT_EQ(progressSeen, 50);
    EXPECT_FALSE(window.isVisible());
}

TEST(WaitWindow, JobFailureReachesTheCaller)
{
    WaitWindow window(QStringLiteral("..."));
    try {
        window.run([](const WaitWindow::Progress&) { throw AppError(QStringLiteral("сбой")); });
        FAIL() << "no error raised";
    } catch (const AppError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("сбой"));
    }
}

TEST(WaitWindow, InstantJobDoesNotHang)
{
    WaitWindow window(QStringLiteral("..."));
    int runs = 0;
    window.run([&](const WaitWindow::Progress&) { ++runs; });
    EXPECT_EQ(runs, 1);
}

TEST(FileDialogs, PairedFiltersInQtForm)
{
    struct Case
    {
        const char* paired;
        const char* qt;
    };
    const Case cases[] = {
        {"MDB files (*.mdb)|*.mdb", "MDB files (*.mdb)"},
        {"Файлы результатов Vastrel (*.rslt)|*.rslt|Все файлы (*.*)|*.*",
         "Файлы результатов Vastrel (*.rslt);;Все файлы (*.*)"},
        {"Вопросы|*.vst4;*.vst", "Вопросы (*.vst4 *.vst)"},                   // patterns not in the description
        {"Вопросы (*.vst4)|*.vst4;*.vst", "Вопросы (*.vst4) (*.vst4 *.vst)"}, // the description names fewer
        {"Без шаблона", "Без шаблона (*)"},                                   // a description without its patterns
        {"|*.txt", "(*.txt)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QtFileFilter(QString::fromUtf8(c.paired)), QString::fromUtf8(c.qt)) << c.paired;
}

TEST(FileDialogs, RecorderAnswersInOrderThenCancelsAndGivesTheSeamBack)
{
    QWidget parent;
    {
        FileDialogRecorder outer({QStringLiteral("/a.mdb")});
        {
            FileDialogRecorder inner({QStringLiteral("/b.mdb")});
            EXPECT_EQ(ChooseOpenFile(&parent, QStringLiteral("Выбор"), QStringLiteral("MDB files (*.mdb)")),
                      QStringLiteral("/b.mdb"));
            EXPECT_EQ(ChooseOpenFile(&parent, QStringLiteral("Выбор"), {}), QString()); // cancelled
            ASSERT_EQ(inner.requests.size(), 2);
            EXPECT_EQ(inner.requests[0].parent, &parent);
            EXPECT_EQ(inner.requests[0].title, QStringLiteral("Выбор"));
            EXPECT_EQ(inner.requests[0].filter, QStringLiteral("MDB files (*.mdb)"));
        }
        EXPECT_EQ(ChooseOpenFile(nullptr, QStringLiteral("Снова"), {}, QStringLiteral("/tmp")),
                  QStringLiteral("/a.mdb"));
        ASSERT_EQ(outer.requests.size(), 1);
        EXPECT_EQ(outer.requests[0].directory, QStringLiteral("/tmp"));
    }
}
