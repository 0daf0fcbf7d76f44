#include "codec.h"

#include <QTextCodec>

namespace {

QTextCodec* cp1251()
{
    static QTextCodec* const codec = [] {
        QTextCodec* c = QTextCodec::codecForName("windows-1251");
        Q_ASSERT(c);
        return c;
    }();
    return codec;
}

} // namespace

QByteArray toCp1251(const QString& text)
{
    return cp1251()->fromUnicode(text);
}

QString fromCp1251(const QByteArray& bytes)
{
    return cp1251()->toUnicode(bytes);
}

QString fromCp1251(const char* data, qsizetype size)
{
    return cp1251()->toUnicode(data, int(size));
}

bool canEncodeCp1251(char32_t codePoint)
{
    if (codePoint < 0x80)
        return true;
    if (QChar::requiresSurrogates(codePoint))
        return false;
    return cp1251()->canEncode(QChar(codePoint));
}
