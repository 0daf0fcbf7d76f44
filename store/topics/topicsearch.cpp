#include "topicsearch.h"

#include <QLocale>

bool MatchesMask(const QString& text, const QString& mask)
{
    // Greedy matching with one back-tracking point per star: linear in practice, and never
    // exponential on masks such as "*a*a*a*b".
    qsizetype t = 0, m = 0, starAt = -1, resumeAt = 0;
    while (t < text.size()) {
        if (m < mask.size() && (mask[m] == u'?' || mask[m] == text[t])) {
            ++t;
            ++m;
        } else if (m < mask.size() && mask[m] == u'*') {
            starAt = m++;
            resumeAt = t;
        } else if (starAt >= 0) {
            m = starAt + 1;
            t = ++resumeAt;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}

bool TopicNameMatches(const QString& name, const QString& text, const TopicSearchOptions& options)
{
    const QLocale locale;
    const QString n = options.ignoreCase ? locale.toLower(name) : name;
    const QString s = options.ignoreCase ? locale.toLower(text) : text;
    if (options.wildcards)
        return MatchesMask(n, s);
    if (options.partial)
        return n.contains(s);
    return n == s;
}
