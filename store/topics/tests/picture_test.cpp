#include "apperror.h"
#include "picture.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

namespace {

// Four quarters of clearly different colours, so a decoder that swaps channels or rows shows it.
QImage quarters(int w = 32, int h = 24)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y,
                           y < h / 2 ? (x < w / 2 ? qRgb(255, 0, 0) : qRgb(0, 255, 0))
                                     : (x < w / 2 ? qRgb(0, 0, 255) : qRgb(255, 255, 255)));
    return image;
}

QByteArray encode(const QImage& image, const char* format, int quality = 95)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, quality));
    return bytes;
}

QImage decodeStored(const QByteArray& bmp)
{
    EXPECT_TRUE(bmp.startsWith("BM"));
    return QImage::fromData(bmp, "BMP");
}

void expectNear(QRgb actual, QRgb expected, int tolerance)
{
    EXPECT_NEAR(qRed(actual), qRed(expected), tolerance);
    EXPECT_NEAR(qGreen(actual), qGreen(expected), tolerance);
    EXPECT_NEAR(qBlue(actual), qBlue(expected), tolerance);
}

void expectQuarters(const QImage& image, int tolerance)
{
    ASSERT_EQ(image.size(), QSize(32, 24));
    expectNear(image.pixel(4, 4), qRgb(255, 0, 0), tolerance);
    expectNear(image.pixel(28, 4), qRgb(0, 255, 0), tolerance);
    expectNear(image.pixel(4, 20), qRgb(0, 0, 255), tolerance);
    expectNear(image.pixel(28, 20), qRgb(255, 255, 255), tolerance);
}

} // namespace

TEST(Picture, JpegIsDecodedIntoABitmapWithItsColoursAndOrientation)
{
    const QByteArray bmp = Picture::DecodeToBmp(encode(quarters(), "JPG"), "Рисунок.JPG");
    expectQuarters(decodeStored(bmp), 40);
}

TEST(Picture, GreyscaleJpegComesOutGrey)
{
    QImage grey(16, 16, QImage::Format_Grayscale8);
    grey.fill(128);
    const QImage decoded = decodeStored(Picture::DecodeToBmp(encode(grey, "JPG"), "g.jpeg"));
    ASSERT_EQ(decoded.size(), QSize(16, 16));
    expectNear(decoded.pixel(8, 8), qRgb(128, 128, 128), 3);
}

TEST(Picture, BitmapIsKeptPixelForPixel)
{
    const QImage decoded = decodeStored(Picture::DecodeToBmp(encode(quarters(), "BMP"), "a.bmp"));
    expectQuarters(decoded, 0);
}

TEST(Picture, KindFollowsTheExtension)
{
    struct Case
    {
        const char* name;
        bool jpeg;
    };
    const Case cases[] = {{"a.jpg", true},  {"a.JPG", true},  {"a.jpeg", true}, {"a.Jpe", true},
                          {"a.bmp", false}, {"a.png", false}, {"jpg", false},   {"dir.jpg/a.bmp", false}};
    for (const Case& c : cases)
        EXPECT_EQ(Picture::IsJpegName(QString::fromUtf8(c.name)), c.jpeg) << c.name;
    // A real JPEG named as a bitmap is not a bitmap.
    EXPECT_THROW(Picture::DecodeToBmp(encode(quarters(), "JPG"), "a.bmp"), AppError);
}

TEST(Picture, DamagedFilesAreRefusedWithTheirName)
{
    const QByteArray jpeg = encode(quarters(64, 64), "JPG");
    const QByteArray bmp = encode(quarters(), "BMP");
    QByteArray hugeBmp = bmp;
    // Width and height fields of the info header: 100000 x 100000.
    const qint32 huge = 100000;
    memcpy(hugeBmp.data() + 18, &huge, 4);
    memcpy(hugeBmp.data() + 22, &huge, 4);
    QByteArray badJpegHeader = jpeg;
    badJpegHeader[1] = 0x00; // no start-of-image marker

    struct Case
    {
        const char* what;
        QByteArray bytes;
        const char* name;
    };
    const Case cases[] = {
        {"empty jpeg", QByteArray(), "e.jpg"},
        {"jpeg cut in half", jpeg.left(jpeg.size() / 2), "half.jpg"},
        {"jpeg header only", jpeg.left(200), "head.jpg"},
        {"not a jpeg at all", QByteArray("hello, this is text"), "t.jpg"},
        {"broken jpeg marker", badJpegHeader, "m.jpg"},
        {"png named bmp", encode(quarters(), "PNG"), "p.bmp"},
        {"empty bitmap", QByteArray(), "e.bmp"},
        {"bitmap cut short", bmp.left(40), "cut.bmp"},
        {"bitmap of absurd size", hugeBmp, "huge.bmp"},
    };
    for (const Case& c : cases) {
        try {
            const QByteArray out = Picture::DecodeToBmp(c.bytes, QString::fromUtf8(c.name));
            ADD_FAILURE() << c.what << ": accepted, " << out.size() << " bytes";
        } catch (const AppError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.name))) << c.what << ": " << e.message().toStdString();
        }
    }
}

TEST(Picture, MissingFileIsAnError)
{
    EXPECT_THROW(Picture::LoadPictureFile("/nonexistent/folder/x.bmp"), AppError);
}
