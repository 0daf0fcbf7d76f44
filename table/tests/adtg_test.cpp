#include "adtg.h"
#include "apperror.h"
#include "publishedexample.h"
#include "runlog.h"
#include "sampletables.h"
#include "testhome.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QUuid>
#include <QtEndian>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

using sample::column;

namespace {

constexpr qsizetype FirstSizedToken = 9; // after the header
constexpr qsizetype RowCountOffset = 0x45;

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text));
}

// The record set of the published rdsExecuteResponse dump, wrapper included.
QByteArray publishedRecordSet()
{
    QByteArray message;
    for (const QByteArray& line : QByteArray(PublishedResponseDump).split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        const int address = fields[0].toInt(nullptr, 16);
        message.resize(address);
        for (qsizetype i = 1; i < fields.size(); ++i)
            message.append(char(fields[i].toInt(nullptr, 16)));
    }
    return message.mid(PublishedRecordSetFirst, PublishedRecordSetLast - PublishedRecordSetFirst + 1);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

QByteArray goldenSmall()
{
    return readFile(QStringLiteral(VASTREL_TEST_DATA "/small-questions.adtg"));
}

// Offsets of the sized tokens (02 03 10 05 06 ...) that precede the rows.
QList<qsizetype> sizedTokens(const QByteArray& bytes)
{
    QList<qsizetype> offsets;
    qsizetype at = FirstSizedToken;
    while (at < bytes.size() && quint8(bytes[at]) != 0x07 && quint8(bytes[at]) != 0x0F && quint8(bytes[at]) != 0x0D) {
        offsets.append(at);
        at += 3 + qFromLittleEndian<quint16>(bytes.constData() + at + 1);
    }
    offsets.append(at); // first row token
    return offsets;
}

qsizetype columnToken(const QByteArray& bytes, int ordinal)
{
    int seen = 0;
    for (qsizetype at : sizedTokens(bytes)) {
        if (quint8(bytes[at]) == 0x06 && ++seen == ordinal)
            return at;
    }
    ADD_FAILURE() << "no column " << ordinal;
    return -1;
}

qsizetype firstRow(const QByteArray& bytes)
{
    return sizedTokens(bytes).last();
}

void setU16(QByteArray& bytes, qsizetype at, quint16 v)
{
    qToLittleEndian(v, bytes.data() + at);
}
void setU32(QByteArray& bytes, qsizetype at, quint32 v)
{
    qToLittleEndian(v, bytes.data() + at);
}

// The sized token at offset at, id and size included.
QByteArray tokenAt(const QByteArray& bytes, qsizetype at)
{
    return bytes.mid(at, 3 + qFromLittleEndian<quint16>(bytes.constData() + at + 1));
}

// A record-set context token without the given properties of the client cursor's property set, its
// counts and size brought in line.
QByteArray withoutCursorProperties(const QByteArray& token, const QList<quint32>& ids)
{
    const QByteArray cursorSet = hex("C1 3C 8E B6 EB 6D D0 11 8D F6 00 AA 00 5F FE 58");
    const char* p = token.constData() + 3;
    const quint16 sets = qFromLittleEndian<quint16>(p);
    QByteArray body = token.mid(3, 2);
    qsizetype at = 2;
    for (int set = 0; set < sets; ++set) {
        const QByteArray guid = token.mid(3 + at, 16);
        const quint16 count = qFromLittleEndian<quint16>(p + at + 16);
        at += 18;
        QByteArray kept;
        quint16 keptCount = 0;
        for (int i = 0; i < count; ++i) {
            const quint32 id = qFromLittleEndian<quint32>(p + at);
            const qsizetype size = 6 + qFromLittleEndian<quint16>(p + at + 4);
            if (guid != cursorSet || !ids.contains(id)) {
                kept += token.mid(3 + at, size);
                ++keptCount;
            }
            at += size;
        }
        body += guid;
        body.append(2, '\0');
        setU16(body, body.size() - 2, keptCount);
        body += kept;
    }
    QByteArray result = hex("10 00 00") + body;
    setU16(result, 1, quint16(body.size()));
    return result;
}

// Ordinal, code page, column count, key count and key ordinals of a table descriptor: all but its names.
QList<quint16> tableDescriptorNumbers(const QByteArray& token)
{
    const char* p = token.constData() + 3;
    QList<quint16> numbers{qFromLittleEndian<quint16>(p)};
    qsizetype at = 2;
    for (int name = 0; name < 2; ++name)
        at += 2 + 2 * qFromLittleEndian<quint16>(p + at);
    const quint16 keys = qFromLittleEndian<quint16>(p + at + 4);
    for (qsizetype i = 0; i < 3 + keys; ++i)
        numbers.append(qFromLittleEndian<quint16>(p + at + 2 * i));
    return numbers;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// Over 4 MiB of pictures of 5,000 bytes and more, enough for the reader to leave the pictures of a file
// where it read them. Pict and B are nullable; every row has a picture, the last one no B.
constexpr int LargeSetRows = 1000;
Table largePictureSet()
{
    Table t({column("N", ColumnType::Int, 0, false), column("Pict", ColumnType::Binary), column("B", ColumnType::Int)});
    for (int n = 0; n < LargeSetRows; ++n) {
        const QByteArray picture = QByteArray(5000 + n % 3, char('a' + n % 26)) + QByteArray::number(n);
        t.appendRow({n, picture, n + 1 < LargeSetRows ? QVariant(-n) : QVariant()});
    }
    return t;
}

// Offsets of the rows of largePictureSet() as written.
QList<qsizetype> largePictureSetRows(const QByteArray& bytes)
{
    QList<qsizetype> rows;
    qsizetype at = firstRow(bytes);
    for (int n = 0; n < LargeSetRows; ++n) {
        rows.append(at);
        const quint8 presence = quint8(bytes[at + 1]);
        at += 2 + 4; // token, presence, N
        at += 4 + qFromLittleEndian<qint32>(bytes.constData() + at);
        if (presence & 0x40)
            at += 4;
    }
    return rows;
}

void expectZeroTerminatedPictures(const Table& t, int column)
{
    for (int r = 0; r < t.rowCount(); ++r) {
        const QByteArray v = t.value(r, column).toByteArray();
        EXPECT_EQ(v.constData()[v.size()], '\0') << "row " << r;
    }
}

Table twoNullableInts()
{
    return Table({column("A", ColumnType::Int), column("B", ColumnType::Int)});
}

Table roundTrip(const Table& t)
{
    return ReadAdtg(WriteAdtg(t));
}

// The columns as a file written from them declares them: text at least 256 characters wide.
QList<Column> asDeclared(QList<Column> columns)
{
    for (Column& c : columns) {
        if (c.type == ColumnType::Text)
            c.size = std::max(c.size > 0 ? c.size : 255, 256);
    }
    return columns;
}

// actual was read from a file written from expected.
void expectSameTable(const Table& actual, const Table& expected)
{
    ASSERT_EQ(actual.columns(), asDeclared(expected.columns()));
    ASSERT_EQ(actual.rowCount(), expected.rowCount());
    for (int r = 0; r < expected.rowCount(); ++r) {
        for (int c = 0; c < expected.columnCount(); ++c)
            EXPECT_EQ(actual.value(r, c), expected.value(r, c))
                << "row " << r << " column " << expected.column(c).name.toStdString();
    }
}

} // namespace

// --- Byte examples of the published format description ---------------------------------------------

TEST(AdtgPublished, RdsExecuteResponseRecordSetDecodes)
{
    const QByteArray wrapped = publishedRecordSet();
    ASSERT_EQ(wrapped.size(), 779);
    const QByteArray bare = wrapped.mid(35);
    const QByteArray junkBefore = QByteArray(300, 'x') + bare + QByteArray("trailing bytes after the end");
    for (const QByteArray& bytes : {wrapped, bare, junkBefore}) {
        const Table t = ReadAdtg(bytes);
        const QList<Column> expected{
            {QStringLiteral("pub_id"), ColumnType::Text, 4, false, true, false},
            {QStringLiteral("pub_name"), ColumnType::Text, 40, true, false, false},
            {QStringLiteral("city"), ColumnType::Text, 20, true, false, false},
            {QStringLiteral("state"), ColumnType::Text, 2, true, false, false},
            {QStringLiteral("country"), ColumnType::Text, 30, true, false, false},
        };
        EXPECT_EQ(t.columns(), expected);
        ASSERT_EQ(t.rowCount(), 1);
        EXPECT_EQ(t.row(0), (QVariantList{QStringLiteral("0736"), QStringLiteral("New Moon Books"),
                                          QStringLiteral("New York"), QStringLiteral("MA"), QStringLiteral("USA")}));
    }
}

TEST(AdtgPublished, NullRecordSetOfTheWrapperIsAnError)
{
    EXPECT_THROW(ReadAdtg(hex("09 00 01")), AppError);
}

TEST(AdtgPublished, DateValuesAreDaysSince18991230WithTheTimeAsFraction)
{
    // 2.25 is 1900-01-01 06:00; before the epoch the fraction still counts forward: -1.25 is 1899-12-29 06:00.
    struct Case
    {
        QDateTime when;
        const char* cell;
    };
    const Case cases[] = {
        {QDateTime(QDate(1900, 1, 1), QTime(6, 0)), "00 00 00 00 00 00 02 40"},
        {QDateTime(QDate(1899, 12, 29), QTime(6, 0)), "00 00 00 00 00 00 F4 BF"},
        {QDateTime(QDate(1899, 12, 30), QTime(0, 0)), "00 00 00 00 00 00 00 00"},
    };
    for (const Case& c : cases) {
        Table t({column("When", ColumnType::Date, 0, false)});
        t.appendRow({c.when});
        const QByteArray bytes = WriteAdtg(t);
        EXPECT_TRUE(bytes.endsWith(hex("07") + hex(c.cell) + hex("0F"))) << c.cell;
        EXPECT_EQ(ReadAdtg(bytes).value(0, 0).toDateTime(), c.when) << c.cell;
    }
}

TEST(AdtgPublished, GuidsAreWrittenInTheirMixedEndianLayout)
{
    const QUuid recordSet(QStringLiteral("{3FF292B6-B204-11CF-8D23-00AA005FFE58}"));
    QByteArray expected(16, '\0');
    qToLittleEndian(recordSet.data1, expected.data());
    qToLittleEndian(recordSet.data2, expected.data() + 4);
    qToLittleEndian(recordSet.data3, expected.data() + 6);
    std::memcpy(expected.data() + 8, recordSet.data4, 8);
    EXPECT_EQ(expected, hex("B6 92 F2 3F 04 B2 CF 11 8D 23 00 AA 00 5F FE 58"));
    EXPECT_EQ(WriteAdtg(sample::smallQuestions()).mid(12, 16), expected); // in the handler options
}

TEST(AdtgPublished, OurHeadIsThePublishedOneUpToTheColumns)
{
    // Both tables have five columns, the first of them the key, and one row: what describes the same
    // things is the same, except that the writer asks for synchronous loading and gives no fetch sizes.
    const QByteArray published = publishedRecordSet().mid(35);
    const QByteArray ours = WriteAdtg(sample::smallQuestions());
    const QList<qsizetype> theirTokens = sizedTokens(published);
    const QList<qsizetype> ourTokens = sizedTokens(ours);
    // handler options, result descriptor, record-set context, table descriptor, then the columns
    ASSERT_GE(theirTokens.size(), 5);
    ASSERT_GE(ourTokens.size(), 5);
    EXPECT_EQ(ours.left(9), published.left(9)); // header

    const QByteArray theirOptions = tokenAt(published, theirTokens[0]);
    const QByteArray ourOptions = tokenAt(ours, ourTokens[0]);
    EXPECT_EQ(theirOptions.right(2), hex("03 00")); // asynchronous, non-blocking
    EXPECT_EQ(ourOptions.right(2), hex("01 00"));   // synchronous
    EXPECT_EQ(ourOptions.chopped(2), theirOptions.chopped(2));

    EXPECT_EQ(tokenAt(ours, ourTokens[1]).toHex(' '), tokenAt(published, theirTokens[1]).toHex(' '));

    const QByteArray theirContext = tokenAt(published, theirTokens[2]);
    ASSERT_EQ(withoutCursorProperties(theirContext, {}), theirContext); // the helper's own check
    const QList<quint32> fetchSizes{0x03, 0x07};                        // background and initial
    EXPECT_EQ(tokenAt(ours, ourTokens[2]).toHex(' '), withoutCursorProperties(theirContext, fetchSizes).toHex(' '));

    const QByteArray ourTable = tokenAt(ours, ourTokens[3]);
    ASSERT_EQ(ourTable[0], '\x05');
    EXPECT_EQ(tableDescriptorNumbers(ourTable), tableDescriptorNumbers(tokenAt(published, theirTokens[3])));
    EXPECT_EQ(tableDescriptorNumbers(ourTable), (QList<quint16>{1, 0, 5, 1, 1}));
    EXPECT_EQ(ours[ourTokens[4]], '\x06'); // the first column descriptor follows
}

// --- The writer's bytes -------------------------------------------------------------------------

TEST(AdtgGolden, SmallQuestionsTableIsWrittenByteForByte)
{
    const QByteArray golden = goldenSmall();
    ASSERT_EQ(golden.size(), 628);
    EXPECT_EQ(WriteAdtg(sample::smallQuestions()), golden);
    expectSameTable(ReadAdtg(golden), sample::smallQuestions());
}

TEST(AdtgGolden, CellsFollowTheirColumnsLayout)
{
    struct Case
    {
        Column column;
        QVariant value;
        const char* row; // row token, presence map, cells
    };
    const Case cases[] = {
        // Text of any width: i32 byte count, as every column is declared too wide for a u8 length.
        {column("T", ColumnType::Text, 50), QStringLiteral("abc"), "07 80 06 00 00 00 61 00 62 00 63 00"},
        {column("T", ColumnType::Text, 255), QStringLiteral("abc"), "07 80 06 00 00 00 61 00 62 00 63 00"},
        {column("T", ColumnType::Text, 300), QStringLiteral("abc"), "07 80 06 00 00 00 61 00 62 00 63 00"},
        {column("T", ColumnType::Text, 10), QString(), "07 80 00 00 00 00"},
        {column("T", ColumnType::Text, 10), QVariant(), "07 00"},
        {column("M", ColumnType::Memo, 0, false), QStringLiteral("Я"), "07 02 00 00 00 2F 04"},
        {column("B", ColumnType::Binary), QByteArray("BM"), "07 80 02 00 00 00 42 4D"},
        {column("I", ColumnType::Int, 0, false), -2, "07 FE FF FF FF"},
        {column("Y", ColumnType::Bool, 0, false), true, "07 FF FF"},
        {column("Y", ColumnType::Bool, 0, false), false, "07 00 00"},
        {column("D", ColumnType::Double, 0, false), 1.5, "07 00 00 00 00 00 00 F8 3F"},
    };
    for (const Case& c : cases) {
        Table t({c.column});
        t.appendRow({c.value});
        const QByteArray bytes = WriteAdtg(t);
        EXPECT_EQ(bytes.mid(firstRow(bytes)).toHex(' '), (hex(c.row) + hex("0F")).toHex(' ')) << c.row;
        expectSameTable(ReadAdtg(bytes), t);
    }
}

TEST(AdtgGolden, ColumnDescriptorsCarryTypeSizeAndFlags)
{
    // DBTYPE, ColumnMaxLength, precision, scale and flags of each column type, nullable and not.
    struct Case
    {
        Column column;
        const char* fields;
    };
    const Case cases[] = {
        {sample::autoNumberKey("K"), "03 00 04 00 00 00 0A 00 00 00 FF 00 00 00 18 80 00 00 FF FF"},
        {column("I", ColumnType::Int), "03 00 04 00 00 00 0A 00 00 00 FF 00 00 00 78 00 00 00 00 00"},
        {column("Y", ColumnType::Bool, 0, false), "0B 00 02 00 00 00 FF 00 00 00 FF 00 00 00 18 00 00 00 00 00"},
        {column("D", ColumnType::Double), "05 00 08 00 00 00 0F 00 00 00 FF 00 00 00 78 00 00 00 00 00"},
        {column("W", ColumnType::Date), "07 00 08 00 00 00 FF 00 00 00 FF 00 00 00 78 00 00 00 00 00"},
        // Text is declared at least 256 characters wide, so that every reading takes an i32 length.
        {column("T", ColumnType::Text, 50), "82 00 00 01 00 00 FF 00 00 00 FF 00 00 00 68 00 00 00 00 00"},
        {column("T", ColumnType::Text, 50, false), "82 00 00 01 00 00 FF 00 00 00 FF 00 00 00 08 00 00 00 00 00"},
        {column("T", ColumnType::Text, 0), "82 00 00 01 00 00 FF 00 00 00 FF 00 00 00 68 00 00 00 00 00"},
        {column("T", ColumnType::Text, 400), "82 00 90 01 00 00 FF 00 00 00 FF 00 00 00 68 00 00 00 00 00"},
        {column("M", ColumnType::Memo), "82 00 FE FF FF 1F FF 00 00 00 FF 00 00 00 E8 00 00 00 00 00"},
        {column("B", ColumnType::Binary), "80 00 FF FF FF 3F FF 00 00 00 FF 00 00 00 E8 00 00 00 00 00"},
    };
    for (const Case& c : cases) {
        const QByteArray bytes = WriteAdtg(Table({c.column}));
        const qsizetype at = columnToken(bytes, 1);
        const qsizetype end = at + 3 + qFromLittleEndian<quint16>(bytes.constData() + at + 1);
        // The fields after the names, up to the visibility flag FF FF that closes the descriptor.
        EXPECT_EQ(bytes.mid(end - 22, 20).toHex(' '), hex(c.fields).toHex(' ')) << c.column.name.toStdString();
        EXPECT_EQ(bytes.mid(end - 2, 2), hex("FF FF"));
    }
}

TEST(AdtgGolden, PresenceMapOfMoreThanEightNullableColumns)
{
    // Ten nullable columns and one that is not, between them: two bytes, the first nullable column in
    // the high bit of the first byte, the ninth in the high bit of the second; no bit for the column
    // that cannot be null, and the bits after the tenth stay 0.
    QList<Column> columns;
    for (int i = 1; i <= 10; ++i) {
        columns.append(column(qPrintable(QStringLiteral("N%1").arg(i)), ColumnType::Int));
        if (i == 4)
            columns.append(column("K", ColumnType::Int, 0, false));
    }
    Table t(columns);
    //           N1 N2 N3 N4 K   N5 N6 N7 N8 N9 N10
    t.appendRow({1, {}, {}, {}, 0, {}, {}, {}, 8, 9, {}});
    t.appendRow({1, 2, 3, 4, -1, 5, 6, 7, 8, 9, 10});
    t.appendRow({{}, {}, {}, {}, 0, {}, {}, {}, {}, {}, 10});
    const QByteArray bytes = WriteAdtg(t);
    const QByteArray rows = hex("07 81 80 01 00 00 00 00 00 00 00 08 00 00 00 09 00 00 00"
                                "07 FF C0 01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00 FF FF FF FF"
                                "   05 00 00 00 06 00 00 00 07 00 00 00 08 00 00 00 09 00 00 00 0A 00 00 00"
                                "07 00 40 00 00 00 00 0A 00 00 00"
                                "0F");
    EXPECT_EQ(bytes.mid(firstRow(bytes)).toHex(' '), rows.toHex(' '));
    expectSameTable(ReadAdtg(bytes), t);
}

// --- Round trips ---------------------------------------------------------------------------------

TEST(AdtgRoundTrip, EveryColumnTypeWithValuesAndNulls)
{
    Table t({sample::autoNumberKey("ID"), column("I", ColumnType::Int), column("Y", ColumnType::Bool),
             column("D", ColumnType::Double), column("T", ColumnType::Text, 20), column("W", ColumnType::Text, 200),
             column("M", ColumnType::Memo), column("B", ColumnType::Binary), column("When", ColumnType::Date)});
    const QString wide(200, QChar(0x0416)); // Ж, the full width of the column
    t.appendRow({1, std::numeric_limits<qint32>::min(), true, 0.1, QStringLiteral("Привет"), wide,
                 QStringLiteral("Строка 1\r\nСтрока 2\r\n"), QByteArray("\x00\x01\xFF", 3),
                 QDateTime(QDate(2024, 5, 17), QTime(13, 45, 30, 250))});
    t.appendRow({2, std::numeric_limits<qint32>::max(), false, -1.0e300, QString(), QStringLiteral("x"), QString(),
                 QByteArray(), QDateTime(QDate(1850, 3, 1), QTime(18, 0))});
    t.appendRow({3}); // null in every nullable column
    t.appendRow({4, 0, QVariant(), 5e-324, QVariant(), QStringLiteral("y"), QVariant(), QByteArray("z"), QVariant()});
    expectSameTable(roundTrip(t), t);
}

TEST(AdtgRoundTrip, EmptyTables)
{
    expectSameTable(roundTrip(Table()), Table());
    const Table columnsOnly(sample::questionsColumns(8));
    expectSameTable(roundTrip(columnsOnly), columnsOnly);
}

TEST(AdtgRoundTrip, CyrillicAndLineBreaksInMemoSurviveAFile)
{
    Table t({column("Question", ColumnType::Memo)});
    const QString text = QStringLiteral("Сколько будет 2+2?\r\nВыберите «один» ответ.\r\n\r\n\t— ёЁ\n");
    t.appendRow({text});
    const QString path = testPath(QStringLiteral("memo.top"));
    WriteAdtgFile(t, path);
    EXPECT_EQ(ReadAdtgFile(path).value(0, 0).toString(), text);
}

TEST(AdtgRoundTrip, EightMegabytePicturesSurviveAFile)
{
    constexpr qsizetype PictureSize = 8 * 1024 * 1024;
    QByteArray picture(PictureSize, Qt::Uninitialized);
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32*>(picture.data()), PictureSize / 4);
    picture[0] = 'B';
    picture[1] = 'M';
    Table t(sample::questionsColumns(8));
    QVariantList row(t.columnCount());
    row[0] = 1;
    row[t.columnIndex(QStringLiteral("QuePict"))] = picture;
    row[t.columnIndex(QStringLiteral("Pict8"))] = picture.left(PictureSize - 1);
    for (int i = 0; i < t.columnCount(); ++i) {
        if (!row[i].isValid() && !t.column(i).nullable)
            row[i] = false;
    }
    t.appendRow(row);
    const QString path = testPath(QStringLiteral("big.top"));
    WriteAdtgFile(t, path);
    EXPECT_GT(QFileInfo(path).size(), 2 * PictureSize);
    const Table back = ReadAdtgFile(path);
    EXPECT_TRUE(back.value(0, QStringLiteral("QuePict")).toByteArray() == picture);
    EXPECT_TRUE(back.value(0, QStringLiteral("Pict8")).toByteArray() == picture.left(PictureSize - 1));
}

TEST(AdtgRoundTrip, ManyPicturesReadFromALargeFileStayIndependent)
{
    // Enough pictures for the reader to place them in one shared block: each value must still behave
    // as a byte array of its own.
    constexpr int Pictures = 1200;
    constexpr int PictureSize = 5000;
    Table t({column("N", ColumnType::Int, 0, false), column("Pict", ColumnType::Binary)});
    const auto picture = [](int n) { return QByteArray(PictureSize, char('A' + n % 26)) + QByteArray::number(n); };
    for (int n = 0; n < Pictures; ++n)
        t.appendRow({n, n % 7 == 0 ? QVariant() : QVariant(picture(n))});
    const QString path = testPath(QStringLiteral("pictures.top"));
    WriteAdtgFile(t, path);
    ASSERT_GT(QFileInfo(path).size(), 4 << 20);

    QByteArray kept;
    QByteArray changed;
    {
        const Table back = ReadAdtgFile(path);
        expectSameTable(back, t);
        for (int n = 1; n < Pictures; n += 97) {
            const QByteArray v = back.value(n, 1).toByteArray();
            if (n % 7 != 0) {
                EXPECT_EQ(v.constData()[v.size()], '\0') << n; // zero-terminated like any byte array
            }
        }
        kept = back.value(1, 1).toByteArray();
        changed = back.value(2, 1).toByteArray();
        changed.append("+more");
        changed[0] = '#';
        EXPECT_EQ(back.value(2, 1).toByteArray(), picture(2)); // the table's value is untouched
        EXPECT_EQ(back.value(3, 1).toByteArray(), picture(3)); // and so is its neighbour
    }
    EXPECT_EQ(kept, picture(1)); // outlives its table
    kept.append("tail");
    EXPECT_EQ(kept, picture(1) + "tail");
    EXPECT_EQ(changed, "#" + picture(2).mid(1) + "+more");
}

TEST(AdtgRoundTrip, FilesHoldExactlyTheBytesWrittenToMemory)
{
    // The file writer gathers small pieces and passes large values through in writes that end on
    // 1 MiB boundaries: values on both sides of its size threshold, straddling boundaries, larger
    // than a boundary's span, and long runs of small rows must all land where the bytes writer puts them.
    Table t({column("N", ColumnType::Int, 0, false), column("Question", ColumnType::Memo),
             column("Pict", ColumnType::Binary)});
    const qsizetype pictureSizes[] = {
        0, 1, 16383, 16384, 16385, (1 << 20) - 5, (1 << 20), 1 << 20, 3 * (1 << 20) + 7, 70001, 16384};
    int n = 0;
    for (qsizetype size : pictureSizes) {
        t.appendRow({n, QStringLiteral("Вопрос %1").arg(n), QByteArray(size, char('A' + n))});
        ++n;
    }
    const qsizetype textSizes[] = {8191, 8192, 8193, 600000};
    for (qsizetype size : textSizes) {
        t.appendRow({n, QString(size, QChar(0x0430 + n % 32)), QVariant()});
        ++n;
    }
    for (int i = 0; i < 30000; ++i, ++n) // small rows alone fill more than a staging buffer
        t.appendRow({n, QStringLiteral("?"), QByteArray(40, char(n))});
    t.appendRow({n, QVariant(), QByteArray(2 * (1 << 20), 'z')});
    const QString path = testPath(QStringLiteral("gathered.top"));
    WriteAdtgFile(t, path);
    const QByteArray file = readFile(path);
    ASSERT_GT(file.size(), 8 << 20);
    EXPECT_TRUE(file == WriteAdtg(t));
}

TEST(AdtgRoundTrip, LastValuesEndingInAnEndTokenByte)
{
    // "Џ" is 0F 04 in UTF-16: the last bytes of the table are then 0F 04 0F, and only the last 0F ends it.
    const QString ending = QStringLiteral("Вопрос Џ");
    Table text({column("T", ColumnType::Text, 50)});
    text.appendRow({QStringLiteral("Џ")});
    text.appendRow({ending});
    Table memo({column("N", ColumnType::Int, 0, false), column("M", ColumnType::Memo)});
    memo.appendRow({15, ending});
    Table binary({column("B", ColumnType::Binary)});
    binary.appendRow({QByteArray("\x0F\x0F", 2)});
    const struct
    {
        Table table;
        const char* end;
    } cases[] = {{text, "0F 04 0F"}, {memo, "0F 04 0F"}, {binary, "0F 0F 0F"}};
    for (const auto& c : cases) {
        const QByteArray bytes = WriteAdtg(c.table);
        ASSERT_TRUE(bytes.endsWith(hex(c.end))) << c.end;
        expectSameTable(ReadAdtg(bytes), c.table);
        const QString path = testPath(QStringLiteral("ending.top"));
        WriteAdtgFile(c.table, path);
        expectSameTable(ReadAdtgFile(path), c.table);
    }
}

TEST(AdtgRoundTrip, QuestionLayoutsKeepTheirColumnsAndCount)
{
    for (int answers : {8, 7}) {
        const Table t = sample::questionsTable(answers, 9);
        const Table back = roundTrip(t);
        expectSameTable(back, t);
        if (answers == 8) {
            EXPECT_EQ(back.columnCount(), 43);
        } else {
            EXPECT_EQ(back.columnCount(), 36);
            EXPECT_LT(back.columnCount(), 37); // what tells a student's program the older layout
            EXPECT_FALSE(back.hasColumn(QStringLiteral("Ans8")));
        }
        EXPECT_EQ(back.value(3, QStringLiteral("Question")).toString(), QStringLiteral("Вопрос 3?\r\nВторая строка"));
    }
}

TEST(AdtgRoundTrip, WholeFilesAreReplacedOnlyWhenWritingSucceeds)
{
    const QString path = testPath(QStringLiteral("set.top"));
    WriteAdtgFile(sample::smallQuestions(), path);
    const QByteArray before = readFile(path);
    Table bad({column("Y", ColumnType::Bool, 0, false)});
    bad.appendRow({true});
    bad.appendRow({QVariant()}); // a null where none may be: fails half way through the rows
    EXPECT_THROW(WriteAdtgFile(bad, path), AppError);
    EXPECT_EQ(readFile(path), before);
    EXPECT_THROW(WriteAdtgFile(sample::smallQuestions(), testPath(QStringLiteral("no/such/folder/x.top"))), AppError);
}

TEST(AdtgWriter, RefusesWhatItCannotWrite)
{
    struct Case
    {
        const char* what;
        Table table;
    };
    Table tooLong({column("T", ColumnType::Text, 3)});
    tooLong.appendRow({QStringLiteral("abcd")});
    Table nullInYesNo({column("Y", ColumnType::Bool, 0, false)});
    nullInYesNo.appendRow({QVariant()});
    Table repeated({column("A", ColumnType::Int), column("a", ColumnType::Memo)});
    Table unnamed({column("", ColumnType::Int)});
    Table outOfRange({column("I", ColumnType::Int)});
    outOfRange.appendRow({qlonglong(1) << 40});
    Table notADate({column("D", ColumnType::Date)});
    notADate.appendRow({QStringLiteral("вчера")});
    const Case cases[] = {{"text longer than its column", tooLong},   {"null in a Yes/No column", nullInYesNo},
                          {"names differing only in case", repeated}, {"a column without a name", unnamed},
                          {"an integer beyond 32 bits", outOfRange},  {"a date that is not one", notADate}};
    for (const Case& c : cases)
        EXPECT_THROW(WriteAdtg(c.table), AppError) << c.what;
}

// --- What other writers put in a TableGram -----------------------------------------------------------

TEST(AdtgReader, TextLengthsCountedInCharactersAreRead)
{
    Table t({column("T", ColumnType::Text, 10)});
    t.appendRow({QStringLiteral("abc")});
    QByteArray bytes = WriteAdtg(t);
    const qsizetype row = firstRow(bytes);
    ASSERT_EQ(quint8(bytes[row + 2]), 6);
    bytes[row + 2] = 3; // 3 characters instead of 6 bytes
    RunLog::clear();
    expectSameTable(ReadAdtg(bytes), t);
    // Such a file tells how another writer lays the format out: the run log says which reading fitted.
    ASSERT_EQ(RunLog::lines().size(), 1);
    EXPECT_TRUE(RunLog::lines()[0].endsWith(QStringLiteral("TableGram read with text lengths as character counts, "
                                                           "presence bits high bit first for nullable or may-be-null "
                                                           "columns")))
        << RunLog::lines()[0].toStdString();

    RunLog::clear();
    ReadAdtg(WriteAdtg(t)); // our own layout is the first reading and is not worth a line
    EXPECT_TRUE(RunLog::lines().isEmpty());
}

TEST(AdtgReader, PresenceBitsInTheOtherOrderAreRead)
{
    Table t = twoNullableInts();
    t.appendRow({QVariant(), 5});
    QByteArray bytes = WriteAdtg(t);
    const qsizetype row = firstRow(bytes);
    ASSERT_EQ(quint8(bytes[row + 1]), 0x40);
    bytes[row + 1] = 0x02; // second column in the second lowest bit
    expectSameTable(ReadAdtg(bytes), t);
}

TEST(AdtgReader, LargeFileReadTheOtherWayKeepsItsPictures)
{
    // Presence bits low bit first: the first reading decodes all rows but the last, leaving their
    // pictures where they lie in the file, then fails; the second must see the file as it was read
    // and give pictures that are whole and zero-terminated.
    const Table t = largePictureSet();
    QByteArray bytes = WriteAdtg(t);
    const QList<qsizetype> rows = largePictureSetRows(bytes);
    for (qsizetype at : rows) {
        const quint8 presence = quint8(bytes[at + 1]);
        ASSERT_TRUE(presence == 0xC0 || presence == 0x80);
        bytes[at + 1] = char(presence == 0xC0 ? 0xC3 : 0x01); // the same under both orders, then not
    }
    const QString path = testPath(QStringLiteral("lowbitfirst.top"));
    writeFile(path, bytes);
    ASSERT_GT(bytes.size(), 4 << 20);
    const Table fromFile = ReadAdtgFile(path);
    expectSameTable(fromFile, t);
    expectZeroTerminatedPictures(fromFile, 1);
    const Table fromBytes = ReadAdtg(bytes);
    expectSameTable(fromBytes, t);
    expectZeroTerminatedPictures(fromBytes, 1);
}

TEST(AdtgReader, PendingChangesInsertsAndDeletionsAreApplied)
{
    Table t = twoNullableInts();
    t.appendRow({1, 2});
    QByteArray bytes = WriteAdtg(t);
    bytes.chop(1);                                    // the end marker
    bytes += hex("0A 40 00 09 00 00 00");             // change of row 1: B = 9
    bytes += hex("0D C0 40 07 00 00 00");             // insert: A = 7, B forced to null
    bytes += hex("07 C0 03 00 00 00 04 00 00 00 0C"); // a row deleted again
    bytes += hex("0F");
    setU32(bytes, RowCountOffset, 3);
    const Table back = ReadAdtg(bytes);
    ASSERT_EQ(back.rowCount(), 2);
    EXPECT_EQ(back.row(0), (QVariantList{1, 9}));
    EXPECT_EQ(back.row(1), (QVariantList{7, QVariant()}));
}

TEST(AdtgReader, HiddenColumnsAreDecodedButLeftOut)
{
    Table t({column("A", ColumnType::Int), column("Hidden", ColumnType::Memo), column("C", ColumnType::Int)});
    t.appendRow({1, QStringLiteral("скрыто"), 3});
    QByteArray bytes = WriteAdtg(t);
    const qsizetype at = columnToken(bytes, 2);
    const qsizetype end = at + 3 + qFromLittleEndian<quint16>(bytes.constData() + at + 1);
    setU16(bytes, end - 2, 0); // not visible
    const Table back = ReadAdtg(bytes);
    ASSERT_EQ(back.columnCount(), 2);
    EXPECT_EQ(back.column(1).name, QStringLiteral("C"));
    EXPECT_EQ(back.row(0), (QVariantList{1, 3}));
}

TEST(AdtgReader, UnknownTokensAndOptionalColumnFieldsArePassedOver)
{
    Table t({sample::autoNumberKey("ID"), column("Name", ColumnType::Text, 30)});
    t.appendRow({5, QStringLiteral("Иванов")});
    QByteArray bytes = WriteAdtg(t);

    // Every optional field of the second column that the writer leaves out, plus bytes of a later version.
    const qsizetype at = columnToken(bytes, 2);
    const quint16 size = qFromLittleEndian<quint16>(bytes.constData() + at + 1);
    QByteArray body = bytes.mid(at + 3, size);
    const QByteArray tail = body.right(4); // IsAutoIncrement, IsVisible
    body.chop(4);
    body[0] = char(quint8(body[0]) | 0x03); // catalog, schema
    body[1] = char(quint8(body[1]) | 0xF0); // collating sequence, compute mode, date-time precision, default
    body[2] = char(quint8(body[2]) | 0xF8); // case, multi-valued, searchable, unique, octet length
    body += hex("04 00 70 00 75 00 62 00 73 00") + hex("00 00");  // catalog "pubs", schema ""
    body += QByteArray(4 + 4 + 4 + 16, '\x11');                   // collating .. default value
    body += tail.left(2) + QByteArray(2 + 2 + 4 + 2 + 4, '\x22'); // auto-increment, case .. octet length
    body += tail.right(2) + hex("AB CD EF");                      // visible, then unknown bytes
    QByteArray token = hex("06") + QByteArray(2, '\0') + body;
    setU16(token, 1, quint16(body.size()));
    bytes.replace(at, 3 + size, token);

    // An unknown sized token among the descriptors.
    bytes.insert(columnToken(bytes, 1), hex("20 03 00 01 02 03"));
    expectSameTable(ReadAdtg(bytes), t);
}

TEST(AdtgReader, CharacterCountsEndingInAnEndTokenByteAreReadWhole)
{
    // Written with character counts, "АЏ" is 02 00 00 00 10 04 0F 04. Read as a byte count, the prefix
    // takes "А" and meets 0F, an end token two bytes before the file's end: that reading is not taken.
    Table t({column("T", ColumnType::Text, 50)});
    t.appendRow({QStringLiteral("АЏ")});
    QByteArray bytes = WriteAdtg(t);
    const qsizetype row = firstRow(bytes);
    ASSERT_EQ(bytes.mid(row).toHex(' '), hex("07 80 04 00 00 00 10 04 0F 04 0F").toHex(' '));
    setU32(bytes, row + 2, 2);
    RunLog::clear();
    expectSameTable(ReadAdtg(bytes), t);
    ASSERT_EQ(RunLog::lines().size(), 1);
    EXPECT_TRUE(RunLog::lines()[0].contains(QStringLiteral("text lengths as character counts")));

    const QString path = testPath(QStringLiteral("charcounts.top"));
    writeFile(path, bytes);
    expectSameTable(ReadAdtgFile(path), t);

    // The line end with which a network message goes on may follow the end token; other bytes may not.
    const QByteArray wrapper = publishedRecordSet().left(35);
    for (const QByteArray& before : {QByteArray(), wrapper}) {
        expectSameTable(ReadAdtg(before + bytes + "\r\n--boundary--\r\n"), t);
        expectSameTable(ReadAdtg(before + bytes), t);
        EXPECT_THROW(ReadAdtg(before + bytes + "x"), AppError);
        EXPECT_THROW(ReadAdtg(before + bytes + hex("00")), AppError);
    }
}

TEST(AdtgReader, VarNumericAsInThePublishedExample)
{
    // 6553E+50 to five digits: 65530 (FA FF) with scale 49 and sign 01. Precision, scale and sign come
    // first; the value takes the fewest bytes that hold five digits, or, as another writer might read
    // the published formula, three.
    struct Case
    {
        const char* first; // the cell of each of two rows
        const char* second;
        double firstValue;
        double secondValue;
        bool byFormula;
    };
    const Case cases[] = {
        {"05 31 01 FA FF", "05 31 00 FA FF", 6553e50, -6553e50, false},
        {"05 FD 01 FA FF", "02 00 01 0C", 65.53, 12, false},
        {"05 31 01 FA FF 00", "01 00 01 07", 6553e50, 7, true},
        {"14 00 01 00 00 E8 89 04 23 C7 8A", "01 00 00 00", 1e19, -0.0, false}, // 20 digits in 8 bytes
    };
    for (const Case& c : cases) {
        Table t({column("N", ColumnType::Double, 0, false)});
        t.appendRow({0.0});
        t.appendRow({0.0});
        QByteArray bytes = WriteAdtg(t);
        const qsizetype at = columnToken(bytes, 1);
        const qsizetype end = at + 3 + qFromLittleEndian<quint16>(bytes.constData() + at + 1);
        setU16(bytes, end - 22, 0x8B); // DBTYPE_VARNUMERIC
        const qsizetype row = firstRow(bytes);
        bytes.replace(row, bytes.size() - row, hex("07") + hex(c.first) + hex("07") + hex(c.second) + hex("0F"));
        RunLog::clear();
        const Table back = ReadAdtg(bytes);
        ASSERT_EQ(back.column(0).type, ColumnType::Double) << c.first;
        ASSERT_EQ(back.rowCount(), 2) << c.first;
        EXPECT_DOUBLE_EQ(back.value(0, 0).toDouble(), c.firstValue) << c.first;
        EXPECT_DOUBLE_EQ(back.value(1, 0).toDouble(), c.secondValue) << c.second;
        EXPECT_EQ(!RunLog::lines().isEmpty(), c.byFormula) << c.first; // another writer's reading is logged
    }
}

TEST(AdtgReader, NullableComesFromIsNullableNotMayBeNull)
{
    // A key column flagged MAYBENULL (a null may be read through a join) is still not nullable, and
    // a file written from what was read keeps it so.
    Table t({sample::autoNumberKey("ID"), column("Name", ColumnType::Memo)});
    t.appendRow({7, QStringLiteral("Иванов")});
    QByteArray bytes = WriteAdtg(t);
    const qsizetype at = columnToken(bytes, 1);
    const qsizetype end = at + 3 + qFromLittleEndian<quint16>(bytes.constData() + at + 1);
    ASSERT_EQ(bytes.mid(end - 8, 4), hex("18 80 00 00"));
    setU32(bytes, end - 8, 0x8058); // with MAYBENULL
    const Table back = ReadAdtg(bytes);
    EXPECT_FALSE(back.column(0).nullable);
    EXPECT_TRUE(back.column(0).key);
    EXPECT_EQ(back.row(0), t.row(0));
    const QByteArray again = WriteAdtg(back);
    EXPECT_EQ(again.mid(end - 8, 4), hex("18 80 00 00"));
}

TEST(AdtgReader, DecimalColumnsAreNumbersOrRefusedByName)
{
    // DECIMAL cells are read as numbers; NUMERIC, which the published types do not include, and any
    // type whose cells cannot be measured are refused with the column's name, even when every value
    // is null.
    Table t({Column{QStringLiteral("Сумма"), ColumnType::Double}});
    t.appendRow({0.0});
    t.appendRow({QVariant()});
    const QByteArray written = WriteAdtg(t);
    const qsizetype at = columnToken(written, 1);
    const qsizetype end = at + 3 + qFromLittleEndian<quint16>(written.constData() + at + 1);
    const qsizetype row = firstRow(written);

    QByteArray decimal = written;
    setU16(decimal, end - 22, 0x0E);
    decimal.replace(row + 2, 8, hex("00 00 02 80 00 00 00 00 39 30 00 00 00 00 00 00")); // -123.45
    const Table back = ReadAdtg(decimal);
    EXPECT_EQ(back.column(0).type, ColumnType::Double);
    EXPECT_DOUBLE_EQ(back.value(0, 0).toDouble(), -123.45);
    EXPECT_FALSE(back.value(1, 0).isValid());

    struct Case
    {
        quint16 type;
        const char* named;
    };
    const Case refused[] = {{0x83, "NUMERIC"}, {0x99, "0x0099"}};
    for (const Case& c : refused) {
        QByteArray bytes = written;
        setU16(bytes, end - 22, c.type);
        setU32(bytes, end - 8, 0x68);                                  // not of fixed length
        bytes.replace(row, bytes.size() - row, hex("07 00 07 00 0F")); // nulls only
        try {
            ReadAdtg(bytes);
            ADD_FAILURE() << "type " << c.type << " was read";
        } catch (const AppError& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("\"Сумма\""))) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QLatin1String(c.named))) << e.message().toStdString();
        }
    }
}

// --- Damaged input -------------------------------------------------------------------------------

TEST(AdtgDamaged, TruncationAtEveryOffsetIsAnError)
{
    const QByteArray golden = goldenSmall();
    for (qsizetype n = 0; n < golden.size(); ++n)
        EXPECT_THROW(ReadAdtg(golden.first(n)), AppError) << "length " << n;
}

TEST(AdtgDamaged, WrongLengthsAndCountsAreErrors)
{
    const QByteArray golden = goldenSmall();
    const qsizetype table = sizedTokens(golden)[3];
    const qsizetype firstColumn = columnToken(golden, 1);
    const qsizetype row = firstRow(golden);
    struct Case
    {
        const char* what;
        std::function<void(QByteArray&)> damage;
    };
    const Case cases[] = {
        {"memo length beyond the end", [&](QByteArray& b) { setU32(b, row + 6, 0x7FFFFFFF); }},
        {"negative memo length", [&](QByteArray& b) { setU32(b, row + 6, 0xFFFFFFF0); }},
        {"odd byte count of text", [&](QByteArray& b) { setU32(b, row + 6, 5); }},
        {"column descriptor longer than the file", [&](QByteArray& b) { setU16(b, firstColumn + 1, 0xFFFF); }},
        {"column descriptor shorter than its fields",
         [&](QByteArray& b) {
             const quint16 size = qFromLittleEndian<quint16>(b.constData() + firstColumn + 1);
             b.remove(firstColumn + 3 + 10, size - 10);
             setU16(b, firstColumn + 1, 10);
         }},
        {"huge key count", [&](QByteArray& b) { setU16(b, table + 3 + 2 + 20 + 20 + 4, 0xFFFF); }},
        {"huge name length", [&](QByteArray& b) { setU16(b, firstColumn + 3 + 3 + 2, 0xFFFF); }},
        {"repeated column ordinal", [&](QByteArray& b) { setU16(b, columnToken(b, 2) + 3 + 3, 1); }},
        {"child row token", [&](QByteArray& b) { b[row] = char(0x87); }},
        {"unknown row token", [&](QByteArray& b) { b[row] = char(0x09); }},
        {"change without an original row", [&](QByteArray& b) { b[row] = char(0x0A); }},
        {"big-endian header", [&](QByteArray& b) { b[7] = 1; }},
        {"no end marker", [&](QByteArray& b) { b[b.size() - 1] = char(0x07); }},
        {"not a table at all", [&](QByteArray& b) { b = QByteArray("[Fields]\r\nRandomOrder=-1\r\n"); }},
    };
    for (const Case& c : cases) {
        QByteArray bytes = golden;
        c.damage(bytes);
        EXPECT_THROW(ReadAdtg(bytes), AppError) << c.what;
    }
}

TEST(AdtgDamaged, AnyChangedByteGivesATableOrAnError)
{
    // Another kind of exception escaping, a crash or a hang fails the test.
    const QByteArray golden = goldenSmall();
    int tables = 0;
    int errors = 0;
    for (qsizetype i = 0; i < golden.size(); ++i) {
        for (quint8 flip : {quint8(0xFF), quint8(0x80), quint8(0x01)}) {
            QByteArray bytes = golden;
            bytes[i] = char(quint8(bytes[i]) ^ flip);
            try {
                ReadAdtg(bytes);
                ++tables;
            } catch (const AppError& e) {
                EXPECT_FALSE(e.message().isEmpty());
                ++errors;
            }
        }
    }
    EXPECT_GT(tables, 0); // names, property values and cell contents may change freely
    EXPECT_GT(errors, 0);
}

TEST(AdtgDamaged, DamagedLargeFilesAreErrors)
{
    // Large files are read into a block whose pictures stay in place: the same checks must hold there.
    const QByteArray good = WriteAdtg(largePictureSet());
    const qsizetype last = largePictureSetRows(good).last();
    struct Case
    {
        const char* what;
        std::function<void(QByteArray&)> damage;
    };
    const Case cases[] = {
        {"cut inside the last picture", [&](QByteArray& b) { b.truncate(last + 6 + 4 + 100); }},
        {"cut before the end marker", [&](QByteArray& b) { b.chop(1); }},
        {"picture length beyond the end", [&](QByteArray& b) { setU32(b, last + 6, 0x7FFFFFFF); }},
        {"picture length one past the end marker",
         [&](QByteArray& b) { setU32(b, last + 6, quint32(b.size() - (last + 10) + 1)); }},
        {"negative picture length", [&](QByteArray& b) { setU32(b, last + 6, 0x80000000); }},
        {"no end marker", [&](QByteArray& b) { b[b.size() - 1] = char(0x07); }},
    };
    const QString path = testPath(QStringLiteral("damaged.top"));
    for (const Case& c : cases) {
        QByteArray bytes = good;
        c.damage(bytes);
        writeFile(path, bytes);
        EXPECT_THROW(ReadAdtgFile(path), AppError) << c.what;
    }
}

TEST(AdtgDamaged, RowCountIsNotTrustedForMemory)
{
    QByteArray bytes = goldenSmall();
    setU32(bytes, RowCountOffset, 0xFFFFFFFF);
    const Table t = ReadAdtg(bytes);
    EXPECT_EQ(t.rowCount(), 1);
}
