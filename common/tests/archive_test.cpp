#include "apperror.h"
#include "archive.h"
#include "codec.h"
#include "testhome.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QtEndian>
#include <climits>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray int32(qint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, 4);
}

QByteArray zlibStream(const QByteArray& data, int level = 9)
{
    uLongf length = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(length), Qt::Uninitialized);
    const int rc = compress2(reinterpret_cast<Bytef*>(out.data()), &length,
                             reinterpret_cast<const Bytef*>(data.constData()), uLong(data.size()), level);
    EXPECT_EQ(rc, Z_OK);
    out.resize(qsizetype(length));
    return out;
}

// One entry as the layout has it, with a free hand for damaged fields.
QByteArray rawEntry(const QByteArray& name, qint32 size, const QByteArray& stream)
{
    return int32(qint32(name.size())) + name + int32(size) + stream;
}

QByteArray rawEntry(const QByteArray& name, const QByteArray& data)
{
    return rawEntry(name, qint32(data.size()), zlibStream(data));
}

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator gen(seed);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(gen.bounded(256));
    return bytes;
}

QByteArray textBytes(qsizetype size)
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < size; ++i)
        bytes += "Вопрос " + QByteArray::number(i) + ": сколько будет " + QByteArray::number(i % 17) + "?\r\n";
    bytes.truncate(size);
    return bytes;
}

QString makeDir(const QString& name)
{
    const QString path = testPath(name);
    QDir().mkpath(path);
    return path;
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Runs the unpacking and returns the error text, or an empty string when it succeeded.
QString unpackError(const QString& archive, const QString& folder)
{
    try {
        TZLibCompression().DecompressFiles(archive, folder);
    } catch (const AppError& e) {
        return e.message();
    }
    return {};
}

} // namespace

TEST(Archive, SetAndTopRoundTripByteForByte)
{
    const QString src = makeDir(QStringLiteral("src"));
    const QByteArray set = textBytes(300);
    const QByteArray top = randomBytes(20000, 1) + textBytes(20000);
    writeFile(src + "/a.set", set);
    writeFile(src + "/a.top", top);
    const QString archive = testPath(QStringLiteral("a.vst4"));
    TZLibCompression().CompressFiles({src + "/a.set", src + "/a.top"}, archive);

    const QString out = makeDir(QStringLiteral("out"));
    TZLibCompression().DecompressFiles(archive, out);
    EXPECT_EQ(filesIn(out), QStringList({QStringLiteral("a.set"), QStringLiteral("a.top")}));
    EXPECT_EQ(readFile(out + "/a.set"), set);
    EXPECT_EQ(readFile(out + "/a.top"), top);

    const QList<TZLibEntry> entries = TZLibCompression().ListFiles(archive);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].name, QStringLiteral("a.set"));
    EXPECT_EQ(entries[0].size, 300);
    EXPECT_EQ(entries[1].name, QStringLiteral("a.top"));
    EXPECT_EQ(entries[1].size, 40000);
}

// The exact bytes: count, name length, name, size and the stream zlib itself makes at level 9
// with its default window and memory, also for data far longer than one 64 KiB piece.
TEST(Archive, LayoutIsExact)
{
    struct Case
    {
        const char* name;
        QByteArray data;
    };
    const Case cases[] = {
        {"q.ADTG", textBytes(1000)},
        {"empty", QByteArray()},
        {"mixed.bin", randomBytes(200000, 2) + textBytes(300000) + QByteArray(150000, '\0')},
    };
    for (const Case& c : cases) {
        const QString path = testPath(QString::fromLatin1(c.name));
        writeFile(path, c.data);
        const QString archive = testPath(QStringLiteral("one.cmpr"));
        TZLibCompression().CompressFile(path, archive);
        const QByteArray bytes = readFile(archive);
        EXPECT_EQ(bytes, int32(1) + rawEntry(c.name, c.data)) << c.name;
        EXPECT_TRUE(bytes.startsWith(QByteArray::fromHex("01000000"))) << c.name;
        const qsizetype streamAt = 4 + 4 + qsizetype(strlen(c.name)) + 4;
        EXPECT_EQ(bytes.mid(streamAt, 2), QByteArray::fromHex("78DA")) << c.name;
    }
}

TEST(Archive, EmptyEntryThenAnother)
{
    const QByteArray second = textBytes(5000);
    writeFile(testPath(QStringLiteral("empty.txt")), {});
    writeFile(testPath(QStringLiteral("second.txt")), second);
    const QString archive = testPath(QStringLiteral("x.cmpr"));
    TZLibCompression().CompressFiles({testPath(QStringLiteral("empty.txt")), testPath(QStringLiteral("second.txt"))},
                                     archive);
    const QString out = makeDir(QStringLiteral("out"));
    TZLibCompression().DecompressFiles(archive, out);
    EXPECT_TRUE(QFile::exists(out + "/empty.txt"));
    EXPECT_EQ(QFileInfo(out + "/empty.txt").size(), 0);
    EXPECT_EQ(readFile(out + "/second.txt"), second);
}

// Many entries after a big one: each header must be found right after the previous stream even
// though the reader fetched well beyond it, and data crossing the 64 KiB pieces must survive.
TEST(Archive, ReadAheadIsGivenBackAcrossPieces)
{
    const QString src = makeDir(QStringLiteral("src"));
    QStringList files;
    QList<QByteArray> contents;
    contents << randomBytes(3 * 1024 * 1024 + 123, 3);
    for (int i = 0; i < 40; ++i)
        contents << (i % 3 == 0 ? randomBytes(i * 97, quint32(i)) : textBytes(i * 1000));
    for (qsizetype i = 0; i < contents.size(); ++i) {
        files << src + QStringLiteral("/f%1.bin").arg(i);
        writeFile(files.last(), contents[i]);
    }
    const QString archive = testPath(QStringLiteral("many.cmpr"));
    TZLibCompression().CompressFiles(files, archive);

    const QList<TZLibEntry> entries = TZLibCompression().ListFiles(archive);
    ASSERT_EQ(entries.size(), contents.size());
    for (qsizetype i = 0; i < contents.size(); ++i)
        EXPECT_EQ(entries[i].size, contents[i].size()) << i;

    const QString out = makeDir(QStringLiteral("out"));
    TZLibCompression().DecompressFiles(archive, out);
    for (qsizetype i = 0; i < contents.size(); ++i)
        EXPECT_TRUE(readFile(out + QStringLiteral("/f%1.bin").arg(i)) == contents[i]) << i;
}

TEST(Archive, StoresBareNames)
{
    struct Case
    {
        QString onDisk; // relative to the test home
        QByteArray stored;
    };
    const Case cases[] = {
        {QStringLiteral("Work/Temp/x.top"), "x.top"},
        {QStringLiteral("C:\\Work\\Temp\\x.top"), "x.top"},
        {QStringLiteral("dir/D:y.set"), "y.set"},
        {QStringLiteral("Папка/Тема №1.top"), toCp1251(QStringLiteral("Тема №1.top"))},
    };
    for (const Case& c : cases) {
        const QString path = testPath(c.onDisk);
        QDir().mkpath(QFileInfo(path).path());
        writeFile(path, "data");
        const QString archive = testPath(QStringLiteral("n.cmpr"));
        TZLibCompression().CompressFile(path, archive);
        const QByteArray bytes = readFile(archive);
        EXPECT_EQ(bytes.mid(4, 4), int32(qint32(c.stored.size()))) << c.onDisk.toStdString();
        EXPECT_EQ(bytes.mid(8, c.stored.size()), c.stored) << c.onDisk.toStdString();
    }
}

TEST(Archive, CyrillicNamesInWindows1251)
{
    const QString name = QStringLiteral("Ёлки и ёжики №2.top");
    const QByteArray content = textBytes(777);
    writeFile(testPath(name), content);
    const QString archive = testPath(QStringLiteral("c.vst4"));
    TZLibCompression().CompressFile(testPath(name), archive);
    const QByteArray bytes = readFile(archive);
    const QByteArray expectedName = toCp1251(name);
    EXPECT_EQ(expectedName.size(), name.size());
    EXPECT_EQ(quint8(expectedName[0]), 0xA8); // Ё
    EXPECT_EQ(bytes.mid(4, 4), int32(qint32(expectedName.size())));
    EXPECT_EQ(bytes.mid(8, expectedName.size()), expectedName);

    const QString out = makeDir(QStringLiteral("out"));
    TZLibCompression().DecompressFiles(archive, out);
    EXPECT_EQ(filesIn(out), QStringList{name});
    EXPECT_EQ(readFile(out + "/" + name), content);
}

TEST(Archive, NothingToPackWritesNothing)
{
    const QString archive = testPath(QStringLiteral("none.cmpr"));
    TZLibCompression().CompressFiles({}, archive);
    TZLibCompression().CompressFile(QString(), archive);
    EXPECT_FALSE(QFile::exists(archive));

    // Nor does it touch an archive already there.
    writeFile(archive, "old");
    TZLibCompression().CompressFiles({}, archive);
    TZLibCompression().CompressFile(QString(), archive);
    EXPECT_EQ(readFile(archive), QByteArray("old"));
}

TEST(Archive, CountOfZeroOrLessGivesNoFiles)
{
    for (const qint32 count : {0, -1, INT_MIN}) {
        const QString archive = testPath(QStringLiteral("zero.cmpr"));
        // Whatever follows the count is not read.
        writeFile(archive, int32(count) + rawEntry("a.txt", "abc"));
        const QString out = makeDir(QStringLiteral("out"));
        EXPECT_EQ(unpackError(archive, out), QString()) << count;
        EXPECT_TRUE(filesIn(out).isEmpty()) << count;
        EXPECT_TRUE(TZLibCompression().ListFiles(archive).isEmpty()) << count;
    }
}

// Packing goes straight into the archive: no scratch file in the current directory, so a file
// of the user's that happens to be called "tmp" survives, and a read-only current directory works.
TEST(Archive, NoScratchFileInCurrentDirectory)
{
    const QString cwd = makeDir(QStringLiteral("cwd"));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(cwd));
    writeFile(cwd + "/tmp", "the user's own file");
    writeFile(testPath(QStringLiteral("a.txt")), textBytes(100000));
    TZLibCompression().CompressFile(testPath(QStringLiteral("a.txt")), testPath(QStringLiteral("a.cmpr")));
    EXPECT_EQ(readFile(cwd + "/tmp"), QByteArray("the user's own file"));
    EXPECT_EQ(filesIn(cwd), QStringList{QStringLiteral("tmp")});

    QFile::remove(cwd + "/tmp");
    QFile(cwd).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_NO_THROW(
        TZLibCompression().CompressFile(testPath(QStringLiteral("a.txt")), testPath(QStringLiteral("b.cmpr"))));
    QFile(cwd).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QDir::setCurrent(before);
    EXPECT_EQ(readFile(testPath(QStringLiteral("a.cmpr"))), readFile(testPath(QStringLiteral("b.cmpr"))));
}

// A failed packing leaves neither a partial archive nor a temporary file, and keeps the old one.
TEST(Archive, FailedPackingKeepsPreviousArchive)
{
    const QString folder = makeDir(QStringLiteral("target"));
    const QString archive = folder + "/a.vst4";
    writeFile(archive, "previous archive");
    writeFile(testPath(QStringLiteral("good.txt")), textBytes(200000));
    const QString missing = testPath(QStringLiteral("missing.txt"));
    QFile probe(missing);
    ASSERT_FALSE(probe.open(QIODevice::ReadOnly));

    try {
        TZLibCompression().CompressFiles({testPath(QStringLiteral("good.txt")), missing}, archive);
        ADD_FAILURE() << "packing a missing file succeeded";
    } catch (const AppError& e) {
        // The file system's own reason is passed on.
        EXPECT_TRUE(e.message().contains(QStringLiteral("missing.txt"))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(probe.errorString())) << e.message().toStdString();
    }
    EXPECT_EQ(readFile(archive), QByteArray("previous archive"));
    EXPECT_EQ(filesIn(folder), QStringList{QStringLiteral("a.vst4")});

    // A folder is not a file to pack either.
    EXPECT_THROW(TZLibCompression().CompressFile(folder, testPath(QStringLiteral("dir.cmpr"))), AppError);
    EXPECT_FALSE(QFile::exists(testPath(QStringLiteral("dir.cmpr"))));
    // Nor can an archive be made in a folder that does not exist.
    EXPECT_THROW(TZLibCompression().CompressFile(testPath(QStringLiteral("good.txt")), testPath("no/such/a.cmpr")),
                 AppError);
}

TEST(Archive, FilesOfTwoGigabytesOrMoreAreRefused)
{
    const QString big = testPath(QStringLiteral("big.bin"));
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(qint64(INT_MAX) + 1)); // sparse: costs no disk
    }
    const QString archive = testPath(QStringLiteral("big.cmpr"));
    try {
        TZLibCompression().CompressFile(big, archive);
        ADD_FAILURE() << "a 2 GiB file was packed";
    } catch (const AppError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("2 ГБ"))) << e.message().toStdString();
    }
    EXPECT_FALSE(QFile::exists(archive));
}

// An entry whose name would leave the target folder stops the unpacking before it is written;
// the entries before it stay, the ones after it are not reached.
TEST(Archive, UnsafeEntryNamesAreRefused)
{
    const QByteArray badNames[] = {
        "../evil.txt",
        "..",
        ".",
        "",
        "sub/evil.txt",
        "sub\\evil.txt",
        "..\\evil.txt",
        "C:evil.txt",
        "c:\\evil.txt",
        QFile::encodeName(testPath(QStringLiteral("absolute.txt"))),
        QByteArray("evil\0.txt", 9),
    };
    const QString parent = makeDir(QStringLiteral("parent"));
    for (const QByteArray& bad : badNames) {
        const QString out = parent + "/out";
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        const QString archive = testPath(QStringLiteral("bad.cmpr"));
        writeFile(archive,
                  int32(3) + rawEntry("first.txt", "one") + rawEntry(bad, "evil") + rawEntry("third.txt", "3"));
        const QString error = unpackError(archive, out);
        EXPECT_FALSE(error.isEmpty()) << bad.toStdString();
        EXPECT_EQ(filesIn(out), QStringList{QStringLiteral("first.txt")}) << bad.toStdString();
        EXPECT_EQ(filesIn(parent), QStringList()) << bad.toStdString();
        EXPECT_FALSE(QFile::exists(testPath(QStringLiteral("absolute.txt"))));
        EXPECT_THROW(TZLibCompression().ListFiles(archive), AppError) << bad.toStdString();
    }
}

// Damaged numbers in the headers end in a clear error: no crash, no endless loop, no huge
// allocation, no file created for the entry.
TEST(Archive, AbsurdHeaderNumbersAreRefused)
{
    const QByteArray good = rawEntry("a.txt", "abc");
    const QByteArray stream = zlibStream("abc");
    struct Case
    {
        const char* what;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"huge count", int32(INT_MAX) + good},
        {"count beyond the file", int32(2) + good},
        {"negative name length", int32(1) + int32(-5) + "a.txt" + int32(3) + stream},
        {"huge name length", int32(1) + int32(INT_MAX) + "a.txt" + int32(3) + stream},
        {"name length beyond the file", int32(1) + int32(900) + "a.txt" + int32(3) + stream},
        {"negative size", int32(1) + rawEntry("a.txt", -1, stream)},
        {"smallest negative size", int32(1) + rawEntry("a.txt", INT_MIN, stream)},
        {"size no stream this short can give", int32(1) + rawEntry("a.txt", INT_MAX, stream)},
        {"count cut short", QByteArray("\x01\x00", 2)},
        {"size cut short", int32(1) + int32(5) + "a.txt" + "\x03"},
    };
    for (const Case& c : cases) {
        const QString archive = testPath(QStringLiteral("absurd.cmpr"));
        writeFile(archive, c.bytes);
        const QString out = makeDir(QStringLiteral("out"));
        const QString error = unpackError(archive, out);
        EXPECT_TRUE(error.contains(QStringLiteral("повреждён"))) << c.what << ": " << error.toStdString();
        EXPECT_TRUE(filesIn(out).isEmpty()) << c.what;
    }
}

// The stream must give exactly the announced size: fewer or more bytes is damage, and the
// mismatched entry leaves no file behind.
TEST(Archive, StreamMustMatchSize)
{
    struct Case
    {
        const char* what;
        qint32 size;
        QByteArray data;
    };
    const Case cases[] = {
        {"stream shorter than size", 11, "0123456789"},
        {"stream longer than size", 9, "0123456789"},
        {"nonempty stream for size 0", 0, "x"},
        {"empty stream for size 1", 1, ""},
        {"long stream, short size", 70000, textBytes(70001)},
    };
    for (const Case& c : cases) {
        const QString archive = testPath(QStringLiteral("size.cmpr"));
        writeFile(archive, int32(2) + rawEntry("before.txt", "kept") + rawEntry("bad.txt", c.size, zlibStream(c.data)));
        const QString out = makeDir(QStringLiteral("out"));
        QFile::remove(out + "/before.txt");
        const QString error = unpackError(archive, out);
        EXPECT_TRUE(error.contains(QStringLiteral("bad.txt"))) << c.what << ": " << error.toStdString();
        EXPECT_EQ(filesIn(out), QStringList{QStringLiteral("before.txt")}) << c.what;
        EXPECT_EQ(readFile(out + "/before.txt"), QByteArray("kept")) << c.what;
        EXPECT_THROW(TZLibCompression().ListFiles(archive), AppError) << c.what;
    }
}

// Every truncation of a valid archive is an error; the files complete before the cut stay.
TEST(Archive, EveryTruncationIsAnError)
{
    const QByteArray first = textBytes(400);
    const QByteArray archiveBytes =
        int32(3) + rawEntry("one.txt", first) + rawEntry("two.bin", randomBytes(100, 9)) + rawEntry("three", "");
    const qsizetype firstEnd = 4 + rawEntry("one.txt", first).size();
    const QString archive = testPath(QStringLiteral("cut.cmpr"));
    const QString out = makeDir(QStringLiteral("out"));
    for (qsizetype length = 0; length < archiveBytes.size(); ++length) {
        writeFile(archive, archiveBytes.left(length));
        QFile::remove(out + "/one.txt");
        const QString error = unpackError(archive, out);
        ASSERT_FALSE(error.isEmpty()) << length;
        if (length >= firstEnd) {
            ASSERT_EQ(readFile(out + "/one.txt"), first) << length;
        }
        ASSERT_FALSE(QFile::exists(out + "/three")) << length;
    }
    writeFile(archive, archiveBytes);
    EXPECT_EQ(unpackError(archive, makeDir(QStringLiteral("whole"))), QString());
}

TEST(Archive, CorruptStreamReportsDecompressorError)
{
    const QByteArray second = randomBytes(5000, 4);
    QByteArray bytes = int32(2) + rawEntry("one.txt", "first") + rawEntry("two.bin", second);
    const qsizetype secondStream = 4 + rawEntry("one.txt", "first").size() + 4 + 7 + 4;
    struct Case
    {
        const char* what;
        qsizetype offset;
        char value;
    };
    const Case cases[] = {
        {"header", secondStream, 0x11},           // not a zlib header
        {"block type", secondStream + 2, '\xff'}, // an invalid block
        {"checksum", bytes.size() - 1, '\x00'},   // Adler-32 does not match
    };
    for (const Case& c : cases) {
        QByteArray damagedBytes = bytes;
        ASSERT_NE(damagedBytes[c.offset], c.value) << c.what;
        damagedBytes[c.offset] = c.value;
        const QString archive = testPath(QStringLiteral("bad.cmpr"));
        writeFile(archive, damagedBytes);
        const QString out = makeDir(QStringLiteral("out"));
        QFile::remove(out + "/one.txt");
        const QString error = unpackError(archive, out);
        EXPECT_TRUE(error.contains(QStringLiteral("повреждён"))) << c.what << ": " << error.toStdString();
        EXPECT_EQ(filesIn(out), QStringList{QStringLiteral("one.txt")}) << c.what;
    }
    // zlib's own words reach the message.
    QByteArray badCheck = bytes;
    badCheck[bytes.size() - 1] = char(badCheck[bytes.size() - 1] ^ 1);
    writeFile(testPath(QStringLiteral("check.cmpr")), badCheck);
    EXPECT_TRUE(unpackError(testPath(QStringLiteral("check.cmpr")), makeDir(QStringLiteral("o2")))
                    .contains(QStringLiteral("incorrect data check")));
}

TEST(Archive, UnpackingReplacesExistingFilesAndNeedsItsFolder)
{
    writeFile(testPath(QStringLiteral("a.txt")), "new content");
    const QString archive = testPath(QStringLiteral("a.cmpr"));
    TZLibCompression().CompressFile(testPath(QStringLiteral("a.txt")), archive);
    const QString out = makeDir(QStringLiteral("out"));
    writeFile(out + "/a.txt", "old content that is longer than the new one");
    TZLibCompression().DecompressFiles(archive, out);
    EXPECT_EQ(readFile(out + "/a.txt"), QByteArray("new content"));

    // A trailing separator is the same folder.
    QFile::remove(out + "/a.txt");
    TZLibCompression().DecompressFiles(archive, out + "/");
    EXPECT_EQ(readFile(out + "/a.txt"), QByteArray("new content"));

    // A folder in the way of an entry is an error, and no half-made file is left beside it.
    QFile::remove(out + "/a.txt");
    QDir().mkpath(out + "/a.txt");
    EXPECT_THROW(TZLibCompression().DecompressFiles(archive, out), AppError);
    EXPECT_TRUE(QFileInfo(out + "/a.txt").isDir());
    EXPECT_EQ(filesIn(out), QStringList());

    EXPECT_THROW(TZLibCompression().DecompressFiles(archive, testPath(QStringLiteral("missing"))), AppError);
    EXPECT_THROW(TZLibCompression().DecompressFiles(testPath(QStringLiteral("nope.cmpr")), out), AppError);
}

namespace {

struct ToolRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun runTool(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral(VASTREL_TOOL), args);
    ToolRun run;
    if (!process.waitForFinished(30000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

} // namespace

TEST(ArchiveTool, PackListUnpack)
{
    const QByteArray set = textBytes(300);
    const QByteArray top = randomBytes(40000, 5);
    const QString topName = QStringLiteral("Тема.top");
    writeFile(testPath(QStringLiteral("a.set")), set);
    writeFile(testPath(topName), top);
    const QString archive = testPath(QStringLiteral("a.vst4"));

    ToolRun run = runTool({QStringLiteral("pack"), archive, testPath(QStringLiteral("a.set")), testPath(topName)});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    // The tool writes the very archive the library writes.
    TZLibCompression().CompressFiles({testPath(QStringLiteral("a.set")), testPath(topName)}, testPath("lib.vst4"));
    EXPECT_EQ(readFile(archive), readFile(testPath(QStringLiteral("lib.vst4"))));

    run = runTool({QStringLiteral("list"), archive});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(run.out), QStringLiteral("a.set\t300\nТема.top\t40000\n"));

    const QString out = testPath(QStringLiteral("new/folder"));
    run = runTool({QStringLiteral("unpack"), archive, out});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(readFile(out + "/a.set"), set);
    EXPECT_EQ(readFile(out + "/" + topName), top);
}

TEST(ArchiveTool, FailuresExitWithOneLine)
{
    writeFile(testPath(QStringLiteral("cut.cmpr")), int32(1) + rawEntry("a.txt", textBytes(1000)).left(30));
    const QStringList cases[] = {
        {QStringLiteral("pack"), testPath(QStringLiteral("x.cmpr")), testPath(QStringLiteral("missing.txt"))},
        {QStringLiteral("unpack"), testPath(QStringLiteral("cut.cmpr")), testPath(QStringLiteral("out"))},
        {QStringLiteral("list"), testPath(QStringLiteral("cut.cmpr"))},
        {QStringLiteral("list"), testPath(QStringLiteral("missing.cmpr"))},
        {QStringLiteral("pack"), testPath(QStringLiteral("x.cmpr"))},
    };
    for (const QStringList& args : cases) {
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    }
    EXPECT_FALSE(QFile::exists(testPath(QStringLiteral("x.cmpr"))));
    EXPECT_FALSE(QFile::exists(testPath(QStringLiteral("out/a.txt"))));
}
