// Packing and unpacking speed of TZLibCompression against plain zlib on the same bytes, and the
// peak memory of `vastrel pack` / `vastrel unpack` on a small and a large file.
//
// Baselines, measured in this run on the same file:
//   - zlib file loop: the shortest correct program doing the same job with zlib alone (read 64 KiB,
//     deflate level 9 or inflate, write), file to file, like the archive itself;
//   - zlib in memory: the whole input already in memory, output thrown away (no file work at all).
// Big files are made in the current directory and deleted at the end.
#include "archive.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

static constexpr qint64 MiB = 1024 * 1024;
static constexpr qint64 SpeedFileSize = 256 * MiB;
static constexpr qint64 SmallFileSize = 1 * MiB;
static constexpr qint64 LargeFileSize = 1024 * MiB;
static constexpr qsizetype Piece = 64 * 1024;
static constexpr int PackRepeats = 2;
static constexpr int UnpackRepeats = 4;

struct Rng
{
    quint64 state;
    quint64 next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
};

// Blocks of 64 KiB: mostly text-like word runs in Windows-1251, some random, some long runs.
void makeMixedFile(const QString& path, qint64 size)
{
    Rng rng{0x9E3779B97F4A7C15ull};
    std::vector<QByteArray> words;
    for (int i = 0; i < 3000; ++i) {
        QByteArray w;
        const int length = 2 + int(rng.next() % 9);
        for (int j = 0; j < length; ++j)
            w += char(0xE0 + rng.next() % 32); // lower-case Cyrillic in Windows-1251
        words.push_back(w);
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(path));
        std::exit(2);
    }
    QByteArray block(Piece, Qt::Uninitialized);
    for (qint64 written = 0; written < size; written += Piece) {
        const quint64 kind = rng.next() % 100;
        if (kind < 60) {
            qsizetype at = 0;
            while (at < Piece) {
                const QByteArray& w = words[rng.next() % words.size()];
                const qsizetype take = std::min(w.size(), Piece - at);
                std::memcpy(block.data() + at, w.constData(), size_t(take));
                at += take;
                if (at < Piece)
                    block[at++] = (rng.next() % 12 == 0) ? '\n' : ' ';
            }
        } else if (kind < 85) {
            for (qsizetype i = 0; i < Piece; i += 8) {
                const quint64 r = rng.next();
                std::memcpy(block.data() + i, &r, 8);
            }
        } else {
            block.fill(char(rng.next()));
        }
        f.write(block.constData(), std::min<qint64>(Piece, size - written));
    }
}

double seconds(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e9;
}

// The zlib-only file loop, file to file in 64 KiB pieces: the baseline the archive's own streaming
// is held against.
double zlibFileLoop(const QString& from, const QString& to, bool compress)
{
    QElapsedTimer timer;
    timer.start();
    QFile in(from), out(to);
    in.open(QIODevice::ReadOnly);
    out.open(QIODevice::WriteOnly);
    z_stream zs{};
    compress ? deflateInit(&zs, 9) : inflateInit(&zs);
    std::vector<char> ib(Piece), ob(Piece);
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        const qint64 got = in.read(ib.data(), Piece);
        const bool finish = got <= 0;
        if (finish && !compress)
            break;
        zs.next_in = reinterpret_cast<Bytef*>(ib.data());
        zs.avail_in = uInt(std::max<qint64>(got, 0));
        do {
            zs.next_out = reinterpret_cast<Bytef*>(ob.data());
            zs.avail_out = uInt(Piece);
            rc = compress ? deflate(&zs, finish ? Z_FINISH : Z_NO_FLUSH) : inflate(&zs, Z_NO_FLUSH);
            out.write(ob.data(), Piece - zs.avail_out);
        } while (zs.avail_out == 0 && rc == Z_OK);
    }
    compress ? deflateEnd(&zs) : inflateEnd(&zs);
    out.close();
    return seconds(timer);
}

double zlibMemoryDeflate(const QByteArray& data, QByteArray& compressed)
{
    QElapsedTimer timer;
    timer.start();
    uLongf length = compressBound(uLong(data.size()));
    compressed.resize(qsizetype(length));
    compress2(reinterpret_cast<Bytef*>(compressed.data()), &length, reinterpret_cast<const Bytef*>(data.constData()),
              uLong(data.size()), 9);
    compressed.resize(qsizetype(length));
    return seconds(timer);
}

double zlibMemoryInflate(const QByteArray& compressed, qint64 size)
{
    QElapsedTimer timer;
    timer.start();
    z_stream zs{};
    inflateInit(&zs);
    std::vector<char> ob(Piece);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.constData()));
    zs.avail_in = uInt(compressed.size());
    qint64 total = 0;
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef*>(ob.data());
        zs.avail_out = uInt(Piece);
        rc = inflate(&zs, Z_NO_FLUSH);
        total += Piece - zs.avail_out;
    }
    inflateEnd(&zs);
    if (total != size)
        std::fprintf(stderr, "in-memory inflate gave %lld bytes\n", static_cast<long long>(total));
    return seconds(timer);
}

bool sameFiles(const QString& a, const QString& b)
{
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    while (!fa.atEnd())
        if (fa.read(1 << 20) != fb.read(1 << 20))
            return false;
    return true;
}

// Runs the tool and returns its peak resident memory in KiB (-1 when it failed). fork, not
// posix_spawn: a child that shares our address space until exec would inherit our peak as its own.
long peakKiB(const QString& tool, const QStringList& args)
{
    std::vector<QByteArray> storage{tool.toLocal8Bit()};
    for (const QString& a : args)
        storage.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

void printRatio(const char* what, qint64 bytes, double ours, double base, const char* baseName)
{
    const double mb = double(bytes) / double(MiB);
    std::printf("%-10s archive %7.1f MiB/s   %-16s %7.1f MiB/s   ratio %.3f\n", what, mb / ours, baseName, mb / base,
                base / ours);
}

// Runs first, while this process is still small: a forked child starts with our resident pages.
void measureMemory(const QString& tool, const QString& work, const QString& outDir)
{
    std::printf("peak memory of %s (ru_maxrss)\n", qPrintable(tool));
    long packPeak[2] = {}, unpackPeak[2] = {};
    const qint64 sizes[2] = {SmallFileSize, LargeFileSize};
    const QString file = work + QStringLiteral("/peak.bin");
    const QString archive = work + QStringLiteral("/peak.cmpr");
    for (int i = 0; i < 2; ++i) {
        makeMixedFile(file, sizes[i]);
        packPeak[i] = peakKiB(tool, {QStringLiteral("pack"), archive, file});
        unpackPeak[i] = peakKiB(tool, {QStringLiteral("unpack"), archive, outDir});
        const bool ok = sameFiles(file, outDir + QStringLiteral("/peak.bin"));
        std::printf("%6lld MiB file: pack %6ld KiB, unpack %6ld KiB, round trip %s\n",
                    static_cast<long long>(sizes[i] / MiB), packPeak[i], unpackPeak[i], ok ? "identical" : "DIFFERS");
        QFile::remove(file);
        QFile::remove(archive);
        QFile::remove(outDir + QStringLiteral("/peak.bin"));
    }
    std::printf("growth from 1 MiB to 1 GiB: pack %+ld KiB, unpack %+ld KiB (target at most 8192 KiB)\n",
                packPeak[1] - packPeak[0], unpackPeak[1] - unpackPeak[0]);
}

void measureSpeed(const QString& work, const QString& outDir)
{
    const QString input = work + QStringLiteral("/mixed.bin");
    const QString archive = work + QStringLiteral("/mixed.cmpr");
    const QString rawZ = work + QStringLiteral("/raw.z");
    const QString rawOut = work + QStringLiteral("/raw.out");
    std::printf(
        "speed: %lld MiB of mixed data (text-like runs, random blocks, byte runs), best of %d packs, %d unpacks\n",
        static_cast<long long>(SpeedFileSize / MiB), PackRepeats, UnpackRepeats);
    makeMixedFile(input, SpeedFileSize);

    double oursPack = 1e30, oursUnpack = 1e30, loopPack = 1e30, loopUnpack = 1e30;
    for (int i = 0; i < PackRepeats; ++i) {
        loopPack = std::min(loopPack, zlibFileLoop(input, rawZ, true));
        QElapsedTimer timer;
        timer.start();
        TZLibCompression().CompressFile(input, archive);
        oursPack = std::min(oursPack, seconds(timer));
    }
    for (int i = 0; i < UnpackRepeats; ++i) {
        loopUnpack = std::min(loopUnpack, zlibFileLoop(rawZ, rawOut, false));
        QElapsedTimer timer;
        timer.start();
        TZLibCompression().DecompressFiles(archive, outDir);
        oursUnpack = std::min(oursUnpack, seconds(timer));
    }
    const bool same = sameFiles(input, outDir + QStringLiteral("/mixed.bin"));
    const qint64 packed = QFileInfo(archive).size();

    QFile in(input);
    in.open(QIODevice::ReadOnly);
    const QByteArray data = in.readAll();
    in.close();
    QByteArray compressed;
    const double memPack = zlibMemoryDeflate(data, compressed);
    const double memUnpack = zlibMemoryInflate(compressed, data.size());

    std::printf("packed size %.1f MiB (%.1f%%), unpacked file identical: %s\n", double(packed) / double(MiB),
                100.0 * double(packed) / double(SpeedFileSize), same ? "yes" : "NO");
    printRatio("pack", SpeedFileSize, oursPack, loopPack, "zlib file loop");
    printRatio("unpack", SpeedFileSize, oursUnpack, loopUnpack, "zlib file loop");
    printRatio("pack", SpeedFileSize, oursPack, memPack, "zlib in memory");
    printRatio("unpack", SpeedFileSize, oursUnpack, memUnpack, "zlib in memory");
    for (const QString& path : {input, archive, rawZ, rawOut, outDir + QStringLiteral("/mixed.bin")})
        QFile::remove(path);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/vastrel");
    const QString work = QDir::currentPath();
    const QString outDir = work + QStringLiteral("/out");
    QDir().mkpath(outDir);
    measureMemory(tool, work, outDir);
    measureSpeed(work, outDir);
    QDir(outDir).removeRecursively();
    return 0;
}
