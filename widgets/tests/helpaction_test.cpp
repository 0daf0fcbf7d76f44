// F1 in a main window opens the user guide, or tells why it cannot.
#include "helpaction.h"
#include "messagerecorder.h"
#include "shellrecorder.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QTest>
#include <gtest/gtest.h>

TEST(HelpAction, OneCommandPerWindowWithItsCaptionAndF1)
{
    QMainWindow window;
    QAction* action = HelpAction(&window);
    EXPECT_EQ(HelpAction(&window), action);
    EXPECT_EQ(window.findChildren<QAction*>().count(action), 1);
    EXPECT_EQ(action->text(), QStringLiteral("&Содержание справки"));
    EXPECT_EQ(action->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_TRUE(window.actions().contains(action));
}

TEST(HelpAction, F1OpensTheGuideOrShowsWhyNot)
{
    struct Case
    {
        bool desktopOpens;
        QStringList messages;
    };
    const Case cases[] = {
        {true, {}},
        {false, {QStringLiteral("Не получается открыть файл справки.\rПопробуйте найти его в папке Vastrel System.")}},
    };
    for (const Case& c : cases) {
        QMainWindow window;
        window.menuBar()->addMenu(QStringLiteral("Справка"))->addAction(HelpAction(&window));
        window.show();
        QApplication::setActiveWindow(&window);
        ShellRecorder shell(c.desktopOpens);
        MessageRecorder messages;
        QTest::keyClick(&window, Qt::Key_F1);
        EXPECT_EQ(shell.targets, QStringList{HelpFilePath()}) << c.desktopOpens;
        EXPECT_EQ(messages.texts, c.messages);
        if (!c.messages.isEmpty()) {
            EXPECT_EQ(messages.icons.value(0), MsgIcon::Error);
        }
    }
}

TEST(HelpAction, AWindowsOwnF1CommandStaysTheOnlyOne)
{
    QMainWindow window;
    auto* own = new QAction(QStringLiteral("&Содержание справки"), &window);
    own->setShortcut(Qt::Key_F1);
    window.addAction(own);
    int triggered = 0;
    QObject::connect(own, &QAction::triggered, [&triggered] { ++triggered; });
    EXPECT_EQ(HelpAction(&window), own);
    EXPECT_EQ(window.actions().size(), 1);

    window.show();
    QApplication::setActiveWindow(&window);
    ShellRecorder shell(true);
    QTest::keyClick(&window, Qt::Key_F1);
    EXPECT_EQ(triggered, 1); // an ambiguous F1 would run nothing
}
