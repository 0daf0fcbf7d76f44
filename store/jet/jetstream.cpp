#include "jetstream.h"

#include "apperror.h"

#include <QDateTime>
#include <QTextCodec>
#include <QUuid>
#include <QtEndian>
#include <cmath>
#include <cstring>

namespace jetstream {

namespace {

constexpr qint64 JulianDayOf18991230 = 2415019;
constexpr qint64 MsecsPerDay = 86400000;
constexpr double MoneyScale = 10000.0;
constexpr double FirstDay = -657434.0;    // 0100-01-01
constexpr double PastLastDay = 2958466.0; // 10000-01-01

[[noreturn]] void damaged(const QString& what)
{
    throw AppError(QStringLiteral("Файл базы данных Jet повреждён: %1.").arg(what));
}

template <typename T> T readLe(const QByteArray& raw)
{
    return qFromLittleEndian<T>(raw.constData());
}

// Jet 4 keeps text as UTF-16LE; a value that starts with FF FE is "compressed": bytes stand for
// the characters U+0000..U+00FF until a 00 byte switches to two-byte characters, and back.
QString decodeJet4(const QByteArray& raw)
{
    const auto* p = reinterpret_cast<const uchar*>(raw.constData());
    const qsizetype n = raw.size();
    QString out;
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        out.reserve(n - 2);
        bool compressed = true;
        qsizetype i = 2;
        while (i < n) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out.append(QChar(ushort(p[i])));
                ++i;
            } else if (i + 1 < n) {
                out.append(QChar(ushort(p[i] | (p[i + 1] << 8))));
                i += 2;
            } else {
                break; // a lone last byte cannot be a character
            }
        }
        return out;
    }
    out.resize(n / 2);
    for (qsizetype i = 0; i < n / 2; ++i)
        out[i] = QChar(ushort(p[2 * i] | (p[2 * i + 1] << 8)));
    return out;
}

void requireSize(const QByteArray& raw, qsizetype size, const JetColumn& column)
{
    if (raw.size() != size)
        damaged(QStringLiteral("значение столбца \"%1\" не той длины").arg(column.name));
}

} // namespace

QTextCodec* CodecForCodePage(int codePage)
{
    QTextCodec* codec = nullptr;
    if (codePage > 0)
        codec = QTextCodec::codecForName(QByteArray("windows-") + QByteArray::number(codePage));
    return codec ? codec : QTextCodec::codecForName("windows-1252");
}

QString DecodeText(const QByteArray& raw, int version, QTextCodec* codec)
{
    if (version == Jet3)
        return codec ? codec->toUnicode(raw) : QString::fromLatin1(raw);
    return decodeJet4(raw);
}

QVariant DateFromDays(double days)
{
    if (!std::isfinite(days) || days < FirstDay || days >= PastLastDay)
        return {};
    const double whole = std::trunc(days);
    const qint64 msecs = std::llround(std::fabs(days - whole) * double(MsecsPerDay));
    const QDate date = QDate::fromJulianDay(JulianDayOf18991230 + qint64(whole));
    return QDateTime(date, QTime(0, 0)).addMSecs(msecs);
}

Column ToTableColumn(const JetColumn& column, int version)
{
    Column c;
    c.name = column.name;
    switch (column.jetType) {
    case JetBool:
        c.type = ColumnType::Bool;
        c.nullable = false;
        break;
    case JetByte:
    case JetInt:
    case JetLong:
        c.type = ColumnType::Int;
        break;
    case JetMoney:
    case JetFloat:
    case JetDouble:
    case JetNumeric:
        c.type = ColumnType::Double;
        break;
    case JetDateTime:
        c.type = ColumnType::Date;
        break;
    case JetText:
        c.type = ColumnType::Text;
        c.size = version == Jet3 ? column.size : column.size / 2;
        break;
    case JetGuid:
        c.type = ColumnType::Text;
        c.size = 38;
        break;
    case JetMemo:
        c.type = ColumnType::Memo;
        break;
    default:
        c.type = ColumnType::Binary;
        break;
    }
    return c;
}

QVariant DecodeValue(const JetColumn& column, const QByteArray& raw, int version, QTextCodec* codec)
{
    switch (column.jetType) {
    case JetByte:
        requireSize(raw, 1, column);
        return int(quint8(raw[0]));
    case JetInt:
        requireSize(raw, 2, column);
        return int(readLe<qint16>(raw));
    case JetLong:
        requireSize(raw, 4, column);
        return int(readLe<qint32>(raw));
    case JetMoney:
        requireSize(raw, 8, column);
        return double(readLe<qint64>(raw)) / MoneyScale;
    case JetFloat: {
        requireSize(raw, 4, column);
        const quint32 bits = readLe<quint32>(raw);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return double(f);
    }
    case JetDouble:
    case JetDateTime: {
        requireSize(raw, 8, column);
        const quint64 bits = readLe<quint64>(raw);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return column.jetType == JetDouble ? QVariant(d) : DateFromDays(d);
    }
    case JetNumeric: {
        bool ok = false;
        const double d = QString::fromLatin1(raw).toDouble(&ok);
        if (!ok)
            damaged(QStringLiteral("число столбца \"%1\" не читается").arg(column.name));
        return d;
    }
    case JetGuid: {
        requireSize(raw, 16, column);
        return QUuid::fromRfc4122(raw).toString(QUuid::WithBraces).toUpper();
    }
    case JetText:
    case JetMemo:
        return DecodeText(raw, version, codec);
    case JetBool:
        damaged(QStringLiteral("логическое значение столбца \"%1\" передано байтами").arg(column.name));
    default:
        return raw;
    }
}

Decoder::Decoder(qint64 maxValueBytes) : m_maxValueBytes(maxValueBytes) {}

void Decoder::feed(const char* data, qsizetype size)
{
    if (m_finished && size > 0)
        damaged(QStringLiteral("данные после конца"));
    if (m_pos > 0 && m_pos == m_buffer.size()) {
        m_buffer.clear();
        m_pos = 0;
    }
    m_buffer.append(data, size);
    while (!m_finished && decodeOne()) {
    }
    if (m_pos > (1 << 20)) { // keep the buffer from growing with what was already decoded
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
}

namespace {

// Reads from the decoder's buffer; false when the frame is not complete yet.
struct Cursor
{
    const QByteArray& buf;
    qsizetype pos;

    bool have(qsizetype n) const { return n >= 0 && buf.size() - pos >= n; }
    template <typename T> bool get(T& out)
    {
        if (!have(qsizetype(sizeof(T))))
            return false;
        out = qFromLittleEndian<T>(buf.constData() + pos);
        pos += sizeof(T);
        return true;
    }
    bool bytes(quint32 length, QByteArray& out)
    {
        if (!have(qsizetype(length)))
            return false;
        out = buf.mid(pos, length);
        pos += length;
        return true;
    }
};

} // namespace

bool Decoder::decodeOne()
{
    Cursor c{m_buffer, m_pos};
    quint8 kind = 0;
    if (!c.get(kind))
        return false;
    if (!m_haveHeader && kind != Header)
        damaged(QStringLiteral("поток чтения начинается не с заголовка"));

    auto str = [&](QString& out) -> bool {
        quint32 len = 0;
        if (!c.get(len))
            return false;
        if (len > quint32(MaxNameBytes))
            damaged(QStringLiteral("слишком длинное имя"));
        QByteArray b;
        if (!c.bytes(len, b))
            return false;
        out = QString::fromUtf8(b);
        return true;
    };

    switch (kind) {
    case Header: {
        if (m_haveHeader)
            damaged(QStringLiteral("второй заголовок"));
        quint8 version = 0;
        quint16 codePage = 0;
        if (!c.get(version) || !c.get(codePage))
            return false;
        m_haveHeader = true;
        m_pos = c.pos;
        if (onHeader)
            onHeader(version, codePage);
        return true;
    }
    case Names: {
        quint32 count = 0;
        if (!c.get(count))
            return false;
        if (count > quint32(MaxTables))
            damaged(QStringLiteral("слишком много таблиц"));
        QStringList names;
        for (quint32 i = 0; i < count; ++i) {
            QString name;
            if (!str(name))
                return false;
            names.append(name);
        }
        m_pos = c.pos;
        m_finished = true;
        if (onNames)
            onNames(names);
        return true;
    }
    case Columns: {
        if (m_haveColumns)
            damaged(QStringLiteral("повторное описание столбцов"));
        quint16 count = 0;
        if (!c.get(count))
            return false;
        if (count == 0 || count > MaxColumns)
            damaged(QStringLiteral("недопустимое число столбцов (%1)").arg(count));
        QList<JetColumn> columns;
        for (int i = 0; i < count; ++i) {
            JetColumn col;
            quint16 size = 0;
            if (!str(col.name) || !c.get(col.jetType) || !c.get(size))
                return false;
            col.size = size;
            columns.append(col);
        }
        m_pos = c.pos;
        m_columns = columns;
        m_haveColumns = true;
        if (onColumns)
            onColumns(m_columns);
        return true;
    }
    case Row: {
        if (!m_haveColumns)
            damaged(QStringLiteral("строка без описания столбцов"));
        QList<QByteArray> raw;
        QList<quint8> tags;
        raw.reserve(m_columns.size());
        tags.reserve(m_columns.size());
        for (const JetColumn& col : std::as_const(m_columns)) {
            quint8 tag = 0;
            if (!c.get(tag))
                return false;
            if (tag > TagBytes)
                damaged(QStringLiteral("неизвестная метка значения"));
            // Yes/No is never null and never bytes; nothing else is Yes/No.
            if ((tag == TagFalse || tag == TagTrue) != (col.jetType == JetBool))
                damaged(QStringLiteral("значение не того вида в столбце \"%1\"").arg(col.name));
            QByteArray bytes;
            if (tag == TagBytes) {
                quint32 len = 0;
                if (!c.get(len))
                    return false;
                if (qint64(len) > m_maxValueBytes)
                    damaged(QStringLiteral("значение длиннее самого файла"));
                if (!c.bytes(len, bytes))
                    return false;
            }
            raw.append(bytes);
            tags.append(tag);
        }
        m_pos = c.pos;
        ++m_rows;
        if (onRow)
            onRow(raw, tags);
        return true;
    }
    case End: {
        if (!m_haveColumns)
            damaged(QStringLiteral("конец таблицы без описания столбцов"));
        quint32 recorded = 0;
        if (!c.get(recorded))
            return false;
        m_pos = c.pos;
        m_finished = true;
        if (recorded != m_rows)
            damaged(QStringLiteral("прочитано строк: %1 из %2").arg(m_rows).arg(recorded));
        if (onEnd)
            onEnd();
        return true;
    }
    case Error: {
        quint32 len = 0;
        if (!c.get(len))
            return false;
        if (len > quint32(MaxNameBytes))
            damaged(QStringLiteral("слишком длинное сообщение"));
        QByteArray b;
        if (!c.bytes(len, b))
            return false;
        m_pos = c.pos;
        m_finished = true;
        if (onError)
            onError(QString::fromUtf8(b));
        return true;
    }
    default:
        damaged(QStringLiteral("неизвестный кадр потока чтения"));
    }
}

} // namespace jetstream
