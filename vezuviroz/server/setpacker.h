#pragma once

#include "table.h"

#include <QByteArray>
#include <QHash>
#include <QList>

// Packs many question sets drawn from one topic table without compressing the same question
// again for every computer. A set's TableGram is its head, the bytes of each row and an end
// mark; each row's bytes are compressed once, as a piece of a zlib stream ended on a byte
// boundary, and a set's stream is its pieces joined, with the checksum combined from theirs.
// The first set of each size is checked against its TableGram written the usual way; where the
// pieces do not make it up exactly, pack() gives nothing and the caller packs the usual way.
class SetPacker
{
public:
    explicit SetPacker(const Table& topic);

    // The archive bytes (one entry, "QuestionList.ADTG") of the set whose rows are these rows of
    // the topic table, in this order; empty when this way cannot make it.
    QByteArray pack(const QList<int>& topicRows);

private:
    struct Piece
    {
        QByteArray raw;
        QByteArray deflated; // raw deflate, ended by a sync flush
        quint32 adler = 1;
        qint64 length = 0;
    };
    struct Frame
    {
        Piece head;
        Piece end;
    };
    static Piece compress(QByteArrayView bytes);
    bool measureFrame(const QList<int>& topicRows);
    const Piece* rowPiece(int topicRow);

    const Table& m_topic;
    qsizetype m_headLength = -1; // of a TableGram, before its first row
    qsizetype m_endLength = -1;  // after its last row
    QHash<int, Piece> m_rows;
    QHash<qsizetype, Frame> m_frames; // by the number of rows of a set
};
