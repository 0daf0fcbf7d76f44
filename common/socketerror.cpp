#include "socketerror.h"

#include <cstring>

namespace {

struct WsaMessage
{
    int code;
    const char* text;
};

// The message table of the Windows sockets library (English system texts).
constexpr WsaMessage wsaMessages[] = {
    {10004, "A blocking operation was interrupted by a call to WSACancelBlockingCall."},
    {10009, "The file handle supplied is not valid."},
    {10013, "An attempt was made to access a socket in a way forbidden by its access permissions."},
    {10014, "The system detected an invalid pointer address in attempting to use a pointer argument in a call."},
    {10022, "An invalid argument was supplied."},
    {10024, "Too many open sockets."},
    {10035, "A non-blocking socket operation could not be completed immediately."},
    {10036, "A blocking operation is currently executing."},
    {10037, "An operation was attempted on a non-blocking socket that already had an operation in progress."},
    {10038, "An operation was attempted on something that is not a socket."},
    {10039, "A required address was omitted from an operation on a socket."},
    {10040, "A message sent on a datagram socket was larger than the internal message buffer or some other network "
            "limit, or the buffer used to receive a datagram into was smaller than the datagram itself."},
    {10047, "An address incompatible with the requested protocol was used."},
    {10048, "Only one usage of each socket address (protocol/network address/port) is normally permitted."},
    {10049, "The requested address is not valid in its context."},
    {10050, "A socket operation encountered a dead network."},
    {10051, "A socket operation was attempted to an unreachable network."},
    {10052, "The connection has been broken due to keep-alive activity detecting a failure while the operation was "
            "in progress."},
    {10053, "An established connection was aborted by the software in your host machine."},
    {10054, "An existing connection was forcibly closed by the remote host."},
    {10055, "An operation on a socket could not be performed because the system lacked sufficient buffer space or "
            "because a queue was full."},
    {10056, "A connect request was made on an already connected socket."},
    {10057, "A request to send or receive data was disallowed because the socket is not connected and (when sending "
            "on a datagram socket using a sendto call) no address was supplied."},
    {10058, "A request to send or receive data was disallowed because the socket had already been shut down in that "
            "direction with a previous shutdown call."},
    {10060, "A connection attempt failed because the connected party did not properly respond after a period of "
            "time, or established connection failed because connected host has failed to respond."},
    {10061, "No connection could be made because the target machine actively refused it."},
    {10064, "A socket operation failed because the destination host was down."},
    {10065, "A socket operation was attempted to an unreachable host."},
    {10091, "WSAStartup cannot function at this time because the underlying system it uses to provide network "
            "services is currently unavailable."},
    {10093, "Either the application has not called WSAStartup, or WSAStartup failed."},
    {11001, "No such host is known."},
    {11002, "This is usually a temporary error during hostname resolution and means that the local server did not "
            "receive a response from an authoritative server."},
    {11004, "The requested name is valid, but no data of the requested type was found."},
};

constexpr int MessageBufferChars = 255; // a 256-byte buffer with its terminator

} // namespace

QString SocketErrorText(int code)
{
    QString text;
    for (const WsaMessage& m : wsaMessages) {
        if (m.code == code) {
            text = QString::fromLatin1(m.text);
            break;
        }
    }
    if (text.isEmpty() && code > 0 && code < 10000)
        text = QString::fromLocal8Bit(std::strerror(code));
    text.truncate(MessageBufferChars);
    while (!text.isEmpty() && (text.back() < QChar(u'!') || text.back() == QChar(u'.')))
        text.chop(1);
    return text;
}

int WsaErrorCode(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::DatagramTooLargeError:
        return 10040;
    case QAbstractSocket::NetworkError:
        return 10050;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10047;
    case QAbstractSocket::UnfinishedSocketOperationError:
        return 10036;
    case QAbstractSocket::TemporaryError:
        return 10035;
    default:
        return 10053;
    }
}
