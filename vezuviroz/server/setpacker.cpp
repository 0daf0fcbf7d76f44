#include "setpacker.h"

#include "adtg.h"
#include "codec.h"
#include "questiondraw.h"

#include <QtEndian>
#include <zlib.h>

namespace {

constexpr int Level = 9;
constexpr char ZlibHeader[] = {char(0x78), char(0xDA)}; // deflate, 32K window, best compression
constexpr char FinalEmptyBlock[] = {char(0x03), char(0x00)};

Table rowsOf(const Table& topic, const QList<int>& rows)
{
    Table t(topic.columns());
    for (int r : rows)
        t.appendRow(topic.row(r));
    return t;
}

void appendInt32(QByteArray& out, qint32 value)
{
    char b[4];
    qToLittleEndian(value, b);
    out.append(b, 4);
}

} // namespace

SetPacker::SetPacker(const Table& topic) : m_topic(topic)
{
    if (topic.rowCount() == 0)
        return;
    // A TableGram without rows is its head and its end; one with rows has them in between. The
    // end is the shortest tail shared by all of them with which two rows make up their TableGram.
    const QByteArray empty = WriteAdtg(rowsOf(topic, {}));
    const int last = topic.rowCount() - 1;
    const QByteArray first = WriteAdtg(rowsOf(topic, {0}));
    const QByteArray other = WriteAdtg(rowsOf(topic, {last}));
    const QByteArray both = WriteAdtg(rowsOf(topic, {0, last}));
    qsizetype shared = 0;
    while (shared < empty.size() && shared < first.size() &&
           empty[empty.size() - 1 - shared] == first[first.size() - 1 - shared])
        ++shared;
    for (qsizetype end = 1; end <= shared; ++end) {
        const qsizetype head = empty.size() - end;
        const auto row = [&](const QByteArray& one) { return one.mid(head, one.size() - head - end); };
        if (both == both.left(head) + row(first) + row(other) + both.right(end)) {
            m_headLength = head;
            m_endLength = end;
            return;
        }
    }
}

SetPacker::Piece SetPacker::compress(QByteArrayView bytes)
{
    Piece p;
    p.raw = bytes.toByteArray();
    p.length = bytes.size();
    p.adler = quint32(adler32(1, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size())));
    z_stream zs{};
    if (deflateInit2(&zs, Level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return p;
    p.deflated.resize(qsizetype(deflateBound(&zs, uLong(bytes.size()))) + 16);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    zs.avail_in = uInt(bytes.size());
    zs.next_out = reinterpret_cast<Bytef*>(p.deflated.data());
    zs.avail_out = uInt(p.deflated.size());
    const int rc = deflate(&zs, Z_SYNC_FLUSH);
    p.deflated.resize(rc == Z_OK && zs.avail_in == 0 ? qsizetype(zs.total_out) : 0);
    deflateEnd(&zs);
    return p;
}

const SetPacker::Piece* SetPacker::rowPiece(int topicRow)
{
    if (const auto it = m_rows.constFind(topicRow); it != m_rows.constEnd())
        return &*it;
    const QByteArray one = WriteAdtg(rowsOf(m_topic, {topicRow}));
    const qsizetype length = one.size() - m_headLength - m_endLength;
    if (length <= 0)
        return nullptr;
    return &*m_rows.insert(topicRow, compress(QByteArrayView(one).sliced(m_headLength, length)));
}

// The first set of a size is written the usual way, and its pieces must make it up exactly; its
// head (which holds the row count) and end then serve every set of that size.
bool SetPacker::measureFrame(const QList<int>& topicRows)
{
    const QByteArray whole = WriteAdtg(rowsOf(m_topic, topicRows));
    if (whole.size() < m_headLength + m_endLength)
        return false;
    qsizetype at = m_headLength;
    for (int r : topicRows) {
        const Piece& p = *m_rows.constFind(r);
        if (at + p.length > whole.size() || QByteArrayView(whole).sliced(at, p.length) != QByteArrayView(p.raw))
            return false;
        at += p.length;
    }
    if (at + m_endLength != whole.size())
        return false;
    Frame frame{compress(QByteArrayView(whole).first(m_headLength)), compress(QByteArrayView(whole).last(m_endLength))};
    if (frame.head.deflated.isEmpty() || frame.end.deflated.isEmpty())
        return false;
    m_frames.insert(topicRows.size(), frame);
    return true;
}

QByteArray SetPacker::pack(const QList<int>& topicRows)
{
    if (m_headLength < 0)
        return {};
    // every row's piece first: adding to the cache may move the pieces already in it
    qint64 rowsLength = 0;
    for (int r : topicRows) {
        const Piece* p = rowPiece(r);
        if (!p || p->deflated.isEmpty())
            return {};
        rowsLength += p->length;
    }
    if (!m_frames.contains(topicRows.size()) && !measureFrame(topicRows))
        return {};
    const Frame& frame = m_frames[topicRows.size()];
    if (frame.head.length + rowsLength + frame.end.length > std::numeric_limits<qint32>::max())
        return {};
    QList<const Piece*> pieces{&frame.head};
    for (int r : topicRows)
        pieces.append(&*m_rows.constFind(r));
    pieces.append(&frame.end);

    QByteArray archive;
    const QByteArray name = toCp1251(QString::fromLatin1(QuestionDraw::AdtgFileName));
    qsizetype deflatedSize = 0;
    for (const Piece* p : pieces)
        deflatedSize += p->deflated.size();
    archive.reserve(16 + name.size() + 2 + deflatedSize + 2 + 4);
    appendInt32(archive, 1);
    appendInt32(archive, qint32(name.size()));
    archive.append(name);
    appendInt32(archive, qint32(frame.head.length + rowsLength + frame.end.length));
    archive.append(ZlibHeader, sizeof(ZlibHeader));
    uLong adler = 1;
    for (const Piece* p : pieces) {
        archive.append(p->deflated);
        adler = adler32_combine(adler, p->adler, z_off_t(p->length));
    }
    archive.append(FinalEmptyBlock, sizeof(FinalEmptyBlock));
    char check[4];
    qToBigEndian(quint32(adler), check);
    archive.append(check, 4);
    return archive;
}
