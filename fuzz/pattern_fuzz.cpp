// Open-answer patterns come from question files and databases made by others; answers come from
// students. Input: pattern text, a NUL byte, answer text (both Windows-1251). Without a NUL the
// whole input is the pattern and its mirror image the answer.
#include "answerpattern.h"
#include "codec.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

// A plain dynamic-programming matcher over the same tokens, to check the fast one against.
bool referenceMatch(const QString& answer, const QString& pattern)
{
    struct Token
    {
        bool star;
        QString text; // one token as written: "?", "[...]" or a character
    };
    QList<Token> tokens;
    for (qsizetype i = 0; i < pattern.size();) {
        if (pattern[i] == u'*') {
            tokens.append(Token{true, {}});
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        if (pattern[i] == u'[') {
            end = i + 1;
            while (pattern[end] != u']')
                end += pattern[end] == u'-' ? 2 : 1;
            ++end;
        }
        tokens.append(Token{false, pattern.mid(i, end - i)});
        i = end;
    }
    // reach[j]: the tokens seen so far can cover the first j answer characters.
    QList<bool> reach(answer.size() + 1, false);
    reach[0] = true;
    for (const Token& token : tokens) {
        QList<bool> next(answer.size() + 1, false);
        for (qsizetype j = 0; j <= answer.size(); ++j) {
            if (token.star)
                next[j] = reach[j] || (j > 0 && next[j - 1]);
            else if (j > 0 && reach[j - 1])
                next[j] = AnswerMatchesPattern(QStringView(answer).sliced(j - 1, 1), token.text);
        }
        reach = next;
    }
    return reach[answer.size()];
}

} // namespace

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
    static constexpr qsizetype MaxReferenceWork = 20000;
    if (wellFormed && answer.size() * pattern.size() <= MaxReferenceWork && matches != referenceMatch(answer, pattern))
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
