#pragma once

#include "table.h"

#include <QString>

class StoreConnection;

// A topic of the bank as the question-list export takes it: its name and its question set as the
// topic window reads it.
struct TopicQuestionSet
{
    QString name;
    Table questions;
};

// AppError when there is no such topic.
TopicQuestionSet ReadTopicQuestionSet(StoreConnection* store, int topicId);
