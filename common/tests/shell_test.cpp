#include "apperror.h"
#include "shell.h"
#include "shellrecorder.h"
#include "testhome.h"

#include <QCoreApplication>
#include <QStringList>
#include <gtest/gtest.h>

TEST(SendMailLink, EncodesBlanksAndLineBreaks)
{
    ShellRecorder shell(true);
    SendMailLink(QStringLiteral("a@b.ru"), QStringLiteral("a b"), QStringLiteral("x\r\ny"));
    SendMailLink(QStringLiteral("a@b.ru"), QStringLiteral("Тема"));
    ASSERT_EQ(shell.targets.size(), 2);
    EXPECT_EQ(shell.targets[0], QStringLiteral("mailto:a@b.ru?subject=a%20b&body=x%0D%0Ay"));
    EXPECT_EQ(shell.targets[1], QStringLiteral("mailto:a@b.ru?subject=Тема"));
}

TEST(SendMailLink, NoMailProgramRaises)
{
    ShellRecorder shell(false);
    try {
        SendMailLink(QStringLiteral("a@b.ru"), QStringLiteral("s"));
        FAIL() << "no error raised";
    } catch (const AppError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot run default Email Client!"));
    }
}

TEST(OpenHelp, OpensTheGuideBesideTheProgramOrRaises)
{
    {
        ShellRecorder shell(true);
        OpenHelp();
        EXPECT_EQ(shell.targets,
                  QStringList{QCoreApplication::applicationDirPath() + QStringLiteral("/help/index.html")});
    }
    ShellRecorder shell(false);
    try {
        OpenHelp();
        FAIL() << "no error raised";
    } catch (const AppError& e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("Не получается открыть файл справки.\rПопробуйте найти его в папке Vastrel System."));
    }
}

TEST(ShellOpen, MissingTargetWithoutSchemeIsRefused)
{
    EXPECT_FALSE(ShellOpen(testPath(QStringLiteral("no-such-file.doc"))));
}
