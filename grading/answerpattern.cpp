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

bool AnswerMatchesPattern(QStringView answer, QStringView pattern)
{
    const char16_t* pat = pattern.utf16();
    const qsizetype m = pattern.size();
    bool special = false;
    for (qsizetype i = 0; i < m && !special; ++i)
        special = pat[i] == u'*' || pat[i] == u'?' || pat[i] == u'[';
    if (!special || !IsWellFormedPattern(pattern))
        return SameAnswerText(answer, pattern);

    const char16_t* ans = answer.utf16();
    const qsizetype n = answer.size();
    qsizetype s = 0;
    qsizetype p = 0;
    qsizetype starP = -1; // the pattern index just after the last "*" run met
    qsizetype starS = 0;  // the answer index that run has been tried up to
    while (s < n) {
        if (p < m && pat[p] == u'*') {
            while (p < m && pat[p] == u'*')
                ++p;
            starP = p;
            starS = s;
            continue;
        }
        if (p < m) {
            qsizetype next = p + 1;
            bool ok;
            if (pat[p] == u'?')
                ok = true;
            else if (pat[p] == u'[')
                ok = matchSet(pat, m, p, ans[s], &next);
            else
                ok = sameChar(ans[s], pat[p]);
            if (ok) {
                p = next;
                ++s;
                continue;
            }
        }
        if (starP < 0)
            return false;
        // Let the last "*" take one more character and try the rest again.
        p = starP;
        s = ++starS;
    }
    while (p < m && pat[p] == u'*')
        ++p;
    return p == m;
}
