#include "codec.h"

#include <algorithm>
#include <array>

namespace {

// Bytes 0x80 to 0xFF as Unicode code units; the bytes below 0x80 stand for themselves. Every
// byte has its character (0x98, unassigned in the code page, is U+0098), so decoding loses
// nothing and encoding gives back the same bytes.
// clang-format off
constexpr char16_t Upper[128] = {
    /* 80 */ 0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    /* 88 */ 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    /* 90 */ 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    /* 98 */ 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    /* A0 */ 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    /* A8 */ 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    /* B0 */ 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    /* B8 */ 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    /* C0 */ 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    /* C8 */ 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    /* D0 */ 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    /* D8 */ 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    /* E0 */ 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    /* E8 */ 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    /* F0 */ 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    /* F8 */ 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};
// clang-format on

constexpr char16_t CyrillicA = 0x0410;
constexpr char16_t CyrillicYa = 0x044F;
constexpr uchar ByteOfA = 0xC0;

struct Encoding
{
    char16_t unit;
    uchar byte;
    bool operator<(const Encoding& other) const { return unit < other.unit; }
};

// The upper half sorted by code unit, for the characters outside А to я.
const std::array<Encoding, 128>& sortedUpper()
{
    static const std::array<Encoding, 128> sorted = [] {
        std::array<Encoding, 128> a;
        for (int i = 0; i < 128; ++i)
            a[i] = {Upper[i], uchar(0x80 + i)};
        std::sort(a.begin(), a.end());
        return a;
    }();
    return sorted;
}

// The byte of a code unit, or -1 when Windows-1251 has no such character.
int byteOf(char16_t unit)
{
    if (unit < 0x80)
        return unit;
    if (unit >= CyrillicA && unit <= CyrillicYa)
        return ByteOfA + (unit - CyrillicA);
    const auto& sorted = sortedUpper();
    const auto it = std::lower_bound(sorted.begin(), sorted.end(), Encoding{unit, 0});
    return it != sorted.end() && it->unit == unit ? it->byte : -1;
}

// Characters invisible by definition (Unicode's default-ignorable ones that the code page lacks)
// are left out rather than shown as "?", as the text has always been encoded.
bool isLeftOut(char32_t codePoint)
{
    struct Range
    {
        char32_t first, last;
    };
    static constexpr Range Ranges[] = {
        {0x034F, 0x034F}, {0x061C, 0x061C},   {0x115F, 0x1160},   {0x17B4, 0x17B5},
        {0x180B, 0x180F}, {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x206F},
        {0x3164, 0x3164}, {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0},
        {0xFFF0, 0xFFF8}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
    };
    return std::any_of(std::begin(Ranges), std::end(Ranges),
                       [codePoint](const Range& r) { return codePoint >= r.first && codePoint <= r.last; });
}

} // namespace

QByteArray toCp1251(const QString& text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    const QChar* in = text.constData();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = in[i].unicode();
        if (const int byte = byteOf(unit); byte >= 0) {
            *out++ = char(byte);
            continue;
        }
        if (QChar::isHighSurrogate(unit)) {
            if (i + 1 == size)
                break; // half a character at the end: nothing
            if (in[i + 1].isLowSurrogate()) {
                if (!isLeftOut(QChar::surrogateToUcs4(unit, in[i + 1].unicode())))
                    *out++ = '?'; // one character, one mark
                ++i;
                continue;
            }
        }
        if (!isLeftOut(unit))
            *out++ = '?';
    }
    bytes.truncate(out - bytes.constData());
    return bytes;
}

QString fromCp1251(const QByteArray& bytes)
{
    return fromCp1251(bytes.constData(), bytes.size());
}

QString fromCp1251(const char* data, qsizetype size)
{
    // Every byte's character, the lower half standing for itself.
    static constexpr std::array<char16_t, 256> Characters = [] {
        std::array<char16_t, 256> all{};
        for (int b = 0; b < 128; ++b) {
            all[b] = char16_t(b);
            all[128 + b] = Upper[b];
        }
        return all;
    }();
    QString text(size, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < size; ++i)
        out[i] = Characters[uchar(data[i])];
    return text;
}

bool canEncodeCp1251(char32_t codePoint)
{
    return codePoint <= 0xFFFF && byteOf(char16_t(codePoint)) >= 0;
}
