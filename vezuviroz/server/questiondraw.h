#pragma once

#include "table.h"

#include <QList>
#include <QString>
#include <random>

// Drawing one computer's question set from the open topic's question table, in memory: the bank's
// rows are never marked, so a draw costs no writes and other programs never see half a draw.
namespace QuestionDraw {

// The work folder's file names: the set is written as this ADTG file and packed alone.
inline constexpr char AdtgFileName[] = "QuestionList.ADTG";
inline constexpr char ArchiveBaseName[] = "QuestionList";
inline constexpr char ArchiveExtension[] = ".cmpr";

// count rows of rowCount (all of them when count is larger): at random without repeats, each row
// equally likely; otherwise the first rows in the table's order.
QList<int> PickRows(int rowCount, int count, bool random, std::mt19937& rng);

// The rows in the order the bank gives questions marked for a set: key (QueID) order.
QList<int> InKeyOrder(const Table& topic, QList<int> rows);
// Those rows with every column, in key order.
Table SetOf(const Table& topic, const QList<int>& rows);
// The QueIDs of rows of the topic, in the order given.
QList<int> QueIdsOf(const Table& topic, const QList<int>& rows);

// The QueIDs of a set, in its order.
QList<int> QueIds(const Table& set);

// Writes the set as AdtgFileName in the work folder, packs that file alone into the archive and
// deletes it again. AppError when either cannot be written; no archive is left then.
void PackSet(const Table& set, const QString& workFolder, const QString& archivePath);
// Writes archive bytes made elsewhere; AppError when the file cannot be written whole.
void WriteArchive(const QByteArray& bytes, const QString& archivePath);

} // namespace QuestionDraw
