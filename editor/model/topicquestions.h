#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class Dataset;
class QImage;
class TopicStore;

// The rules of one topic window without the window: the topic's question list (Topics.QueIDs),
// the question query built from it, the current question with its store steps, deletion, moving
// and copying between topics, the price, the kind, the nine picture slots and the whole-question
// copy. Every change goes to the database at once; the window only shows what this says.
class TopicQuestions : public QObject
{
    Q_OBJECT

public:
    static constexpr int AnswerCount = 8;
    static constexpr int PictureSlots = 9; // 0 is the question's picture, 1..8 the answers'
    static constexpr int MaxPrice = 10;

    explicit TopicQuestions(TopicStore& store, QObject* parent = nullptr);
    ~TopicQuestions() override;

    TopicStore& store() const { return m_store; }

    // An existing topic; a topic without a question starts a new one at once.
    void OpenTopic(int topicId);
    // A new topic row under the parent (0: top level), then opened. False for an empty name.
    bool CreateAndOpenTopic(const QString& name, int parentId);

    int topicId() const { return m_topicId; }
    int parentId() const { return m_parentId; }
    QString topicName() const { return m_topicName; }
    const QStringList& questionIds() const { return m_ids; }
    // The topic's questions (for saving and export too) and the topic row.
    Dataset& questions() const { return *m_questions; }
    Dataset& currentTopic() const { return *m_currentTopic; }
    bool holdingTopic() const;
    // The current question is being edited or inserted.
    bool editing() const;

    // Navigation; a pending edit or insertion is stored before the move.
    void first();
    void prior();
    void next();
    void last();
    void insertQuestion();
    void store();
    void cancel();

    // The current question's QueID; 0 while a new one is inserted or there is none.
    int currentQueId() const;
    QVariant value(const QString& column) const;
    // An edit of the current question (text, answer, mark, price, kind): puts it into editing.
    void setValue(const QString& column, const QVariant& value);
    // "Вопрос %D из %D".
    QString positionCaption() const;

    // Asks Yes (from every topic) / No (from this topic) / Cancel.
    void deleteQuestion();
    // Takes the question off this topic's list; a move sets its working mark to the topic given,
    // a removal lowers its links count.
    void RemoveQuestionFromTopic(int queId, bool move, int toTopicId);
    // The source's current question joins the target's list and becomes its current question.
    static void AddQuestionToTopic(TopicQuestions& target, int queId, bool copy);
    // A question handle of `source` dropped on this topic: Ctrl copies (never out of the holding
    // topic), otherwise moves. Nothing happens on the source itself.
    void dropQuestionFrom(TopicQuestions& source, bool ctrl);

    // Window activation: lines that are no question ids leave the list.
    void activated();
    // The topic's list was changed in the store behind this form: it is read again, keeping the
    // question shown. Store the form's pending question before such a change, or storing it here
    // writes the list as it was over the change.
    void rereadList();

    // The slider is upside down: position 1 is price 10.
    static int PriceFromSlider(int position) { return MaxPrice + 1 - position; }
    int sliderPosition() const;
    // The slider moved: the price is written only while the slider is shown.
    void sliderMoved(int position, bool sliderShown);

    // QueType, an empty value read as 0. Changing it only changes what is shown.
    int kind() const;
    void setKind(int kind);

    static QString pictureColumn(int slot);
    QByteArray picture(int slot) const;
    bool hasPicture(int slot) const;
    bool hasAnyPicture() const;
    // A picture file (".jp*" as JPEG, otherwise a bitmap); an undecodable file throws and
    // leaves the question as it was.
    void attachPicture(int slot, const QString& path);
    // A clipboard image, stored as a bitmap.
    void pastePicture(int slot, const QImage& image);
    void clearPicture(int slot);

    QString remark() const;
    void storeRemark(const QString& remark);
    void rename(const QString& name);

    // Whole-question copy through the files in the program's folder.
    void copyWholeQuestion();
    bool pasteWholeQuestion();

    // Pending changes of the question and the topic row are stored; the copy files go.
    void closing();

    // The process-wide note of the question that is being removed from a list (0 when none).
    static int removingQueId() { return s_removing; }

Q_SIGNALS:
    // Another question (or a new one) became current, or the current one was reloaded.
    void currentChanged();
    void topicRenamed(const QString& name);
    // The current question went into or out of editing.
    void editingChanged();
    void wholeQuestionCopied();

private:
    void openQuestionQuery();
    void setIds(const QStringList& ids);
    void listChanged(int removedQueId);
    // The question query rebuilt from the list, back on the question shown unless it was removed.
    void reopenKeeping(int removedQueId);
    void beforeStore(Dataset& questions);
    void afterStore(Dataset& questions);
    void editCurrent();
    void storeWith(const std::function<void()>& change);

    TopicStore& m_store;
    std::unique_ptr<Dataset> m_questions;
    std::unique_ptr<Dataset> m_currentTopic;
    int m_topicId = 0;
    int m_parentId = 0;
    QString m_topicName;
    QStringList m_ids;
    bool m_opened = false;
    bool m_modified = false; // the pending row was changed by the author

    static int s_removing;
};
