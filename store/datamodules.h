#pragma once

#include "storeconnection.h"
#include "table.h"
#include "testsettings.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class Dataset;

enum class StoreProgram
{
    Vezuviroz,
    Scribant
};

// The server's copies of the question tables of topics that computers are working on, so that
// their reports are graded after the teacher has opened another topic.
class TopicQuestionCache
{
public:
    struct Entry
    {
        QString key; // the topic id as decimal text
        Table questions;
        int references = 0;
    };

    int count() const { return int(m_entries.size()); }
    Entry* find(const QString& key);
    Entry* findTopic(int topicId) { return find(QString::number(topicId)); }
    Entry& add(int topicId, Table questions);
    void remove(const QString& key);
    void clear() { m_entries.clear(); }

private:
    QList<Entry> m_entries;
};

// The database module: owns the connection to vs4.mdb and the datasets of the program. Made
// first at start (opening the store), freed last at the end (closing and compacting it).
class TDM : public QObject
{
    Q_OBJECT

public:
    static constexpr int ReconnectPauseMs = 1000;
    static constexpr char StoreFileName[] = "vs4.mdb";

    // Runs `work` after `ms` milliseconds on the event loop; tests put in one that runs it when they say.
    using Scheduler = std::function<void(int ms, std::function<void()> work)>;

    // Checks for the SQLite driver and opens the store: AppError with the message when either fails.
    explicit TDM(StoreProgram program, QObject* parent = nullptr);
    // Closes the store when Close() has not; what goes wrong then only reaches the run log.
    ~TDM() override;

    StoreProgram program() const { return m_program; }
    StoreConnection* ADOConnection() const { return m_connection.get(); }

    void OpenAllDatasets();
    // Closes the connection and opens it again with every dataset. Without pause the store is open
    // again on return. With pause it stays closed for ReconnectPauseMs while the event loop runs on
    // (pending events run before it opens again), and reconnected() says when it is open; a call
    // while one is pending joins it.
    void Reconnect(bool pause);
    void ClearCurrentTesting();
    // The end of the store at the end of the program: CurrentTesting emptied (Vezuviroz), the
    // connection closed and the file compacted. Gives what went wrong, in words, for the program to
    // show; an empty list when all went well. Once closed, a second call does nothing.
    QStringList Close();

    void setScheduler(Scheduler scheduler) { m_scheduler = std::move(scheduler); }

    // Set by the server while it inserts a computer's row; any other insert is abandoned.
    void setCurrentTestingInsertAllowed(bool allowed) { m_insertAllowed = allowed; }
    // The program is ending: changes of the current row no longer refresh the window.
    void setEnding(bool ending) { m_ending = ending; }
    TopicQuestionCache* topicQuestionCache() const { return m_cache.get(); }

    // Vezuviroz and Scribant.
    Dataset* sqlTopics = nullptr;
    Dataset* sqlAppSettings = nullptr;
    // Vezuviroz only (null in Scribant).
    Dataset* sqlQuestions = nullptr;
    Dataset* sqlResults = nullptr;
    Dataset* sqlCurrentTesting = nullptr;
    Dataset* sqlStudents = nullptr;
    Dataset* sqlKlasses = nullptr;
    Dataset* sqlWorkingCount = nullptr;

Q_SIGNALS:
    // The main window's refresh after the current CurrentTesting row changed (connect queued).
    void currentTestingChanged();
    // A reconnection with pause has opened the store again.
    void reconnected();

private:
    void OpenStore();
    QString CloseStore();
    void reopen();
    void wireCurrentTesting();

    StoreProgram m_program;
    std::unique_ptr<StoreConnection> m_connection;
    std::unique_ptr<TopicQuestionCache> m_cache;
    Scheduler m_scheduler;
    bool m_insertAllowed = false;
    bool m_newRowPosting = false;
    bool m_ending = false;
    bool m_reconnectPending = false;
    bool m_closed = false;
};

// The shared data module of both programs: the queries of the topic tree and the settings,
// on the database module's connection. Its datasets are all open once it is made.
class TSharedDM : public QObject
{
    Q_OBJECT

public:
    explicit TSharedDM(TDM* dm, QObject* parent = nullptr);
    ~TSharedDM() override;

    TDM* dm() const { return m_dm; }

    Dataset* sqlOldQuestions = nullptr;
    Dataset* sqlSingleLevelTopics = nullptr;
    Dataset* sqlTopics = nullptr;
    Dataset* sqlSettings = nullptr;
    std::unique_ptr<SqlCommand> cmdResetTopics;
    std::unique_ptr<SqlCommand> cmdReserve;

    // The settings operations on sqlSettings.
    SettingsRows& settings() { return *m_settings; }
    // The process-wide list of QueID texts that saving, loading and imports fill.
    QStringList& questionIdList() { return m_questionIds; }

    // The holding topic's id, fixed by the start-up preparation for the rest of the run (0 before
    // it). Each module keeps its own: two stores open in one process do not share it.
    int NoTopicID() const { return m_noTopicId; }
    void setNoTopicID(int topicId) { m_noTopicId = topicId; }

private:
    TDM* m_dm;
    int m_noTopicId = 0;
    std::unique_ptr<SettingsRows> m_settings;
    QStringList m_questionIds;
};
