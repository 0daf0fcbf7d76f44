#include "apperror.h"
#include "codec.h"
#include "studentimport.h"

#include <gtest/gtest.h>

using StudentImport::ParseNames;

TEST(StudentImportTest, OneStudentPerLineInEitherEncoding)
{
    const QStringList three{"Иванов", "Петров", "Сидоров"};
    struct Case
    {
        const char* name;
        QByteArray bytes;
        QStringList names;
    };
    const Case cases[] = {
        {"UTF-8, CR LF, break after the last", QString("Иванов\r\nПетров\r\nСидоров\r\n").toUtf8(), three},
        {"UTF-8, LF, no break after the last", QString("Иванов\nПетров\nСидоров").toUtf8(), three},
        {"UTF-8 with its byte-order mark", "\xEF\xBB\xBF" + QString("Иванов\r\nПетров\r\nСидоров").toUtf8(), three},
        {"Windows-1251", toCp1251("Иванов\r\nПетров\r\nСидоров\r\n"), three},
        {"Windows-1251, CR only", toCp1251("Иванов\rПетров\rСидоров"), three},
        {"an empty line is an empty name", toCp1251("Иванов\r\n\r\nСидоров\r\n"), {"Иванов", "", "Сидоров"}},
        {"an empty last line is a name too", QString("Иванов\n\n").toUtf8(), {"Иванов", ""}},
        {"blanks are kept as written", QString(" Ким Ли \t").toUtf8(), {" Ким Ли \t"}},
        {"an empty file", QByteArray(), {}},
        {"ASCII", QByteArray("Smith\r\nJones"), {"Smith", "Jones"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseNames(c.bytes, "f.txt"), c.names) << c.name;
}

TEST(StudentImportTest, ValidUtf8DecidesTheEncoding)
{
    // "Ёж" in Windows-1251 is not valid UTF-8; the same letters in UTF-8 read as UTF-8.
    EXPECT_EQ(StudentImport::DecodeText(toCp1251("Ёж")), "Ёж");
    EXPECT_EQ(StudentImport::DecodeText(QString("Ёж").toUtf8()), "Ёж");
    // One bad byte after valid UTF-8 makes the whole file Windows-1251.
    EXPECT_EQ(StudentImport::DecodeText(QString("Ёж").toUtf8() + "\xFF"), fromCp1251(QString("Ёж").toUtf8() + "\xFF"));
}

TEST(StudentImportTest, WhatIsNotAStudentListIsRefusedWithItsLine)
{
    struct Case
    {
        const char* name;
        QByteArray bytes;
        QString message;
    };
    const Case cases[] = {
        {"a NUL byte", QByteArray("Ann\r\nB\0b\r\n", 10),
         "Файл \"f.txt\" не является текстовым: в строке 2 есть управляющие символы."},
        {"an escape", QByteArray("\x1b[0m"),
         "Файл \"f.txt\" не является текстовым: в строке 1 есть управляющие символы."},
        {"a name longer than the column", QByteArray("Ann\n") + QByteArray(51, 'x'),
         "В файле \"f.txt\" строка 2 длиннее 50 символов: такую фамилию сохранить нельзя."},
        {"a file far too large", QByteArray(StudentImport::MaxFileBytes + 1, 'a'),
         QString("Файл \"f.txt\" слишком велик для списка студентов (%1 байт).").arg(StudentImport::MaxFileBytes + 1)},
    };
    for (const Case& c : cases) {
        try {
            ParseNames(c.bytes, "f.txt");
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const AppError& e) {
            EXPECT_EQ(e.message(), c.message) << c.name;
        }
    }
    // Fifty letters are a name.
    EXPECT_EQ(ParseNames(QString(50, u'Ж').toUtf8(), "f.txt"), QStringList{QString(50, u'Ж')});
}
