#pragma once

#include "table.h"

#include <QDateTime>
#include <QString>

// The result file: a work that Student keeps when it cannot hand the result to the testing server,
// and that Vezuviroz reads later. A packed-files archive (".rslt4" for the eight-answer question
// format, ".rslt" for the seven-answer one) whose members are, in this order:
//     "<TopicID>.top"     the question set as the student worked on it, as a TableGram
//     "addittional.dat"   [Common] StudentName; [Settings] TopicID, DateTime, MaxTime, TimeRemain
//     "RoutChecked.list"  the answer list ("QueID=answer" lines)
//     "Criteria.list"     the criteria list; absent when Student had none
// Texts are Windows-1251 with CR LF line ends. The saving time is written as the Windows programs
// write a date-time value in the Russian locale: "dd.MM.yyyy H:mm:ss", the date alone at midnight.

namespace ResultFile {
inline const QString AdditionalMember = QStringLiteral("addittional.dat");
inline const QString AnswersMember = QStringLiteral("RoutChecked.list");
inline const QString CriteriaMember = QStringLiteral("Criteria.list");
inline const QString EightAnswerExtension = QStringLiteral(".rslt4");
inline const QString SevenAnswerExtension = QStringLiteral(".rslt");
inline const QString SavedWorksFolder = QStringLiteral("SavedWorks");
inline const QString LocalPrefix = QStringLiteral("Local-");
inline const QString SavedInDbPrefix = QStringLiteral("SavedInDB_");
inline const QString UnknownStudent = QStringLiteral("Неизвестно");
// Told to the student when the work could not be saved.
inline const QString SaveFailed = QStringLiteral("Не удалось сохранить работу в файл.");
} // namespace ResultFile

// What a result file keeps of one work.
struct ResultWork
{
    Table questions;
    QString studentName;
    int topicId = 0;
    bool eightAnswerFormat = true;
    int maxTime = 0;    // the time limit in minutes; 0 for a test without a limit
    int timeRemain = 0; // seconds left; 0 for a test without a limit
    QString answerList;
    QString criteriaList; // no member when empty
};

// Writes the work into "<targetFolder>/<stamp><extension>", or without a folder into
// "SavedWorks/Local-<stamp><extension>" under the program's folder; the stamp is the local time
// `now` as "ddMMyy-hhmmss" followed by the milliseconds (unpadded). An existing file is never
// replaced: when the name is taken, "-2", "-3", ... go before the extension. The file is written
// completely or not at all. Gives the path written, or an empty path after logging
// "Unable to save work to file" (the caller tells the student ResultFile::SaveFailed).
QString WriteResultFile(const ResultWork& work, const QString& targetFolder = {},
                        const QDateTime& now = QDateTime::currentDateTime());

struct ResultFileContents
{
    ResultWork work;
    QDateTime savedAt;
    bool hasCriteria = false;
};

// Reads a result file (unpacked into a fresh folder under workParent, the system's temporary
// folder when empty, that is removed afterwards). The first ".top" member is the question set; the
// format is told by its column count. A missing student name reads as "Неизвестно". A damaged or
// foreign file raises AppError with a one-line reason.
ResultFileContents ReadResultFile(const QString& path, const QString& workParent = {});

// The saving time as written, and read back: the reader also takes two-digit hours and a date
// without a time; an invalid QDateTime when the text is neither.
QString FormatSavingTime(const QDateTime& time);
QDateTime ParseSavingTime(const QString& text);
