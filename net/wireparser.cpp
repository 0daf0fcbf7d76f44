// Wire grammar of the command protocol (Windows-1251 text, NUL = 0x00, list = { line CR LF }).
//
// student -> server                          server -> student
//   "Iam" NUL int NUL text NUL                 "!SetPorts" NUL int NUL int*
//   "!GetQuestions"                            "!AllowRequest" NUL int NUL int NUL text*
//   "Rout" NUL int NUL list NUL                "!DenyRequest"
//   "Report" NUL list NUL                      "!Ready" NUL int NUL
//   "TotalReport" NUL list NUL                 "SettingsList" NUL list NUL
//   "FinishReport" NUL list NUL                "QuestionList" NUL int NUL <int raw bytes>
//   "!CriteriaNeeded" NUL                      "YourPrePointsAre" NUL text NUL text NUL list*
//   "!NOOP ECHO" | "!NOOP" | "!ReceivingError" "YourFinalPointsAre" NUL int*
//                                              "!CriteriaListIs" NUL list*
//                                              "!NextStudent" | "!CloseClient" | "!NOOP"
//                                              "!NeedRoute" | "!WhoAreYou"
// int = ["-"] digit { digit }.  Messages carry no length of their own. A form that ends in NUL or
// is a fixed text ends there; a form marked * has a last field that runs to the end of the read
// that brought it, unless after a whole int or list the read goes on with a form's head. Bytes
// that begin no form are one unknown message up to the end of their read.

#include "wireparser.h"

#include "codec.h"

#include <cstring>
#include <span>

namespace Protocol {

namespace {

constexpr char Nul = '\0';

QString text(QByteArrayView bytes)
{
    return fromCp1251(bytes.data(), bytes.size());
}

QString notDecimal(const char* head, const char* field, QByteArrayView value)
{
    return QStringLiteral("Message \"%1\" dropped: %2 \"%3\" is not a decimal number")
        .arg(QLatin1StringView(head), QLatin1StringView(field), text(value.first(qMin<qsizetype>(value.size(), 40))));
}

// The value of "name=value" in a list, by name as such lists are read (first line, any letter case).
std::optional<QString> valueOf(const QStringList& lines, const QString& name)
{
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0 && line.first(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return std::nullopt;
}

bool isPort(int value)
{
    static constexpr int MaxPort = 65535;
    return value > 0 && value <= MaxPort;
}

} // namespace

QByteArrayView FieldReader::take()
{
    const qsizetype nul = m_rest.indexOf(Nul);
    if (nul < 0) {
        const QByteArrayView field = m_rest;
        m_rest = {};
        return field;
    }
    const QByteArrayView field = m_rest.first(nul);
    m_rest = m_rest.sliced(nul + 1);
    return field;
}

bool firstFieldIs(QByteArrayView message, QByteArrayView head)
{
    return message.startsWith(head) && (message.size() == head.size() || message[head.size()] == Nul);
}

Dispatched<StudentMessage> dispatchOnServer(QByteArrayView m)
{
    using Kind = StudentMessage::Kind;
    using Status = Dispatched<StudentMessage>::Status;
    Dispatched<StudentMessage> d;
    d.status = Status::Message;
    StudentMessage& msg = d.message;
    auto refuse = [&d](QString problem) {
        d.status = Status::Refused;
        d.problem = std::move(problem);
        return d;
    };

    if (firstFieldIs(m, Head::Iam)) {
        FieldReader r(m);
        r.take();
        const QByteArrayView topic = r.take();
        const std::optional<int> topicId = parseInt(topic);
        if (!topicId)
            return refuse(notDecimal(Head::Iam, "topic id", topic));
        msg.kind = Kind::Iam;
        msg.topicId = *topicId;
        msg.hostName = text(r.take());
        return d;
    }
    if (m == Head::GetQuestions) {
        msg.kind = Kind::GetQuestions;
        return d;
    }
    if (m == Head::NoopEcho) {
        msg.kind = Kind::NoopEcho;
        return d;
    }
    if (firstFieldIs(m, Head::Rout)) {
        FieldReader r(m);
        r.take();
        const QByteArrayView price = r.take();
        const std::optional<int> priceSum = parseInt(price);
        if (!priceSum)
            return refuse(notDecimal(Head::Rout, "price sum", price));
        msg.kind = Kind::Rout;
        msg.priceSum = *priceSum;
        msg.lines = splitLines(r.rest());
        return d;
    }
    if (firstFieldIs(m, Head::Report)) {
        FieldReader r(m);
        r.take();
        const QStringList lines = splitLines(r.rest());
        int numbers[3] = {};
        const char* names[3] = {"QueID", "ShownCount", "TimeRemain"};
        for (int i = 0; i < 3; ++i) {
            const QByteArray value = valueOf(lines, QLatin1StringView(names[i])).value_or(QString()).toLatin1();
            const std::optional<int> number = parseInt(value);
            if (!number)
                return refuse(notDecimal(Head::Report, names[i], value));
            numbers[i] = *number;
        }
        msg.kind = Kind::Report;
        msg.report = {numbers[0], valueOf(lines, QStringLiteral("sRslt")).value_or(QString()), numbers[1], numbers[2]};
        msg.lines = lines;
        return d;
    }
    for (const auto& [head, kind] :
         {std::pair{Head::TotalReport, Kind::TotalReport}, std::pair{Head::FinishReport, Kind::FinishReport}}) {
        if (firstFieldIs(m, head)) {
            FieldReader r(m);
            r.take();
            msg.kind = kind;
            msg.lines = splitLines(r.rest());
            return d;
        }
    }
    if (m == criteriaNeeded()) {
        msg.kind = Kind::CriteriaNeeded;
        return d;
    }
    d.status = Status::Ignored;
    return d;
}

Dispatched<ServerMessage> dispatchOnStudent(QByteArrayView m)
{
    using Kind = ServerMessage::Kind;
    using Status = Dispatched<ServerMessage>::Status;
    Dispatched<ServerMessage> d;
    d.status = Status::Message;
    ServerMessage& msg = d.message;
    auto refuse = [&d](QString problem) {
        d.status = Status::Refused;
        d.problem = std::move(problem);
        return d;
    };
    auto afterHead = [&m]() {
        FieldReader r(m);
        r.take();
        return r;
    };

    if (m == Head::WhoAreYou) {
        msg.kind = Kind::WhoAreYou;
        return d;
    }
    if (m == Head::Noop) {
        msg.kind = Kind::Noop;
        return d;
    }
    if (firstFieldIs(m, Head::AllowRequest)) {
        FieldReader r = afterHead();
        const QByteArrayView topic = r.take();
        const std::optional<int> topicId = parseInt(topic);
        if (!topicId)
            return refuse(notDecimal(Head::AllowRequest, "topic id", topic));
        const QByteArrayView flag = r.take();
        const std::optional<int> retry = parseInt(flag);
        if (!retry)
            return refuse(notDecimal(Head::AllowRequest, "retry flag", flag));
        msg.kind = Kind::AllowRequest;
        msg.topicId = *topicId;
        msg.retry = *retry != 0;
        msg.text = text(r.take());
        return d;
    }
    if (m == Head::DenyRequest) {
        msg.kind = Kind::DenyRequest;
        return d;
    }
    if (firstFieldIs(m, Head::Ready)) {
        FieldReader r = afterHead();
        const QByteArrayView topic = r.take();
        const std::optional<int> topicId = parseInt(topic);
        if (!topicId)
            return refuse(notDecimal(Head::Ready, "topic id", topic));
        msg.kind = Kind::Ready;
        msg.topicId = *topicId;
        return d;
    }
    if (firstFieldIs(m, Head::SettingsList)) {
        msg.kind = Kind::SettingsList;
        msg.lines = splitLines(afterHead().rest());
        return d;
    }
    if (firstFieldIs(m, Head::YourFinalPointsAre)) {
        msg.kind = Kind::YourFinalPointsAre;
        msg.text = text(afterHead().rest());
        return d;
    }
    if (firstFieldIs(m, Head::SetPorts)) {
        FieldReader r = afterHead();
        const QByteArrayView udpField = r.take();
        const std::optional<int> udp = parseInt(udpField);
        if (!udp || !isPort(*udp))
            return refuse(notDecimal(Head::SetPorts, "UDP port", udpField));
        const std::optional<int> tcp = parseInt(r.rest());
        if (!tcp || !isPort(*tcp))
            return refuse(notDecimal(Head::SetPorts, "TCP port", r.rest()));
        msg.kind = Kind::SetPorts;
        msg.udpPort = *udp;
        msg.tcpPort = *tcp;
        return d;
    }
    if (m == Head::NextStudent) {
        msg.kind = Kind::NextStudent;
        return d;
    }
    if (m == Head::CloseClient) {
        msg.kind = Kind::CloseClient;
        return d;
    }
    if (firstFieldIs(m, Head::CriteriaListIs)) {
        msg.kind = Kind::CriteriaListIs;
        msg.lines = splitLines(afterHead().rest());
        return d;
    }
    if (firstFieldIs(m, Head::YourPrePointsAre)) {
        FieldReader r = afterHead();
        msg.kind = Kind::YourPrePointsAre;
        msg.text = text(r.take());
        msg.percent = text(r.take());
        msg.lines = splitLines(r.rest());
        return d;
    }
    d.status = Status::Ignored;
    return d;
}

// --- framing ---

namespace {

struct Form
{
    enum End
    {
        Whole,
        AfterNuls,
        ToEnd,
        SetHead
    };
    // What the last field of a ToEnd form holds, which tells where it may end early.
    enum RunOn
    {
        Text,
        Number,
        Lines
    };
    QByteArrayView head; // for Whole: the whole text
    End end;
    int nuls = 0; // AfterNuls, ToEnd, SetHead: NULs in the message, the head's own included
    RunOn runOn = Text;
};

constexpr QByteArrayView CriteriaNeededWhole("!CriteriaNeeded\0", 16);

const Form studentForms[] = {
    {Head::Iam, Form::AfterNuls, 3},
    {Head::Rout, Form::AfterNuls, 3},
    {Head::Report, Form::AfterNuls, 2},
    {Head::TotalReport, Form::AfterNuls, 2},
    {Head::FinishReport, Form::AfterNuls, 2},
    {Head::GetQuestions, Form::Whole},
    {Head::NoopEcho, Form::Whole},
    {Head::Noop, Form::Whole},
    {Head::ReceivingError, Form::Whole},
    {CriteriaNeededWhole, Form::Whole},
};

const Form serverForms[] = {
    {Head::WhoAreYou, Form::Whole},
    {Head::Noop, Form::Whole},
    {Head::DenyRequest, Form::Whole},
    {Head::NextStudent, Form::Whole},
    {Head::CloseClient, Form::Whole},
    {Head::NeedRoute, Form::Whole},
    {Head::Ready, Form::AfterNuls, 2},
    {Head::SettingsList, Form::AfterNuls, 2},
    {Head::QuestionList, Form::SetHead, 2},
    {Head::AllowRequest, Form::ToEnd, 3, Form::Text},
    {Head::YourFinalPointsAre, Form::ToEnd, 1, Form::Number},
    {Head::SetPorts, Form::ToEnd, 2, Form::Number},
    {Head::CriteriaListIs, Form::ToEnd, 1, Form::Lines},
    {Head::YourPrePointsAre, Form::ToEnd, 3, Form::Lines},
};

// True when bytes begin with a message head of the forms: a whole command, or a head with its NUL.
bool beginsMessage(std::span<const Form> forms, QByteArrayView bytes)
{
    for (const Form& form : forms) {
        if (bytes.startsWith(form.head) &&
            (form.end == Form::Whole || (bytes.size() > form.head.size() && bytes[form.head.size()] == Nul)))
            return true;
    }
    return false;
}

// Where the run-on last field that begins at from ends: at the end of the read, unless after the
// field's own text (a number, or whole lines) the read goes on with a message of the sender's
// grammar. A sender that writes two messages at once, as the Windows programs may, is read apart
// where the field's form allows it; a text field has no form and runs to the end.
qsizetype runOnEnd(const Form& form, QByteArrayView view, qsizetype from, std::span<const Form> forms)
{
    auto messageAt = [&](qsizetype at) { return at < view.size() && beginsMessage(forms, view.sliced(at)); };
    if (form.runOn == Form::Number) {
        qsizetype at = from;
        if (at < view.size() && view[at] == '-')
            ++at;
        while (at < view.size() && view[at] >= '0' && view[at] <= '9')
            ++at;
        return messageAt(at) ? at : view.size();
    }
    if (form.runOn == Form::Lines) {
        for (qsizetype at = from; at < view.size();) {
            if (messageAt(at))
                return at;
            const qsizetype lf = view.indexOf('\n', at);
            if (lf < 0)
                break;
            at = lf + 1;
        }
    }
    return view.size();
}

// NULs already counted in a held message, so that a long message arriving in many reads is
// scanned once.
struct ScanState
{
    qsizetype scanned = 0;
    int nuls = 0;
};

struct Match
{
    enum Kind
    {
        None,
        Partial,
        Complete
    };
    Kind kind = None;
    qsizetype length = 0;
    ScanState scan;
};

Match matchForm(const Form& form, QByteArrayView view, ScanState scan, std::span<const Form> forms)
{
    Match m;
    if (form.end == Form::Whole) {
        if (view.size() >= form.head.size()) {
            if (view.startsWith(form.head)) {
                m.kind = Match::Complete;
                m.length = form.head.size();
            }
        } else if (form.head.startsWith(view)) {
            m.kind = Match::Partial;
        }
        return m;
    }
    const qsizetype headEnd = form.head.size() + 1;
    if (view.size() < headEnd) {
        if (form.head.startsWith(view))
            m.kind = Match::Partial;
        return m;
    }
    if (!view.startsWith(form.head) || view[form.head.size()] != Nul)
        return m;
    if (scan.scanned < headEnd)
        scan = {headEnd, 1};
    qsizetype pos = scan.scanned;
    int nuls = scan.nuls;
    while (nuls < form.nuls) {
        const void* found = std::memchr(view.data() + pos, 0, size_t(view.size() - pos));
        if (!found) {
            m.kind = Match::Partial;
            m.scan = {view.size(), nuls};
            return m;
        }
        pos = static_cast<const char*>(found) - view.data() + 1;
        ++nuls;
    }
    m.kind = Match::Complete;
    m.length = form.end == Form::ToEnd ? runOnEnd(form, view, pos, forms) : pos;
    return m;
}

std::span<const Form> formsOf(MessageFramer::Sender sender)
{
    return sender == MessageFramer::Sender::Student ? std::span<const Form>(studentForms)
                                                    : std::span<const Form>(serverForms);
}

} // namespace

MessageFramer::MessageFramer(Sender sender) : m_sender(sender) {}

void MessageFramer::clear()
{
    m_held.clear();
    m_heldScanned = 0;
    m_heldNuls = 0;
}

bool MessageFramer::startsWithHead(QByteArrayView bytes) const
{
    return beginsMessage(formsOf(m_sender), bytes);
}

std::optional<MessageFramer::Piece> MessageFramer::takeHeld()
{
    if (m_held.isEmpty())
        return std::nullopt;
    Piece piece{std::move(m_held), false};
    clear();
    return piece;
}

QList<MessageFramer::Piece> MessageFramer::feed(QByteArrayView read, QByteArray* rest)
{
    QList<Piece> pieces;
    if (rest)
        rest->clear();
    // A held message whose end never came must not swallow the next one: once its head is
    // complete, a read that begins a message of its own ends it. (Held bytes short of a head
    // continue: "Total" and "Report|...".)
    if (!m_held.isEmpty() && startsWithHead(m_held) && startsWithHead(read))
        pieces += *takeHeld();
    if (m_held.isEmpty()) {
        const qsizetype end = cut(read, 0, pieces, rest);
        if (end < read.size())
            m_held = read.sliced(end).toByteArray();
        return pieces;
    }
    // The read continues the held message. It is appended in place, so that a long message that
    // trickles in is neither copied whole nor scanned again on every read.
    const qsizetype heldEnd = m_held.size();
    m_held.append(read);
    QByteArray buffer;
    buffer.swap(m_held);
    const qsizetype end = cut(buffer, heldEnd, pieces, rest);
    if (end == 0)
        buffer.swap(m_held);
    else if (end < buffer.size())
        m_held = buffer.sliced(end);
    return pieces;
}

// Cuts the messages that buffer completes into pieces, from its start, where the held bytes (the
// first heldEnd) begin a message. Gives where the unfinished rest begins (buffer.size() when none);
// the caller holds the rest, m_heldScanned and m_heldNuls already say how far it was scanned.
qsizetype MessageFramer::cut(QByteArrayView buffer, qsizetype heldEnd, QList<Piece>& pieces, QByteArray* rest)
{
    const ScanState heldScan{m_heldScanned, m_heldNuls};
    m_heldScanned = 0;
    m_heldNuls = 0;
    auto emitPiece = [&pieces](QByteArrayView bytes) {
        if (bytes.size() > MaxMessageBytes)
            pieces += Piece{{}, true};
        else
            pieces += Piece{bytes.toByteArray(), false};
    };

    qsizetype pos = 0;
    while (pos < buffer.size()) {
        const QByteArrayView view = buffer.sliced(pos);
        bool partial = false;
        ScanState partialScan;
        qsizetype completeLength = 0;
        const Form* completeForm = nullptr;
        for (const Form& form : formsOf(m_sender)) {
            const Match m = matchForm(form, view, pos == 0 ? heldScan : ScanState{}, formsOf(m_sender));
            if (m.kind == Match::Partial) {
                partial = true;
                if (m.scan.scanned > partialScan.scanned)
                    partialScan = m.scan;
            } else if (m.kind == Match::Complete && m.length > completeLength) {
                completeLength = m.length;
                completeForm = &form;
            }
        }
        if (partial) {
            if (view.size() > MaxMessageBytes) {
                pieces += Piece{{}, true};
                return buffer.size();
            }
            m_heldScanned = partialScan.scanned;
            m_heldNuls = partialScan.nuls;
            return pos;
        }
        if (completeForm) {
            emitPiece(view.first(completeLength));
            pos += completeLength;
            if (completeForm->end == Form::SetHead) {
                if (rest)
                    *rest = buffer.sliced(pos).toByteArray();
                return buffer.size();
            }
            continue;
        }
        // Held bytes that the new read does not continue into any form were a message of their own.
        const qsizetype end = pos < heldEnd ? heldEnd : buffer.size();
        emitPiece(buffer.sliced(pos, end - pos));
        pos = end;
    }
    return pos;
}

// --- receivers ---

namespace {

QString tooLongProblem()
{
    return QStringLiteral("Message dropped: longer than %1 bytes without an end").arg(MaxMessageBytes);
}

// Either side's event of a dispatched message.
template <typename Event, typename Message> void takeDispatched(Event& e, Dispatched<Message>&& d)
{
    using Status = typename Dispatched<Message>::Status;
    e.type = d.status == Status::Message   ? Event::Type::Message
             : d.status == Status::Ignored ? Event::Type::Ignored
                                           : Event::Type::Refused;
    e.message = std::move(d.message);
    e.problem = std::move(d.problem);
}

} // namespace

QString ServerReceiver::readLogText(QByteArrayView read)
{
    return text(read);
}

ServerReceiver::Event ServerReceiver::take(MessageFramer::Piece& piece)
{
    Event e;
    if (piece.tooLong) {
        e.type = Event::Type::Refused;
        e.problem = tooLongProblem();
        return e;
    }
    takeDispatched(e, dispatchOnServer(piece.bytes));
    e.bytes = std::move(piece.bytes);
    return e;
}

QList<ServerReceiver::Event> ServerReceiver::feed(QByteArrayView read)
{
    QList<Event> events;
    for (MessageFramer::Piece& piece : m_framer.feed(read))
        events += take(piece);
    return events;
}

QList<ServerReceiver::Event> ServerReceiver::flushHeld()
{
    QList<Event> events;
    if (std::optional<MessageFramer::Piece> piece = m_framer.takeHeld())
        events += take(*piece);
    return events;
}

void StudentReceiver::endReceiving()
{
    m_receiving = false;
    m_byteCount = 0;
    m_buffer = QByteArray();
}

void StudentReceiver::abortQuestionSet()
{
    // the server may still be sending the rest of the set
    if (m_receiving && m_buffer.size() < m_byteCount)
        m_droppingSetRest = true;
    endReceiving();
}

void StudentReceiver::takeSetBytes(QByteArrayView bytes, QList<Event>& events)
{
    m_buffer.append(bytes);
    if (m_buffer.size() != m_byteCount)
        return;
    Event e;
    e.type = Event::Type::QuestionSetComplete;
    e.byteCount = m_byteCount;
    e.bytes = std::move(m_buffer);
    events += std::move(e);
    endReceiving();
}

QList<StudentReceiver::Event> StudentReceiver::feed(QByteArrayView read)
{
    QList<Event> events;
    if (m_droppingSetRest) {
        // Bytes of a set that is no longer taken are not messages: they go unread, without a
        // log line each, until a read begins with a message of the server.
        if (!m_framer.startsWithHead(read)) {
            if (!m_setRestLogged) {
                Event e;
                e.type = Event::Type::Refused;
                e.problem = QStringLiteral("Bytes of an unfinished question set dropped");
                events += std::move(e);
                m_setRestLogged = true;
            }
            return events;
        }
        m_droppingSetRest = false;
        m_setRestLogged = false;
    }
    QByteArray owned; // the bytes of this read after a question-set head
    QByteArrayView data = read;
    while (!data.isEmpty() && !m_droppingSetRest) {
        if (m_receiving) {
            const qsizetype n = qsizetype(qMin<qint64>(m_byteCount - m_buffer.size(), data.size()));
            takeSetBytes(data.first(n), events);
            data = data.sliced(n);
        } else {
            QByteArray rest;
            for (MessageFramer::Piece& piece : m_framer.feed(data, &rest))
                take(piece, events);
            owned = std::move(rest);
            data = owned;
        }
    }
    return events;
}

QList<StudentReceiver::Event> StudentReceiver::flushHeld()
{
    QList<Event> events;
    if (std::optional<MessageFramer::Piece> piece = m_framer.takeHeld())
        take(*piece, events);
    return events;
}

// Dispatches one piece; a question-set head starts receiving (or is refused).
void StudentReceiver::take(MessageFramer::Piece& piece, QList<Event>& events)
{
    Event e;
    if (piece.tooLong) {
        e.type = Event::Type::Refused;
        e.problem = tooLongProblem();
        events += std::move(e);
        return;
    }
    if (firstFieldIs(piece.bytes, Head::QuestionList)) {
        // The framer stops after a complete head, so this is the last piece of its read.
        e.logText = QString::fromLatin1(QuestionListLogText);
        FieldReader r(piece.bytes);
        r.take();
        const QByteArrayView countField = r.take();
        const std::optional<qint64> count = parseDecimal(countField);
        if (!piece.bytes.endsWith(Nul) || !count || *count < 0 || *count > MaxQuestionSetBytes) {
            e.type = Event::Type::QuestionSetRefused;
            e.problem = QStringLiteral("QuestionList refused: byte count \"%1\" is not a number from 0 to %2")
                            .arg(text(countField.first(qMin<qsizetype>(countField.size(), 40))))
                            .arg(MaxQuestionSetBytes);
            events += std::move(e);
            // whatever comes of that set is not taken
            m_droppingSetRest = true;
            return;
        }
        e.type = Event::Type::QuestionSetHead;
        e.byteCount = *count;
        events += std::move(e);
        m_receiving = true;
        m_byteCount = *count;
        m_buffer = QByteArray();
        takeSetBytes({}, events);
        return;
    }
    takeDispatched(e, dispatchOnStudent(piece.bytes));
    e.logText = text(piece.bytes);
    e.bytes = std::move(piece.bytes);
    events += std::move(e);
}

} // namespace Protocol
