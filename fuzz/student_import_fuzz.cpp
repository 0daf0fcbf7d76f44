// Student list files come from anywhere the teacher keeps them. Input: the file's bytes. A file is
// either read whole or refused with a message; every name read is one line of the file's text.
#include "apperror.h"
#include "studentimport.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const QStringList names = StudentImport::ParseNames(bytes, QStringLiteral("fuzz.txt"));
        const QString text = StudentImport::DecodeText(bytes);
        for (const QString& name : names)
            if (name.size() > 50 || name.contains(u'\r') || name.contains(u'\n') || !text.contains(name))
                std::abort();
    } catch (const AppError& e) {
        if (e.message().isEmpty())
            std::abort();
    }
    return 0;
}
