#pragma once

#include "datamodules.h"
#include "testsettings.h"
#include "topicstore.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// A question bank for the server's tests and benchmark: Vezuviroz's data modules on the store of
// the program's folder, with helpers that add topics, questions, students and settings rows.
class ServerBank
{
public:
    ServerBank();

    StoreConnection* connection() const { return dm.ADOConnection(); }

    int addTopic(const QString& name, int parentId = 0);
    // A choice question with three answers of which `right` (1..3) is the correct one.
    int addChoice(int topicId, const QString& text, int right = 1, int price = 1, const QByteArray& picture = {});
    // An ordering question of four answers whose right order is 1234; HowMixed is the order shown.
    int addOrdering(int topicId, const QString& text, const QString& howMixed = QStringLiteral("4321"), int price = 1);
    // A matching question of four pairs: left[n] goes with right[n]; HowMixed is the order shown.
    int addMatching(int topicId, const QString& text, const QStringList& left, const QStringList& right,
                    const QString& howMixed = QStringLiteral("12348765"));
    // Appends the questions to the topic's list.
    void listQuestions(int topicId, const QList<int>& queIds);
    int addStudent(const QString& name);
    // The topic's settings row, made from the defaults and then changed.
    void setSettings(int topicId, const std::function<void(TestSettings&)>& change);

    // A value of the first row of a query.
    QVariant firstValue(const QString& sql, const QString& column);

    TDM dm;
    TSharedDM shared;
    TopicStore topics;
};

// A picture of about the given size, as the bank stores pictures (BMP bytes).
QByteArray SamplePicture(int bytes, int seed);
