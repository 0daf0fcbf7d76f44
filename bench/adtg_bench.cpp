// Writing and reading a question set of 2,000 questions with 50 KiB pictures as an ADTG table file,
// each against copying a file of the same size file to file (1 MiB reads and writes) in the same run.
// A ratio is copy time / our time: 1 means as fast as the copy, 0.5 twice as slow.
#include "adtg.h"
#include "benchquestions.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int Questions = 2000;
constexpr int PictureBytes = 50 * 1024;
constexpr int Rounds = 5;
constexpr qint64 CopyChunk = 1 << 20;

void copyFile(const QString& from, const QString& to)
{
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot open files for the copy");
    QByteArray buffer(CopyChunk, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), CopyChunk);
        if (n <= 0)
            break;
        if (out.write(buffer.constData(), n) != n)
            qFatal("copy failed");
    }
}

// The best of Rounds runs, in milliseconds; prepare runs untimed before each.
double bestMs(
    const std::function<void()>& work, const std::function<void()>& prepare = [] {})
{
    double best = 1e300;
    for (int i = 0; i < Rounds; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString table = dir.filePath(QStringLiteral("QuestionList.ADTG"));
    const QString copy = dir.filePath(QStringLiteral("copy.bin"));

    const Table questions = BenchQuestionSet(Questions, PictureBytes, false);
    WriteAdtgFile(questions, table);
    const qint64 bytes = QFile(table).size();

    // Both writers make a new file each round: replacing a file the previous round has just written
    // waits for the file system to write back and free the old one, which measures the disk rather
    // than the writer, and only the copy's first round would be spared it.
    const double copyMs = bestMs([&] { copyFile(table, copy); }, [&] { QFile::remove(copy); });
    const double writeMs = bestMs([&] { WriteAdtgFile(questions, table); }, [&] { QFile::remove(table); });
    // Not a target, shown to tell costs apart: reading the file into new memory, which the reader must
    // also fill (100 MB of pictures), costs page faults that the copy's reused buffer does not.
    qint64 loaded = 0;
    const double loadMs = bestMs([&] {
        QFile f(table);
        f.open(QIODevice::ReadOnly);
        loaded = f.readAll().size();
    });
    if (loaded != bytes)
        qFatal("read %lld bytes instead of %lld", static_cast<long long>(loaded), static_cast<long long>(bytes));
    int rows = 0;
    const double readMs = bestMs([&] { rows = ReadAdtgFile(table).rowCount(); });
    if (rows != Questions)
        qFatal("read %d rows instead of %d", rows, Questions);

    std::printf("table of %d questions with %d KiB pictures: %lld bytes\n", Questions, PictureBytes / 1024,
                static_cast<long long>(bytes));
    std::printf("copy file to file (baseline): %8.1f ms\n", copyMs);
    std::printf("WriteAdtgFile:               %8.1f ms   ratio %.2f (target >= 0.5)\n", writeMs, copyMs / writeMs);
    std::printf("file into new memory (info):  %8.1f ms   ratio %.2f\n", loadMs, copyMs / loadMs);
    std::printf("ReadAdtgFile:                %8.1f ms   ratio %.2f (target >= 0.5)\n", readMs, copyMs / readMs);
    return 0;
}
