#include "appfolder.h"
#include "codec.h"
#include "testhome.h"

#include <QDir>
#include <QTextCodec>
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

// The code page table against the platform's Windows-1251 codec, every byte and every character.
TEST(Codec, AgreesWithThePlatformCodecOnEveryByteAndCharacter)
{
    QTextCodec* platform = QTextCodec::codecForName("windows-1251");
    ASSERT_NE(platform, nullptr);
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += char(b);
    EXPECT_EQ(fromCp1251(everyByte), platform->toUnicode(everyByte));
    EXPECT_EQ(toCp1251(fromCp1251(everyByte)), everyByte);
    for (char32_t unit = 0; unit <= 0xFFFF; ++unit) {
        const QString one{QChar(char16_t(unit))};
        ASSERT_EQ(toCp1251(one), platform->fromUnicode(one)) << int(unit);
        // Half a character (a high surrogate) is no character the code page holds; the platform
        // codec said yes, waiting for its other half.
        const bool highSurrogate = unit >= 0xD800 && unit <= 0xDBFF;
        ASSERT_EQ(canEncodeCp1251(unit), !highSurrogate && (platform->canEncode(QChar(char16_t(unit))) || unit < 0x80))
            << int(unit);
    }
    for (const QString& text :
         {QString::fromUcs4(U"a\U0001F600b"), QString::fromUcs4(U"a\U000E0041b"), QString::fromUcs4(U"\U0001D173"),
          QStringLiteral("x") + QChar(0xD800) + u'y', QStringLiteral("x") + QChar(0xDC00), QString(QChar(0xD83D)),
          QStringLiteral("a\u200Bb\u00ADc")})
        EXPECT_EQ(toCp1251(text), platform->fromUnicode(text));
    EXPECT_FALSE(canEncodeCp1251(0x1F600));
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
