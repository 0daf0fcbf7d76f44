// The ADTG reader. Where the published description of the format allows more than one reading (the
// unit of text cell lengths, the bit order and membership of the presence map), the reader tries the
// readings in order of likelihood and keeps the first that decodes the rows exactly.
#include "adtg.h"
#include "adtgformat.h"
#include "apperror.h"
#include "codec.h"
#include "runlog.h"

#include <QFile>
#include <QSet>
#include <QUuid>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <sys/mman.h>
#include <vector>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "UTF-16 text is copied as it lies in memory");

namespace {

using namespace adtg;

constexpr qsizetype SignatureScanLimit = 4096;

[[noreturn]] void damaged(const QString& what, qsizetype offset)
{
    throw AppError(
        QStringLiteral("Таблица ADTG повреждена или имеет неизвестный формат: %1 (байт %2).").arg(what).arg(offset));
}

[[noreturn]] void unsupported(const QString& what)
{
    throw AppError(QStringLiteral("Таблица ADTG не поддерживается: %1.").arg(what));
}

// Reads little-endian values from a range, checking every length against the bytes left.
class Cursor
{
public:
    Cursor(const uchar* data, qsizetype begin, qsizetype end) : m_data(data), m_pos(begin), m_end(end) {}

    qsizetype pos() const { return m_pos; }
    qsizetype left() const { return m_end - m_pos; }
    bool atEnd() const { return m_pos >= m_end; }
    const uchar* here() const { return m_data + m_pos; }

    void need(qint64 size, const char* what) const
    {
        if (size < 0 || size > left())
            damaged(QStringLiteral("%1 выходит за конец данных").arg(QLatin1String(what)), m_pos);
    }
    const uchar* take(qint64 size, const char* what)
    {
        need(size, what);
        const uchar* p = m_data + m_pos;
        m_pos += qsizetype(size);
        return p;
    }
    void skip(qint64 size, const char* what) { take(size, what); }
    template <typename T> T read(const char* what) { return qFromLittleEndian<T>(take(sizeof(T), what)); }
    quint8 u8(const char* what) { return *take(1, what); }
    quint16 u16(const char* what) { return read<quint16>(what); }
    quint32 u32(const char* what) { return read<quint32>(what); }
    QString lpstr(const char* what)
    {
        const quint16 chars = u16(what);
        return utf16(take(qint64(chars) * 2, what), chars);
    }
    static QString utf16(const uchar* p, qsizetype chars)
    {
        if (chars == 0)
            return QString();
        QString text(chars, Qt::Uninitialized);
        std::memcpy(text.data(), p, size_t(chars) * 2);
        return text;
    }

private:
    const uchar* m_data;
    qsizetype m_pos;
    qsizetype m_end;
};

struct ColumnDescriptor
{
    quint16 ordinal = 0;
    QString name;
    quint16 baseTable = 0;
    quint16 baseColumnOrdinal = 0;
    bool hasBaseColumnOrdinal = false;
    quint16 dbType = 0;
    quint32 maxLength = 0;
    quint32 flags = 0;
    bool autoIncrement = false;
    bool visible = true;
    qsizetype offset = 0;
};

struct Meta
{
    bool embedded = false; // found inside other bytes, neither alone nor after the record-set wrapper
    bool unicodeStrings = false;
    bool hasResultDescriptor = false;
    quint32 rowCount = 0;
    quint16 totalColumns = 0;
    QList<QPair<quint16, quint16>> keys; // table ordinal, base column ordinal
    QList<ColumnDescriptor> columns;
    qsizetype rowsStart = 0;
};

// Size of a cell of a fixed-size type; -1 for types with a length prefix, -2 for unknown types.
int fixedCellSize(quint16 type)
{
    switch (type) {
    case DbEmpty:
    case DbNull:
        return 0;
    case DbI1:
    case DbUI1:
        return 1;
    case DbI2:
    case DbUI2:
    case DbBool:
        return 2;
    case DbI4:
    case DbUI4:
    case DbR4:
        return 4;
    case DbR8:
    case DbCy:
    case DbDate:
    case DbI8:
    case DbUI8:
    case DbFileTime:
        return 8;
    case DbDbDate:
    case DbDbTime:
        return 6;
    case DbDecimal:
    case DbGuid:
    case DbDbTimestamp:
        return 16;
    case DbBytes:
    case DbStr:
    case DbWStr:
    case DbBstr:
    case DbVarNumeric:
        return -1;
    default:
        return -2;
    }
}

QString typeName(quint16 type)
{
    const QString code = QStringLiteral("0x%1").arg(type, 4, 16, QLatin1Char('0'));
    return type == DbNumeric ? QStringLiteral("NUMERIC (%1, десятичное число)").arg(code) : code;
}

bool isWide(quint16 type)
{
    return type == DbWStr || type == DbBstr;
}

Column toColumn(const ColumnDescriptor& descriptor, bool listedKey)
{
    Column c;
    c.name = descriptor.name;
    // MAYBENULL only says that a null may be read (an outer join's column); ISNULLABLE is the column's own.
    c.nullable = (descriptor.flags & FlagNullable) != 0;
    c.key = (descriptor.flags & FlagKey) != 0 || listedKey;
    c.autoIncrement = descriptor.autoIncrement;
    switch (descriptor.dbType) {
    case DbI1:
    case DbUI1:
    case DbI2:
    case DbUI2:
    case DbI4:
        c.type = ColumnType::Int;
        break;
    case DbBool:
        c.type = ColumnType::Bool;
        break;
    case DbR4:
    case DbR8:
    case DbCy:
    case DbDecimal:
    case DbUI4:
    case DbI8:
    case DbUI8:
    case DbVarNumeric:
        c.type = ColumnType::Double;
        break;
    case DbDate:
    case DbDbDate:
    case DbDbTime:
    case DbDbTimestamp:
    case DbFileTime:
        c.type = ColumnType::Date;
        break;
    case DbGuid:
        c.type = ColumnType::Text;
        c.size = 38;
        break;
    case DbWStr:
    case DbBstr:
    case DbStr:
        if ((descriptor.flags & FlagLong) || descriptor.maxLength >= LongTextThreshold) {
            c.type = ColumnType::Memo;
        } else {
            c.type = ColumnType::Text;
            c.size = int(descriptor.maxLength);
        }
        break;
    default:
        c.type = ColumnType::Binary;
        break;
    }
    return c;
}

// Checks the header and tells whether single-byte text cells are sent as UTF-16.
bool parseHeader(Cursor& in)
{
    const qsizetype start = in.pos();
    if (in.left() < HeaderSize || std::memcmp(in.here(), Signature, sizeof(Signature)) != 0)
        damaged(QStringLiteral("нет заголовка"), start);
    in.skip(1, "заголовок");
    const quint8 size = in.u8("заголовок");
    const uchar* body = in.take(size, "заголовок");
    if (size < 7)
        damaged(QStringLiteral("короткий заголовок"), start);
    if (body[5] != 0)
        unsupported(QStringLiteral("порядок байтов от старшего к младшему"));
    return body[6] != 0;
}

void parseResultDescriptor(Cursor& token, Meta& meta)
{
    if (token.left() < ResultDescriptorFixedSize)
        damaged(QStringLiteral("короткое описание результата"), token.pos());
    token.skip(16 + 3, "описание результата"); // GUID, reserved, cursor model, normalisation
    token.u16("описание результата");          // visible columns
    meta.totalColumns = token.u16("описание результата");
    token.u16("описание результата"); // computed columns
    token.u16("описание результата"); // tables
    token.u16("описание результата"); // order-by columns
    meta.rowCount = token.u32("описание результата");
    meta.hasResultDescriptor = true;
}

void parseTableDescriptor(Cursor& token, Meta& meta)
{
    const quint16 ordinal = token.u16("описание таблицы");
    token.lpstr("имя таблицы");
    token.lpstr("имя таблицы");
    token.u16("описание таблицы"); // code page
    token.u16("описание таблицы"); // columns of this table
    const quint16 keyCount = token.u16("описание таблицы");
    token.need(qint64(keyCount) * 2, "ключевые поля");
    for (int i = 0; i < keyCount; ++i)
        meta.keys.append({ordinal, token.u16("ключевые поля")});
}

// Optional fields of a column descriptor that the reader passes over, in wire order; size 0 is a
// length-prefixed string. The searchable flag is taken as four bytes, as the grammar gives it.
struct OptionalField
{
    quint32 bit;
    int size;
};
constexpr OptionalField FieldsAfterFlags[] = {{HasCatalog, 0},           {HasSchema, 0},
                                              {HasCollatingSequence, 4}, {HasComputeMode, 4},
                                              {HasDateTimePrecision, 4}, {HasDefaultValue, 16}};
constexpr OptionalField FieldsAfterAutoIncrement[] = {
    {HasCaseSensitive, 2}, {HasMultiValued, 2}, {HasSearchable, 4}, {HasUnique, 2}, {HasOctetLength, 4}};

template <size_t N> void skipOptionalFields(Cursor& token, quint32 presence, const OptionalField (&fields)[N])
{
    for (const OptionalField& f : fields) {
        if (!(presence & f.bit))
            continue;
        if (f.size == 0)
            token.lpstr("описание поля");
        else
            token.skip(f.size, "описание поля");
    }
}

ColumnDescriptor parseColumnDescriptor(Cursor& token)
{
    ColumnDescriptor descriptor;
    descriptor.offset = token.pos();
    const uchar* map = token.take(3, "описание поля");
    const quint32 presence = (quint32(map[0]) << 16) | (quint32(map[1]) << 8) | quint32(map[2]);
    descriptor.ordinal = token.u16("описание поля");
    if (presence & HasName)
        descriptor.name = token.lpstr("имя поля");
    if (presence & HasBaseTable)
        descriptor.baseTable = token.u16("описание поля");
    if (presence & HasBaseColumnOrdinal) {
        descriptor.baseColumnOrdinal = token.u16("описание поля");
        descriptor.hasBaseColumnOrdinal = true;
    }
    QString baseName;
    if (presence & HasBaseColumnName)
        baseName = token.lpstr("имя поля");
    if (descriptor.name.isEmpty())
        descriptor.name = baseName;
    descriptor.dbType = token.u16("описание поля");
    descriptor.maxLength = token.u32("описание поля");
    token.u32("описание поля"); // precision
    token.u32("описание поля"); // scale
    descriptor.flags = token.u32("описание поля");
    skipOptionalFields(token, presence, FieldsAfterFlags);
    if (presence & HasAutoIncrement)
        descriptor.autoIncrement = token.u16("описание поля") != 0;
    skipOptionalFields(token, presence, FieldsAfterAutoIncrement);
    descriptor.visible = token.u16("описание поля") != 0;
    if ((presence & HasCalculationInfo) || (descriptor.flags & FlagChapter) || descriptor.dbType == DbChapter)
        unsupported(QStringLiteral("вычисляемое поле или вложенный набор записей (\"%1\")").arg(descriptor.name));
    // A type whose cells cannot be measured is refused here, not at its first value: a column that
    // happens to hold only nulls must not come back as some other type.
    const bool measurable = fixedCellSize(descriptor.dbType) != -2 || (descriptor.flags & FlagFixedLength);
    if (descriptor.dbType == DbNumeric || !measurable)
        unsupported(QStringLiteral("поле \"%1\" типа %2").arg(descriptor.name, typeName(descriptor.dbType)));
    return descriptor;
}

// Where the TableGram starts, and whether it was found inside other bytes.
std::pair<qsizetype, bool> findStart(QByteArrayView bytes)
{
    const auto startsWith = [&](qsizetype at, const void* what, size_t size) {
        return at >= 0 && at + qsizetype(size) <= bytes.size() && std::memcmp(bytes.data() + at, what, size) == 0;
    };
    if (startsWith(0, Signature, sizeof(Signature)))
        return {0, false};
    if (startsWith(0, WrapperNull, sizeof(WrapperNull)))
        throw AppError(QStringLiteral("Таблица ADTG пуста: передан пустой набор записей."));
    if (startsWith(0, WrapperStart, sizeof(WrapperStart)) &&
        startsWith(19, RowsetImplementationId, sizeof(RowsetImplementationId)))
        return {WrapperSize, false};
    const QByteArrayView head = bytes.first(std::min(bytes.size(), SignatureScanLimit));
    const qsizetype at = head.indexOf(QByteArrayView(Signature, sizeof(Signature)));
    if (at < 0)
        throw AppError(QStringLiteral("Файл не является таблицей ADTG."));
    return {at, true};
}

Meta parseMeta(QByteArrayView bytes)
{
    const uchar* data = reinterpret_cast<const uchar*>(bytes.data());
    const auto [start, embedded] = findStart(bytes);
    Cursor in(data, start, bytes.size());
    Meta meta;
    meta.embedded = embedded;
    meta.unicodeStrings = parseHeader(in);
    QSet<quint16> ordinals;
    for (;;) {
        if (in.atEnd())
            damaged(QStringLiteral("нет конца таблицы"), in.pos());
        const qsizetype start = in.pos();
        const quint8 id = *in.here();
        if (id == TokenOriginalRow || id == TokenChangeRow || id == TokenDeleteRow || id == TokenInsertRow ||
            id == TokenDone) {
            meta.rowsStart = start;
            break;
        }
        if (id >= FirstChildToken)
            unsupported(QStringLiteral("вложенные наборы записей (метка %1)").arg(id, 2, 16, QLatin1Char('0')));
        in.skip(1, "метка");
        const quint16 size = in.u16("длина блока");
        in.need(size, "блок");
        Cursor token(data, in.pos(), in.pos() + size);
        in.skip(size, "блок");
        switch (id) {
        case TokenResultDescriptor:
            if (meta.hasResultDescriptor)
                unsupported(QStringLiteral("вложенные наборы записей"));
            parseResultDescriptor(token, meta);
            break;
        case TokenTableDescriptor:
            parseTableDescriptor(token, meta);
            break;
        case TokenColumnDescriptor: {
            ColumnDescriptor descriptor = parseColumnDescriptor(token);
            descriptor.offset = start;
            if (descriptor.ordinal == 0 || ordinals.contains(descriptor.ordinal))
                damaged(QStringLiteral("неверный номер поля %1").arg(descriptor.ordinal), start);
            ordinals.insert(descriptor.ordinal);
            meta.columns.append(descriptor);
            break;
        }
        default:
            break; // handler options, record-set context and anything else sized: not needed
        }
    }
    std::sort(meta.columns.begin(), meta.columns.end(),
              [](const ColumnDescriptor& a, const ColumnDescriptor& b) { return a.ordinal < b.ordinal; });
    return meta;
}

// One way of reading the rows where the format can be read more than one way.
struct Reading
{
    enum Lengths
    {
        ByteCountByByteSize,
        ByteCountByCharSize,
        CharCount
    };
    enum Nullable
    {
        EitherFlag,
        MayBeNullFlag,
        NullableFlag,
        EveryColumn
    };
    Lengths lengths = ByteCountByByteSize;
    bool lowBitFirst = false;
    Nullable nullable = EitherFlag;
    bool varNumericByFormula = false; // VARNUMERIC value bytes as the published formula counts them
};

// How the cells of one column are laid out under one reading.
struct CellPlan
{
    enum Kind
    {
        Fixed,
        ShortPrefix,
        LongPrefix,
        VarNumeric
    };
    Kind kind = Fixed;
    qint64 fixedSize = 0; // bytes of a Fixed cell
    bool chars = false;   // the prefix counts UTF-16 units
    bool varNumericByFormula = false;
    bool hasPresenceBit = false;
    bool operator==(const CellPlan&) const = default;
};

QList<CellPlan> planFor(const Meta& meta, const Reading& reading)
{
    QList<CellPlan> plans;
    plans.reserve(meta.columns.size());
    for (const ColumnDescriptor& c : meta.columns) {
        CellPlan plan;
        switch (reading.nullable) {
        case Reading::EitherFlag:
            plan.hasPresenceBit = (c.flags & (FlagNullable | FlagMayBeNull)) != 0;
            break;
        case Reading::MayBeNullFlag:
            plan.hasPresenceBit = (c.flags & FlagMayBeNull) != 0;
            break;
        case Reading::NullableFlag:
            plan.hasPresenceBit = (c.flags & FlagNullable) != 0;
            break;
        case Reading::EveryColumn:
            plan.hasPresenceBit = true;
            break;
        }
        const int fixed = fixedCellSize(c.dbType);
        const bool wide = isWide(c.dbType) || (c.dbType == DbStr && meta.unicodeStrings);
        if (fixed >= 0) {
            plan.fixedSize = fixed;
        } else if (c.dbType == DbVarNumeric) {
            plan.kind = CellPlan::VarNumeric;
            plan.varNumericByFormula = reading.varNumericByFormula;
        } else if (c.flags & FlagFixedLength) {
            plan.fixedSize = qint64(c.maxLength) * (wide && reading.lengths != Reading::ByteCountByCharSize ? 2 : 1);
        } else {
            const qint64 byteSize = qint64(c.maxLength) * (wide ? 2 : 1);
            const qint64 limitedSize = reading.lengths == Reading::ByteCountByByteSize ? byteSize : qint64(c.maxLength);
            plan.kind = limitedSize <= ShortLengthLimit ? CellPlan::ShortPrefix : CellPlan::LongPrefix;
            plan.chars = wide && reading.lengths == Reading::CharCount;
        }
        plans.append(plan);
    }
    return plans;
}

double decimalValue(const uchar* p)
{
    const int scale = p[2];
    const bool negative = (p[3] & 0x80) != 0;
    const double high = qFromLittleEndian<quint32>(p + 4);
    const double low = qFromLittleEndian<quint32>(p + 8);
    const double mid = qFromLittleEndian<quint32>(p + 12);
    const double mantissa = (high * 4294967296.0 + mid) * 4294967296.0 + low;
    const double value = mantissa / std::pow(10.0, std::min(scale, 28));
    return negative ? -value : value;
}

// A block of at least size bytes whose usable part starts on a huge-page boundary, with the kernel
// asked to back it with huge pages. Fresh memory costs a page fault per page touched, which for the
// 100 MB of pictures of a large question set costs more than copying them; huge pages cut the number
// of faults 512-fold. The slack is address space only: pages never touched are never allocated.
struct HugeBlock
{
    QByteArray owner; // its header is what values cut out of the block share
    char* base = nullptr;

    static constexpr qsizetype Worthwhile = 4 << 20; // smaller blocks are allocated plainly
    static constexpr quintptr HugePage = 2 << 20;

    explicit HugeBlock(qsizetype size)
    {
        if (size < Worthwhile) {
            owner = QByteArray(size, Qt::Uninitialized);
            base = owner.data();
            return;
        }
        owner = QByteArray(size + 2 * qsizetype(HugePage), Qt::Uninitialized);
        const quintptr start = (quintptr(owner.data()) + HugePage - 1) & ~(HugePage - 1);
        base = reinterpret_cast<char*>(start);
        const quintptr length = (quintptr(size) + HugePage - 1) & ~(HugePage - 1);
        madvise(base, length, MADV_HUGEPAGE); // a hint: failure is harmless
    }
    // A byte array over [at, at + size) of the block, sharing it.
    QByteArray share(const char* at, qsizetype size)
    {
        QTypedArrayData<char>* header = owner.data_ptr().d_ptr();
        header->ref();
        return QByteArray(QByteArray::DataPointer(header, const_cast<char*>(at), size));
    }
};

// Large binary values (pictures) of one reading. When the input is a block of our own (a file read
// whole), the values are cut out of it where they lie; otherwise they are copied into one block that
// they share, as one block faults its pages in far fewer steps than thousands of separate
// allocations. Either way a value is followed by a zero byte, so its data stays zero-terminated like
// any byte array's: a copy writes it at once; a value in place gets it from terminate() once the
// reading is chosen, as until then the byte is still the start of the next cell.
class BlobPool
{
public:
    BlobPool(qsizetype capacity, HugeBlock* input, const uchar* inputBegin, const uchar* inputEnd)
        : m_capacity(capacity), m_input(input), m_inputBegin(inputBegin), m_inputEnd(inputEnd)
    {}

    static bool worthIt(qsizetype capacity) { return capacity >= PooledInputMin; }
    static bool takes(qsizetype size) { return size >= PooledValueMin; }

    // Values lie within the input, and copies with their terminators fit the capacity: each value comes
    // from at least its own size plus a length prefix of the input.
    QByteArray copy(const uchar* p, qsizetype size)
    {
        if (m_input) {
            if (p + size == m_inputEnd) // no end marker can follow: this reading fails, spare the block
                return QByteArray(reinterpret_cast<const char*>(p), size);
            m_terminators.push_back(p + size - m_inputBegin);
            return m_input->share(reinterpret_cast<const char*>(p), size);
        }
        if (!m_block)
            m_block.emplace(m_capacity);
        Q_ASSERT(m_used + size + 1 <= m_capacity);
        char* at = m_block->base + m_used;
        std::memcpy(at, p, size_t(size));
        at[size] = '\0';
        m_used += size + 1;
        return m_block->share(at, size);
    }

    // Offsets in the input of the bytes that end the values left in place.
    const std::vector<qsizetype>& terminators() const { return m_terminators; }

private:
    static constexpr qsizetype PooledInputMin = 4 << 20;
    static constexpr qsizetype PooledValueMin = 4096;

    std::optional<HugeBlock> m_block;
    qsizetype m_capacity;
    qsizetype m_used = 0;
    HugeBlock* m_input;
    const uchar* m_inputBegin;
    const uchar* m_inputEnd;
    std::vector<qsizetype> m_terminators;
};

class RowDecoder
{
public:
    RowDecoder(const uchar* data, qsizetype begin, qsizetype end, const Meta& meta, const QList<CellPlan>& plans,
               const Reading& reading, const QList<int>& visibleIndex, int visibleCount, HugeBlock* input)
        : m_in(data, begin, end), m_meta(meta), m_plans(plans), m_reading(reading), m_visibleIndex(visibleIndex),
          m_visibleCount(visibleCount), m_pool(end - begin, input, data, data + end),
          m_pooling(BlobPool::worthIt(end - begin))
    {
        for (const CellPlan& p : plans)
            m_presenceBits += p.hasPresenceBit ? 1 : 0;
    }

    QList<QVariantList> decode()
    {
        QList<QVariantList> rows;
        QList<bool> deleted;
        qint64 rowTokens = 0;
        qsizetype lastOriginal = -1;
        for (;;) {
            const qsizetype at = m_in.pos();
            const quint8 token = m_in.u8("строка");
            switch (token) {
            case TokenOriginalRow: {
                QVariantList values(m_visibleCount);
                const QByteArray presence = bits(m_presenceBits);
                int bit = 0;
                for (int i = 0; i < m_plans.size(); ++i) {
                    if (m_plans[i].hasPresenceBit && !isSet(presence, bit++))
                        continue;
                    store(values, i, cell(i));
                }
                rows.append(std::move(values));
                deleted.append(false);
                lastOriginal = rows.size() - 1;
                ++rowTokens;
                break;
            }
            case TokenChangeRow:
                if (lastOriginal < 0)
                    damaged(QStringLiteral("изменение без исходной строки"), at);
                applyUpdate(rows[lastOriginal]);
                lastOriginal = -1;
                break;
            case TokenDeleteRow:
                if (lastOriginal < 0)
                    damaged(QStringLiteral("удаление без исходной строки"), at);
                deleted[lastOriginal] = true;
                lastOriginal = -1;
                break;
            case TokenInsertRow: {
                QVariantList values(m_visibleCount);
                applyUpdate(values);
                rows.append(std::move(values));
                deleted.append(false);
                lastOriginal = -1;
                ++rowTokens;
                break;
            }
            case TokenDone: {
                QList<QVariantList> kept;
                kept.reserve(rows.size());
                for (qsizetype i = 0; i < rows.size(); ++i) {
                    if (!deleted[i])
                        kept.append(std::move(rows[i]));
                }
                m_rowTokens = rowTokens;
                return kept;
            }
            default:
                if (token >= FirstChildToken)
                    unsupported(QStringLiteral("вложенные наборы записей"));
                damaged(QStringLiteral("неизвестная метка строки %1").arg(token, 2, 16, QLatin1Char('0')), at);
            }
        }
    }

    qint64 rowTokens() const { return m_rowTokens; }
    // Just after the end token, once decode() has returned.
    qsizetype end() const { return m_in.pos(); }
    const std::vector<qsizetype>& terminators() const { return m_pool.terminators(); }

private:
    QByteArray bits(qint64 count)
    {
        const qint64 size = (count + 7) / 8;
        const uchar* p = m_in.take(size, "карта полей");
        return QByteArray(reinterpret_cast<const char*>(p), size);
    }
    bool isSet(const QByteArray& map, int bit) const
    {
        const quint8 mask = m_reading.lowBitFirst ? quint8(1u << (bit % 8)) : quint8(0x80u >> (bit % 8));
        return (quint8(map[bit / 8]) & mask) != 0;
    }
    void store(QVariantList& values, int column, QVariant value) const
    {
        const int target = m_visibleIndex[column];
        if (target >= 0)
            values[target] = std::move(value);
    }
    void applyUpdate(QVariantList& values)
    {
        const QByteArray update = bits(m_plans.size());
        const QByteArray forceNull = bits(m_plans.size());
        for (int i = 0; i < m_plans.size(); ++i) {
            if (isSet(forceNull, i))
                store(values, i, QVariant());
            else if (isSet(update, i))
                store(values, i, cell(i));
        }
    }

    QVariant cell(int column)
    {
        const ColumnDescriptor& descriptor = m_meta.columns[column];
        const CellPlan& plan = m_plans[column];
        const qsizetype at = m_in.pos();
        switch (plan.kind) {
        case CellPlan::Fixed:
            return fixedValue(descriptor, m_in.take(plan.fixedSize, "значение"), plan.fixedSize, at);
        case CellPlan::ShortPrefix:
        case CellPlan::LongPrefix: {
            qint64 length = plan.kind == CellPlan::ShortPrefix ? qint64(m_in.u8("длина значения"))
                                                               : qint64(m_in.read<qint32>("длина значения"));
            if (length < 0)
                damaged(QStringLiteral("отрицательная длина значения"), at);
            if (plan.chars)
                length *= 2;
            return variableValue(descriptor, m_in.take(length, "значение"), length, at, true);
        }
        case CellPlan::VarNumeric:
            return varNumericValue(descriptor, plan.varNumericByFormula, at);
        }
        Q_UNREACHABLE();
        return {};
    }

    // Precision, scale, sign (00 negative), then the value's bytes, least significant first; the number is
    // the value times ten to the power of the scale. The published example, 6553E+50 to five digits, is
    // 65530 (FA FF) with scale 49 and sign 01: the value in the fewest bytes that hold a number of that
    // many digits, two, where the published formula CEIL(LOG(10^p, 256)) counts three. Both are readings.
    QVariant varNumericValue(const ColumnDescriptor& descriptor, bool byFormula, qsizetype at)
    {
        const uchar* head = m_in.take(3, "значение");
        const int precision = head[0];
        const int scale = qint8(head[1]);
        if (precision == 0)
            damaged(QStringLiteral("число без значащих цифр в поле \"%1\"").arg(descriptor.name), at);
        const double bytesPerDigit = std::log(10.0) / std::log(256.0);
        const qint64 size = byFormula ? qint64(std::ceil(precision * bytesPerDigit))
                                      : qint64(std::floor((precision - 1) * bytesPerDigit)) + 1;
        const uchar* digits = m_in.take(size, "значение");
        double value = 0;
        for (qint64 i = size - 1; i >= 0; --i)
            value = value * 256.0 + digits[i];
        value = scale >= 0 ? value * std::pow(10.0, scale) : value / std::pow(10.0, -scale);
        if (!std::isfinite(value))
            damaged(QStringLiteral("слишком большое число в поле \"%1\"").arg(descriptor.name), at);
        return head[2] == 0 ? -value : value;
    }

    QVariant fixedValue(const ColumnDescriptor& descriptor, const uchar* p, qint64 size, qsizetype at)
    {
        switch (descriptor.dbType) {
        case DbEmpty:
        case DbNull:
            return QVariant();
        case DbI1:
            return int(qint8(p[0]));
        case DbUI1:
            return int(p[0]);
        case DbI2:
            return int(qFromLittleEndian<qint16>(p));
        case DbUI2:
            return int(qFromLittleEndian<quint16>(p));
        case DbI4:
            return int(qFromLittleEndian<qint32>(p));
        case DbUI4:
            return double(qFromLittleEndian<quint32>(p));
        case DbI8:
            return double(qFromLittleEndian<qint64>(p));
        case DbUI8:
            return double(qFromLittleEndian<quint64>(p));
        case DbBool:
            return qFromLittleEndian<quint16>(p) != 0;
        case DbR4:
            return double(qFromLittleEndian<float>(p));
        case DbR8:
            return qFromLittleEndian<double>(p);
        case DbCy:
            return double(qFromLittleEndian<qint64>(p)) / 10000.0;
        case DbDecimal:
            return decimalValue(p);
        case DbDate: {
            const std::optional<QDateTime> when = fromOleDate(qFromLittleEndian<double>(p));
            if (!when)
                damaged(QStringLiteral("неверная дата в поле \"%1\"").arg(descriptor.name), at);
            return *when;
        }
        case DbDbDate:
        case DbDbTimestamp: {
            const QDate date(qFromLittleEndian<qint16>(p), qFromLittleEndian<quint16>(p + 2),
                             qFromLittleEndian<quint16>(p + 4));
            QTime time(0, 0);
            if (descriptor.dbType == DbDbTimestamp)
                time = QTime(qFromLittleEndian<quint16>(p + 6), qFromLittleEndian<quint16>(p + 8),
                             qFromLittleEndian<quint16>(p + 10), int(qFromLittleEndian<quint32>(p + 12) / 1000000));
            if (!date.isValid() || !time.isValid())
                damaged(QStringLiteral("неверная дата в поле \"%1\"").arg(descriptor.name), at);
            return QDateTime(date, time);
        }
        case DbDbTime: {
            const QTime time(qFromLittleEndian<quint16>(p), qFromLittleEndian<quint16>(p + 2),
                             qFromLittleEndian<quint16>(p + 4));
            if (!time.isValid())
                damaged(QStringLiteral("неверное время в поле \"%1\"").arg(descriptor.name), at);
            return QDateTime(QDate::fromJulianDay(OleEpochJulianDay), time);
        }
        case DbFileTime: {
            // 100 ns steps since 1601-01-01 UTC.
            constexpr qint64 UnixEpochSteps = 116444736000000000LL;
            const qint64 steps = qint64(qFromLittleEndian<quint64>(p) & 0x7FFFFFFFFFFFFFFFULL);
            return QDateTime::fromMSecsSinceEpoch((steps - UnixEpochSteps) / 10000, Qt::UTC).toLocalTime();
        }
        case DbGuid:
            return QUuid(qFromLittleEndian<quint32>(p), qFromLittleEndian<quint16>(p + 4),
                         qFromLittleEndian<quint16>(p + 6), p[8], p[9], p[10], p[11], p[12], p[13], p[14], p[15])
                .toString(QUuid::WithBraces)
                .toUpper();
        default:
            return variableValue(descriptor, p, size, at);
        }
    }

    // Only values that follow a length prefix are pooled: each then brings a spare byte for its terminator.
    QVariant variableValue(const ColumnDescriptor& descriptor, const uchar* p, qint64 size, qsizetype at,
                           bool prefixed = false)
    {
        const bool wide = isWide(descriptor.dbType) || (descriptor.dbType == DbStr && m_meta.unicodeStrings);
        if (wide) {
            if (size % 2 != 0)
                damaged(QStringLiteral("нечётная длина текста в поле \"%1\"").arg(descriptor.name), at);
            return Cursor::utf16(p, qsizetype(size / 2));
        }
        if (descriptor.dbType == DbStr)
            return fromCp1251(reinterpret_cast<const char*>(p), qsizetype(size));
        if (prefixed && m_pooling && BlobPool::takes(qsizetype(size)))
            return m_pool.copy(p, qsizetype(size));
        return QByteArray(reinterpret_cast<const char*>(p), qsizetype(size));
    }

    Cursor m_in;
    const Meta& m_meta;
    const QList<CellPlan>& m_plans;
    Reading m_reading;
    const QList<int>& m_visibleIndex;
    int m_visibleCount;
    qint64 m_presenceBits = 0;
    qint64 m_rowTokens = 0;
    BlobPool m_pool;
    bool m_pooling;
};

// For the run log: a file that needed another reading than the one this writer uses tells how other
// writers lay the format out.
QString describe(const Reading& reading)
{
    static const char* const lengths[] = {"byte counts, short prefix by byte size",
                                          "byte counts, short prefix by "
                                          "character size",
                                          "character counts"};
    static const char* const nullable[] = {"nullable or may-be-null columns", "may-be-null columns", "nullable columns",
                                           "every column"};
    return QStringLiteral("TableGram read with text lengths as %1, presence bits %2 for %3%4")
        .arg(QLatin1String(lengths[reading.lengths]),
             reading.lowBitFirst ? QLatin1String("low bit first") : QLatin1String("high bit first"),
             QLatin1String(nullable[reading.nullable]),
             reading.varNumericByFormula ? QLatin1String(", VARNUMERIC values as long as the formula gives")
                                         : QLatin1String());
}

QList<Reading> readings()
{
    QList<Reading> all;
    for (Reading::Nullable nullable :
         {Reading::EitherFlag, Reading::MayBeNullFlag, Reading::NullableFlag, Reading::EveryColumn}) {
        for (bool lowBitFirst : {false, true}) {
            for (Reading::Lengths lengths :
                 {Reading::ByteCountByByteSize, Reading::ByteCountByCharSize, Reading::CharCount}) {
                for (bool varNumericByFormula : {false, true})
                    all.append({lengths, lowBitFirst, nullable, varNumericByFormula});
            }
        }
    }
    return all;
}

// Where a reading's end token may lie: at the last byte, or before the line end with which a network
// message goes on after its record set; inside other bytes, anything may follow. A reading that stops
// at a 0F byte before that has stopped inside a value (a text ending in "Џ", 0F 04) and is never taken.
enum class Ending
{
    Exact,
    Early,
    Refused
};

Ending endingOf(QByteArrayView bytes, qsizetype end, bool embedded)
{
    const QByteArrayView rest = bytes.sliced(end);
    if (rest.isEmpty() || rest.startsWith("\r\n"))
        return Ending::Exact;
    return embedded ? Ending::Early : Ending::Refused;
}

// input, when given, is a block of our own that holds bytes: large values are then left in place.
Table readTableGram(QByteArrayView bytes, HugeBlock* input)
{
    const Meta meta = parseMeta(bytes);

    QList<Column> columns;
    QList<int> visibleIndex;
    for (const ColumnDescriptor& descriptor : meta.columns) {
        if (!descriptor.visible) {
            visibleIndex.append(-1);
            continue;
        }
        const bool listedKey = descriptor.hasBaseColumnOrdinal &&
                               meta.keys.contains(qMakePair(descriptor.baseTable, descriptor.baseColumnOrdinal));
        visibleIndex.append(int(columns.size()));
        columns.append(toColumn(descriptor, listedKey));
    }

    // Of the readings that decode the rows to an end token where one may lie, the first wins that ends
    // exactly and agrees with the row count of the result descriptor; failing that, the first that ends
    // exactly, then the first that agrees, then the first.
    const uchar* data = reinterpret_cast<const uchar*>(bytes.data());
    QList<QPair<bool, QList<CellPlan>>> tried; // readings that lay the cells out alike need one try
    std::optional<QList<QVariantList>> decoded;
    std::optional<Reading> chosen;
    int chosenRank = -1;
    std::vector<qsizetype> terminators;
    std::optional<AppError> firstError;
    for (const Reading& reading : readings()) {
        const QList<CellPlan> plans = planFor(meta, reading);
        if (tried.contains(qMakePair(reading.lowBitFirst, plans)))
            continue;
        tried.append(qMakePair(reading.lowBitFirst, plans));
        try {
            RowDecoder decoder(data, meta.rowsStart, bytes.size(), meta, plans, reading, visibleIndex,
                               int(columns.size()), input);
            QList<QVariantList> rows = decoder.decode();
            const Ending ending = endingOf(bytes, decoder.end(), meta.embedded);
            if (ending == Ending::Refused)
                damaged(QStringLiteral("после конца таблицы ещё %1 байт").arg(bytes.size() - decoder.end()),
                        decoder.end());
            const bool countAgrees =
                meta.rowCount == 0 || meta.rowCount == decoder.rowTokens() || meta.rowCount == quint32(rows.size());
            const int rank = (ending == Ending::Exact ? 2 : 0) + (countAgrees ? 1 : 0);
            if (rank > chosenRank) {
                decoded = std::move(rows);
                chosen = reading;
                chosenRank = rank;
                terminators = decoder.terminators();
            }
            if (rank == 3)
                break;
        } catch (const AppError& e) {
            if (!firstError)
                firstError = e;
        }
    }
    if (!decoded)
        throw *firstError;
    const Reading ours;
    if (chosen->lengths != ours.lengths || chosen->lowBitFirst != ours.lowBitFirst ||
        chosen->nullable != ours.nullable || chosen->varNumericByFormula != ours.varNumericByFormula)
        LogText(describe(*chosen));
    for (qsizetype at : terminators)
        input->base[at] = '\0';

    Table table(columns);
    for (QVariantList& row : *decoded)
        table.appendRow(std::move(row));
    return table;
}

} // namespace

Table ReadAdtg(QByteArrayView bytes)
{
    return readTableGram(bytes, nullptr);
}

Table ReadAdtgFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw AppError(QStringLiteral("Не удалось открыть файл \"%1\": %2").arg(path, file.errorString()));
    // Read whole into a block of our own rather than mapped: the pictures then stay where they were
    // read, and the only copy of them is the one from the page cache.
    const qint64 size = file.size();
    if (size == 0 || file.isSequential()) { // a pipe or a device: its size is not known in advance
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw AppError(QStringLiteral("Не удалось прочитать файл \"%1\": %2").arg(path, file.errorString()));
        return ReadAdtg(bytes);
    }
    if (size >= std::numeric_limits<qsizetype>::max() / 2)
        throw AppError(QStringLiteral("Не удалось прочитать файл \"%1\": слишком большой файл.").arg(path));
    HugeBlock block{qsizetype(size)};
    qsizetype got = 0;
    while (got < size) {
        const qint64 n = file.read(block.base + got, size - got);
        if (n < 0)
            throw AppError(QStringLiteral("Не удалось прочитать файл \"%1\": %2").arg(path, file.errorString()));
        if (n == 0)
            break; // shortened while being read: what was read is judged as it is
        got += qsizetype(n);
    }
    return readTableGram(QByteArrayView(block.base, got), &block);
}
