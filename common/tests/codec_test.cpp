#include "appfolder.h"
#include "codec.h"
#include "testhome.h"

#include <QDir>
#include <gtest/gtest.h>

TEST(Codec, CyrillicRoundTripAndKnownBytes)
{
    const QString text = QStringLiteral("Ёжик съел щи. АБВ абв №");
    const QByteArray bytes = toCp1251(text);
    EXPECT_EQ(bytes.size(), text.size()); // one byte per character
    EXPECT_EQ(quint8(toCp1251(QStringLiteral("А"))[0]), 0xC0);
    EXPECT_EQ(quint8(toCp1251(QStringLiteral("я"))[0]), 0xFF);
    EXPECT_EQ(quint8(toCp1251(QStringLiteral("Ё"))[0]), 0xA8);
    EXPECT_EQ(quint8(toCp1251(QStringLiteral("№"))[0]), 0xB9);
    EXPECT_EQ(fromCp1251(bytes), text);
}

TEST(Codec, NulAndControlBytesSurvive)
{
    const QByteArray bytes("Iam\0x\r\n", 7);
    EXPECT_EQ(toCp1251(fromCp1251(bytes)), bytes);
}

TEST(Codec, UnmappableCharacterBecomesQuestionMark)
{
    EXPECT_EQ(toCp1251(QStringLiteral("a\u4E2Db")), QByteArray("a?b"));
}

TEST(AppFolder, FollowsVastrelHome)
{
    EXPECT_FALSE(testHome().isEmpty());
    EXPECT_EQ(AppFolder(), QDir(testHome()).absolutePath());
    EXPECT_EQ(AppFilePath(QStringLiteral("vs4.mdb")), QDir(testHome()).filePath(QStringLiteral("vs4.mdb")));
}

TEST(AppFolder, CreatesMissingHome)
{
    const QString home = testPath(QStringLiteral("new/home"));
    qputenv("VASTREL_HOME", home.toLocal8Bit());
    EXPECT_EQ(AppFolder(), home);
    EXPECT_TRUE(QDir(home).exists());
}
