#include "apperror.h"
#include "clipboardpicture.h"

#include <QMimeData>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A 30 x 20 drawing: a blue square from (10, 5) to (19, 14) on nothing.
const QByteArray Drawing = R"(<svg xmlns="http://www.w3.org/2000/svg" width="30" height="20">)"
                           R"(<rect x="10" y="5" width="10" height="10" fill="#0000ff"/></svg>)";
// The same drawing packed with gzip, as "image/svg+xml-compressed" carries it.
const QByteArray PackedDrawing(
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\x4d\xcc\x4b\x0e\x83\x30\x0c\x84\xe1\xab\x44\xd3\x3d\x36\xa0\x6e\x50"
    "\x9c\xcb\xb4\xe4\x21\x05\xa8\xc0\xaa\xe9\xed\x1b\x36\x55\x77\x23\xcd\xa7\xdf\x1f\xef\xe4\xce\xa5\xae\x87\x20"
    "\xab\xbe\x26\x22\x33\xeb\x6c\xec\xb6\x3d\xd1\xc0\xcc\xd4\x04\x9c\x95\xa7\x66\xc1\xc8\x70\x79\x2e\x29\xab\x60"
    "\x60\x04\xbf\xcf\x0f\x75\xa7\xa0\x6f\xc7\x47\x70\xff\xc9\xfe\x4f\x5e\x3b\x96\x5a\x05\xb7\x16\xe4\x18\x41\xc1"
    "\x5f\xdd\xf0\x05\x92\x19\x2a\x87\x7f\x00\x00\x00",
    120);

QImage bitmap()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::green);
    return image;
}

std::unique_ptr<QMimeData> offering(const QList<std::pair<QString, QByteArray>>& formats, bool withBitmap = false)
{
    auto data = std::make_unique<QMimeData>();
    for (const auto& [format, bytes] : formats)
        data->setData(format, bytes);
    if (withBitmap)
        data->setImageData(bitmap());
    return data;
}

} // namespace

TEST(ClipboardPicture, DrawingsAreDrawnAtTheirOwnSizeOnWhiteAndBitmapsTakenAsTheyAre)
{
    const struct
    {
        const char* label;
        std::unique_ptr<QMimeData> data;
        QSize size; // of the picture taken; empty when nothing is offered
        bool drawn; // the blue square on white is expected
    } cases[] = {
        {"drawing", offering({{"image/svg+xml", Drawing}}), {30, 20}, true},
        {"packed drawing", offering({{"image/svg+xml-compressed", PackedDrawing}}), {30, 20}, true},
        {"drawing beside text", offering({{"text/plain", "x"}, {"image/svg+xml", Drawing}}), {30, 20}, true},
        {"size from the view box",
         offering({{"image/svg+xml", R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 30 20">)"
                                     R"(<rect x="10" y="5" width="10" height="10" fill="#0000ff"/></svg>)"}}),
         {30, 20},
         true},
        {"bitmap before the drawing", offering({{"image/svg+xml", Drawing}}, true), {4, 3}, false},
        {"bitmap", offering({}, true), {4, 3}, false},
        {"text only", offering({{"text/plain", "<svg/>"}}), {}, false},
        {"nothing", offering({}), {}, false},
    };
    for (const auto& c : cases) {
        const bool offered = !c.size.isEmpty();
        EXPECT_EQ(ClipboardPicture::Offered(c.data.get()), offered) << c.label;
        const QImage image = ClipboardPicture::Take(c.data.get());
        EXPECT_EQ(image.isNull(), !offered) << c.label;
        if (offered) {
            EXPECT_EQ(image.size(), c.size) << c.label;
        }
        if (c.drawn) {
            EXPECT_EQ(image.pixelColor(15, 10), QColor(Qt::blue)) << c.label;
            EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::white)) << c.label;
            EXPECT_EQ(image.pixelColor(29, 19), QColor(Qt::white)) << c.label;
        } else if (offered) {
            EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::green)) << c.label;
        }
    }
    // A bitmap with transparency (as a drawing decoded by the platform comes) stands on white.
    QImage clear(6, 4, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    clear.setPixelColor(3, 2, Qt::blue);
    auto data = std::make_unique<QMimeData>();
    data->setImageData(clear);
    const QImage taken = ClipboardPicture::Take(data.get());
    EXPECT_FALSE(taken.hasAlphaChannel());
    EXPECT_EQ(taken.size(), clear.size());
    EXPECT_EQ(taken.pixelColor(3, 2), QColor(Qt::blue));
    EXPECT_EQ(taken.pixelColor(0, 0), QColor(Qt::white));

    EXPECT_FALSE(ClipboardPicture::Offered(nullptr));
    EXPECT_TRUE(ClipboardPicture::Take(nullptr).isNull());
}

// A drawing that is offered but cannot be drawn is told with its reason, never pasted as a blank.
TEST(ClipboardPicture, DrawingsThatCannotBeDrawnAreRefused)
{
    const struct
    {
        const char* label;
        QByteArray drawing;
        const char* reason;
    } cases[] = {
        {"not a drawing", "\x89PNG garbage", "прочитать"},
        {"cut short", Drawing.left(40), "прочитать"},
        {"packed, cut short", PackedDrawing.left(60), "прочитать"},
        {"zero width", R"(<svg xmlns="http://www.w3.org/2000/svg" width="0" height="20"/>)", "ширина"},
        {"beyond memory",
         R"(<svg xmlns="http://www.w3.org/2000/svg" width="2000000" height="2000000"><rect width="5" height="5"/></svg>)",
         "велик"},
    };
    for (const auto& c : cases) {
        const auto data = offering({{"image/svg+xml", c.drawing}});
        EXPECT_TRUE(ClipboardPicture::Offered(data.get())) << c.label;
        try {
            ClipboardPicture::Take(data.get());
            ADD_FAILURE() << c.label << ": taken";
        } catch (const AppError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.reason)))
                << c.label << ": " << e.message().toStdString();
        }
    }
}
