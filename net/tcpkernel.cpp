#include "tcpkernel.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

namespace TcpKernel {

qint64 SendFile(int socketFd, int fileFd, qint64 offset, qint64 count)
{
    static constexpr qint64 MaxCallBytes = qint64(1) << 30; // below the kernel's limit per call
    // sendfile() has no MSG_NOSIGNAL: SIGPIPE stays blocked for this thread during the call, and
    // one that the call raised is taken back before the mask is restored.
    sigset_t pipeOnly;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    const bool pendingBefore = sigismember(&pending, SIGPIPE) == 1;
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);

    off_t at = off_t(offset);
    ssize_t n;
    do {
        n = ::sendfile(socketFd, fileFd, &at, size_t(qMin(count, MaxCallBytes)));
    } while (n < 0 && errno == EINTR);
    const int error = errno;

    if (n < 0 && error == EPIPE && !pendingBefore) {
        const timespec noWait{0, 0};
        sigtimedwait(&pipeOnly, nullptr, &noWait);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return n;
}

qint64 UnsentBytes(int socketFd)
{
    int unsent = 0;
    if (socketFd < 0 || ::ioctl(socketFd, SIOCOUTQNSD, &unsent) != 0)
        return 0;
    return unsent;
}

void ConnectionHold::take(int fd)
{
    if (m_fd < 0 && fd >= 0)
        m_fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

void ConnectionHold::release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool ConnectionHold::wasReset() const
{
    tcp_info info{};
    socklen_t length = sizeof info;
    if (m_fd < 0 || ::getsockopt(m_fd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0)
        return false;
    return info.tcpi_state == TCP_CLOSE;
}

} // namespace TcpKernel
