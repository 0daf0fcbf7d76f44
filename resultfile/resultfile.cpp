#include "resultfile.h"

#include "adtg.h"
#include "apperror.h"
#include "appfolder.h"
#include "archive.h"
#include "codec.h"
#include "inifile.h"
#include "listlines.h"
#include "questionrow.h"
#include "runlog.h"
#include "valuation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

namespace {

const QString CommonSection = QStringLiteral("Common");
const QString SettingsSection = QStringLiteral("Settings");
const QString StudentNameKey = QStringLiteral("StudentName");
const QString TopicIdKey = QStringLiteral("TopicID");
const QString DateTimeKey = QStringLiteral("DateTime");
const QString MaxTimeKey = QStringLiteral("MaxTime");
const QString TimeRemainKey = QStringLiteral("TimeRemain");
const QString TopExtension = QStringLiteral(".top");
const QString DateFormat = QStringLiteral("dd.MM.yyyy");
const QString DateTimeFormat = QStringLiteral("dd.MM.yyyy H:mm:ss");
const char* const SaveFailedLog = "Unable to save work to file";

static constexpr int NameAttempts = 1000;

// A text file member: the lines of the list, each ended by CR LF, in Windows-1251.
QByteArray listBytes(const QString& list)
{
    return toCp1251(JoinListLines(SplitListLines(list)));
}

void writeMember(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw AppError(QStringLiteral("Не удалось записать \"%1\": %2").arg(path, file.errorString()));
}

// A line break in a name would end its line in "addittional.dat" and let it set other keys; one
// in a message would break the one line that tells what is wrong with a file.
QString oneLine(QString text)
{
    for (QChar& c : text)
        if (c.unicode() < u' ')
            c = u' ';
    return text;
}

QByteArray additionalBytes(const ResultWork& work, const QDateTime& now)
{
    IniFile ini;
    ini.setValue(CommonSection, StudentNameKey, oneLine(work.studentName));
    ini.setValue(SettingsSection, TopicIdKey, QString::number(work.topicId));
    ini.setValue(SettingsSection, DateTimeKey, FormatSavingTime(now));
    ini.setValue(SettingsSection, MaxTimeKey, QString::number(work.maxTime));
    ini.setValue(SettingsSection, TimeRemainKey, QString::number(work.timeRemain));
    return ini.toBytes();
}

QString fileStem(const QString& targetFolder, const QDateTime& now)
{
    const QString stamp = now.toString(QStringLiteral("ddMMyy-hhmmss")) + QString::number(now.time().msec());
    if (!targetFolder.isEmpty())
        return QDir(targetFolder).filePath(stamp);
    const QString folder = AppFilePath(ResultFile::SavedWorksFolder);
    return QDir(folder).filePath(ResultFile::LocalPrefix + stamp);
}

// Moves the packed file to the first free name; never replaces a file.
QString moveToFreeName(const QString& packed, const QString& stem, const QString& extension)
{
    for (int attempt = 1; attempt <= NameAttempts; ++attempt) {
        const QString name =
            attempt == 1 ? stem + extension : QStringLiteral("%1-%2%3").arg(stem).arg(attempt).arg(extension);
        if (QFileInfo::exists(name))
            continue;
        if (QFile::rename(packed, name))
            return name;
        if (!QFileInfo::exists(name)) // not taken meanwhile: renaming itself fails
            break;
    }
    throw AppError(QStringLiteral("Нет свободного имени для \"%1%2\"").arg(stem, extension));
}

QByteArray readMember(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("cannot read \"%1\": %2").arg(path, file.errorString()));
    return file.readAll();
}

// A whole decimal number of addittional.dat; anything else makes the file damaged.
int requiredInteger(const IniFile& ini, const QString& key)
{
    bool ok = false;
    const QString text = ini.value(SettingsSection, key);
    const int value = text.toInt(&ok);
    if (!ok)
        throw AppError(
            QStringLiteral("%1: %2 is not a whole number: \"%3\"").arg(ResultFile::AdditionalMember, key, text));
    return value;
}

} // namespace

QString FormatSavingTime(const QDateTime& time)
{
    return time.time() == QTime(0, 0) ? time.toString(DateFormat) : time.toString(DateTimeFormat);
}

QDateTime ParseSavingTime(const QString& text)
{
    const QString trimmed = text.trimmed();
    for (const QString& format : {DateTimeFormat, QStringLiteral("dd.MM.yyyy HH:mm:ss")}) {
        const QDateTime t = QDateTime::fromString(trimmed, format);
        if (t.isValid())
            return t;
    }
    const QDate date = QDate::fromString(trimmed, DateFormat);
    return date.isValid() ? QDateTime(date, QTime(0, 0)) : QDateTime();
}

QString WriteResultFile(const ResultWork& work, const QString& targetFolder, const QDateTime& now)
{
    const QString extension =
        work.eightAnswerFormat ? ResultFile::EightAnswerExtension : ResultFile::SevenAnswerExtension;
    const QString stem = fileStem(targetFolder, now);
    try {
        // Members go to a folder of their own under Temp: nothing else there can be taken or removed.
        const QString temp = AppFilePath(QStringLiteral("Temp"));
        QDir().mkpath(temp);
        QTemporaryDir members(QDir(temp).filePath(QStringLiteral("result-XXXXXX")));
        if (!members.isValid())
            throw AppError(members.errorString());
        const QDir dir(members.path());
        QStringList files{dir.filePath(QString::number(work.topicId) + TopExtension),
                          dir.filePath(ResultFile::AdditionalMember), dir.filePath(ResultFile::AnswersMember)};
        WriteAdtgFile(work.questions, files[0]);
        writeMember(files[1], additionalBytes(work, now));
        writeMember(files[2], listBytes(work.answerList));
        if (!work.criteriaList.isEmpty()) {
            files.append(dir.filePath(ResultFile::CriteriaMember));
            writeMember(files[3], listBytes(work.criteriaList));
        }
        // Packed beside its final name, so that the last step is a rename within one folder.
        const QString folder = QFileInfo(stem).absolutePath();
        if (!QDir().mkpath(folder))
            throw AppError(QStringLiteral("Не удалось создать папку \"%1\"").arg(folder));
        const QString packed =
            QDir(folder).filePath(QStringLiteral(".%1.part").arg(QFileInfo(members.path()).fileName()));
        try {
            TZLibCompression().CompressFiles(files, packed);
            return moveToFreeName(packed, stem, extension);
        } catch (...) {
            QFile::remove(packed);
            throw;
        }
    } catch (const AppError& e) {
        LogText(QString::fromLatin1(SaveFailedLog));
        LogText(e.message());
        return {};
    }
}

static ResultFileContents readResultFile(const QString& path, const QString& workParent)
{
    if (!QFileInfo(path).isFile())
        throw AppError(QStringLiteral("Файл \"%1\" не найден.").arg(path));
    const QString pattern = QStringLiteral("result-file-XXXXXX");
    QTemporaryDir work(workParent.isEmpty() ? QDir::temp().filePath(pattern) : QDir(workParent).filePath(pattern));
    if (!work.isValid())
        throw AppError(QStringLiteral("Не удалось создать временную папку: %1").arg(work.errorString()));
    const QList<TZLibEntry> entries = TZLibCompression().DecompressFiles(path, work.path());

    QString topName;
    bool hasAdditional = false;
    bool hasAnswers = false;
    ResultFileContents contents;
    for (const TZLibEntry& entry : entries) {
        if (topName.isEmpty() && entry.name.endsWith(TopExtension, Qt::CaseInsensitive))
            topName = entry.name;
        hasAdditional |= entry.name.compare(ResultFile::AdditionalMember, Qt::CaseInsensitive) == 0;
        hasAnswers |= entry.name.compare(ResultFile::AnswersMember, Qt::CaseInsensitive) == 0;
        contents.hasCriteria |= entry.name.compare(ResultFile::CriteriaMember, Qt::CaseInsensitive) == 0;
    }
    const auto missing = [&](const QString& what) {
        return AppError(QStringLiteral("\"%1\" is not a result file: it has no %2").arg(path, what));
    };
    if (topName.isEmpty())
        throw missing(QStringLiteral("question set (*.top)"));
    if (!hasAdditional)
        throw missing(ResultFile::AdditionalMember);
    if (!hasAnswers)
        throw missing(ResultFile::AnswersMember);

    // Member names are matched without case; the file system is told the names as packed.
    const auto memberPath = [&](const QString& name) {
        for (const TZLibEntry& entry : entries)
            if (entry.name.compare(name, Qt::CaseInsensitive) == 0)
                return QDir(work.path()).filePath(entry.name);
        return QString();
    };
    ResultWork& w = contents.work;
    w.questions = ReadAdtgFile(memberPath(topName));
    w.eightAnswerFormat = w.questions.columnCount() >= QuestionColumns::EightAnswerMinColumns;
    w.answerList = fromCp1251(readMember(memberPath(ResultFile::AnswersMember)));
    if (contents.hasCriteria)
        w.criteriaList = fromCp1251(readMember(memberPath(ResultFile::CriteriaMember)));

    const IniFile ini = IniFile::fromBytes(readMember(memberPath(ResultFile::AdditionalMember)));
    w.studentName = ini.contains(CommonSection, StudentNameKey) ? ini.value(CommonSection, StudentNameKey)
                                                                : ResultFile::UnknownStudent;
    w.topicId = requiredInteger(ini, TopicIdKey);
    w.maxTime = requiredInteger(ini, MaxTimeKey);
    w.timeRemain = requiredInteger(ini, TimeRemainKey);
    const QString saved = ini.value(SettingsSection, DateTimeKey);
    contents.savedAt = ParseSavingTime(saved);
    if (!contents.savedAt.isValid())
        throw AppError(
            QStringLiteral("%1: the saving time is not a date: \"%2\"").arg(ResultFile::AdditionalMember, saved));
    return contents;
}

ResultFileContents ReadResultFile(const QString& path, const QString& workParent)
{
    try {
        return readResultFile(path, workParent);
    } catch (const AppError& e) {
        // The readers of the members may quote bytes of the file in their messages.
        throw AppError(oneLine(e.message()));
    }
}
