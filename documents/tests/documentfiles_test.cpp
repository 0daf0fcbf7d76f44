#include "apperror.h"
#include "documentfiles.h"
#include "messagerecorder.h"
#include "shellrecorder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

TEST(DocumentFiles, TitlesBecomeFileNamesOnlyWhereTheyMust)
{
    const struct
    {
        QString title;
        QString name;
    } cases[] = {
        {"Алгебра 7 класс", "Алгебра 7 класс"},
        {"Дроби: 1/2 и 3/4", "Дроби_ 1_2 и 3_4"},
        {"Что? \"Где\" <когда> *|\\", "Что_ _Где_ _когда_ ___"},
        {"Тема\tс\nуправляющими", "Тема_с_управляющими"},
        {"Итоги...", "Итоги___"},
        {"Итоги  ", "Итоги__"},
        {"..", "__"},
        {".NET и C#", "_NET и C#"}, // not a hidden file
        {"...и другие", "_..и другие"},
        {"", "_"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileNameFromTitle(c.title), c.name) << c.title.toStdString();
    // A long title is cut to what a file name holds, never inside a character.
    const QString longName = FileNameFromTitle(QString(300, QChar(u'ж')));
    EXPECT_LE(longName.toUtf8().size(), 200);
    EXPECT_EQ(longName, QString(100, QChar(u'ж')));
    // Cut where a blank stood, the name still does not end with it.
    EXPECT_EQ(FileNameFromTitle(QString(99, QChar(u'ж')) + " конец"), QString(99, QChar(u'ж')) + "_");
    const QString emoji = FileNameFromTitle(QString::fromUtf8("😀").repeated(100));
    EXPECT_EQ(emoji, QString::fromUtf8("😀").repeated(50));
}

TEST(DocumentFiles, TakenNamesAreNumbered)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    EXPECT_EQ(FreeDocumentPath(folder, "Итоги", ".odt"), folder + "Итоги.odt");
    touch(folder + "Итоги.odt");
    EXPECT_EQ(FreeDocumentPath(folder, "Итоги", ".odt"), folder + "Итоги (1).odt");
    touch(folder + "Итоги (1).odt");
    EXPECT_EQ(FreeDocumentPath(folder, "Итоги", ".odt"), folder + "Итоги (2).odt");
    // Another extension is another name.
    EXPECT_EQ(FreeDocumentPath(folder, "Итоги", ".xlsx"), folder + "Итоги.xlsx");
}

TEST(DocumentFiles, ADocumentAppearsOnlyWhenWrittenWhole)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/Итоги.odt";
    QString seen;
    WriteDocumentAtomically(path, [&](const QString& temporary) {
        seen = temporary;
        EXPECT_FALSE(QFile::exists(path)); // not under its name while it is written
        QFile file(temporary);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("whole");
    });
    EXPECT_NE(seen, path);
    EXPECT_EQ(QFileInfo(seen).absolutePath(), dir.path()); // renamed within one folder
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "whole");
    EXPECT_TRUE(file.permissions() & QFileDevice::ReadOther);
    EXPECT_EQ(entries(dir.path()), QStringList{"Итоги.odt"});

    // A writer that fails half-way leaves nothing behind.
    const QString failing = dir.path() + "/Сбой.odt";
    EXPECT_THROW(WriteDocumentAtomically(failing,
                                         [](const QString& temporary) {
                                             QFile file(temporary);
                                             file.open(QIODevice::WriteOnly);
                                             file.write("half");
                                             throw AppError("disk full");
                                         }),
                 AppError);
    EXPECT_EQ(entries(dir.path()), QStringList{"Итоги.odt"});
}

TEST(DocumentFiles, AFolderThatCannotBeWrittenGivesAnError)
{
    QTemporaryDir dir;
    const QString missing = dir.path() + "/нет/Итоги.odt";
    bool called = false;
    try {
        WriteDocumentAtomically(missing, [&](const QString&) { called = true; });
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(dir.path() + "/нет"))) << e.message().toStdString();
    }
    EXPECT_FALSE(called);
}

TEST(DocumentFiles, TheSavedDocumentIsOpenedOrItsPlaceIsTold)
{
    {
        ShellRecorder desktop(true);
        MessageRecorder messages;
        OpenSavedDocument("/tmp/Итоги.odt");
        EXPECT_EQ(desktop.targets, QStringList{"/tmp/Итоги.odt"});
        EXPECT_TRUE(messages.texts.isEmpty());
    }
    ShellRecorder desktop(false);
    MessageRecorder messages;
    OpenSavedDocument("/tmp/Итоги.odt");
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].contains("\"/tmp/Итоги.odt\"")) << messages.texts[0].toStdString();
}
