// The ADTG TableGram of a flat table, as the reader and the writer share it; all integers little-endian:
//
//   TableGram  = Header HandlerOptions ResultDescriptor RecordSetContext TableDescriptor* ColumnDescriptor*
//                Row* Done
//   Header     = 01 07 "TG!" major minor byteOrder unicode                (size is one byte)
//   sized      = id u16:size body                                          (02 03 10 05 06 and unknown ids < 80)
//   Row        = 07 PresenceMap Cell*                                      original row
//              | 0A UpdateMap ForceNullMap Cell*                           change of the 07 row just before
//              | 0C                                                        deletion of the 07 row just before
//              | 0D UpdateMap ForceNullMap Cell*                           inserted row
//   Done       = 0F
//
// PresenceMap holds one bit per nullable column, UpdateMap and ForceNullMap one bit per column, the first
// column in the high bit of the first byte. Cells follow in column order: fixed-size types bare, text
// and binary with a u8 length when the column's greatest byte size is at most 255, an i32 length
// otherwise. Long values (memo, pictures) are inline with an i32 length.
//
// Where the published description of the format allows more than one reading (the unit of text cell
// lengths, the bit order and membership of the presence map), the reader tries the readings in order of
// likelihood and keeps the first that decodes the rows exactly; the writer only writes what every
// reading decodes the same way, except the text length unit, for which it writes byte counts.
#pragma once

#include <QDateTime>
#include <QtGlobal>
#include <optional>

namespace adtg {

// Token ids.
inline constexpr quint8 TokenHeader = 0x01;
inline constexpr quint8 TokenHandlerOptions = 0x02;
inline constexpr quint8 TokenResultDescriptor = 0x03;
inline constexpr quint8 TokenTableDescriptor = 0x05;
inline constexpr quint8 TokenColumnDescriptor = 0x06;
inline constexpr quint8 TokenOriginalRow = 0x07;
inline constexpr quint8 TokenChangeRow = 0x0A;
inline constexpr quint8 TokenDeleteRow = 0x0C;
inline constexpr quint8 TokenInsertRow = 0x0D;
inline constexpr quint8 TokenDone = 0x0F;
inline constexpr quint8 TokenRecordSetContext = 0x10;
inline constexpr quint8 FirstChildToken = 0x80;

// Column data types (OLE DB DBTYPE values).
enum DbType : quint16
{
    DbEmpty = 0x00,
    DbNull = 0x01,
    DbI2 = 0x02,
    DbI4 = 0x03,
    DbR4 = 0x04,
    DbR8 = 0x05,
    DbCy = 0x06,
    DbDate = 0x07,
    DbBstr = 0x08,
    DbBool = 0x0B,
    DbDecimal = 0x0E,
    DbI1 = 0x10,
    DbUI1 = 0x11,
    DbUI2 = 0x12,
    DbUI4 = 0x13,
    DbI8 = 0x14,
    DbUI8 = 0x15,
    DbFileTime = 0x40,
    DbGuid = 0x48,
    DbBytes = 0x80,
    DbStr = 0x81,
    DbWStr = 0x82,
    DbDbDate = 0x85,
    DbDbTime = 0x86,
    DbDbTimestamp = 0x87,
    DbChapter = 0x88,
    DbNumeric = 0x83, // not among the published types: the layout of its cells is not known
    DbVarNumeric = 0x8B,
};

// Column flags (DBCOLUMNFLAGS).
inline constexpr quint32 FlagWriteUnknown = 0x0008;
inline constexpr quint32 FlagFixedLength = 0x0010;
inline constexpr quint32 FlagNullable = 0x0020;
inline constexpr quint32 FlagMayBeNull = 0x0040;
inline constexpr quint32 FlagLong = 0x0080;
inline constexpr quint32 FlagChapter = 0x2000;
inline constexpr quint32 FlagKey = 0x8000;

// Presence bits of the optional fields of a column descriptor.
inline constexpr quint32 HasName = 0x800000;
inline constexpr quint32 HasBaseTable = 0x400000;
inline constexpr quint32 HasBaseColumnOrdinal = 0x200000;
inline constexpr quint32 HasBaseColumnName = 0x100000;
inline constexpr quint32 HasCatalog = 0x020000;
inline constexpr quint32 HasSchema = 0x010000;
inline constexpr quint32 HasCollatingSequence = 0x008000;
inline constexpr quint32 HasComputeMode = 0x004000;
inline constexpr quint32 HasDateTimePrecision = 0x002000;
inline constexpr quint32 HasDefaultValue = 0x001000;
inline constexpr quint32 HasAutoIncrement = 0x000100;
inline constexpr quint32 HasCaseSensitive = 0x000080;
inline constexpr quint32 HasMultiValued = 0x000040;
inline constexpr quint32 HasSearchable = 0x000020;
inline constexpr quint32 HasUnique = 0x000010;
inline constexpr quint32 HasOctetLength = 0x000008;
inline constexpr quint32 HasCalculationInfo = 0x000004;

// Column sizes as ADO reports them for Access columns.
inline constexpr quint32 MemoMaxLength = 536870910;
inline constexpr quint32 BinaryMaxLength = 1073741823;
inline constexpr quint32 NotApplicable = 255; // precision or scale of a type that has none
inline constexpr quint32 IntPrecision = 10;
inline constexpr quint32 DoublePrecision = 15;
inline constexpr quint32 LongTextThreshold = 0x3FFFFFFF; // a text column this wide or wider is read as Memo
inline constexpr qint64 ShortLengthLimit = 255;          // greatest byte size of a column whose cells have a u8 length
inline constexpr qint64 MaxTokenBody = 0xFFFF;

inline constexpr qint64 OleEpochJulianDay = 2415019; // 1899-12-30
inline constexpr qint64 MsecsPerDay = 86400000;
inline constexpr double OleDateMin = -657434.0; // 0100-01-01
inline constexpr double OleDateMax = 2958466.0; // 10000-01-01

inline constexpr qsizetype WrapperSize = 35;
inline constexpr qsizetype HeaderSize = 9;
inline constexpr qsizetype ResultDescriptorFixedSize = 33;

inline constexpr char Signature[] = {'\x01', '\x07', 'T', 'G', '!'};
// The record-set wrapper of network messages: VT_DISPATCH, not null, the record set's interface and
// implementation ids.
inline constexpr unsigned char WrapperStart[] = {0x09, 0x00, 0x00};
inline constexpr unsigned char WrapperNull[] = {0x09, 0x00, 0x01};
inline constexpr unsigned char RowsetImplementationId[] = {0xB6, 0x92, 0xF2, 0x3F, 0x04, 0xB2, 0xCF, 0x11,
                                                           0x8D, 0x23, 0x00, 0xAA, 0x00, 0x5F, 0xFE, 0x58};

// OLE Automation dates: days since 1899-12-30 in the integer part, the time of day in the fraction,
// which keeps its sign-less meaning before the epoch (-1.25 is 1899-12-29 06:00).
double toOleDate(const QDateTime& value);
// Nothing for a value outside the years 100 to 9999.
std::optional<QDateTime> fromOleDate(double value);

} // namespace adtg
