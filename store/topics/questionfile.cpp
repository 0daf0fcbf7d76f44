#include "questionfile.h"

#include "adtg.h"
#include "apperror.h"
#include "archive.h"
#include "inifile.h"
#include "topicstexts.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

QString QuestionsEntryName(const QList<TZLibEntry>& entries)
{
    for (const TZLibEntry& entry : entries)
        if (entry.name.endsWith(QLatin1String(".top"), Qt::CaseInsensitive))
            return entry.name;
    return {};
}

QuestionFileContents ReadQuestionFile(const QString& path, const QString& workParent)
{
    const QString pattern = QStringLiteral("question-file-XXXXXX");
    QTemporaryDir work(workParent.isEmpty() ? QDir::temp().filePath(pattern) : QDir(workParent).filePath(pattern));
    if (!work.isValid())
        throw AppError(QStringLiteral("Не удалось создать временную папку: %1").arg(work.errorString()));
    TZLibCompression archive;
    const QList<TZLibEntry> entries = archive.DecompressFiles(path, work.path());
    const QString topName = QuestionsEntryName(entries);
    if (topName.isEmpty())
        throw AppError(QString::fromUtf8(TopicsText::NoTopFile).arg(path));

    QuestionFileContents contents;
    contents.topicName = QFileInfo(topName).completeBaseName();
    contents.questions = ReadAdtgFile(QDir(work.path()).filePath(topName));
    const QString setName = contents.topicName + QStringLiteral(".set");
    for (const TZLibEntry& entry : entries) {
        if (entry.name.compare(setName, Qt::CaseInsensitive) != 0)
            continue;
        const IniFile ini = IniFile::load(QDir(work.path()).filePath(entry.name));
        contents.hasSettings = true;
        for (const QString& key : ini.keys(QStringLiteral("Fields")))
            contents.fields.append({key, ini.value(QStringLiteral("Fields"), key)});
        contents.remark = ini.value(QStringLiteral("Topic"), QStringLiteral("Remark"));
        break;
    }
    return contents;
}
