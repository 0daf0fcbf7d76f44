#pragma once

#include <QString>
#include <QStringList>

// What Vezuviroz is asked on its command line: a result file to show, or a topic to open once the
// window is shown ("--topic ID|NAME", an id when the value is a number), with request mode
// switched on by "--allow-requests", so that a lab can start an exam from a desktop launcher.
struct StartOptions
{
    QString resultFile;
    int topicId = 0;
    QString topicName;
    bool allowRequests = false;
    QString error; // why the command line was refused; nothing else is set then

    bool hasTopic() const { return topicId != 0 || !topicName.isEmpty(); }
};

// The arguments after the program's name.
StartOptions ParseStartOptions(const QStringList& arguments);
