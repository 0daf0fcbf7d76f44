#include "topicquestions.h"

#include "apperror.h"
#include "datamodules.h"
#include "dataset.h"
#include "editortexts.h"
#include "messages.h"
#include "picture.h"
#include "sqldialect.h"
#include "sqltexts.h"
#include "testsettings.h"
#include "topicstore.h"
#include "waitcursor.h"
#include "wholequestion.h"

#include <QBuffer>
#include <QImage>

int TopicQuestions::s_removing = 0;

namespace {

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QString answerColumn(int n)
{
    return QStringLiteral("Ans") + QString::number(n);
}

// A list line that names a question: an integer other than 0 and -1.
bool isQuestionLine(const QString& line)
{
    bool ok = false;
    const qlonglong value = line.toLongLong(&ok);
    return ok && value != 0 && value != -1;
}

// The note of the question being removed, held for the duration of one removal.
class RemovalNote
{
public:
    RemovalNote(int& note, int queId) : m_note(note) { m_note = queId; }
    ~RemovalNote() { m_note = 0; }
    RemovalNote(const RemovalNote&) = delete;
    RemovalNote& operator=(const RemovalNote&) = delete;

private:
    int& m_note;
};

// The one question's links row, addressed by its QueID whatever row a window shows.
class QuestionLinks
{
public:
    QuestionLinks(StoreConnection* connection, int queId)
        : m_rows(connection, QStringLiteral("sqlQueLinks"),
                 SqlFormat(text(Sql::QuestionLinksOf), {QString::number(queId)}))
    {
        m_rows.open();
    }
    bool found() const { return !m_rows.isEmpty(); }
    Dataset& rows() { return m_rows; }

private:
    Dataset m_rows;
};

QByteArray imageToBitmap(const QImage& image)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "BMP"))
        throw AppError(text(EditorText::PictureNotStored));
    return Picture::BitmapToBmp(buffer.data());
}

} // namespace

TopicQuestions::TopicQuestions(TopicStore& store, QObject* parent) : QObject(parent), m_store(store)
{
    StoreConnection* connection = store.shared()->dm()->ADOConnection();
    m_questions = std::make_unique<Dataset>(connection, QStringLiteral("sqlQuestions"));
    m_currentTopic = std::make_unique<Dataset>(connection, QStringLiteral("sqlCurrentTopic"), text(Sql::TopicById));

    m_questions->onNewRecord = [](Dataset& questions) {
        questions.setValue(QStringLiteral("LinksCount"), 1);
        for (int n = 1; n <= AnswerCount; ++n)
            questions.setValue(QStringLiteral("OK") + QString::number(n), false);
    };
    m_questions->beforePost = [this](Dataset& questions) { beforeStore(questions); };
    m_questions->afterPost = [this](Dataset& questions) { afterStore(questions); };
    m_questions->afterScroll = [this](Dataset&) { Q_EMIT currentChanged(); };
}

TopicQuestions::~TopicQuestions() = default;

void TopicQuestions::OpenTopic(int topicId)
{
    m_opened = false;
    m_topicId = topicId;
    m_currentTopic->close();
    m_currentTopic->setParam(QStringLiteral("aTopicID"), topicId);
    m_currentTopic->open();
    if (m_currentTopic->isEmpty()) {
        ShowMessage(text(EditorText::TopicNotSeen), MsgIcon::Error);
        m_ids.clear();
    } else {
        m_ids = TopicStore::QueIdLines(m_currentTopic->value(QStringLiteral("QueIDs")).toString());
        m_topicName = m_currentTopic->value(QStringLiteral("TopicName")).toString();
        m_parentId = m_currentTopic->value(QStringLiteral("ParentID")).toInt();
    }
    openQuestionQuery();
    m_store.shared()->settings().EnsureSettingsRow(topicId);
    if (m_questions->isEmpty())
        insertQuestion();
    m_opened = true;
    Q_EMIT currentChanged();
}

bool TopicQuestions::CreateAndOpenTopic(const QString& name, int parentId)
{
    if (name.isEmpty())
        return false;
    m_currentTopic->close();
    m_currentTopic->setParam(QStringLiteral("aTopicID"), 0);
    m_currentTopic->open();
    m_currentTopic->append();
    try {
        m_currentTopic->setValue(QStringLiteral("TopicName"), name);
        m_currentTopic->setValue(QStringLiteral("ParentID"), parentId);
        m_currentTopic->post();
    } catch (const AppError&) {
        m_currentTopic->cancel(); // a name the store refuses leaves no half-made row
        throw;
    }
    OpenTopic(m_currentTopic->value(QStringLiteral("TopicID")).toInt());
    return true;
}

bool TopicQuestions::editing() const
{
    const DatasetState state = m_questions->state();
    return state == DatasetState::Edit || state == DatasetState::Insert;
}

bool TopicQuestions::holdingTopic() const
{
    return m_topicId != 0 && m_topicId == m_store.shared()->NoTopicID();
}

void TopicQuestions::openQuestionQuery()
{
    WaitCursor wait;
    TopicStore::OpenQuestionList(*m_questions, m_ids);
}

void TopicQuestions::first()
{
    store();
    m_questions->first();
}

void TopicQuestions::prior()
{
    store();
    m_questions->prior();
}

void TopicQuestions::next()
{
    store();
    m_questions->next();
}

void TopicQuestions::last()
{
    store();
    m_questions->last();
}

void TopicQuestions::insertQuestion()
{
    store();
    m_questions->append();
    Q_EMIT currentChanged();
}

void TopicQuestions::store()
{
    const DatasetState state = m_questions->state();
    if (state != DatasetState::Edit && state != DatasetState::Insert)
        return;
    // As a record set does on leaving a row: what was touched is posted, an untouched new row is dropped.
    if (m_modified)
        m_questions->post();
    else
        m_questions->cancel();
    m_modified = false;
    Q_EMIT editingChanged();
}

void TopicQuestions::cancel()
{
    if (!m_questions->isOpen())
        return;
    m_questions->cancel();
    m_modified = false;
    Q_EMIT currentChanged();
}

int TopicQuestions::currentQueId() const
{
    if (!m_questions->isOpen() || m_questions->state() == DatasetState::Insert)
        return 0;
    return m_questions->value(QStringLiteral("QueID")).toInt();
}

QVariant TopicQuestions::value(const QString& column) const
{
    return m_questions->isOpen() ? m_questions->value(column) : QVariant();
}

void TopicQuestions::editCurrent()
{
    if (m_questions->state() == DatasetState::Browse) {
        if (m_questions->isEmpty())
            m_questions->append();
        else
            m_questions->edit();
        Q_EMIT editingChanged();
    }
}

void TopicQuestions::setValue(const QString& column, const QVariant& value)
{
    if (m_questions->value(column) == value && m_questions->state() == DatasetState::Browse)
        return;
    editCurrent();
    m_questions->setValue(column, value);
    m_modified = true;
}

QString TopicQuestions::positionCaption() const
{
    const int count = m_questions->isOpen() ? m_questions->recordCount() : 0;
    const bool inserting = m_questions->state() == DatasetState::Insert;
    const int number = inserting ? count + 1 : m_questions->recNo();
    return SqlFormat(text(EditorText::Position),
                     {QString::number(number), QString::number(inserting ? count + 1 : count)});
}

void TopicQuestions::beforeStore(Dataset& questions)
{
    for (int n = 1; n <= AnswerCount; ++n) {
        const QString column = answerColumn(n);
        QString answer = questions.value(column).toString().trimmed();
        if (answer.isEmpty() && !questions.value(pictureColumn(n)).toByteArray().isEmpty())
            answer = text(EditorText::PictureOnlyAnswer);
        if (answer != questions.value(column).toString())
            questions.setValue(column, answer);
    }
}

void TopicQuestions::afterStore(Dataset& questions)
{
    const int queId = questions.value(QStringLiteral("QueID")).toInt();
    const QString line = QString::number(queId);
    if (queId == s_removing || m_ids.contains(line))
        return;
    QStringList ids = m_ids;
    ids.append(line);
    setIds(ids);
    listChanged(0);
}

void TopicQuestions::setIds(const QStringList& ids)
{
    m_ids = ids;
}

void TopicQuestions::listChanged(int removedQueId)
{
    if (!m_opened)
        return;
    if (!m_currentTopic->isEmpty()) {
        m_currentTopic->edit();
        m_currentTopic->setValue(QStringLiteral("QueIDs"), TopicStore::QueIdText(m_ids));
        m_currentTopic->post();
    }
    reopenKeeping(removedQueId);
}

void TopicQuestions::rereadList()
{
    store();
    if (!m_opened)
        return;
    m_currentTopic->requery();
    if (m_currentTopic->isEmpty())
        return;
    m_ids = TopicStore::QueIdLines(m_currentTopic->value(QStringLiteral("QueIDs")).toString());
    reopenKeeping(0);
}

void TopicQuestions::reopenKeeping(int removedQueId)
{
    const int remembered = m_questions->isEmpty() ? 0 : m_questions->value(QStringLiteral("QueID")).toInt();
    openQuestionQuery();
    try {
        if (remembered != removedQueId && !m_questions->locate(QStringLiteral("QueID"), remembered))
            m_questions->first();
    } catch (const AppError&) {
        // Going back is a courtesy: the first question stays current.
    }
    Q_EMIT currentChanged();
}

void TopicQuestions::deleteQuestion()
{
    if (m_questions->state() == DatasetState::Insert) {
        cancel();
        return;
    }
    const int queId = currentQueId();
    if (queId == 0)
        return;
    // What was typed into the question is kept whatever the answer: it is stored before asking.
    store();
    switch (ShowMessage(text(EditorText::DeleteQuestion), MsgIcon::Question, MsgButtons::YesNoCancel)) {
    case MsgResult::No:
        RemoveQuestionFromTopic(queId, false, 0);
        break;
    case MsgResult::Yes: {
        RemovalNote note(s_removing, queId);
        QuestionLinks links(m_store.shared()->dm()->ADOConnection(), queId);
        if (links.found())
            links.rows().remove();
        m_ids.removeAll(QString::number(queId));
        listChanged(queId);
        break;
    }
    default:
        break;
    }
}

void TopicQuestions::RemoveQuestionFromTopic(int queId, bool move, int toTopicId)
{
    store();
    RemovalNote note(s_removing, queId);
    m_ids.removeAll(QString::number(queId));
    listChanged(queId);
    QuestionLinks links(m_store.shared()->dm()->ADOConnection(), queId);
    if (!links.found())
        return;
    if (move) {
        links.rows().edit();
        links.rows().setValue(QStringLiteral("TopicID"), toTopicId);
        links.rows().post();
    } else {
        TopicStore::AdjustLink(links.rows(), false);
    }
}

void TopicQuestions::AddQuestionToTopic(TopicQuestions& target, int queId, bool copy)
{
    target.store();
    {
        QuestionLinks links(target.m_store.shared()->dm()->ADOConnection(), queId);
        if (!links.found())
            return;
        links.rows().edit();
        links.rows().setValue(QStringLiteral("TopicID"), target.m_topicId);
        if (copy)
            TopicStore::AdjustLink(links.rows(), true);
        links.rows().post();
    }
    const QString line = QString::number(queId);
    if (!target.m_ids.contains(line)) {
        target.m_ids.append(line);
        target.listChanged(0);
    }
    target.m_questions->locate(QStringLiteral("QueID"), queId);
}

void TopicQuestions::dropQuestionFrom(TopicQuestions& source, bool ctrl)
{
    if (&source == this)
        return;
    source.store();
    const int queId = source.currentQueId();
    if (queId == 0)
        return;
    const bool copy = ctrl && !source.holdingTopic();
    AddQuestionToTopic(*this, queId, copy);
    if (!copy)
        source.RemoveQuestionFromTopic(queId, true, 0);
}

void TopicQuestions::activated()
{
    QStringList kept;
    for (const QString& line : std::as_const(m_ids))
        if (isQuestionLine(line))
            kept.append(line);
    if (kept.size() == m_ids.size())
        return;
    m_ids = kept;
    listChanged(0);
}

int TopicQuestions::sliderPosition() const
{
    const QVariant price = value(QStringLiteral("Price"));
    return MaxPrice + 1 - (price.isValid() ? price.toInt() : 1);
}

void TopicQuestions::sliderMoved(int position, bool sliderShown)
{
    if (sliderShown)
        setValue(QStringLiteral("Price"), PriceFromSlider(position));
}

int TopicQuestions::kind() const
{
    return value(QStringLiteral("QueType")).toInt();
}

void TopicQuestions::setKind(int kind)
{
    setValue(QStringLiteral("QueType"), kind);
}

QString TopicQuestions::pictureColumn(int slot)
{
    return slot == 0 ? QStringLiteral("QuePict") : QStringLiteral("Pict") + QString::number(slot);
}

QByteArray TopicQuestions::picture(int slot) const
{
    return value(pictureColumn(slot)).toByteArray();
}

bool TopicQuestions::hasPicture(int slot) const
{
    return !picture(slot).isEmpty();
}

bool TopicQuestions::hasAnyPicture() const
{
    for (int slot = 0; slot < PictureSlots; ++slot)
        if (hasPicture(slot))
            return true;
    return false;
}

void TopicQuestions::storeWith(const std::function<void()>& change)
{
    editCurrent();
    change();
    m_modified = true;
    store();
    Q_EMIT currentChanged();
}

void TopicQuestions::attachPicture(int slot, const QString& path)
{
    // Decoded before the question is touched: a bad file leaves it as it was.
    const QByteArray bitmap = Picture::LoadPictureFile(path);
    storeWith([&] { m_questions->setValue(pictureColumn(slot), bitmap); });
}

void TopicQuestions::pastePicture(int slot, const QImage& image)
{
    if (image.isNull())
        return;
    const QByteArray bitmap = imageToBitmap(image);
    storeWith([&] { m_questions->setValue(pictureColumn(slot), bitmap); });
}

void TopicQuestions::clearPicture(int slot)
{
    storeWith([&] { m_questions->setValue(pictureColumn(slot), QVariant()); });
}

QString TopicQuestions::remark() const
{
    return m_currentTopic->isEmpty() ? QString() : m_currentTopic->value(QStringLiteral("Remark")).toString();
}

void TopicQuestions::storeRemark(const QString& remark)
{
    if (m_currentTopic->isEmpty() || remark == this->remark())
        return;
    m_currentTopic->edit();
    m_currentTopic->setValue(QStringLiteral("Remark"), remark);
    m_currentTopic->post();
}

void TopicQuestions::rename(const QString& name)
{
    if (name.isEmpty() || m_currentTopic->isEmpty())
        return;
    m_currentTopic->edit();
    m_currentTopic->setValue(QStringLiteral("TopicName"), name);
    m_currentTopic->post();
    m_topicName = m_currentTopic->value(QStringLiteral("TopicName")).toString();
    Q_EMIT topicRenamed(m_topicName);
}

void TopicQuestions::copyWholeQuestion()
{
    store();
    if (m_questions->isEmpty())
        return;
    WholeQuestion::Copy(*m_questions);
    Q_EMIT wholeQuestionCopied();
}

bool TopicQuestions::pasteWholeQuestion()
{
    if (!WholeQuestion::Exists())
        return false;
    insertQuestion();
    WholeQuestion::Paste(*m_questions);
    // The copy carries the copied question's count; the new question stands in this list only.
    m_questions->setValue(QStringLiteral("LinksCount"), 1);
    m_modified = true;
    Q_EMIT currentChanged();
    return true;
}

void TopicQuestions::closing()
{
    store();
    WholeQuestion::Remove();
}
