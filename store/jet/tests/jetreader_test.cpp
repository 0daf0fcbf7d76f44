#include "apperror.h"
#include "jetreader.h"
#include "jetstream.h"
#include "testhome.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

QString dataFile(const char* name)
{
    return QStringLiteral(VASTREL_TEST_DATA "/") + QLatin1String(name);
}

QString nwind()
{
    return dataFile("nwind.mdb");
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

QString writeFile(const QString& name, const QByteArray& bytes)
{
    const QString path = testPath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

QByteArray sha256(const QVariant& v)
{
    return QCryptographicHash::hash(v.toByteArray(), QCryptographicHash::Sha256).toHex();
}

// The row whose first column holds the key.
int rowWithKey(const Table& t, const QVariant& key)
{
    for (int r = 0; r < t.rowCount(); ++r)
        if (t.value(r, 0) == key)
            return r;
    return -1;
}

QDateTime at(int y, int m, int d, int h = 0, int min = 0, int s = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min, s));
}

// Reads every table of the file; a damaged file may throw AppError, nothing else may happen.
int readEverything(const QString& path)
{
    const JetReader reader(path);
    int rows = 0;
    for (const QString& t : reader.tableNames())
        rows += reader.readTable(t).rowCount();
    return rows;
}

} // namespace

TEST(JetReader, ListsTheUserTablesOfAJet3File)
{
    const JetReader reader(nwind());
    EXPECT_EQ(reader.version(), JetReader::Jet3);
    EXPECT_EQ(reader.codePage(), 1252);
    QStringList names = reader.tableNames();
    names.sort();
    EXPECT_EQ(names, QStringList({"Categories", "Customers", "Employees", "Order Details", "Orders", "Products",
                                  "Shippers", "Suppliers", QStringLiteral("Umsätze")}));
    EXPECT_EQ(reader.findTable("order details"), "Order Details");
    EXPECT_EQ(reader.findTable("MSysObjects"), ""); // system tables are not the user's
}

TEST(JetReader, ReadsEveryRowOfEveryTable)
{
    const JetReader reader(nwind());
    const struct
    {
        const char* table;
        int rows;
        int columns;
    } cases[] = {{"Order Details", 2155, 5}, {"Orders", 830, 14},   {"Products", 77, 10},
                 {"Shippers", 3, 3},         {"Categories", 8, 4},  {"Customers", 91, 11},
                 {"Employees", 9, 17},       {"Suppliers", 29, 12}, {"Umsätze", 830, 14}};
    for (const auto& c : cases) {
        const Table t = reader.readTable(QString::fromUtf8(c.table));
        EXPECT_EQ(t.rowCount(), c.rows) << c.table;
        EXPECT_EQ(t.columnCount(), c.columns) << c.table;
    }
}

TEST(JetReader, ConvertsEveryJet3TypeFaithfully)
{
    const JetReader reader(nwind());
    const Table products = reader.readTable("Products");
    ASSERT_EQ(products.columnCount(), 10);
    EXPECT_EQ(products.column(1), (Column{"ProductName", ColumnType::Text, 40}));
    EXPECT_EQ(products.column(5).type, ColumnType::Double); // Currency
    EXPECT_EQ(products.column(6).type, ColumnType::Int);    // Integer
    EXPECT_EQ(products.column(9).type, ColumnType::Bool);
    int r = rowWithKey(products, 1);
    ASSERT_GE(r, 0);
    EXPECT_EQ(products.value(r, "ProductName"), QVariant("Chai"));
    EXPECT_EQ(products.value(r, "QuantityPerUnit"), QVariant("10 boxes x 20 bags"));
    EXPECT_EQ(products.value(r, "UnitPrice"), QVariant(18.0));
    EXPECT_EQ(products.value(r, "UnitsInStock"), QVariant(39));
    EXPECT_EQ(products.value(r, "Discontinued"), QVariant(false));
    r = rowWithKey(products, 5);
    EXPECT_EQ(products.value(r, "ProductName"), QVariant("Chef Anton's Gumbo Mix"));
    EXPECT_EQ(products.value(r, "UnitPrice"), QVariant(21.35));
    EXPECT_EQ(products.value(r, "Discontinued"), QVariant(true));

    const Table details = reader.readTable("Order Details");
    bool sawDiscount = false;
    for (int i = 0; i < details.rowCount(); ++i)
        if (details.value(i, 0) == QVariant(10250) && details.value(i, 1) == QVariant(51)) {
            EXPECT_EQ(details.value(i, "UnitPrice"), QVariant(42.4));
            EXPECT_EQ(details.value(i, "Quantity"), QVariant(35));
            EXPECT_EQ(details.value(i, "Discount"), QVariant(double(0.15f))); // Single, widened exactly
            sawDiscount = true;
        }
    EXPECT_TRUE(sawDiscount);

    const Table orders = reader.readTable("Orders");
    r = rowWithKey(orders, 10330);
    ASSERT_GE(r, 0);
    EXPECT_EQ(orders.value(r, "CustomerID"), QVariant("LILAS"));
    EXPECT_EQ(orders.value(r, "OrderDate"), QVariant(at(1994, 11, 16)));
    EXPECT_EQ(orders.value(r, "ShippedDate"), QVariant(at(1994, 11, 28)));
    EXPECT_EQ(orders.value(r, "Freight"), QVariant(12.75));
    EXPECT_EQ(orders.value(r, "ShipAddress"),
              QVariant(QStringLiteral("Carrera 52 con Ave. Bolívar #65-98 Llano Largo")));
    r = rowWithKey(orders, 10331);
    EXPECT_FALSE(orders.value(r, "ShipRegion").isValid()); // null stays null
    EXPECT_EQ(orders.value(r, "ShipName"), QVariant("Bon app'"));

    const Table employees = reader.readTable("Employees");
    r = rowWithKey(employees, 1);
    EXPECT_EQ(employees.value(r, "BirthDate"), QVariant(at(1948, 12, 8)));
    EXPECT_EQ(employees.value(r, "Address"), QVariant("507 - 20th Ave. E.\r\nApt. 2A"));
    const QString notes = employees.value(r, "Notes").toString();
    EXPECT_EQ(employees.column(employees.columnIndex("Notes")).type, ColumnType::Memo);
    EXPECT_EQ(notes.size(), 175);
    EXPECT_TRUE(notes.startsWith("Education includes a BA in psychology from Colorad"));
    EXPECT_EQ(employees.value(r, "ReportsTo"), QVariant(2));
    EXPECT_FALSE(employees.value(rowWithKey(employees, 2), "ReportsTo").isValid());
}

TEST(JetReader, ReadsPicturesByteForByte)
{
    const JetReader reader(nwind());
    const Table categories = reader.readTable("Categories");
    ASSERT_EQ(categories.column(3).type, ColumnType::Binary);
    // What the mdbtools exporter gives for the OLE objects, as SHA-256 of the bytes.
    const struct
    {
        int id;
        const char* name;
        const char* hash;
    } cases[] = {{1, "Beverages", "94ce40d8f8d1294f02ca7101b7a8c393140fd3f617947c81ea7c8adb70bce007"},
                 {2, "Condiments", "339612c0496a41b8cb73a6c06f4bb3034be80918f3508dc97a473d4eaaf659c6"},
                 {4, "Dairy Products", "18f94fde5443bb83046ec708a927844166bc677fa87123acc22370392fc8a857"},
                 {8, "Seafood", "5e7186b0e6d30b0d5a9659dc6d8bfa22b38968ba61a5e6a29a777473ddfa1276"}};
    for (const auto& c : cases) {
        const int r = rowWithKey(categories, c.id);
        ASSERT_GE(r, 0) << c.id;
        EXPECT_EQ(categories.value(r, "CategoryName"), QVariant(c.name));
        const QByteArray picture = categories.value(r, "Picture").toByteArray();
        EXPECT_EQ(picture.size(), 10746) << c.id;
        EXPECT_EQ(picture.left(4).toHex(), "151c2f00"); // the OLE wrapper of an embedded bitmap
        EXPECT_EQ(sha256(picture), QByteArray(c.hash)) << c.id;
    }
    const Table employees = reader.readTable("Employees");
    const QByteArray photo = employees.value(rowWithKey(employees, 3), "Photo").toByteArray();
    EXPECT_EQ(photo.size(), 21722);
    EXPECT_EQ(sha256(photo).left(16), "0357df27103e6c6b");
}

TEST(JetReader, ReadsJet4TextsAndDates)
{
    const JetReader reader(dataFile("DateTestDatabase.mdb"));
    EXPECT_EQ(reader.version(), JetReader::Jet4);
    EXPECT_EQ(reader.tableNames(), QStringList({"DateTest"}));
    const Table t = reader.readTable("DateTest");
    ASSERT_EQ(t.rowCount(), 6);
    EXPECT_EQ(t.column(t.columnIndex("ShortTextCol")).size, 255); // 510 bytes of UTF-16
    EXPECT_EQ(t.column(t.columnIndex("LongTextCol")).type, ColumnType::Memo);
    int r = rowWithKey(t, 1);
    EXPECT_EQ(t.value(r, "DateTimeCol"), QVariant(at(2021, 12, 2)));
    EXPECT_EQ(t.value(r, "LongTextCol"), QVariant("Hello"));
    r = rowWithKey(t, 2);
    EXPECT_EQ(t.value(r, "LongTextCol"), QVariant("Year 9999"));
    EXPECT_EQ(t.value(r, "ShortTextCol"), QVariant("Year 1999"));
    r = rowWithKey(t, 6);
    EXPECT_EQ(t.value(r, "LongTextCol"), QVariant("New line\r\nin field"));
    EXPECT_EQ(t.value(r, "ShortTextCol"), QVariant("No new line"));
}

TEST(JetStream, DecodesCompressedUnicodeAndCodePages)
{
    // "Aб" compressed: A as one byte, then a switch to two-byte characters for б (U+0431).
    EXPECT_EQ(jetstream::DecodeText(QByteArray::fromHex("fffe41003104"), 1, nullptr), QStringLiteral("Aб"));
    EXPECT_EQ(jetstream::DecodeText(QByteArray::fromHex("41003104"), 1, nullptr), QStringLiteral("Aб"));
    // A lone byte at the end of the two-byte part is no character (and no endless loop).
    EXPECT_EQ(jetstream::DecodeText(QByteArray::fromHex("fffe410031"), 1, nullptr), QStringLiteral("A"));
    EXPECT_EQ(jetstream::DecodeText(QByteArray::fromHex("c2eeeff0eef1"), 0, jetstream::CodecForCodePage(1251)),
              QStringLiteral("Вопрос"));
    EXPECT_EQ(jetstream::DecodeText(QByteArray::fromHex("e4"), 0, jetstream::CodecForCodePage(0)), QStringLiteral("ä"));
}

TEST(JetStream, DatesKeepTheirTimeBeforeTheEpoch)
{
    EXPECT_EQ(jetstream::DateFromDays(0.0), QVariant(at(1899, 12, 30)));
    EXPECT_EQ(jetstream::DateFromDays(-1.25), QVariant(at(1899, 12, 29, 6)));
    EXPECT_EQ(jetstream::DateFromDays(36526.5), QVariant(at(2000, 1, 1, 12)));
    EXPECT_EQ(jetstream::DateFromDays(2958465.0), QVariant(at(9999, 12, 31)));
    EXPECT_FALSE(jetstream::DateFromDays(1e300).isValid());
    EXPECT_FALSE(jetstream::DateFromDays(std::nan("")).isValid());
}

TEST(JetStream, RejectsStreamsThatBreakTheGrammar)
{
    const struct
    {
        const char* name;
        const char* hex;
    } cases[] = {
        {"no header", "4e00000000"},
        {"two headers", "4800e404"
                        "4800e404"},
        {"row before columns", "4800e404"
                               "52"},
        {"zero columns", "4800e404"
                         "430000"},
        {"bool tag in a text column", "4800e404"
                                      "430100"
                                      "01000000"
                                      "41"
                                      "0a"
                                      "3200"
                                      "5201"},
        {"bytes in a bool column", "4800e404"
                                   "430100"
                                   "01000000"
                                   "41"
                                   "01"
                                   "0000"
                                   "5203"
                                   "00000000"},
        {"value longer than the file", "4800e404"
                                       "430100"
                                       "01000000"
                                       "41"
                                       "0a"
                                       "3200"
                                       "5203"
                                       "ffffff7f"},
        {"unknown tag", "4800e404"
                        "430100"
                        "01000000"
                        "41"
                        "0a"
                        "3200"
                        "5209"},
        {"fewer rows than recorded", "4800e404"
                                     "430100"
                                     "01000000"
                                     "41"
                                     "0a"
                                     "3200"
                                     "5200"
                                     "4502000000"},
        {"unknown frame", "4800e404"
                          "5a"},
        {"name too long", "4800e404"
                          "4e01000000"
                          "ffff0000"},
    };
    for (const auto& c : cases) {
        jetstream::Decoder d(1000);
        const QByteArray bytes = QByteArray::fromHex(c.hex);
        EXPECT_THROW(d.feed(bytes.constData(), bytes.size()), AppError) << c.name;
    }
}

TEST(JetStream, DecodesATableFedByteByByte)
{
    const QByteArray bytes = QByteArray::fromHex("4800e404"
                                                 "430200"
                                                 "01000000"
                                                 "41"
                                                 "04"
                                                 "0400"
                                                 "01000000"
                                                 "42"
                                                 "01"
                                                 "0000"
                                                 "5203"
                                                 "04000000"
                                                 "2a000000"
                                                 "02"
                                                 "5200"
                                                 "01"
                                                 "4502000000");
    jetstream::Decoder d(1000);
    int rows = 0;
    QList<QByteArray> first;
    d.onRow = [&](const QList<QByteArray>& raw, const QList<quint8>& tags) {
        if (rows++ == 0) {
            first = raw;
            EXPECT_EQ(tags, QList<quint8>({jetstream::TagBytes, jetstream::TagTrue}));
        }
    };
    for (char b : bytes)
        d.feed(&b, 1);
    EXPECT_TRUE(d.finished());
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(first.value(0), QByteArray::fromHex("2a000000"));
}

TEST(JetReader, RefusesFilesThatAreNoJetDatabase)
{
    const QByteArray good = fileBytes(nwind());
    QRandomGenerator random(7);
    QByteArray noise(64 * 1024, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    const struct
    {
        const char* name;
        QByteArray bytes;
        const char* reason;
    } cases[] = {
        {"empty.mdb", {}, "не является базой данных Jet"},
        {"random.mdb", noise, "не является базой данных Jet"},
        {"sqlite.mdb", QByteArray("SQLite format 3\0", 16) + noise, "не является базой данных Jet"},
        {"cut.mdb", good.left(1000 * 1000), "не кратен странице"},
        {"header.mdb", good.left(2048), "не кратен странице"},
        {"future.mdb", good.left(20) + char(0x7f) + good.mid(21), "неизвестная версия"},
    };
    for (const auto& c : cases) {
        const QString path = writeFile(c.name, c.bytes);
        try {
            JetReader reader(path);
            ADD_FAILURE() << c.name << " was read";
        } catch (const AppError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.reason)))
                << c.name << ": " << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(path)) << c.name;
        }
    }
    EXPECT_THROW(JetReader(testPath("missing.mdb")), AppError);
}

TEST(JetReader, ATruncatedFileGivesAnErrorNotAPartialTable)
{
    // Cut on a page boundary: the header and catalogue survive, the data pages of later tables do not.
    const QByteArray good = fileBytes(nwind());
    const QString path = writeFile("cut.mdb", good.left(good.size() / 2 / 2048 * 2048));
    const JetReader reader(path);
    int failed = 0;
    for (const QString& t : reader.tableNames()) {
        try {
            const Table table = reader.readTable(t);
            // Whatever is given back whole must have the recorded row count.
            const JetReader whole(nwind());
            EXPECT_EQ(table.rowCount(), whole.readTable(t).rowCount()) << t.toStdString();
        } catch (const AppError& e) {
            EXPECT_TRUE(e.message().contains(t)) << e.message().toStdString();
            ++failed;
        }
    }
    EXPECT_GT(failed, 0);
}

TEST(JetReader, DamagedPagesNeverCrashTheReader)
{
    // Random bytes behind a genuine header, and genuine files with pages overwritten at random:
    // each read ends in rows or an AppError, and the program goes on.
    const QByteArray good = fileBytes(nwind());
    QRandomGenerator random(12345);
    int errors = 0;
    int attempts = 0;
    for (int round = 0; round < 6; ++round) {
        QByteArray bytes = good;
        if (round == 0) {
            random.fillRange(reinterpret_cast<quint32*>(bytes.data() + 2048), (bytes.size() - 2048) / 4);
        } else {
            for (int k = 0; k < 40; ++k) {
                const int at = 2048 + int(random.bounded(bytes.size() - 2048 - 16));
                for (int i = 0; i < 16; ++i)
                    bytes[at + i] = char(random.bounded(256));
            }
        }
        const QString path = writeFile(QStringLiteral("damaged%1.mdb").arg(round), bytes);
        ++attempts;
        try {
            readEverything(path);
        } catch (const AppError& e) {
            EXPECT_FALSE(e.message().isEmpty());
            ++errors;
        }
    }
    EXPECT_GT(errors, 0) << "of " << attempts;
}
