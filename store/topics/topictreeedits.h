#pragma once

#include <QString>

class Dataset;
class TopicStore;

// What both programs' topic panels do to the tree itself: renaming a topic and dragging it under a
// new parent, moved or copied. The holding topic refuses both, with a message.
class TopicTreeEdits
{
public:
    explicit TopicTreeEdits(TopicStore& store) : m_store(store) {}

    // Stored at once; false for the holding topic (told), an empty name or a missing topic.
    bool rename(int topicId, const QString& name);
    // A topic dragged under a new parent (0: top level). Moving changes only its parent; a copy is
    // a new topic with the name, remark and list, each listed question gaining a link. The id of
    // the moved or new topic; 0 when the holding topic was refused (told) or a topic would move
    // below itself.
    int dragTopic(int topicId, int newParentId, bool copy);
    // Whether the topic is the ancestor or one of its sub-topics, at any depth.
    bool isWithin(int topicId, int ancestorId) const;
    int parentOf(int topicId) const;
    QString topicName(int topicId) const;
    bool exists(int topicId) const;

    // The topics read again, on the topic's row.
    static bool locateTopic(Dataset& topics, int topicId);

private:
    TopicStore& m_store;
};
