// The ADTG writer: the header, one descriptor per column, the rows as original rows. Where the
// published description of the format can be read more than one way, and no file written by ADO is at
// hand to settle it, the writer keeps to what every reading decodes the same way:
// - Text columns are declared at least DeclaredTextMin characters wide. For a narrower column the
//   description asks for a one-byte length before each cell ("ShortColumnDataLen") without saying
//   whether it counts bytes or characters, and a byte count in one byte cannot hold 255 Cyrillic
//   characters. From 256 characters on, every reading takes a four-byte length. The real widths stay
//   in the store's schema, which checks them; the writer checks a value against its column's real width.
// - Loading is declared synchronous with no fetch sizes: the published example asks for asynchronous
//   loading, under which a program that reads the file and walks to its end at once may see only the
//   first rows.
// - Nullable columns carry both ISNULLABLE and MAYBENULL and the others neither, so every reading of
//   which columns have a presence bit agrees.
// The text cell lengths are byte counts.
#include "adtg.h"
#include "adtgformat.h"
#include "apperror.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <sys/uio.h>
#include <vector>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "UTF-16 text is copied as it lies in memory");

namespace {

using namespace adtg;

constexpr quint32 WrittenPresence =
    HasName | HasBaseTable | HasBaseColumnOrdinal | HasBaseColumnName | HasAutoIncrement;
constexpr int DefaultTextSize = 255;     // a Text column without a size is Jet's widest
constexpr quint32 DeclaredTextMin = 256; // see the opening comment
constexpr qint64 MaxCellBytes = std::numeric_limits<qint32>::max();
constexpr qsizetype FileStreamChunk = 1 << 20;
constexpr QFileDevice::Permissions NewFilePermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;

// The fixed parts before the table descriptor, as in the published example TableGram except where the
// opening comment says: header; handler options (record-set GUID, update type 1, three empty strings,
// synchronous loading); the result descriptor's GUID and property sets; the record-set context with its
// rowset properties and the client cursor's batch size, update criteria and thread priority.
constexpr unsigned char FixedHead[] = {
    0x01, 0x07, 0x54, 0x47, 0x21, 0x00, 0x00, 0x00, 0x00,                                           // header
    0x02, 0x19, 0x00,                                                                               // options
    0xB6, 0x92, 0xF2, 0x3F, 0x04, 0xB2, 0xCF, 0x11, 0x8D, 0x23, 0x00, 0xAA, 0x00, 0x5F, 0xFE, 0x58, // record set
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,                                                       // update, URLs
    0x01, 0x00,                                                                                     // synchronous
};
constexpr unsigned char ResultDescriptorGuid[] = {0xD2, 0xAD, 0x63, 0xF6, 0x02, 0xEB, 0xCF, 0x11,
                                                  0xB0, 0xE3, 0x00, 0xAA, 0x00, 0x3F, 0x00, 0x0F};
constexpr unsigned char ResultProperties[] = {
    0x01, 0x00, 0xC1, 0x3C, 0x8E, 0xB6, 0xEB, 0x6D, 0xD0, 0x11, 0x8D, 0xF6, 0x00, 0xAA, 0x00, 0x5F, 0xFE, 0x58,
    0x07, 0x00, 0x0B, 0x00, 0x00, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x13, 0x00, 0x00, 0x00, 0x04, 0x00,
    0x01, 0x00, 0x00, 0x00, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0F, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00};
constexpr unsigned char RecordSetContext[] = {
    0x10, 0x68, 0x00, 0x02, 0x00,                                                                   // two sets
    0xBE, 0x22, 0xB5, 0xC8, 0xF3, 0x5C, 0xCE, 0x11, 0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D, // rowset
    0x04, 0x00,                                                                                     // properties
    0x7F, 0x00, 0x00, 0x00, 0x02, 0x00, 0xFF, 0xFF,                                                 // IRowsetChange
    0x86, 0x00, 0x00, 0x00, 0x02, 0x00, 0xFF, 0xFF,                                                 // IRowsetUpdate
    0x22, 0x00, 0x00, 0x00, 0x04, 0x00, 0x1E, 0x00, 0x00, 0x00,                                     // command timeout
    0x49, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00,                                     // max rows
    0xC1, 0x3C, 0x8E, 0xB6, 0xEB, 0x6D, 0xD0, 0x11, 0x8D, 0xF6, 0x00, 0xAA, 0x00, 0x5F, 0xFE, 0x58, // client cursor
    0x03, 0x00,                                                                                     // properties
    0x04, 0x00, 0x00, 0x00, 0x04, 0x00, 0x0F, 0x00, 0x00, 0x00,                                     // batch size
    0x05, 0x00, 0x00, 0x00, 0x04, 0x00, 0x02, 0x00, 0x00, 0x00,                                     // update criteria
    0x08, 0x00, 0x00, 0x00, 0x04, 0x00, 0x03, 0x00, 0x00, 0x00};                                    // thread priority
static_assert(sizeof(ResultProperties) == 70 && sizeof(RecordSetContext) == 3 + 0x68);

const char* bytesOf(const unsigned char* data)
{
    return reinterpret_cast<const char*>(data);
}

// Where the TableGram goes: a byte array, or a file descriptor. For a file, small pieces are copied
// into a staging buffer and large values (pictures) are queued where they lie, kept alive by their
// owner; the queue goes out in gathered writes that end on FileStreamChunk boundaries of the file, so
// the file system gets whole, aligned blocks as from a plain copy rather than one short write per row.
class Sink
{
public:
    explicit Sink(QByteArray* bytes) : m_bytes(bytes) {}
    explicit Sink(int fd) : m_fd(fd), m_stage(new char[StageCapacity]) {}

    // Copies the bytes.
    void put(const char* data, qsizetype size)
    {
        if (m_bytes) {
            m_bytes->append(data, size);
            return;
        }
        if (m_staged + size > StageCapacity) {
            writeQueued(true);
            if (size > StageCapacity) {
                Piece whole{data, size, {}};
                writePieces(&whole, 1);
                return;
            }
        }
        char* at = m_stage.get() + m_staged;
        std::memcpy(at, data, size_t(size));
        m_staged += size;
        if (!m_pieces.empty() && !m_pieces.back().owner.isValid() && m_pieces.back().data + m_pieces.back().size == at)
            m_pieces.back().size += size;
        else
            m_pieces.push_back({at, size, {}});
        queued(size);
    }
    void put(const QByteArray& data) { put(data.constData(), data.size()); }
    // A large value is queued where it lies, the queue holding a reference to it until it is written.
    void putKept(const QByteArray& data) { putKept(data.constData(), data.size(), data); }
    void putKept(const QString& text)
    {
        putKept(reinterpret_cast<const char*>(text.utf16()), qsizetype(text.size()) * 2, text);
    }
    void putByte(quint8 value)
    {
        const char c = char(value);
        put(&c, 1);
    }
    template <typename T> void putLE(T value)
    {
        char raw[sizeof(T)];
        qToLittleEndian(value, raw);
        put(raw, sizeof(T));
    }
    void flush()
    {
        if (!m_bytes)
            writeQueued(true);
    }

private:
    static constexpr qsizetype StageCapacity = 2 * FileStreamChunk;
    static constexpr qsizetype KeptMin = 16 * 1024;
    static constexpr int MaxPiecesPerWrite = 1024; // IOV_MAX on Linux

    struct Piece
    {
        const char* data;
        qsizetype size;
        QVariant owner; // invalid for staged bytes
    };

    void queued(qsizetype size)
    {
        m_queued += size;
        if (m_queued >= FileStreamChunk - m_written % FileStreamChunk)
            writeQueued(false);
    }

    // Writes the queue, or (all = false) as much of it as ends on a chunk boundary. Only the last piece
    // can reach past the boundary, as the queue goes out as soon as it reaches one.
    template <typename Owner> void putKept(const char* data, qsizetype size, const Owner& owner)
    {
        if (m_bytes || size < KeptMin) {
            put(data, size);
            return;
        }
        m_pieces.push_back({data, size, QVariant::fromValue(owner)});
        queued(size);
    }

    void writeQueued(bool all)
    {
        if (m_pieces.empty())
            return;
        const qsizetype rest = all ? 0 : qsizetype((m_written + m_queued) % FileStreamChunk);
        Piece last = m_pieces.back();
        m_pieces.back().size -= rest;
        writePieces(m_pieces.data(), m_pieces.size());
        m_pieces.clear();
        m_staged = 0;
        m_queued = rest;
        if (rest == 0)
            return;
        const char* tail = last.data + (last.size - rest);
        if (last.owner.isValid()) {
            m_pieces.push_back({tail, rest, std::move(last.owner)});
        } else {
            std::memmove(m_stage.get(), tail, size_t(rest));
            m_staged = rest;
            m_pieces.push_back({m_stage.get(), rest, {}});
        }
    }

    void writePieces(const Piece* pieces, size_t count)
    {
        std::vector<iovec> parts;
        parts.reserve(std::min<size_t>(count, MaxPiecesPerWrite));
        for (size_t first = 0; first < count; first += MaxPiecesPerWrite) {
            parts.clear();
            for (size_t i = first; i < std::min(count, first + MaxPiecesPerWrite); ++i) {
                if (pieces[i].size > 0)
                    parts.push_back({const_cast<char*>(pieces[i].data), size_t(pieces[i].size)});
            }
            writeAll(parts.data(), int(parts.size()));
        }
    }

    void writeAll(iovec* next, int count)
    {
        while (count > 0) {
            if (next->iov_len == 0) {
                ++next;
                --count;
                continue;
            }
            const ssize_t written = ::writev(m_fd, next, count);
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                throw AppError(QStringLiteral("Не удалось записать таблицу: %1")
                                   .arg(QString::fromLocal8Bit(std::strerror(errno))));
            }
            m_written += written;
            size_t left = size_t(written);
            while (count > 0 && left >= next->iov_len) {
                left -= next->iov_len;
                ++next;
                --count;
            }
            if (count > 0) {
                next->iov_base = static_cast<char*>(next->iov_base) + left;
                next->iov_len -= left;
            }
        }
    }

    QByteArray* m_bytes = nullptr;
    int m_fd = -1;
    std::unique_ptr<char[]> m_stage;
    qsizetype m_staged = 0;
    std::vector<Piece> m_pieces;
    qint64 m_queued = 0;  // bytes in m_pieces
    qint64 m_written = 0; // bytes in the file
};

template <typename T> void appendLE(QByteArray& out, T value)
{
    char raw[sizeof(T)];
    qToLittleEndian(value, raw);
    out.append(raw, sizeof(T));
}

void appendLpstr(QByteArray& out, QStringView text)
{
    appendLE<quint16>(out, quint16(text.size()));
    out.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

void putSized(Sink& sink, quint8 token, const QByteArray& body, const QString& what)
{
    if (body.size() > MaxTokenBody)
        throw AppError(QStringLiteral("Не удалось записать таблицу: слишком длинное описание (%1).").arg(what));
    sink.putByte(token);
    sink.putLE<quint16>(quint16(body.size()));
    sink.put(body);
}

struct WireColumn
{
    quint16 dbType;
    quint32 maxLength;
    quint32 precision;
    quint32 flags;
};

int textWidth(const Column& column)
{
    return column.size > 0 ? column.size : DefaultTextSize;
}

WireColumn wireColumn(const Column& column)
{
    WireColumn wire{};
    switch (column.type) {
    case ColumnType::Int:
        wire = {DbI4, 4, IntPrecision, FlagFixedLength};
        break;
    case ColumnType::Bool:
        wire = {DbBool, 2, NotApplicable, FlagFixedLength};
        break;
    case ColumnType::Double:
        wire = {DbR8, 8, DoublePrecision, FlagFixedLength};
        break;
    case ColumnType::Date:
        wire = {DbDate, 8, NotApplicable, FlagFixedLength};
        break;
    case ColumnType::Text:
        wire = {DbWStr, std::max(quint32(textWidth(column)), DeclaredTextMin), NotApplicable, 0};
        break;
    case ColumnType::Memo:
        wire = {DbWStr, MemoMaxLength, NotApplicable, FlagLong};
        break;
    case ColumnType::Binary:
        wire = {DbBytes, BinaryMaxLength, NotApplicable, FlagLong};
        break;
    }
    wire.flags |= FlagWriteUnknown;
    if (column.nullable)
        wire.flags |= FlagNullable | FlagMayBeNull;
    if (column.key)
        wire.flags |= FlagKey;
    return wire;
}

[[noreturn]] void badValue(const Table& table, int row, int ordinal, const QString& why)
{
    throw AppError(QStringLiteral("Не удалось записать таблицу: строка %1, поле \"%2\": %3.")
                       .arg(row + 1)
                       .arg(table.column(ordinal).name, why));
}

void putCell(Sink& sink, const Table& table, int row, int ordinal, const QVariant& value)
{
    const Column& column = table.column(ordinal);
    switch (column.type) {
    case ColumnType::Int: {
        bool ok = false;
        const qlonglong number = value.toLongLong(&ok);
        if (!ok || number < std::numeric_limits<qint32>::min() || number > std::numeric_limits<qint32>::max())
            badValue(table, row, ordinal, QStringLiteral("не 32-битное целое число"));
        sink.putLE<qint32>(qint32(number));
        return;
    }
    case ColumnType::Bool:
        sink.putLE<quint16>(value.toBool() ? 0xFFFF : 0x0000);
        return;
    case ColumnType::Double: {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok)
            badValue(table, row, ordinal, QStringLiteral("не число"));
        sink.putLE<double>(number);
        return;
    }
    case ColumnType::Date: {
        const QDateTime when = value.toDateTime();
        if (!when.isValid())
            badValue(table, row, ordinal, QStringLiteral("не дата"));
        sink.putLE<double>(toOleDate(when));
        return;
    }
    case ColumnType::Text:
    case ColumnType::Memo: {
        const QString text = value.toString();
        const qint64 bytes = qint64(text.size()) * 2;
        if (column.type == ColumnType::Text && text.size() > textWidth(column))
            badValue(table, row, ordinal, QStringLiteral("текст длиннее %1 символов").arg(textWidth(column)));
        if (bytes > MaxCellBytes)
            badValue(table, row, ordinal, QStringLiteral("слишком длинный текст"));
        sink.putLE<qint32>(qint32(bytes)); // no text column is declared narrow enough for a one-byte length
        sink.putKept(text);
        return;
    }
    case ColumnType::Binary: {
        const QByteArray data = value.toByteArray();
        if (data.size() > MaxCellBytes)
            badValue(table, row, ordinal, QStringLiteral("слишком большое значение"));
        sink.putLE<qint32>(qint32(data.size()));
        sink.putKept(data);
        return;
    }
    }
}

void writeTableGram(const Table& table, QStringView baseTable, Sink& sink)
{
    const int count = table.columnCount();
    if (count > std::numeric_limits<quint16>::max() - 1)
        throw AppError(QStringLiteral("Не удалось записать таблицу: слишком много полей."));
    QList<int> keys;
    QList<bool> nullable(count);
    for (int i = 0; i < count; ++i) {
        const Column& c = table.column(i);
        if (c.name.isEmpty())
            throw AppError(QStringLiteral("Не удалось записать таблицу: поле %1 без имени.").arg(i + 1));
        for (int j = 0; j < i; ++j) {
            if (table.column(j).name.compare(c.name, Qt::CaseInsensitive) == 0)
                throw AppError(QStringLiteral("Не удалось записать таблицу: поле \"%1\" повторяется.").arg(c.name));
        }
        if (c.type == ColumnType::Text && qint64(c.size) > qint64(LongTextThreshold) - 1)
            throw AppError(QStringLiteral("Не удалось записать таблицу: поле \"%1\" слишком широкое.").arg(c.name));
        if (c.key)
            keys.append(i + 1);
        nullable[i] = c.nullable;
    }

    sink.put(bytesOf(FixedHead), sizeof(FixedHead));

    QByteArray body;
    body.append(bytesOf(ResultDescriptorGuid), sizeof(ResultDescriptorGuid));
    body.append(3, '\0');                    // reserved, snapshot cursor, not normalised
    appendLE<quint16>(body, quint16(count)); // visible
    appendLE<quint16>(body, quint16(count)); // total
    appendLE<quint16>(body, 0);              // computed
    appendLE<quint16>(body, 1);              // base tables
    appendLE<quint16>(body, 0);              // order-by columns
    appendLE<quint32>(body, quint32(table.rowCount()));
    body.append(bytesOf(ResultProperties), sizeof(ResultProperties));
    putSized(sink, TokenResultDescriptor, body, QStringLiteral("результат"));

    sink.put(bytesOf(RecordSetContext), sizeof(RecordSetContext));

    body.clear();
    appendLE<quint16>(body, 1);   // table ordinal
    appendLpstr(body, baseTable); // original name
    appendLpstr(body, baseTable); // update name
    appendLE<quint16>(body, 0);   // code page
    appendLE<quint16>(body, quint16(count));
    appendLE<quint16>(body, quint16(keys.size()));
    for (int ordinal : keys)
        appendLE<quint16>(body, quint16(ordinal));
    putSized(sink, TokenTableDescriptor, body, QStringLiteral("таблица"));

    for (int i = 0; i < count; ++i) {
        const Column& c = table.column(i);
        const WireColumn wire = wireColumn(c);
        body.clear();
        body.append(char((WrittenPresence >> 16) & 0xFF));
        body.append(char((WrittenPresence >> 8) & 0xFF));
        body.append(char(WrittenPresence & 0xFF));
        appendLE<quint16>(body, quint16(i + 1)); // column ordinal
        appendLpstr(body, c.name);
        appendLE<quint16>(body, 1);              // base table
        appendLE<quint16>(body, quint16(i + 1)); // base column ordinal
        appendLpstr(body, c.name);
        appendLE<quint16>(body, wire.dbType);
        appendLE<quint32>(body, wire.maxLength);
        appendLE<quint32>(body, wire.precision);
        appendLE<quint32>(body, NotApplicable); // scale
        appendLE<quint32>(body, wire.flags);
        appendLE<quint16>(body, c.autoIncrement ? 0xFFFF : 0x0000);
        appendLE<quint16>(body, 0xFFFF); // visible
        putSized(sink, TokenColumnDescriptor, body, c.name);
    }

    const int nullableCount = int(std::count(nullable.cbegin(), nullable.cend(), true));
    QByteArray presence((nullableCount + 7) / 8, '\0');
    for (int r = 0; r < table.rowCount(); ++r) {
        const QVariantList& values = table.row(r);
        presence.fill('\0');
        int bit = 0;
        for (int i = 0; i < count; ++i) {
            if (!nullable[i]) {
                if (!values[i].isValid())
                    badValue(table, r, i, QStringLiteral("пустое значение в обязательном поле"));
                continue;
            }
            if (values[i].isValid())
                presence[bit / 8] = char(quint8(presence[bit / 8]) | (0x80 >> (bit % 8)));
            ++bit;
        }
        sink.putByte(TokenOriginalRow);
        sink.put(presence);
        for (int i = 0; i < count; ++i) {
            if (values[i].isValid())
                putCell(sink, table, r, i, values[i]);
        }
    }
    sink.putByte(TokenDone);
    sink.flush();
}

qint64 estimatedSize(const Table& table)
{
    qint64 size = 1024 + qint64(table.columnCount()) * 128;
    for (int r = 0; r < table.rowCount(); ++r) {
        size += 1 + table.columnCount() / 8 + 1;
        for (const QVariant& v : table.row(r)) {
            switch (v.typeId()) {
            case QMetaType::QByteArray:
                size += 4 + v.toByteArray().size();
                break;
            case QMetaType::QString:
                size += 4 + v.toString().size() * 2;
                break;
            default:
                size += 8;
                break;
            }
        }
    }
    return size;
}

} // namespace

QByteArray WriteAdtg(const Table& table, QStringView baseTable)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(std::min<qint64>(estimatedSize(table), std::numeric_limits<qsizetype>::max() / 2)));
    Sink sink(&bytes);
    writeTableGram(table, baseTable, sink);
    return bytes;
}

void WriteAdtgFile(const Table& table, const QString& path, QStringView baseTable)
{
    // Written beside the target and renamed over it, so that readers see the old file or the whole new
    // one. Not synced to disk: the file is a working copy on its way into an archive or a message, and a
    // sync would cost more than writing it.
    const QFileInfo target(path);
    QTemporaryFile file(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!file.open())
        throw AppError(QStringLiteral("Не удалось создать файл \"%1\": %2").arg(path, file.errorString()));
    Sink sink(file.handle());
    writeTableGram(table, baseTable, sink); // on a throw the temporary file is removed
    file.setPermissions(target.exists() ? target.permissions() : NewFilePermissions);
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("Не удалось записать файл \"%1\": %2").arg(path, file.errorString()));
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        throw AppError(QStringLiteral("Не удалось записать файл \"%1\": %2")
                           .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    file.setAutoRemove(false);
}
