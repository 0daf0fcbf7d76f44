#pragma once

#include <QtGlobal>

// What the kernel offers a TCP connection beyond the socket library: copying a file straight into
// a socket, and the connection's state after the socket library has let go of it.
namespace TcpKernel {

// Hands up to count bytes of the file, from offset on, to the socket without copying them through
// this process. Gives the bytes the socket took, 0 when the file ends at offset, or -1 with errno
// set (EAGAIN: the socket is full; EINVAL or ENOSYS: the file cannot be sent this way). A peer
// that is gone gives EPIPE or ECONNRESET and never the signal SIGPIPE.
qint64 SendFile(int socketFd, int fileFd, qint64 offset, qint64 count);

// Bytes written to the socket that have not yet left this computer (sent, not just queued), or 0
// when the kernel cannot tell.
qint64 UnsentBytes(int socketFd);

// Keeps a connected TCP socket open past the close of its own descriptor, so that what ended the
// connection can still be asked. The socket library reports a reset by the peer (ECONNRESET) as an
// orderly close; the kernel's TCP state tells them apart: CLOSE after a reset, CLOSE_WAIT after
// the peer's orderly close. Release it as soon as the connection has ended, or the socket stays
// open and this side's close never reaches the peer.
class ConnectionHold
{
public:
    ConnectionHold() = default;
    ~ConnectionHold() { release(); }
    ConnectionHold(const ConnectionHold&) = delete;
    ConnectionHold& operator=(const ConnectionHold&) = delete;

    // Holds the socket of the descriptor; nothing when one is held already or fd is -1.
    void take(int fd);
    void release();
    bool isHeld() const { return m_fd >= 0; }
    // True when the held connection was ended by a reset from the peer.
    bool wasReset() const;

private:
    int m_fd = -1;
};

} // namespace TcpKernel
