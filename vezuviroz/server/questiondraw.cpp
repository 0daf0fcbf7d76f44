#include "questiondraw.h"

#include "adtg.h"
#include "apperror.h"
#include "archive.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <numeric>

namespace QuestionDraw {

QList<int> PickRows(int rowCount, int count, bool random, std::mt19937& rng)
{
    count = std::clamp(count, 0, rowCount);
    QList<int> rows(rowCount);
    std::iota(rows.begin(), rows.end(), 0);
    if (random) {
        // the first count places of a Fisher-Yates shuffle: a uniform draw without repeats
        for (int i = 0; i < count; ++i) {
            std::uniform_int_distribution<int> pick(i, rowCount - 1);
            std::swap(rows[i], rows[pick(rng)]);
        }
    }
    rows.resize(count);
    return rows;
}

QList<int> InKeyOrder(const Table& topic, QList<int> rows)
{
    const int key = topic.columnIndex(QStringLiteral("QueID"));
    if (key >= 0)
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
            return topic.value(a, key).toLongLong() < topic.value(b, key).toLongLong();
        });
    return rows;
}

Table SetOf(const Table& topic, const QList<int>& rows)
{
    Table set(topic.columns());
    for (int r : InKeyOrder(topic, rows))
        set.appendRow(topic.row(r));
    return set;
}

QList<int> QueIdsOf(const Table& topic, const QList<int>& rows)
{
    QList<int> ids;
    const int key = topic.columnIndex(QStringLiteral("QueID"));
    for (int r : rows)
        ids.append(key >= 0 ? topic.value(r, key).toInt() : 0);
    return ids;
}

QList<int> QueIds(const Table& set)
{
    QList<int> rows(set.rowCount());
    std::iota(rows.begin(), rows.end(), 0);
    return QueIdsOf(set, rows);
}

void PackSet(const Table& set, const QString& workFolder, const QString& archivePath)
{
    const QString adtg = QDir(workFolder).filePath(QLatin1String(AdtgFileName));
    try {
        WriteAdtgFile(set, adtg);
        TZLibCompression().CompressFile(adtg, archivePath);
    } catch (...) {
        QFile::remove(adtg);
        throw;
    }
    QFile::remove(adtg);
}

} // namespace QuestionDraw

namespace QuestionDraw {

void WriteArchive(const QByteArray& bytes, const QString& archivePath)
{
    QSaveFile file(archivePath);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw AppError(QStringLiteral("Не удалось записать файл \"%1\": %2").arg(archivePath, file.errorString()));
}

} // namespace QuestionDraw
