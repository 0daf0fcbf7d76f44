#pragma once

#include "table.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

class QTextCodec;

// The reading of a Jet file happens in a child process (the Jet library is C code written for
// trusted files); the child sends what it finds through a pipe as a stream of frames, and the
// parent decodes them here. Nothing in this stream is trusted: the child may have been led astray
// by a damaged file, so every count and length is checked against fixed limits and the file's size.
//
// Stream grammar (integers little-endian; str = u32 length + UTF-8 bytes):
//   stream  = header (names | table | error)
//   header  = 'H' u8 version u16 codePage
//   names   = 'N' u32 count str*count
//   table   = 'C' u16 count (str name, u8 jetType, u16 size)*count  row* (end | error)
//   end     = 'E' u32 rows      (the row count the table's definition records)
//   row     = 'R' value*count
//   value   = u8 0 (null) | u8 1 (false) | u8 2 (true) | u8 3 u32 length bytes
//   error   = 'X' str            (the child's own account of what it could not read)
namespace jetstream {

enum Frame : char
{
    Header = 'H',
    Names = 'N',
    Columns = 'C',
    Row = 'R',
    End = 'E',
    Error = 'X'
};
enum ValueTag : quint8
{
    TagNull = 0,
    TagFalse = 1,
    TagTrue = 2,
    TagBytes = 3
};

// Column types as the Jet file records them.
enum JetType : quint8
{
    JetBool = 0x01,
    JetByte = 0x02,
    JetInt = 0x03,
    JetLong = 0x04,
    JetMoney = 0x05,
    JetFloat = 0x06,
    JetDouble = 0x07,
    JetDateTime = 0x08,
    JetBinary = 0x09,
    JetText = 0x0a,
    JetOle = 0x0b,
    JetMemo = 0x0c,
    JetGuid = 0x0f,
    JetNumeric = 0x10, // sent by the child as decimal text
};

static constexpr int MaxColumns = 255;
static constexpr int MaxNameBytes = 1024;
static constexpr int MaxTables = 32768;
static constexpr int Jet3 = 0;

struct JetColumn
{
    QString name;
    quint8 jetType = 0;
    int size = 0;
};

// The column of the in-memory table that a Jet column becomes.
Column ToTableColumn(const JetColumn& column, int version);

// Decoding of the raw values (text in the file's own encoding: Jet 3 a Windows code page, Jet 4
// UTF-16 with its "compressed" form). AppError for a value whose size cannot be of that type.
QVariant DecodeValue(const JetColumn& column, const QByteArray& raw, int version, QTextCodec* codec);
QString DecodeText(const QByteArray& raw, int version, QTextCodec* codec);
// Days since 1899-12-30; the fraction is the time of day, also before that date (-1.25 is
// 1899-12-29 06:00). Null for a value outside the years 100 to 9999.
QVariant DateFromDays(double days);

// The codec of a Jet 3 file's code page (Windows-1252 when unknown).
QTextCodec* CodecForCodePage(int codePage);

// Decodes a stream fed in pieces of any size. Throws AppError on the first frame that breaks the
// grammar or the limits; the handlers may throw too, which stops the decoding.
class Decoder
{
public:
    // maxValueBytes: no value can be longer than the file it was read from.
    explicit Decoder(qint64 maxValueBytes);

    std::function<void(int version, int codePage)> onHeader;
    std::function<void(const QStringList&)> onNames;
    std::function<void(const QList<JetColumn>&)> onColumns;
    std::function<void(const QList<QByteArray>& raw, const QList<quint8>& tags)> onRow;
    std::function<void()> onEnd; // after the rows were found to be as many as the table records
    std::function<void(const QString&)> onError;

    void feed(const char* data, qsizetype size);
    // True once a final frame (names, end or error) has been decoded.
    bool finished() const { return m_finished; }
    // Bytes received but not yet part of a whole frame.
    qsizetype pending() const { return m_buffer.size() - m_pos; }

private:
    bool decodeOne();

    qint64 m_maxValueBytes;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_haveHeader = false;
    bool m_finished = false;
    QList<JetColumn> m_columns;
    bool m_haveColumns = false;
    quint32 m_rows = 0;
};

} // namespace jetstream
