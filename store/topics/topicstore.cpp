#include "topicstore.h"

#include "adtg.h"
#include "apperror.h"
#include "appfolder.h"
#include "archive.h"
#include "datamodules.h"
#include "dataset.h"
#include "datasettable.h"
#include "listlines.h"
#include "messages.h"
#include "picture.h"
#include "questionfile.h"
#include "schema.h"
#include "sqldialect.h"
#include "sqltexts.h"
#include "topicstexts.h"
#include "utf8text.h"
#include "waitcursor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTemporaryDir>
#include <algorithm>

namespace {

const QString CrLf = QStringLiteral("\r\n");

bool isListedNumber(const QString& entry, qlonglong* value)
{
    bool ok = false;
    const qlonglong v = entry.toLongLong(&ok);
    if (!ok || v == -1)
        return false;
    *value = v;
    return true;
}

// The piece a format "%S<piece>%S" puts between its two values.
QString between(const char* format)
{
    const QString f = Utf8Text(format);
    return f.mid(2, f.size() - 4);
}

// A file of the folder whose name equals `name` regardless of letter case (Windows names had none).
QString findFileAnyCase(const QString& folder, const QString& name)
{
    const QDir dir(folder);
    if (dir.exists(name))
        return dir.filePath(name);
    const QStringList entries = dir.entryList(QDir::Files);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return {};
}

// A picture named in an import file, looked for in the file's folder (sub-folders allowed,
// Windows separators too); a name that leads out of the folder names no picture.
QString resolvePicture(const QString& folder, const QString& name)
{
    QString relative = name;
    relative.replace(u'\\', u'/');
    if (relative.isEmpty() || QDir::isAbsolutePath(relative) || relative.contains(QChar(0)))
        return {};
    const QString cleaned = QDir::cleanPath(relative);
    if (cleaned == QLatin1String("..") || cleaned.startsWith(QLatin1String("../")))
        return {};
    const QFileInfo info(QDir(folder).filePath(cleaned));
    return findFileAnyCase(info.absolutePath(), info.fileName());
}

// Imports take over a text longer than its column shortened; the run log names the source.
QVariant imported(const Dataset& dataset, const QString& field, const QVariant& value, const QString& source)
{
    const int ordinal = dataset.fieldIndex(field);
    return ordinal < 0 ? value : ShortenForColumn(dataset.fields().at(ordinal), value, source);
}

void setImported(Dataset& dataset, const QString& field, const QVariant& value, const QString& source)
{
    dataset.setValue(field, imported(dataset, field, value, source));
}

void setTopicIds(Dataset& topics, const QStringList& ids)
{
    topics.edit();
    topics.setValue(QStringLiteral("QueIDs"), TopicStore::QueIdText(ids));
    topics.post();
}

} // namespace

TopicStore::TopicStore(TSharedDM* shared) : m_shared(shared) {}

QStringList& TopicStore::questionIdList()
{
    return m_shared->questionIdList();
}

QString TopicStore::WorkFolder()
{
    const QString folder = AppFilePath(Utf8Text(TopicsText::WorkFolder));
    if (!QDir().mkpath(folder))
        throw AppError(QStringLiteral("Не удалось создать папку \"%1\".").arg(folder));
    return folder;
}

QStringList TopicStore::QueIdLines(const QString& queIds)
{
    return SplitListLines(queIds);
}

QString TopicStore::QueIdText(const QStringList& ids)
{
    return JoinListLines(ids);
}

void TopicStore::PrepareStore()
{
    WaitCursor wait;
    Dataset& topics = *m_shared->sqlTopics;
    StoreTransaction transaction(m_shared->dm()->ADOConnection()->database());
    try {
        topics.requery();
        for (topics.first(); !topics.eof(); topics.next()) {
            if (!topics.value(QStringLiteral("ParentID")).isValid()) {
                topics.edit();
                topics.setValue(QStringLiteral("ParentID"), 0);
                topics.post();
            }
        }

        if (!topics.locate(QStringLiteral("TopicName"), Utf8Text(TopicsText::HoldingTopic))) {
            topics.append();
            topics.setValue(QStringLiteral("TopicName"), Utf8Text(TopicsText::HoldingTopic));
            topics.setValue(QStringLiteral("ParentID"), 0);
            topics.post();
        }
        const int noTopicId = topics.value(QStringLiteral("TopicID")).toInt();

        m_shared->settings().EstablishDefaultRow(noTopicId);

        // The topics without a list, in name order, get the questions marked with them, in key
        // order. The marks are read once for all of them (one query per topic would read the
        // whole question table once per topic) and only the three columns concerned.
        QList<int> unlisted;
        for (topics.first(); !topics.eof(); topics.next())
            if (!topics.value(QStringLiteral("QueIDs")).isValid())
                unlisted.append(topics.value(QStringLiteral("TopicID")).toInt());
        if (!unlisted.isEmpty()) {
            Dataset marks(m_shared->dm()->ADOConnection(), QStringLiteral("sqlMarks"), Utf8Text(Sql::QuestionLinks));
            marks.open();
            QHash<int, QList<int>> rowsOf; // topic -> record numbers of its marked questions
            for (int topic : std::as_const(unlisted))
                rowsOf.insert(topic, {});
            for (marks.first(); !marks.eof(); marks.next()) {
                const auto it = rowsOf.find(marks.value(QStringLiteral("TopicID")).toInt());
                if (it != rowsOf.end())
                    it->append(marks.recNo());
            }
            for (int topic : std::as_const(unlisted)) {
                QStringList ids;
                for (int recNo : std::as_const(rowsOf[topic])) {
                    marks.moveBy(recNo - marks.recNo());
                    ids.append(QString::number(marks.value(QStringLiteral("QueID")).toLongLong()));
                    AdjustLink(marks, true);
                }
                topics.locate(QStringLiteral("TopicID"), topic);
                setTopicIds(topics, ids);
            }
        }

        m_shared->cmdReserve->setText(Utf8Text(Sql::ZeroNullQueType));
        m_shared->cmdReserve->execute();
        transaction.commit();
        m_shared->setNoTopicID(noTopicId);
    } catch (...) {
        // The rows the datasets hold were rolled back: read them again.
        transaction.rollback();
        topics.requery();
        m_shared->sqlSettings->requery();
        throw;
    }
}

bool TopicStore::AdjustLink(Dataset& questions, bool add)
{
    const bool own = questions.state() == DatasetState::Browse;
    if (own)
        questions.edit();
    const QString field = QStringLiteral("LinksCount");
    const QVariant links = questions.value(field);
    const int count = links.isValid() ? links.toInt() : 0;
    bool none = false;
    if (add) {
        questions.setValue(field, links.isValid() ? count + 1 : 1);
    } else {
        if (count > 0)
            questions.setValue(field, count - 1);
        none = count <= 1;
    }
    if (own)
        questions.post();
    return none;
}

void TopicStore::ChangeTopicLinks(Dataset& questions, int topicId, bool add)
{
    WaitCursor wait;
    StoreConnection* connection = m_shared->dm()->ADOConnection();
    Dataset& topics = *m_shared->sqlTopics;
    // The topics dataset follows the file, as its server cursor always did.
    topics.requery();
    const QStringList ids = topics.locate(QStringLiteral("TopicID"), topicId)
                                ? QueIdLines(topics.value(QStringLiteral("QueIDs")).toString())
                                : QStringList();

    Dataset holding(connection, QStringLiteral("sqlHoldingTopic"), Utf8Text(Sql::AllTopics));
    QStringList holdingIds;
    QSet<QString> held;
    if (!add) {
        holding.open();
        if (holding.locate(QStringLiteral("TopicID"), m_shared->NoTopicID()))
            holdingIds = QueIdLines(holding.value(QStringLiteral("QueIDs")).toString());
        held = QSet<QString>(holdingIds.cbegin(), holdingIds.cend());
    }

    const QString previousSql = questions.sql();
    questions.close();
    questions.setSql(Utf8Text(Sql::QuestionLinks));
    StoreTransaction transaction(connection->database());
    try {
        questions.open();
        // Rows by key, read once: a topic of thousands of questions in a bank of tens of thousands
        // would otherwise search the whole bank for each of its questions.
        QHash<qlonglong, int> rowOf;
        const int keyOrdinal = questions.fieldIndex(QStringLiteral("QueID"));
        for (int row = 0; row < questions.recordCount(); ++row)
            rowOf.insert(questions.rowValues(row)[keyOrdinal].toLongLong(), row);
        const int holdingBefore = int(holdingIds.size());
        for (const QString& id : ids) {
            bool ok = false;
            const auto found = rowOf.constFind(id.toLongLong(&ok));
            if (ok && found != rowOf.cend()) {
                questions.first();
                questions.moveBy(*found);
                const bool none = AdjustLink(questions, add);
                if (!add && none && holding.isOpen() && !held.contains(id)) {
                    holdingIds.append(id);
                    held.insert(id);
                }
            }
        }
        if (holdingIds.size() > holdingBefore && holding.locate(QStringLiteral("TopicID"), m_shared->NoTopicID()))
            setTopicIds(holding, holdingIds);
        transaction.commit();
    } catch (...) {
        transaction.rollback();
        questions.close();
        questions.setSql(previousSql);
        topics.requery();
        throw;
    }
    questions.close();
    questions.setSql(previousSql);
}

QString TopicStore::BuildQuestionListQuery(const QStringList& ids)
{
    const QString all = Utf8Text(Sql::AllQuestions);
    qlonglong first = 0;
    if (ids.isEmpty() || !isListedNumber(ids.first(), &first))
        return SqlFormat(Utf8Text(Sql::NoQuestions), {all});
    // "%S OR QueID=%S" over the text so far, for each further entry: appended in place, since
    // reformatting the whole text each time would cost the square of a long list.
    QString query = SqlFormat(Utf8Text(Sql::FirstListedQuestion), {all, QString::number(first)});
    static const QString orPiece = between(Sql::NextListedQuestion);
    for (qsizetype i = 1; i < ids.size(); ++i) {
        const QString& entry = ids.at(i);
        qlonglong value = 0;
        if (!entry.isEmpty() && entry != QLatin1String("0") && isListedNumber(entry, &value))
            query.append(orPiece).append(QString::number(value));
    }
    return query;
}

void TopicStore::OpenQuestionList(Dataset& dataset, const QStringList& ids)
{
    if (dataset.isOpen())
        dataset.close();
    dataset.setSql(BuildQuestionListQuery(ids));
    dataset.open();
}

void TopicStore::LoadPictureIntoField(const QString& file, Dataset& dataset, const QString& column)
{
    const QByteArray bmp = Picture::LoadPictureFile(file);
    dataset.setValue(column, bmp);
}

QString TopicStore::chooseSavePath(const QString& topicName)
{
    if (!saveDialog)
        return {};
    QString path = saveDialog(Utf8Text(TopicsText::SaveFilter), Utf8Text(TopicsText::QuestionFileExtension), topicName);
    if (path.isEmpty())
        return {};
    if (QFileInfo::exists(path)) {
        const QString question = SqlFormat(Utf8Text(TopicsText::FileExists), {path});
        if (ShowMessage(question, MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes)
            return {};
        // The old file is replaced only once the new one is complete (the archive is written
        // under another name and renamed), so a failed save keeps it.
    }
    return path;
}

bool TopicStore::SaveTopicToFile(int topicId, const QString& topicName, const QString& remark)
{
    const QString path = chooseSavePath(topicName);
    if (path.isEmpty())
        return false;
    saveToPath(topicId, topicName, remark, nullptr, path);
    return true;
}

bool TopicStore::SaveTopicToFile(int topicId, const QString& topicName, Dataset& questions)
{
    m_shared->sqlSettings->requery();
    if (!m_shared->settings().locateTopic(topicId))
        return false;
    const QString path = chooseSavePath(topicName);
    if (path.isEmpty())
        return false;
    saveToPath(topicId, topicName, QString(), &questions, path);
    return true;
}

void TopicStore::SaveTopicToPath(int topicId, const QString& topicName, const QString& remark, const QString& path)
{
    saveToPath(topicId, topicName, remark, nullptr, path);
}

void TopicStore::saveToPath(int topicId, const QString& topicName, const QString& remark, Dataset* given,
                            const QString& path)
{
    // The files to pack are made in a folder of their own, removed with everything in it when
    // the save ends, whether it succeeds or not.
    QTemporaryDir work(QDir(WorkFolder()).filePath(QStringLiteral("save-XXXXXX")));
    if (!work.isValid())
        throw AppError(QStringLiteral("Не удалось создать папку в \"%1\": %2").arg(WorkFolder(), work.errorString()));

    QStringList& ids = questionIdList();
    ids.clear();
    Dataset& topics = *m_shared->sqlTopics;
    topics.requery();
    if (topics.locate(QStringLiteral("TopicID"), topicId))
        ids = QueIdLines(topics.value(QStringLiteral("QueIDs")).toString());

    QStringList files;
    // Rows written through other datasets (or by the other program) count too.
    m_shared->sqlSettings->requery();
    const QString settingsFile = m_shared->settings().WriteTopicSettingsFile(topicId, remark, work.path(), topicName);
    if (!settingsFile.isEmpty())
        files.append(settingsFile);

    Table table;
    if (given) {
        table = DatasetToTable(*given);
    } else {
        Dataset questions(m_shared->dm()->ADOConnection(), QStringLiteral("sqlSaveQuestions"));
        OpenQuestionList(questions, ids);
        table = DatasetToTable(questions);
        // The query gives the rows in key order; the file keeps the topic's own order.
        QHash<qlonglong, qsizetype> position;
        for (qsizetype i = 0; i < ids.size(); ++i)
            position.insert(ids[i].toLongLong(), i);
        const int key = table.columnIndex(QStringLiteral("QueID"));
        QList<QVariantList> rows;
        for (int r = 0; r < table.rowCount(); ++r)
            rows.append(table.row(r));
        std::stable_sort(rows.begin(), rows.end(), [&](const QVariantList& a, const QVariantList& b) {
            return position.value(a[key].toLongLong()) < position.value(b[key].toLongLong());
        });
        table.clearRows();
        for (QVariantList& row : rows)
            table.appendRow(std::move(row));
    }
    const QString topFile = QDir(work.path()).filePath(PortableEntryName(topicName) + QStringLiteral(".top"));
    WriteAdtgFile(table, topFile);
    files.append(topFile);

    TZLibCompression().CompressFiles(files, path);
}

int TopicStore::LoadTopicFromFile(int parentId, const QString& givenPath)
{
    QString path = givenPath;
    if (!path.isEmpty() && !QFileInfo::exists(path))
        path.clear();
    if (path.isEmpty() && givenPath.isEmpty() && openDialog)
        path = openDialog(Utf8Text(TopicsText::LoadFilter), Utf8Text(TopicsText::QuestionFileExtension), QString());
    if (path.isEmpty() || !QFileInfo::exists(path))
        return 0;

    WaitCursor wait;
    // Each file is unpacked into a fresh folder of its own, so only its own entries are read.
    QTemporaryDir work(QDir(WorkFolder()).filePath(QStringLiteral("load-XXXXXX")));
    if (!work.isValid())
        throw AppError(QStringLiteral("Не удалось создать папку в \"%1\": %2").arg(WorkFolder(), work.errorString()));
    TZLibCompression archive;
    const QList<TZLibEntry> entries = archive.DecompressFiles(path, work.path());

    const QString topName = QuestionsEntryName(entries);
    if (topName.isEmpty())
        return 0;
    const QString topFile = findFileAnyCase(work.path(), topName);
    const Table source = ReadAdtgFile(topFile);
    QFile::remove(topFile);

    static const QStringList always = [] {
        QStringList c{QStringLiteral("Question"), QStringLiteral("QuePict")};
        for (int i = 1; i <= 7; ++i)
            c << QStringLiteral("Ans%1").arg(i) << QStringLiteral("Pict%1").arg(i) << QStringLiteral("OK%1").arg(i);
        return c;
    }();
    static const QStringList ifPresent{QStringLiteral("Price"), QStringLiteral("MixAnswers"), QStringLiteral("Ans8"),
                                       QStringLiteral("Pict8"), QStringLiteral("OK8")};
    const QString fileName = QFileInfo(path).fileName();
    QStringList& ids = questionIdList();
    ids.clear();
    StoreConnection* connection = m_shared->dm()->ADOConnection();
    Dataset questions(connection, QStringLiteral("sqlLoadQuestions"), BuildQuestionListQuery({}));
    Dataset& level = *m_shared->sqlSingleLevelTopics;
    // The questions, the topic and its settings are stored together or not at all.
    StoreTransaction transaction(connection->database());
    try {
        questions.open();
        for (int r = 0; r < source.rowCount(); ++r) {
            questions.append();
            questions.setValue(QStringLiteral("TopicID"), 0);
            questions.setValue(QStringLiteral("Used"), false);
            for (const QString& column : always)
                setImported(questions, column, source.value(r, column), fileName);
            for (const QString& column : ifPresent)
                if (source.hasColumn(column))
                    setImported(questions, column, source.value(r, column), fileName);
            questions.setValue(QStringLiteral("QueType"), source.hasColumn(QStringLiteral("QueType"))
                                                              ? source.value(r, QStringLiteral("QueType"))
                                                              : 0);
            questions.post();
            ids.append(QString::number(questions.value(QStringLiteral("QueID")).toLongLong()));
        }

        // The name as the old folder listing gave it: ASCII capitals lowered, other letters kept.
        QString topicName = QFileInfo(topName).completeBaseName();
        for (QChar& c : topicName)
            if (c >= u'A' && c <= u'Z')
                c = c.toLower();
        level.close();
        level.setParam(QStringLiteral("ParentID"), parentId);
        level.open();
        level.append();
        setImported(level, QStringLiteral("TopicName"), topicName, fileName);
        level.setValue(QStringLiteral("ParentID"), parentId);
        level.post();
        const int topicId = level.value(QStringLiteral("TopicID")).toInt();

        const QString settingsName = QFileInfo(topName).completeBaseName() + QStringLiteral(".set");
        const QString settingsFile = findFileAnyCase(work.path(), settingsName);
        const SettingsRows::FileResult settings =
            settingsFile.isEmpty() ? SettingsRows::FileResult()
                                   : m_shared->settings().ReadTopicSettingsFile(settingsFile, topicId);

        level.locate(QStringLiteral("TopicID"), topicId);
        level.edit();
        setImported(level, QStringLiteral("Remark"), settings.remark, fileName);
        level.setValue(QStringLiteral("QueIDs"), QueIdText(ids));
        level.post();
        transaction.commit();
        return topicId;
    } catch (...) {
        // The rows the datasets hold were rolled back: read them again.
        transaction.rollback();
        ids.clear();
        if (level.isOpen())
            level.requery();
        m_shared->sqlSettings->requery();
        throw;
    }
}

int TopicStore::ImportTestW(const QString& path)
{
    return importFile(ImportKind::TestW, path);
}

int TopicStore::ImportAssistant2(const QString& path)
{
    return importFile(ImportKind::Assistant2, path);
}

int TopicStore::ImportMyTest(const QString& path)
{
    return importFile(ImportKind::MyTest, path);
}

int TopicStore::importFile(ImportKind kind, const QString& givenPath)
{
    questionIdList().clear();
    static const char* const filters[] = {TopicsText::TestWFilter, TopicsText::Assistant2Filter,
                                          TopicsText::MyTestFilter};
    QString path = givenPath;
    if (path.isEmpty() && openDialog)
        path = openDialog(Utf8Text(filters[int(kind)]), QString(), QString());
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return 0;

    const QFileInfo info(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(Utf8Text(TopicsText::CannotReadFile).arg(path, file.errorString()));
    if (file.size() > Import::MaxFileBytes)
        throw AppError(Utf8Text(TopicsText::ImportFileTooLarge).arg(info.fileName()).arg(file.size()));
    const QByteArray bytes = file.readAll();
    file.close();

    Import::ParsedTopic parsed;
    switch (kind) {
    case ImportKind::TestW:
        parsed = Import::ParseTestW(bytes, info.fileName());
        break;
    case ImportKind::Assistant2:
        parsed = Import::ParseAssistant2(bytes, info.completeBaseName(), info.fileName());
        break;
    case ImportKind::MyTest:
        parsed = Import::ParseMyTest(bytes, info.fileName());
        break;
    }

    Dataset& level = *m_shared->sqlSingleLevelTopics;
    level.close();
    level.setParam(QStringLiteral("ParentID"), 0);
    level.open();
    const QString topicName =
        imported(level, QStringLiteral("TopicName"), parsed.topicName, info.fileName()).toString();
    if (level.locate(QStringLiteral("TopicName"), topicName))
        throw AppError(SqlFormat(Utf8Text(TopicsText::TopicExists), {topicName}));

    // Every picture is decoded before anything is stored: a damaged one stops the import with
    // nothing stored, never with half a topic.
    QList<QByteArray> pictures;
    for (const Import::ParsedQuestion& q : std::as_const(parsed.questions)) {
        QByteArray picture;
        for (const QString& name : q.pictures) {
            const QString file = resolvePicture(info.absolutePath(), name);
            if (!file.isEmpty())
                picture = Picture::LoadPictureFile(file);
        }
        pictures.append(picture);
    }

    StoreConnection* connection = m_shared->dm()->ADOConnection();
    Dataset questions(connection, QStringLiteral("sqlImportQuestions"), BuildQuestionListQuery({}));
    QStringList& ids = questionIdList();
    StoreTransaction transaction(connection->database());
    try {
        questions.open();
        level.append();
        level.setValue(QStringLiteral("TopicName"), topicName);
        level.setValue(QStringLiteral("ParentID"), 0);
        level.post();
        const int topicId = level.value(QStringLiteral("TopicID")).toInt();
        for (qsizetype i = 0; i < parsed.questions.size(); ++i) {
            const Import::ParsedQuestion& q = parsed.questions[i];
            questions.append();
            questions.setValue(QStringLiteral("Question"), q.question);
            // The imported formats know only questions with a choice of answers.
            questions.setValue(QStringLiteral("QueType"), 0);
            for (int a = 0; a < Import::AnswerCount; ++a) {
                setImported(questions, QStringLiteral("Ans%1").arg(a + 1), q.answers[a], info.fileName());
                questions.setValue(QStringLiteral("OK%1").arg(a + 1), q.ok[a]);
            }
            if (!pictures[i].isEmpty())
                questions.setValue(QStringLiteral("QuePict"), pictures[i]);
            questions.post();
            ids.append(QString::number(questions.value(QStringLiteral("QueID")).toLongLong()));
        }
        level.locate(QStringLiteral("TopicID"), topicId);
        setTopicIds(level, ids);
        transaction.commit();
        return topicId;
    } catch (...) {
        transaction.rollback();
        ids.clear();
        level.requery();
        throw;
    }
}
