#include "answerpattern.h"

namespace {

bool isLatin(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The other case of a Latin letter; only called for Latin letters.
char16_t latinPartner(char16_t c)
{
    return char16_t(c ^ 0x20);
}

bool sameChar(char16_t a, char16_t p)
{
    return a == p || (isLatin(a) && isLatin(p) && (a | 0x20) == (p | 0x20));
}

bool inRange(char16_t c, char16_t lo, char16_t hi)
{
    if (c >= lo && c <= hi)
        return true;
    if (!isLatin(c))
        return false;
    const char16_t other = latinPartner(c);
    return other >= lo && other <= hi;
}

// Matches one character against the set that opens at pattern[open] (a "["), which is known to
// be well formed. Sets *end to the index after its "]".
bool matchSet(const char16_t* pat, qsizetype m, qsizetype open, char16_t c, qsizetype* end)
{
    qsizetype j = open + 1;
    bool negate = false;
    if (j < m && pat[j] == u'!') {
        negate = true;
        ++j;
    }
    bool found = false;
    char16_t previous = 0;
    while (pat[j] != u']') {
        if (pat[j] == u'-') {
            const char16_t last = pat[j + 1];
            if (!found && inRange(c, previous, last))
                found = true;
            previous = last;
            j += 2;
        } else {
            previous = pat[j];
            if (!found && sameChar(c, previous))
                found = true;
            ++j;
        }
    }
    *end = j + 1;
    return found != negate;
}

bool invalidAt(QStringView pattern, qsizetype index, QString* error)
{
    if (error)
        *error = QStringLiteral("'%1' is an invalid mask at (%2)").arg(pattern).arg(index + 1);
    return false;
}

} // namespace

bool SameAnswerText(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    const char16_t* x = a.utf16();
    const char16_t* y = b.utf16();
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!sameChar(x[i], y[i]))
            return false;
    }
    return true;
}

bool IsWellFormedPattern(QStringView pattern, QString* error)
{
    const char16_t* pat = pattern.utf16();
    const qsizetype m = pattern.size();
    int starGroups = 0;
    qsizetype i = 0;
    while (i < m) {
        if (pat[i] == u'*') {
            if (++starGroups > MaxStarGroups)
                return invalidAt(pattern, i, error);
            while (i < m && pat[i] == u'*')
                ++i;
            continue;
        }
        if (pat[i] != u'[') {
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        if (j < m && pat[j] == u'!')
            ++j;
        bool havePrevious = false;
        while (j < m && pat[j] != u']') {
            if (pat[j] == u'-') {
                if (!havePrevious || j + 1 >= m || pat[j + 1] == u']')
                    return invalidAt(pattern, j, error);
                j += 2;
            } else {
                ++j;
            }
            havePrevious = true;
        }
        if (j >= m)
            return invalidAt(pattern, i, error);
        i = j + 1;
    }
    return true;
}

namespace {

// A run of pattern tokens between "*" runs; every token matches exactly one answer character.
struct Segment
{
    qsizetype begin = 0;  // pattern index of the first token
    qsizetype end = 0;    // pattern index after the last token
    qsizetype length = 0; // tokens, which is the answer characters it covers
};

// Whether the segment matches the answer characters from at on (the caller checks the length).
bool segmentMatchesAt(const char16_t* pat, qsizetype m, const Segment& segment, const char16_t* ans, qsizetype at)
{
    qsizetype p = segment.begin;
    while (p < segment.end) {
        const char16_t c = ans[at++];
        if (pat[p] == u'?') {
            ++p;
        } else if (pat[p] == u'[') {
            if (!matchSet(pat, m, p, c, &p))
                return false;
        } else {
            if (!sameChar(c, pat[p]))
                return false;
            ++p;
        }
    }
    return true;
}

} // namespace

bool AnswerMatchesPattern(QStringView answer, QStringView pattern)
{
    const char16_t* pat = pattern.utf16();
    const qsizetype m = pattern.size();
    bool special = false;
    for (qsizetype i = 0; i < m && !special; ++i)
        special = pat[i] == u'*' || pat[i] == u'?' || pat[i] == u'[';
    if (!special || !IsWellFormedPattern(pattern))
        return SameAnswerText(answer, pattern);

    // Split the pattern at its "*" runs; a well-formed pattern has at most MaxStarGroups of them.
    Segment segments[MaxStarGroups + 1];
    int count = 0;
    bool starBefore = false; // a "*" run precedes the first segment
    bool starAfter = false;  // a "*" run follows the last segment
    Segment current;
    for (qsizetype i = 0; i < m;) {
        if (pat[i] == u'*') {
            while (i < m && pat[i] == u'*')
                ++i;
            if (current.length > 0)
                segments[count++] = current;
            else if (count == 0)
                starBefore = true;
            current = Segment{i, i, 0};
            starAfter = true;
            continue;
        }
        if (pat[i] == u'[') {
            while (pat[i] != u']')
                i += pat[i] == u'-' ? 2 : 1;
        }
        ++i;
        current.end = i;
        ++current.length;
        starAfter = false;
    }
    if (current.length > 0)
        segments[count++] = current;

    const char16_t* ans = answer.utf16();
    const qsizetype n = answer.size();
    if (count == 0)
        return starAfter || n == 0;
    qsizetype from = 0; // the answer left to the segments not yet placed is [from, to)
    qsizetype to = n;
    int first = 0;
    int last = count;
    // The segment before the first "*" is tied to the start, the one after the last "*" to the end.
    if (!starBefore) {
        if (segments[0].length > n || !segmentMatchesAt(pat, m, segments[0], ans, 0))
            return false;
        from = segments[0].length;
        first = 1;
        if (count == 1 && !starAfter)
            return from == n;
    }
    if (!starAfter && first < count) {
        const Segment& tail = segments[count - 1];
        if (tail.length > to - from || !segmentMatchesAt(pat, m, tail, ans, n - tail.length))
            return false;
        to = n - tail.length;
        last = count - 1;
    }
    // Between two "*" runs the leftmost place of each segment leaves the most room for the rest.
    for (int k = first; k < last; ++k) {
        const Segment& segment = segments[k];
        qsizetype at = from;
        while (at + segment.length <= to && !segmentMatchesAt(pat, m, segment, ans, at))
            ++at;
        if (at + segment.length > to)
            return false;
        from = at + segment.length;
    }
    return true;
}
