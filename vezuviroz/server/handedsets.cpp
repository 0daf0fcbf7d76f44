#include "handedsets.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>

namespace {

constexpr char Extension[] = ".set";

// An address may name a file only when it holds nothing but the characters of an address.
bool isSafeFileName(const QString& address)
{
    static const QRegularExpression safe(QStringLiteral("^[0-9A-Fa-f.:]{1,64}$"));
    return safe.match(address).hasMatch();
}

} // namespace

HandedOutSets::HandedOutSets(const QString& folder) : m_folder(folder)
{
    QDir dir(folder);
    dir.mkpath(QStringLiteral("."));
    for (const QString& name : dir.entryList({QStringLiteral("*") + QLatin1String(Extension)}, QDir::Files)) {
        const QString address = name.chopped(int(qstrlen(Extension)));
        QFile file(dir.filePath(name));
        if (!isSafeFileName(address) || !file.open(QIODevice::ReadOnly))
            continue;
        QList<int> ids;
        for (const QByteArray& line : file.readAll().split('\n')) {
            bool ok = false;
            const int id = line.trimmed().toInt(&ok);
            if (ok)
                ids.append(id);
        }
        m_sets.insert(address, ids);
    }
}

QString HandedOutSets::fileOf(const QString& address) const
{
    return QDir(m_folder).filePath(address + QLatin1String(Extension));
}

void HandedOutSets::set(const QString& address, const QList<int>& ids)
{
    m_sets.insert(address, ids);
    if (!isSafeFileName(address))
        return;
    QByteArray bytes;
    for (int id : ids)
        bytes += QByteArray::number(id) + '\n';
    QSaveFile file(fileOf(address));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
        file.commit();
    }
}

void HandedOutSets::forget(const QString& address)
{
    if (m_sets.remove(address) && isSafeFileName(address))
        QFile::remove(fileOf(address));
}

void HandedOutSets::keepOnly(const QStringList& addresses)
{
    for (const QString& address : m_sets.keys())
        if (!addresses.contains(address))
            forget(address);
}

bool AnswerLineId(QStringView line, int* queId)
{
    const qsizetype eq = line.indexOf(u'=');
    const QStringView idText = eq >= 0 ? line.first(eq) : line;
    bool ok = false;
    *queId = idText.toInt(&ok);
    return ok && !idText.startsWith(u'+') && !idText.startsWith(u' ');
}

CheckedAnswerList CheckAnswerList(const QStringList& lines, const QList<int>& handedOut,
                                  const std::function<QString(int)>& unansweredText)
{
    const QSet<int> handed(handedOut.begin(), handedOut.end());
    QSet<int> seen;
    CheckedAnswerList checked;
    for (const QString& line : lines) {
        int id = 0;
        if (!AnswerLineId(line, &id) || !handed.contains(id) || seen.contains(id)) {
            // a second line of one question would be graded (and priced) twice
            if (!line.isEmpty())
                checked.refused.append(line.section(u'=', 0, 0));
            continue;
        }
        seen.insert(id);
        checked.lines.append(line);
    }
    for (int id : handedOut)
        if (!seen.contains(id)) {
            seen.insert(id);
            checked.lines.append(QStringLiteral("%1=%2").arg(id).arg(unansweredText(id)));
        }
    return checked;
}
