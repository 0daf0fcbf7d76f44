#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// The questions handed to each computer, by its address. Each set is also kept in a file of its
// own in a folder of the program's folder, so that a server started again after a crash still
// grades every work over the questions that computer was given.
class HandedOutSets
{
public:
    // Reads every set kept in the folder (made when missing).
    explicit HandedOutSets(const QString& folder);

    bool has(const QString& address) const { return m_sets.contains(address); }
    QList<int> of(const QString& address) const { return m_sets.value(address); }
    // Replaces the set and writes its file (whole or not at all).
    void set(const QString& address, const QList<int>& ids);
    void forget(const QString& address);
    // Forgets every set but those of the addresses given.
    void keepOnly(const QStringList& addresses);
    QStringList addresses() const { return m_sets.keys(); }

private:
    QString fileOf(const QString& address) const;

    QString m_folder;
    QHash<QString, QList<int>> m_sets;
};

// An answer list checked against the questions handed out: its lines for those questions in the
// list's order (the first line of a question only), then a line for each handed-out question the
// list lacks, with the text an unanswered question carries. Lines of other questions, and lines
// without a QueID, are left out and named in `refused`.
struct CheckedAnswerList
{
    QStringList lines;
    QStringList refused;
};
CheckedAnswerList CheckAnswerList(const QStringList& lines, const QList<int>& handedOut,
                                  const std::function<QString(int queId)>& unansweredText);

// The QueID of an answer-list line ("QueID=..." or the QueID alone); false when it has none.
bool AnswerLineId(QStringView line, int* queId);
