#include "protocol.h"

#include "codec.h"
#include "fixedtext.h"
#include "listlines.h"

#include <limits>

namespace Protocol {

namespace {

constexpr char Nul = '\0';

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

// head NUL field NUL field ... : every field given is followed by NUL.
QByteArray headed(const char* head, std::initializer_list<QByteArray> fields, bool lastEndsWithNul = true)
{
    QByteArray out(head);
    out += Nul;
    qsizetype i = 0;
    for (const QByteArray& field : fields) {
        out += field;
        if (++i < qsizetype(fields.size()) || lastEndsWithNul)
            out += Nul;
    }
    return out;
}

} // namespace

QByteArray joinLines(const QStringList& lines)
{
    QByteArray out;
    for (const QString& line : lines)
        out += toCp1251(line) + "\r\n";
    return out;
}

QStringList splitLines(QByteArrayView field)
{
    const qsizetype nul = field.indexOf(Nul);
    if (nul >= 0)
        field = field.first(nul);
    return SplitListLines(fromCp1251(field.data(), field.size()));
}

std::optional<qint64> parseDecimal(QByteArrayView field)
{
    static constexpr qsizetype MaxDigits = 18; // stays inside qint64
    qsizetype i = 0;
    const bool negative = !field.isEmpty() && field[0] == '-';
    if (negative)
        i = 1;
    const qsizetype digits = field.size() - i;
    if (digits < 1 || digits > MaxDigits)
        return std::nullopt;
    qint64 value = 0;
    for (; i < field.size(); ++i) {
        const char c = field[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

std::optional<int> parseInt(QByteArrayView field)
{
    const std::optional<qint64> value = parseDecimal(field);
    if (!value || *value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(*value);
}

// --- student to server ---

QByteArray iam(int topicId, const QString& hostName)
{
    return headed(Head::Iam, {number(topicId), toCp1251(hostName)});
}

QByteArray rout(int priceSum, const QStringList& route)
{
    return headed(Head::Rout, {number(priceSum), joinLines(route)});
}

QByteArray report(const ReportLines& lines)
{
    const QStringList list{QStringLiteral("QueID=%1").arg(lines.queId), QStringLiteral("sRslt=") + lines.sRslt,
                           QStringLiteral("ShownCount=%1").arg(lines.shownCount),
                           QStringLiteral("TimeRemain=%1").arg(lines.timeRemain)};
    return headed(Head::Report, {joinLines(list)});
}

QByteArray totalReport(const QStringList& results)
{
    return headed(Head::TotalReport, {joinLines(results)});
}

QByteArray finishReport(const QStringList& results)
{
    return headed(Head::FinishReport, {joinLines(results)});
}

QByteArray criteriaNeeded()
{
    return QByteArray(Head::CriteriaNeeded) + Nul;
}

QByteArray command(const char* text)
{
    return text;
}

// --- server to student ---

QByteArray setPorts(int udpPort, int tcpPort)
{
    return headed(Head::SetPorts, {number(udpPort), number(tcpPort)}, false);
}

QByteArray allowRequest(int topicId, bool retry, const QString& topicName)
{
    return headed(Head::AllowRequest, {number(topicId), retry ? "1" : "0", toCp1251(topicName)}, false);
}

QByteArray ready(int topicId)
{
    return headed(Head::Ready, {number(topicId)});
}

QByteArray settingsList(const QStringList& settings)
{
    return headed(Head::SettingsList, {joinLines(settings)});
}

QByteArray questionListHead(qint64 byteCount)
{
    return headed(Head::QuestionList, {number(byteCount)});
}

QByteArray yourPrePointsAre(const QString& mark, double percent, const QStringList& details)
{
    return headed(Head::YourPrePointsAre, {toCp1251(mark), toCp1251(FormatFixed(percent, 1)), joinLines(details)},
                  false);
}

QByteArray yourFinalPointsAre(int points)
{
    return headed(Head::YourFinalPointsAre, {number(points)}, false);
}

QByteArray criteriaListIs(const QStringList& criteria)
{
    return headed(Head::CriteriaListIs, {joinLines(criteria)}, false);
}

// --- log texts of sends ---

namespace {

bool hasHead(const QByteArray& message, const char* head)
{
    const QByteArrayView h(head);
    return message.startsWith(h) && (message.size() == h.size() || message[h.size()] == Nul);
}

} // namespace

std::optional<QString> sentLogText(Side sender, const QByteArray& message)
{
    if (message == Head::Noop)
        return std::nullopt;
    if (sender == Side::Server) {
        if (hasHead(message, Head::SetPorts) || hasHead(message, Head::Ready))
            return std::nullopt;
        if (hasHead(message, Head::SettingsList))
            return QString::fromLatin1(SettingsListLogText);
        if (hasHead(message, Head::QuestionList))
            return QString::fromLatin1(QuestionListLogText);
        if (hasHead(message, Head::YourFinalPointsAre))
            return QString::fromLatin1(FinalPointsLogText);
    }
    return fromCp1251(message);
}

} // namespace Protocol
