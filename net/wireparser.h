#pragma once

#include "protocol.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace Protocol {

// Taking fields by the receiver's rules: a field is the text before the next NUL, or the whole
// remaining text when there is none; taking it removes it together with its NUL.
class FieldReader
{
public:
    explicit FieldReader(QByteArrayView text) : m_rest(text) {}
    QByteArrayView take();
    QByteArrayView rest() const { return m_rest; }

private:
    QByteArrayView m_rest;
};

// True when the first field (the text before the first NUL, or all of it) equals head.
bool firstFieldIs(QByteArrayView message, QByteArrayView head);

// What one side makes of one message, in its dispatch order.
template <typename MessageType> struct Dispatched
{
    enum class Status
    {
        Message,
        Ignored,
        Refused
    };
    Status status = Status::Ignored;
    MessageType message;
    QString problem; // Refused: why, for the log
};

Dispatched<StudentMessage> dispatchOnServer(QByteArrayView message);
// The question-set head and its bytes are the receiver's business; everything else is here.
Dispatched<ServerMessage> dispatchOnStudent(QByteArrayView message);

// Cuts a byte stream into messages by the message grammar of the sending side. Each call to
// feed() is one read of the socket. A message whose end the grammar tells is cut there, however
// the reads split or merge it; a message whose last field runs on ends with the read.
class MessageFramer
{
public:
    enum class Sender
    {
        Student,
        Server
    };
    explicit MessageFramer(Sender sender);

    struct Piece
    {
        QByteArray bytes;
        bool tooLong = false; // the message outgrew MaxMessageBytes without an end; bytes is empty
    };
    // Appends the read and returns the messages it completes; a message not yet ended is kept.
    // Stops after a "QuestionList" head so that the caller can take the raw bytes that follow:
    // *rest then holds the bytes of this read after the head. A read that begins with a head of
    // the grammar first gives out the held bytes as a message of their own.
    QList<Piece> feed(QByteArrayView read, QByteArray* rest = nullptr);
    // True when bytes begin with a message head of the sender's grammar (a whole command, or a
    // head with its NUL).
    bool startsWithHead(QByteArrayView bytes) const;
    // The held bytes of a message whose end has not come, given out as a message of their own:
    // no message is held longer than the wait that the connection allows it.
    std::optional<Piece> takeHeld();
    QByteArray heldBytes() const { return m_held; }
    qsizetype heldByteCount() const { return m_held.size(); }
    void clear();

private:
    qsizetype cut(QByteArrayView buffer, qsizetype heldEnd, QList<Piece>& pieces, QByteArray* rest);

    Sender m_sender;
    QByteArray m_held;           // bytes of earlier reads that begin a message not yet ended
    qsizetype m_heldScanned = 0; // of m_held, bytes already counted for NULs (past the head)
    int m_heldNuls = 0;
};

// The server's side of one connection.
class ServerReceiver
{
public:
    struct Event
    {
        enum class Type
        {
            Message,
            Ignored,
            Refused
        };
        Type type = Type::Ignored;
        StudentMessage message;
        QByteArray bytes;
        QString problem; // Refused: the log text
    };
    // The server logs every read whole with LogIn before it looks at it.
    static QString readLogText(QByteArrayView read);
    QList<Event> feed(QByteArrayView read);
    // Bytes of a message begun but not yet ended.
    QByteArray pendingBytes() const { return m_framer.heldBytes(); }
    qsizetype heldByteCount() const { return m_framer.heldByteCount(); }
    // The held bytes, given out as a message of their own when their end is overdue.
    QList<Event> flushHeld();

private:
    static Event take(MessageFramer::Piece& piece);

    MessageFramer m_framer{MessageFramer::Sender::Student};
};

// The student's side of one connection, with the question-set collection.
class StudentReceiver
{
public:
    struct Event
    {
        enum class Type
        {
            Message,             // dispatched message
            Ignored,             // a message that no dispatch step takes
            Refused,             // dropped with a log line (problem)
            QuestionSetHead,     // receiving started; byteCount announced
            QuestionSetComplete, // bytes holds exactly the announced count
            QuestionSetRefused,  // the head's byte count is refused (problem); answer "!ReceivingError"
        };
        Type type = Type::Ignored;
        ServerMessage message;
        QByteArray bytes;
        qint64 byteCount = 0;
        QString problem;
        std::optional<QString> logText; // what the student logs with LogIn, if anything
    };
    QList<Event> feed(QByteArrayView read);
    qsizetype heldByteCount() const { return m_framer.heldByteCount(); }
    // The held bytes, given out as a message of their own when their end is overdue.
    QList<Event> flushHeld();

    bool receivingQuestionSet() const { return m_receiving; }
    qint64 announcedByteCount() const { return m_byteCount; }
    qint64 receivedByteCount() const { return m_buffer.size(); }
    // True while the bytes of a set that is not taken (refused, or its wait ran out) are dropped:
    // until a read begins with a message of the server.
    bool droppingSetRest() const { return m_droppingSetRest; }
    // Ends receiving without a set (the wait for the set ran out, or taking it in failed). What
    // still comes of the set is dropped.
    void abortQuestionSet();

private:
    void endReceiving();
    void takeSetBytes(QByteArrayView bytes, QList<Event>& events);
    void take(MessageFramer::Piece& piece, QList<Event>& events);

    MessageFramer m_framer{MessageFramer::Sender::Server};
    bool m_receiving = false;
    qint64 m_byteCount = 0;
    QByteArray m_buffer;
    bool m_droppingSetRest = false;
    bool m_setRestLogged = false; // one log line per dropped rest
};

} // namespace Protocol
