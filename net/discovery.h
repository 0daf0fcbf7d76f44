#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Pieces of server discovery shared by the answering and the asking side.
namespace Discovery {

static constexpr int QueryReadBytes = 64;   // bytes read of a query
static constexpr int AnswerReadBytes = 512; // bytes read of an answer
static constexpr int CheckBytes = 4;
inline constexpr char QueryText[] = "blah";

// Over the bytes: S = sum modulo 256, X = exclusive-or; the value is S * 256 + X.
quint32 CheckValue(QByteArrayView bytes);

// Check value (little-endian, 4 bytes), then the computer name, ",", the info string.
QByteArray BuildAnswer(const QString& computerName, const QString& infoString);

// The payload after the check value when the datagram is long enough and its check value holds.
std::optional<QByteArray> CheckedPayload(QByteArrayView datagram);

// The payload split at its first ",": computer name before, info string after; without a comma the
// name is empty and the info string is the whole payload.
struct Answer
{
    QString computerName;
    QString infoString;
};
Answer SplitPayload(const QByteArray& payload);

// The host name without its domain, cut to 15 characters.
QString LocalComputerName();

// The Windows-sockets code of a system error number, so that log texts carry the codes the
// Windows programs write; numbers without a counterpart pass unchanged.
int WsaCodeOfErrno(int err);

// A descriptor that a worker polls beside its socket: raising it ends the worker's wait at once.
class WakeSignal
{
public:
    WakeSignal();
    ~WakeSignal();
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;
    int fd() const { return m_fd; }
    void raise();
    bool isRaised() const;

private:
    int m_fd;
};

// An IPv4 UDP socket, non-blocking, bound to any local address at the port (0: the system
// chooses). On failure: -1, and *failure holds the text "Failed to create a socket, Error #..." or
// "Failed to bind a socket, Error #...".
int OpenBoundSocket(int port, QString* failure);

// Waits for the socket to become readable, the wake signal to be raised, or the timeout
// (milliseconds, -1 for none) to pass.
enum class WaitResult
{
    Readable,
    Woken,
    TimedOut
};
WaitResult WaitForSocket(int fd, const WakeSignal& wake, int timeoutMs);

} // namespace Discovery
