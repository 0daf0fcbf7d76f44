#pragma once

#include "archive.h"
#include "table.h"

#include <QList>
#include <QPair>
#include <QString>

// What a question file holds, read without a store: the topic's name (the ".top" entry's base
// name as packed), its settings entry's "Fields" lines and remark, and the questions.
struct QuestionFileContents
{
    QString topicName;
    bool hasSettings = false;
    QList<QPair<QString, QString>> fields; // in file order
    QString remark;
    Table questions;
};

// Unpacks the file into a fresh folder under `workParent` (the system's temporary folder when
// empty) that is removed afterwards. AppError when the file is no archive or has no ".top" entry.
QuestionFileContents ReadQuestionFile(const QString& path, const QString& workParent = {});

// The name of a question file's questions entry: its first ".top" entry (any letter case), or empty
// when it has none.
QString QuestionsEntryName(const QList<TZLibEntry>& entries);
