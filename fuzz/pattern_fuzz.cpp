// Open-answer patterns come from question files and databases made by others; answers come from
// students. Input: pattern text, a NUL byte, answer text (both Windows-1251). Without a NUL the
// whole input is the pattern and its mirror image the answer.
#include "answerpattern.h"
#include "codec.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype nul = input.indexOf('\0');
    QString pattern;
    QString answer;
    if (nul >= 0) {
        pattern = fromCp1251(input.left(nul));
        answer = fromCp1251(input.mid(nul + 1));
    } else {
        pattern = fromCp1251(input);
        answer = pattern;
        std::reverse(answer.begin(), answer.end());
    }
    QString error;
    const bool wellFormed = IsWellFormedPattern(pattern, &error);
    const bool matches = AnswerMatchesPattern(answer, pattern);
    const bool plainText = !pattern.contains(u'*') && !pattern.contains(u'?') && !pattern.contains(u'[');
    // Properties that hold for every input; a broken one stops the run.
    if (wellFormed != error.isEmpty())
        __builtin_trap();
    if ((!wellFormed || plainText) && matches != SameAnswerText(answer, pattern))
        __builtin_trap();
    // Without sets every pattern character matches itself ("*" and "?" included).
    if (!pattern.contains(u'[') && !AnswerMatchesPattern(pattern, pattern))
        __builtin_trap();
    // A "*" at either end only widens a well-formed pattern.
    if (matches && wellFormed) {
        for (const QString& wider : {pattern + u'*', u'*' + pattern}) {
            if (IsWellFormedPattern(wider) && !AnswerMatchesPattern(answer, wider))
                __builtin_trap();
        }
    }
    return 0;
}
