#include "sqldialect.h"

#include "apperror.h"
#include "sqlitefunctions.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>

namespace {

using RX = QRegularExpression;
constexpr auto CI = RX::CaseInsensitiveOption;

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// The word that ends right before position `end` (blanks skipped), upper-cased.
QString wordBefore(const QString& text, qsizetype end)
{
    qsizetype i = end;
    while (i > 0 && text[i - 1].isSpace())
        --i;
    const qsizetype stop = i;
    while (i > 0 && isWordChar(text[i - 1]))
        --i;
    return text.mid(i, stop - i).toUpper();
}

QString wordAfter(const QString& text, qsizetype start)
{
    qsizetype i = start;
    while (i < text.size() && text[i].isSpace())
        ++i;
    const qsizetype begin = i;
    while (i < text.size() && isWordChar(text[i]))
        ++i;
    return text.mid(begin, i - begin).toUpper();
}

bool onlyOr(QStringView between)
{
    between = between.trimmed();
    return between.compare(u"OR", Qt::CaseInsensitive) == 0;
}

struct Term
{
    qsizetype start;
    qsizetype end;
    QString column;
    QString number;
};

// "c=1 OR c=2 OR c=3" -> "c IN (1,2,3)". A term bound tighter to a neighbour (AND, NOT, an
// arithmetic operator) stays out of the chain so that the meaning of the whole stays the same.
QString foldOrChains(const QString& text)
{
    static const RX term(QStringLiteral(R"((?<![\w.])((?:\w+\.)?\w+)\s*=\s*(-?\d+)(?![\w.]))"));
    QList<Term> terms;
    for (auto it = term.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        terms.append({m.capturedStart(), m.capturedEnd(), m.captured(1), m.captured(2)});
    }
    if (terms.size() < 2)
        return text;

    const auto standsAlone = [&](const Term& t) {
        const QString before = wordBefore(text, t.start);
        qsizetype b = t.start;
        while (b > 0 && text[b - 1].isSpace())
            --b;
        const bool operandBefore = b > 0 && QStringLiteral("+-*/%<>=!|&").contains(text[b - 1]);
        qsizetype a = t.end;
        while (a < text.size() && text[a].isSpace())
            ++a;
        const bool operandAfter = a < text.size() && QStringLiteral("+-*/%<>=!|&").contains(text[a]);
        return !operandBefore && !operandAfter && before != u"NOT";
    };

    QString out;
    out.reserve(text.size());
    qsizetype copied = 0;
    qsizetype i = 0;
    while (i < terms.size()) {
        qsizetype j = i;
        while (j + 1 < terms.size() && terms[j + 1].column.compare(terms[i].column, Qt::CaseInsensitive) == 0 &&
               onlyOr(QStringView(text).mid(terms[j].end, terms[j + 1].start - terms[j].end)))
            ++j;
        qsizetype first = i;
        qsizetype last = j;
        if (wordBefore(text, terms[first].start) == u"AND")
            ++first;
        if (wordAfter(text, terms[last].end) == u"AND")
            --last;
        bool ok = last - first >= 1;
        for (qsizetype k = first; ok && k <= last; ++k)
            ok = standsAlone(terms[k]);
        if (ok) {
            out += QStringView(text).mid(copied, terms[first].start - copied);
            out += terms[first].column;
            out += QStringLiteral(" IN (");
            for (qsizetype k = first; k <= last; ++k) {
                if (k > first)
                    out += u',';
                out += terms[k].number;
            }
            out += u')';
            copied = terms[last].end;
        }
        i = j + 1;
    }
    out += QStringView(text).mid(copied);
    return out;
}

// "UPDATE T SET T.c = v" -> "UPDATE T SET c = v".
QString unqualifySet(const QString& text)
{
    static const RX update(QStringLiteral(R"(^(\s*UPDATE\s+\w+\s+SET\s+)(.*?)(\s+WHERE\s.*)?$)"),
                           CI | RX::DotMatchesEverythingOption);
    const auto m = update.match(text);
    if (!m.hasMatch())
        return text;
    static const RX qualified(QStringLiteral(R"((^|,)(\s*)\w+\.(\w+)(\s*=))"));
    QString set = m.captured(2);
    set.replace(qualified, QStringLiteral("\\1\\2\\3\\4"));
    return m.captured(1) + set + m.captured(3);
}

QDate parseShortDate(const QString& text)
{
    const QLocale locales[] = {QLocale(), QLocale::system()};
    for (const QLocale& l : locales) {
        const QDate d = l.toDate(text, QLocale::ShortFormat);
        if (d.isValid())
            return d;
    }
    for (const char* f : {"dd.MM.yyyy", "d.M.yyyy", "dd.MM.yy", "yyyy-MM-dd", "dd/MM/yyyy", "MM/dd/yyyy"}) {
        QDate d = QDate::fromString(text, QLatin1String(f));
        if (d.isValid()) {
            if (QLatin1String(f).endsWith(QLatin1String("yy")) && !QLatin1String(f).endsWith(QLatin1String("yyyy")))
                d = d.addYears(100); // two-digit years are this century's
            return d;
        }
    }
    return {};
}

// Dates are kept as ISO 8601 text ("2024-03-05T10:00:00", or with a blank before the time when a
// row came from elsewhere). A whole day in the computer's short date form ("05.03.2024%") becomes
// the half-open range of that day, which holds for every such form and can use an index on Date;
// any other pattern stays a LIKE, its date part turned into ISO text.
QString isoDateLike(const QString& text)
{
    static const RX like(QStringLiteral(R"re(\bDate\s+LIKE\s+"([^"]*)")re"), CI);
    QString out;
    qsizetype copied = 0;
    for (auto it = like.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        QString pattern = m.captured(1);
        const qsizetype wildcard = pattern.indexOf(u'%');
        const QString datePart = wildcard < 0 ? pattern : pattern.left(wildcard);
        const QDate date = parseShortDate(datePart.trimmed());
        out += QStringView(text).mid(copied, m.capturedStart() - copied);
        if (date.isValid() && wildcard >= 0 && pattern.mid(wildcard) == QLatin1String("%")) {
            out += QStringLiteral("(Date >= '%1' AND Date < '%2')")
                       .arg(date.toString(Qt::ISODate), date.addDays(1).toString(Qt::ISODate));
        } else {
            if (date.isValid())
                pattern = date.toString(Qt::ISODate) + (wildcard < 0 ? QString() : pattern.mid(wildcard));
            pattern.replace(u'\'', QStringLiteral("''"));
            out += QStringLiteral("Date LIKE '%1'").arg(pattern);
        }
        copied = m.capturedEnd();
    }
    if (copied == 0)
        return text;
    out += QStringView(text).mid(copied);
    return out;
}

// Text columns sort in the store's collation (alphabetical, without regard to case).
QString collateOrderBy(const QString& text)
{
    static const RX orderBy(QStringLiteral(R"(\bORDER\s+BY\s+)"), CI);
    const auto m = orderBy.match(text);
    if (!m.hasMatch() || text.contains(QLatin1String("COLLATE"), Qt::CaseInsensitive))
        return text;
    static const RX term(QStringLiteral(R"(^(\s*)(.*?)(\s+(?:ASC|DESC))?(\s*)$)"), CI | RX::DotMatchesEverythingOption);
    QStringList terms = text.mid(m.capturedEnd()).split(u',');
    for (QString& t : terms) {
        const auto tm = term.match(t);
        if (tm.captured(2).isEmpty())
            continue;
        t = tm.captured(1) + tm.captured(2) + QStringLiteral(" COLLATE ") + QLatin1String(StoreCollation) +
            tm.captured(3) + tm.captured(4);
    }
    return text.left(m.capturedEnd()) + terms.join(u',');
}

} // namespace

DialectStatement ToSqliteDialect(const QString& text)
{
    DialectStatement st;
    static const RX external(
        QStringLiteral(R"re(^\s*INSERT\s+INTO\s+(\w+)\s+IN\s+"([^"]*)"\s+SELECT\s+\*\s+FROM\s+(\w+)\s*$)re"), CI);
    if (const auto m = external.match(text); m.hasMatch()) {
        st.externalTable = m.captured(1);
        st.externalPath = m.captured(2);
        st.sourceTable = m.captured(3);
        st.sql = QStringLiteral("INSERT INTO %1.\"%2\" SELECT * FROM \"%3\"")
                     .arg(QLatin1String(ExternalSchema), st.externalTable, st.sourceTable);
        return st;
    }
    st.sql = collateOrderBy(foldOrChains(isoDateLike(unqualifySet(text))));
    return st;
}

QString SqlFormat(const QString& text, const QStringList& values)
{
    static const RX marker(QStringLiteral("%[SsDd]"));
    QString out;
    qsizetype copied = 0;
    qsizetype used = 0;
    for (auto it = marker.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        if (used >= values.size())
            throw AppError(QStringLiteral("Не хватает значений для текста запроса: %1").arg(text));
        out += QStringView(text).mid(copied, m.capturedStart() - copied);
        out += values[used++];
        copied = m.capturedEnd();
    }
    if (used != values.size())
        throw AppError(QStringLiteral("Лишние значения для текста запроса: %1").arg(text));
    out += QStringView(text).mid(copied);
    return out;
}
