#pragma once

#include <QString>
#include <memory>

class Dataset;
class TopicStore;

// The editor window's rules on whole topics without the window: its settings row, deleting a
// topic, moving and copying topics in the tree, adding a dropped question to a topic that has no
// window, and the working marks reset at the end.
class EditorTopics
{
public:
    static constexpr int DefaultTopicBreakCount = 10;

    explicit EditorTopics(TopicStore& store);
    ~EditorTopics();

    // The ScribantSettings row, made with its defaults when the table is empty.
    void EnsureSettingsRow();
    Dataset& settings() const { return *m_settings; }
    int topicBreakCount() const;
    void setTopicBreakCount(int count);
    bool setting(const QString& column) const;
    void setSetting(const QString& column, bool value);

    enum class DeleteOutcome
    {
        Deleted,
        Declined,
        Refused
    };
    // Asks first; sub-topics move up to the topic's parent, questions left in no topic go into
    // the holding topic. The topic's settings row stays.
    DeleteOutcome DeleteTopic(int topicId);

    // A topic dragged under a new parent (0: top level). Moving changes only its parent; a copy is
    // a new topic with the name, remark and list, each listed question gaining a link. The id of
    // the moved or new topic; 0 when the holding topic was refused.
    int dragTopic(int topicId, int newParentId, bool copy);

    // A question dropped on a topic that is not opened for it: its line is added when missing,
    // and a copy gains a link. False when the topic listed it already.
    bool addQuestionInStore(int topicId, int queId, bool copy);

    bool rename(int topicId, const QString& name);
    int parentOf(int topicId) const;
    QString topicName(int topicId) const;
    bool exists(int topicId) const;

    // The editor is closing: questions keep no working mark but the holding topic's.
    void resetWorkingMarks();

private:
    TopicStore& m_store;
    std::unique_ptr<Dataset> m_settings;
};
