#include "sqlitefunctions.h"

#include <QCollator>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QString>
#include <QVariant>
#include <sqlite3.h>

namespace {

QString textArg(sqlite3_value* v)
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return bytes ? QString::fromUtf8(bytes, sqlite3_value_bytes(v)) : QString();
}

// '%' any run, '_' one character, `escape` makes the next character literal. Iterative with one
// backtrack point, so a pattern of many '%' stays linear per attempt.
bool likeMatch(QStringView text, QStringView pattern, QChar escape)
{
    qsizetype t = 0, p = 0, starP = -1, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size()) {
            QChar pc = pattern[p];
            if (!escape.isNull() && pc == escape && p + 1 < pattern.size()) {
                if (pattern[p + 1] == text[t]) {
                    p += 2;
                    ++t;
                    continue;
                }
            } else if (pc == u'%') {
                starP = ++p;
                starT = t;
                continue;
            } else if (pc == u'_' || pc == text[t]) {
                ++p;
                ++t;
                continue;
            }
        }
        if (starP < 0)
            return false;
        p = starP;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == u'%')
        ++p;
    return p == pattern.size();
}

void like(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    // like(pattern, text[, escape]) is how SQLite calls "text LIKE pattern".
    const QString pattern = textArg(argv[0]).toCaseFolded();
    const QString text = textArg(argv[1]).toCaseFolded();
    QChar escape;
    if (argc == 3) {
        const QString e = textArg(argv[2]);
        if (e.size() != 1) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = e.at(0).toCaseFolded();
    }
    sqlite3_result_int(ctx, likeMatch(text, pattern, escape) ? 1 : 0);
}

int collate(void*, int lengthA, const void* a, int lengthB, const void* b)
{
    static const QCollator collator = [] {
        QCollator c{QLocale(QLocale::Russian, QLocale::Russia)};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(false);
        return c;
    }();
    const QString sa = QString::fromUtf8(static_cast<const char*>(a), lengthA);
    const QString sb = QString::fromUtf8(static_cast<const char*>(b), lengthB);
    const int byCollator = collator.compare(sa, sb);
    if (byCollator != 0)
        return byCollator;
    return sa.compare(sb); // equal to the collator: a fixed order all the same
}

} // namespace

bool RegisterStoreFunctions(const QSqlDatabase& db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3* h = *static_cast<sqlite3* const*>(handle.constData());
    if (!h)
        return false;
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    bool ok = sqlite3_create_function_v2(h, "like", 2, flags, nullptr, like, nullptr, nullptr, nullptr) == SQLITE_OK;
    ok = ok && sqlite3_create_function_v2(h, "like", 3, flags, nullptr, like, nullptr, nullptr, nullptr) == SQLITE_OK;
    ok = ok && sqlite3_create_collation_v2(h, StoreCollation, SQLITE_UTF8, nullptr, collate, nullptr) == SQLITE_OK;
    return ok;
}
