// Feeds arbitrary bytes, as the student's computer might send them, to the server's receiver: once
// in one read and once cut into reads whose sizes the input's first bytes choose. Besides crashes
// and sanitizer reports, a byte that the framing loses or repeats is a finding, also when the wait
// for a held message's end runs out between reads.
#include "wireparser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QByteArray cutAndFeed(Protocol::ServerReceiver& receiver, QByteArrayView stream, quint32 seed)
{
    QByteArray seen;
    qsizetype pos = 0;
    while (pos < stream.size()) {
        seed = seed * 1103515245u + 12345u;
        const qsizetype n = qMin<qsizetype>(stream.size() - pos, 1 + (seed >> 16) % 64);
        for (const auto& e : receiver.feed(stream.sliced(pos, n)))
            seen += e.bytes;
        pos += n;
        // now and then the wait for a held message's end runs out
        if ((seed >> 8) % 5 == 0) {
            for (const auto& e : receiver.flushHeld())
                seen += e.bytes;
        }
    }
    return seen + receiver.pendingBytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const quint32 seed = quint32(data[0]) | quint32(data[1]) << 8 | quint32(data[2]) << 16 | quint32(data[3]) << 24;
    const QByteArrayView stream(reinterpret_cast<const char*>(data) + 4, qsizetype(size - 4));

    Protocol::ServerReceiver whole;
    QByteArray seen;
    for (const auto& e : whole.feed(stream))
        seen += e.bytes;
    if (seen + whole.pendingBytes() != stream)
        std::abort();

    Protocol::ServerReceiver split;
    if (cutAndFeed(split, stream, seed) != stream)
        std::abort();
    return 0;
}
