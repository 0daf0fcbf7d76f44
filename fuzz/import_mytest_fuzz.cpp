// Feeds arbitrary bytes to the ParseMyTest import parser as a whole file, and checks what it gives back
// against the limits the store relies on. Any outcome but AppError is a finding.
#include "apperror.h"
#include "importparsers.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const Import::ParsedTopic topic = Import::ParseMyTest(bytes, QStringLiteral("fuzz"));
        if (topic.topicName.isEmpty() || topic.questions.isEmpty())
            std::abort();
    } catch (const AppError&) {
    }
    return 0;
}
