#pragma once

#include "importparsers.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class Dataset;
class TDM;
class TSharedDM;

// The topic-level services of the shared data module: start-up preparation of the bank, topic
// links, the question-list query, question files (a topic with its settings, packed) and the
// imports of other programs' question lists. No widgets: the file dialogs are seams that the
// programs fill with their own dialogs (a chooser that returns an empty path is a cancel).
class TopicStore
{
public:
    // filter in the "Description|*.ext|..." form, default extension without dot, proposed name.
    using FileChooser =
        std::function<QString(const QString& filter, const QString& defaultExtension, const QString& proposed)>;

    explicit TopicStore(TSharedDM* shared);

    TSharedDM* shared() const { return m_shared; }

    FileChooser saveDialog;
    FileChooser openDialog;

    // Start-up: top-level topics, the holding topic, the Default settings row, the topic lists
    // built from working marks, question kinds. Runs as one transaction: a failure changes nothing.
    void PrepareStore();

    // The current question row gains or loses one link; true when a removal leaves it at 0.
    static bool AdjustLink(Dataset& questions, bool add);
    // One link more or less for every question of the topic; questions left without any topic
    // go into the holding topic's list. The dataset gets its query text back, closed.
    void ChangeTopicLinks(Dataset& questions, int topicId, bool add);

    static QString BuildQuestionListQuery(const QStringList& ids);
    static void OpenQuestionList(Dataset& dataset, const QStringList& ids);

    // The work folder "Temp" in the program's folder, made when missing.
    static QString WorkFolder();
    // The lines of a QueIDs text, and the text of a list.
    static QStringList QueIdLines(const QString& queIds);
    static QString QueIdText(const QStringList& ids);

    // Scribant's form: asks for the file; false when nothing was written.
    bool SaveTopicToFile(int topicId, const QString& topicName, const QString& remark);
    // Vezuviroz's form: the file holds the given dataset's rows; nothing at all for a topic
    // without a settings row.
    bool SaveTopicToFile(int topicId, const QString& topicName, Dataset& questions);
    // The same to a known path (an existing file there is replaced without asking).
    void SaveTopicToPath(int topicId, const QString& topicName, const QString& remark, const QString& path);

    // A question file as a new topic under the parent; the new TopicID, or 0 when nothing was loaded.
    // The questions, the topic and its settings are stored in one transaction: all or nothing.
    int LoadTopicFromFile(int parentId, const QString& path = {});

    // The imports; path empty: the open dialog asks. The new TopicID, or 0 when no file was chosen.
    // A topic of the same name at the top level refuses the import with AppError carrying the
    // message "Тема ... уже существует..." (nothing stored). Like a load, an import shortens a text
    // longer than its column and says so in the run log.
    int ImportTestW(const QString& path = {});
    int ImportAssistant2(const QString& path = {});
    int ImportMyTest(const QString& path = {});

    // A picture file decoded and stored in the binary column of the dataset's current row, which
    // must be in edit or insert mode. Throws (and stores nothing) when the file is no picture.
    static void LoadPictureIntoField(const QString& file, Dataset& dataset, const QString& column);

    QStringList& questionIdList();

private:
    enum class ImportKind
    {
        TestW,
        Assistant2,
        MyTest
    };
    int importFile(ImportKind kind, const QString& path);
    void saveToPath(int topicId, const QString& topicName, const QString& remark, Dataset* given, const QString& path);
    QString chooseSavePath(const QString& topicName);

    TSharedDM* m_shared;
};
