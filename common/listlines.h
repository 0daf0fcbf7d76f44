#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Lists of lines as they travel and are stored: answer lists, score lists, settings and criteria
// lists, a topic's question ids. A line ends at CR LF, LF or CR; the text after the last line
// break is a line when it is not empty. Written with CR LF after every line.

// Reads the lines of a text one by one, without copying.
class ListLineReader
{
public:
    explicit ListLineReader(QStringView text) : m_text(text) {}

    // The next line, or false when the text is used up.
    bool next(QStringView* line);
    // The text not read yet.
    QStringView rest() const { return m_text.sliced(m_position); }

private:
    QStringView m_text;
    qsizetype m_position = 0;
};

QStringList SplitListLines(QStringView text);
// The lines with CR LF after each.
QString JoinListLines(const QStringList& lines);
