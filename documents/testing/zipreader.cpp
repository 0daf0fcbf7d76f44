#include "zipreader.h"

#include <QFile>
#include <QtEndian>
#include <zlib.h>

namespace {

constexpr quint32 EndSignature = 0x06054b50;
constexpr quint32 CentralSignature = 0x02014b50;
constexpr quint32 LocalSignature = 0x04034b50;
constexpr int EndSize = 22;
constexpr int CentralSize = 46;
constexpr int LocalSize = 30;

quint16 u16(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}
quint32 u32(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

bool inflateRaw(const QByteArray& in, qsizetype size, QByteArray* out)
{
    out->resize(size);
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    z.avail_in = uInt(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out->data());
    z.avail_out = uInt(size);
    const int rc = inflate(&z, Z_FINISH);
    const bool whole = rc == Z_STREAM_END && z.total_out == uLong(size);
    inflateEnd(&z);
    return whole;
}

} // namespace

ZipMembers ReadZip(const QString& path)
{
    ZipMembers zip;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        zip.error = file.errorString();
        return zip;
    }
    const QByteArray b = file.readAll();
    qsizetype end = b.size() - EndSize;
    while (end >= 0 && u32(b, end) != EndSignature)
        --end;
    if (end < 0) {
        zip.error = QStringLiteral("no end of central directory");
        return zip;
    }
    const int entries = u16(b, end + 10);
    qsizetype at = u32(b, end + 16);
    for (int i = 0; i < entries; ++i) {
        if (at < 0 || at + CentralSize > b.size() || u32(b, at) != CentralSignature) {
            zip.error = QStringLiteral("damaged central directory");
            return zip;
        }
        const int method = u16(b, at + 10);
        const qsizetype packed = u32(b, at + 20);
        const qsizetype size = u32(b, at + 24);
        const int nameLength = u16(b, at + 28);
        const int extraLength = u16(b, at + 30);
        const int commentLength = u16(b, at + 32);
        const qsizetype local = u32(b, at + 42);
        const QString name = QString::fromUtf8(b.mid(at + CentralSize, nameLength));
        at += CentralSize + nameLength + extraLength + commentLength;
        if (local + LocalSize > b.size() || u32(b, local) != LocalSignature) {
            zip.error = QStringLiteral("damaged member ") + name;
            return zip;
        }
        const qsizetype data = local + LocalSize + u16(b, local + 26) + u16(b, local + 28);
        if (data + packed > b.size()) {
            zip.error = QStringLiteral("short member ") + name;
            return zip;
        }
        const QByteArray raw = b.mid(data, packed);
        QByteArray content;
        if (method == 0 && packed == size) {
            content = raw;
        } else if (method != 8 || !inflateRaw(raw, size, &content)) {
            zip.error = QStringLiteral("cannot unpack member ") + name;
            return zip;
        }
        zip.members.insert(name, content);
    }
    return zip;
}
