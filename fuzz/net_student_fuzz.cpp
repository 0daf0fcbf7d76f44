// Feeds arbitrary bytes, as a server might send them, to the student's receiver: once in one read
// and once cut into reads whose sizes the input's first bytes choose. Besides crashes and
// sanitizer reports, a completed question set whose size is not its announced count is a finding;
// the waits for a held message's end and for the set run out now and then between reads.
#include "wireparser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(const QList<Protocol::StudentReceiver::Event>& events)
{
    for (const auto& e : events) {
        if (e.type == Protocol::StudentReceiver::Event::Type::QuestionSetComplete && e.bytes.size() != e.byteCount)
            std::abort();
        if (e.type == Protocol::StudentReceiver::Event::Type::Message && e.bytes.isEmpty())
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    quint32 seed = quint32(data[0]) | quint32(data[1]) << 8 | quint32(data[2]) << 16 | quint32(data[3]) << 24;
    const QByteArrayView stream(reinterpret_cast<const char*>(data) + 4, qsizetype(size - 4));

    Protocol::StudentReceiver whole;
    check(whole.feed(stream));

    Protocol::StudentReceiver split;
    qsizetype pos = 0;
    while (pos < stream.size()) {
        seed = seed * 1103515245u + 12345u;
        const qsizetype n = qMin<qsizetype>(stream.size() - pos, 1 + (seed >> 16) % 64);
        check(split.feed(stream.sliced(pos, n)));
        if (split.receivingQuestionSet() && split.receivedByteCount() >= split.announcedByteCount())
            std::abort();
        pos += n;
        // now and then a wait runs out: for a held message's end, or for the question set
        if ((seed >> 8) % 5 == 0)
            check(split.flushHeld());
        if ((seed >> 8) % 11 == 0)
            split.abortQuestionSet();
    }
    return 0;
}
