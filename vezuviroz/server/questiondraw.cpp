#include "questiondraw.h"

#include "adtg.h"
#include "archive.h"

#include <QDir>
#include <QFile>
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

Table SetOf(const Table& topic, const QList<int>& rows)
{
    const int key = topic.columnIndex(QStringLiteral("QueID"));
    QList<int> ordered = rows;
    if (key >= 0)
        std::stable_sort(ordered.begin(), ordered.end(), [&](int a, int b) {
            return topic.value(a, key).toLongLong() < topic.value(b, key).toLongLong();
        });
    Table set(topic.columns());
    for (int r : ordered)
        set.appendRow(topic.row(r));
    return set;
}

QList<int> QueIds(const Table& set)
{
    QList<int> ids;
    const int key = set.columnIndex(QStringLiteral("QueID"));
    if (key < 0)
        return ids;
    for (int r = 0; r < set.rowCount(); ++r)
        ids.append(set.value(r, key).toInt());
    return ids;
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
