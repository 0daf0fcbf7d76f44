#include "listlines.h"

bool ListLineReader::next(QStringView* line)
{
    const qsizetype n = m_text.size();
    if (m_position >= n)
        return false;
    qsizetype end = m_position;
    while (end < n && m_text[end] != u'\r' && m_text[end] != u'\n')
        ++end;
    *line = m_text.sliced(m_position, end - m_position);
    if (end < n) // past the line break: CR LF is one
        ++end;
    if (end < n && m_text[end - 1] == u'\r' && m_text[end] == u'\n')
        ++end;
    m_position = end;
    return true;
}

QStringList SplitListLines(QStringView text)
{
    QStringList lines;
    ListLineReader reader(text);
    for (QStringView line; reader.next(&line);)
        lines.append(line.toString());
    return lines;
}

QString JoinListLines(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines)
        text += line + QLatin1String("\r\n");
    return text;
}
