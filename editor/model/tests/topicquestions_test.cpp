#include "apperror.h"
#include "appfolder.h"
#include "datamodules.h"
#include "dataset.h"
#include "editorbank.h"
#include "messagerecorder.h"
#include "sqltexts.h"
#include "topicquestions.h"
#include "topicstore.h"
#include "wholequestion.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

namespace {

QByteArray encode(const QImage& image, const char* format)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return buffer.data();
}

QImage sample(int w = 8, int h = 6)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
}

class TopicQuestionsTest : public ::testing::Test
{
protected:
    // A topic listing the given questions, opened in a form.
    std::unique_ptr<TopicQuestions> open(int topicId)
    {
        auto form = std::make_unique<TopicQuestions>(bank.store);
        form->OpenTopic(topicId);
        return form;
    }

    Bank bank;
};

TEST_F(TopicQuestionsTest, EmptyTopicStartsANewQuestionAndLeavingItUntouchedStoresNothing)
{
    const int topic = bank.addTopic("Пустая");
    auto form = open(topic);
    EXPECT_EQ(form->questions().state(), DatasetState::Insert);
    EXPECT_EQ(form->positionCaption(), q("Вопрос 1 из 1"));
    form->closing();
    EXPECT_TRUE(bank.listOf(topic).isEmpty());
    Dataset all(bank.connection(), "q", q(Sql::AllQuestions));
    all.open();
    EXPECT_EQ(all.recordCount(), 0);
}

TEST_F(TopicQuestionsTest, OpeningMakesTheTopicsSettingsRowOnce)
{
    const int topic = bank.addTopic("Тема");
    open(topic);
    open(topic);
    Dataset settings(bank.connection(), "s", "SELECT * FROM Settings WHERE TopicID=" + QString::number(topic));
    settings.open();
    EXPECT_EQ(settings.recordCount(), 1);
}

TEST_F(TopicQuestionsTest, AMissingTopicRowIsReportedAndTheWindowStaysUsable)
{
    MessageRecorder messages;
    auto form = open(9999);
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(messages.texts[0], q("sqlCurrentTopic не видит тему!"));
    EXPECT_EQ(messages.icons[0], MsgIcon::Error);
    EXPECT_EQ(form->questions().state(), DatasetState::Insert);
}

TEST_F(TopicQuestionsTest, ListLinesSelectQuestionsUnlessTheFirstLineIsNoNumber)
{
    const int a = bank.addQuestion("a");
    const int b = bank.addQuestion("b");
    struct Case
    {
        const char* name;
        QString list;
        int expected;
    };
    const Case cases[] = {
        {"two ids", QString("%1\r\n%2").arg(a).arg(b), 2},
        {"first line not a number", QString("x\r\n%1\r\n%2").arg(a).arg(b), 0},
        {"zero and gone ids skipped", QString("%1\r\n0\r\n777\r\n%2").arg(a).arg(b), 2},
    };
    for (const Case& c : cases) {
        auto form = open(bank.addTopic(c.name, c.list));
        EXPECT_EQ(form->questions().recordCount(), c.expected) << c.name;
    }
}

TEST_F(TopicQuestionsTest, ANewQuestionHasItsDefaultsAndJoinsTheListExactlyOnce)
{
    const int topic = bank.addTopic("Тема");
    auto form = open(topic);
    form->setValue("Question", "Сколько?");
    form->store();
    const int queId = form->currentQueId();
    ASSERT_NE(queId, 0);
    EXPECT_EQ(bank.listOf(topic), QStringList{QString::number(queId)});
    EXPECT_EQ(bank.questionValue(queId, "LinksCount").toInt(), 1);
    for (int n = 1; n <= 8; ++n)
        EXPECT_FALSE(bank.questionValue(queId, "OK" + QString::number(n)).toBool());

    form->setValue("Question", "Сколько всего?");
    form->store();
    EXPECT_EQ(bank.listOf(topic), QStringList{QString::number(queId)});
    EXPECT_EQ(form->positionCaption(), q("Вопрос 1 из 1"));
    EXPECT_EQ(bank.questionValue(queId, "Question").toString(), q("Сколько всего?"));
}

TEST_F(TopicQuestionsTest, AnswersAreTrimmedAndAPictureOnlyAnswerGetsDots)
{
    auto form = open(bank.addTopic("Тема"));
    form->setValue("Question", "?");
    form->setValue("Ans1", "  Москва \t");
    form->setValue("Ans2", "   ");
    form->setValue("Ans3", "   ");
    form->setValue("Pict3", encode(sample(), "BMP"));
    form->store();
    const int queId = form->currentQueId();
    EXPECT_EQ(bank.questionValue(queId, "Ans1").toString(), q("Москва"));
    EXPECT_EQ(bank.questionValue(queId, "Ans2").toString(), QString());
    EXPECT_EQ(bank.questionValue(queId, "Ans3").toString(), q("..."));
}

TEST_F(TopicQuestionsTest, EveryMoveStoresThePendingEdit)
{
    const int a = bank.addQuestion("a");
    const int b = bank.addQuestion("b");
    auto form = open(bank.addTopic("Тема", QString("%1\r\n%2").arg(a).arg(b)));
    form->first();
    form->setValue("Question", "a2");
    form->next();
    EXPECT_EQ(bank.questionValue(a, "Question").toString(), q("a2"));
    form->setValue("Question", "b2");
    form->closing();
    EXPECT_EQ(bank.questionValue(b, "Question").toString(), q("b2"));
}

TEST_F(TopicQuestionsTest, ChangingTheKindAndBackKeepsTheMarks)
{
    const int a = bank.addQuestion("a");
    auto form = open(bank.addTopic("Тема", QString::number(a)));
    form->setValue("OK2", true);
    form->store();
    form->setKind(1);
    form->store();
    EXPECT_EQ(bank.questionValue(a, "QueType").toInt(), 1);
    form->setKind(0);
    form->store();
    EXPECT_TRUE(form->value("OK2").toBool());
    EXPECT_TRUE(bank.questionValue(a, "OK2").toBool());
}

TEST_F(TopicQuestionsTest, DeletionFollowsTheAnswer)
{
    struct Case
    {
        const char* name;
        MsgResult answer;
        int linksBefore;
        bool rowStays;
        int linksAfter;
        bool listed;
    };
    const Case cases[] = {
        {"cancel", MsgResult::Cancel, 2, true, 2, true},
        {"no lowers the count", MsgResult::No, 2, true, 1, false},
        {"no keeps zero at zero", MsgResult::No, 0, true, 0, false},
        {"yes deletes the row", MsgResult::Yes, 2, false, 0, false},
    };
    for (const Case& c : cases) {
        const int queId = bank.addQuestion(c.name, c.linksBefore);
        const int keep = bank.addQuestion("other");
        const int topic = bank.addTopic(c.name, QString("%1\r\n%2").arg(queId).arg(keep));
        const int elsewhere = bank.addTopic(QString(c.name) + " 2", QString::number(queId));
        auto form = open(topic);
        ASSERT_TRUE(form->questions().locate("QueID", queId));
        MessageRecorder messages({c.answer});
        form->deleteQuestion();
        ASSERT_EQ(messages.texts.size(), 1) << c.name;
        EXPECT_TRUE(messages.texts[0].contains(q("где он содержится"))) << c.name;
        EXPECT_EQ(bank.questionExists(queId), c.rowStays) << c.name;
        if (c.rowStays) {
            EXPECT_EQ(bank.questionValue(queId, "LinksCount").toInt(), c.linksAfter) << c.name;
        }
        EXPECT_EQ(bank.listOf(topic).contains(QString::number(queId)), c.listed) << c.name;
        EXPECT_EQ(form->questions().recordCount(), c.listed ? 2 : 1) << c.name;
        // The other topic keeps its line; after Yes it matches nothing.
        EXPECT_EQ(bank.listOf(elsewhere), QStringList{QString::number(queId)}) << c.name;
        EXPECT_EQ(open(elsewhere)->questions().recordCount(), c.rowStays ? 1 : 0) << c.name;
    }
}

TEST_F(TopicQuestionsTest, TextTypedBeforeADeletionIsKeptWhateverTheAnswer)
{
    for (MsgResult answer : {MsgResult::Cancel, MsgResult::No}) {
        SCOPED_TRACE(int(answer));
        const int queId = bank.addQuestion("старый текст", 2);
        auto form = open(bank.addTopic("Тема", QString::number(queId)));
        form->setValue("Question", q("исправленный текст"));
        MessageRecorder messages({answer});
        form->deleteQuestion();
        ASSERT_EQ(messages.texts.size(), 1);
        EXPECT_EQ(bank.questionValue(queId, "Question").toString(), q("исправленный текст"));
    }
}

TEST_F(TopicQuestionsTest, AListChangedInTheStoreIsReadAgainKeepingTheQuestionShown)
{
    const int a = bank.addQuestion("a");
    const int b = bank.addQuestion("b");
    const int c = bank.addQuestion("c");
    const int topic = bank.addTopic("Тема", QString("%1\r\n%2").arg(a).arg(b));
    auto form = open(topic);
    ASSERT_TRUE(form->questions().locate("QueID", b));
    Dataset topics(bank.connection(), "t", q(Sql::AllTopics));
    topics.open();
    ASSERT_TRUE(topics.locate("TopicID", topic));
    topics.edit();
    topics.setValue("QueIDs", QString("%1\r\n%2\r\n%3").arg(a).arg(b).arg(c));
    topics.post();
    form->rereadList();
    EXPECT_EQ(form->questions().recordCount(), 3);
    EXPECT_EQ(form->currentQueId(), b);
    // The next change of the list builds on what was read, not on what the form held before.
    form->RemoveQuestionFromTopic(a, false, 0);
    EXPECT_EQ(bank.listOf(topic), (QStringList{QString::number(b), QString::number(c)}));
}

TEST_F(TopicQuestionsTest, ANameTheStoreRefusesCreatesNoTopic)
{
    const int before = bank.topicCount();
    TopicQuestions form(bank.store);
    EXPECT_THROW(form.CreateAndOpenTopic(QString(60, QChar(u'Я')), 0), AppError);
    EXPECT_EQ(form.currentTopic().state(), DatasetState::Browse);
    EXPECT_EQ(bank.topicCount(), before);
}

TEST_F(TopicQuestionsTest, AListChangeGoesBackToTheQuestionShown)
{
    const int a = bank.addQuestion("a");
    const int b = bank.addQuestion("b");
    const int c = bank.addQuestion("c");
    auto form = open(bank.addTopic("Тема", QString("%1\r\n%2\r\n%3").arg(a).arg(b).arg(c)));
    ASSERT_TRUE(form->questions().locate("QueID", c));
    form->RemoveQuestionFromTopic(a, false, 0);
    EXPECT_EQ(form->currentQueId(), c);
    form->RemoveQuestionFromTopic(c, false, 0);
    EXPECT_EQ(form->currentQueId(), b);
    EXPECT_EQ(TopicQuestions::removingQueId(), 0);
}

TEST_F(TopicQuestionsTest, DragsBetweenTopicsCopyOrMove)
{
    struct Case
    {
        const char* name;
        bool ctrl;
        bool fromHolding;
        bool inSource;
        int links;
    };
    const Case cases[] = {
        {"move", false, false, false, 1},
        {"ctrl copies", true, false, true, 2},
        {"copy out of the holding topic moves", true, true, false, 1},
    };
    for (const Case& c : cases) {
        const int queId = bank.addQuestion(c.name);
        int source = bank.shared.NoTopicID();
        if (c.fromHolding) {
            Dataset topics(bank.connection(), "t", q(Sql::AllTopics));
            topics.open();
            topics.locate("TopicID", source);
            topics.edit();
            topics.setValue("QueIDs", QString::number(queId));
            topics.post();
        } else {
            source = bank.addTopic(QString(c.name) + " из", QString::number(queId));
        }
        const int target = bank.addTopic(QString(c.name) + " в");
        auto from = open(source);
        auto to = open(target);
        ASSERT_TRUE(from->questions().locate("QueID", queId));
        to->dropQuestionFrom(*from, c.ctrl);
        EXPECT_EQ(bank.listOf(target), QStringList{QString::number(queId)}) << c.name;
        EXPECT_EQ(bank.listOf(source).contains(QString::number(queId)), c.inSource) << c.name;
        EXPECT_EQ(bank.questionValue(queId, "LinksCount").toInt(), c.links) << c.name;
        EXPECT_EQ(to->currentQueId(), queId) << c.name;
    }
}

TEST_F(TopicQuestionsTest, ADropOnItsOwnWindowOrWhereItStandsAddsNothing)
{
    const int queId = bank.addQuestion("a");
    const int source = bank.addTopic("из", QString::number(queId));
    const int target = bank.addTopic("в", QString::number(queId));
    auto from = open(source);
    auto to = open(target);
    from->dropQuestionFrom(*from, false);
    EXPECT_EQ(bank.listOf(source), QStringList{QString::number(queId)});
    to->dropQuestionFrom(*from, true);
    EXPECT_EQ(bank.listOf(target), QStringList{QString::number(queId)});
}

TEST_F(TopicQuestionsTest, ActivationDropsLinesThatAreNoQuestions)
{
    const int a = bank.addQuestion("a");
    const int topic = bank.addTopic("Тема", QString("%1\r\n0\r\n-1\r\nабв\r\n 12x").arg(a));
    auto form = open(topic);
    form->activated();
    EXPECT_EQ(bank.listOf(topic), QStringList{QString::number(a)});
}

TEST_F(TopicQuestionsTest, TheSliderIsUpsideDownAndWritesOnlyWhileShown)
{
    const int a = bank.addQuestion("a");
    auto form = open(bank.addTopic("Тема", QString::number(a)));
    EXPECT_EQ(form->sliderPosition(), 10); // the default price 1
    form->sliderMoved(3, false);
    EXPECT_EQ(form->questions().state(), DatasetState::Browse);
    form->sliderMoved(1, true);
    form->store();
    EXPECT_EQ(bank.questionValue(a, "Price").toInt(), 10);
    form->sliderMoved(10, true);
    form->store();
    EXPECT_EQ(bank.questionValue(a, "Price").toInt(), 1);
    EXPECT_EQ(form->sliderPosition(), 10);
}

TEST_F(TopicQuestionsTest, PictureFilesAreDecodedByTheirLowerCasedExtension)
{
    const int a = bank.addQuestion("a");
    auto form = open(bank.addTopic("Тема", QString::number(a)));
    struct Case
    {
        const char* file;
        const char* format;
        int slot;
    };
    const Case cases[] = {{"p.JPG", "JPG", 0}, {"p.bmp", "BMP", 4}};
    for (const Case& c : cases) {
        const QString path = AppFilePath(c.file);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(encode(sample(10, 7), c.format));
        file.close();
        form->attachPicture(c.slot, path);
        const QByteArray stored = bank.questionValue(a, TopicQuestions::pictureColumn(c.slot)).toByteArray();
        EXPECT_TRUE(stored.startsWith("BM")) << c.file;
        EXPECT_EQ(QImage::fromData(stored, "BMP").size(), QSize(10, 7)) << c.file;
    }
    form->clearPicture(4);
    EXPECT_TRUE(bank.questionValue(a, "Pict4").toByteArray().isEmpty());
    EXPECT_FALSE(form->hasPicture(4));
    EXPECT_TRUE(form->hasPicture(0));
}

TEST_F(TopicQuestionsTest, AnUndecodablePictureLeavesTheQuestionUnchanged)
{
    const int a = bank.addQuestion("a");
    auto form = open(bank.addTopic("Тема", QString::number(a)));
    const QString path = AppFilePath("broken.jpg");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    try {
        form->attachPicture(2, path);
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_TRUE(e.message().contains("broken.jpg")) << e.message().toStdString();
    }
    EXPECT_EQ(form->questions().state(), DatasetState::Browse);
    EXPECT_TRUE(bank.questionValue(a, "Pict2").toByteArray().isEmpty());
}

TEST_F(TopicQuestionsTest, APastedImageIsStoredAsABitmap)
{
    const int a = bank.addQuestion("a");
    auto form = open(bank.addTopic("Тема", QString::number(a)));
    form->pastePicture(1, QImage());
    EXPECT_TRUE(bank.questionValue(a, "Pict1").toByteArray().isEmpty());
    form->pastePicture(1, sample(5, 4));
    const QByteArray stored = bank.questionValue(a, "Pict1").toByteArray();
    EXPECT_TRUE(stored.startsWith("BM"));
    EXPECT_EQ(QImage::fromData(stored, "BMP").size(), QSize(5, 4));
}

TEST_F(TopicQuestionsTest, WholeQuestionPasteCarriesOnlyTheLastCopy)
{
    const int withPictures = bank.addQuestion("с рисунками");
    const int plain = bank.addQuestion("без рисунков");
    const int topic = bank.addTopic("Тема", QString("%1\r\n%2").arg(withPictures).arg(plain));
    auto form = open(topic);
    ASSERT_TRUE(form->questions().locate("QueID", withPictures));
    form->pastePicture(0, sample());
    form->pastePicture(3, sample());
    form->copyWholeQuestion();
    EXPECT_TRUE(QFile::exists(AppFilePath("QuePict")));

    ASSERT_TRUE(form->questions().locate("QueID", plain));
    form->setValue("Ans1", "Один");
    form->setValue("OK1", true);
    form->setValue("Price", 7);
    form->setKind(2);
    form->store();
    form->copyWholeQuestion();
    EXPECT_FALSE(QFile::exists(AppFilePath("QuePict")));

    auto other = open(bank.addTopic("Другая"));
    ASSERT_TRUE(other->pasteWholeQuestion());
    other->store();
    const int pasted = other->currentQueId();
    ASSERT_NE(pasted, 0);
    EXPECT_NE(pasted, plain);
    EXPECT_EQ(bank.questionValue(pasted, "Question").toString(), q("без рисунков"));
    EXPECT_EQ(bank.questionValue(pasted, "Ans1").toString(), q("Один"));
    EXPECT_TRUE(bank.questionValue(pasted, "OK1").toBool());
    EXPECT_FALSE(bank.questionValue(pasted, "OK2").toBool());
    EXPECT_EQ(bank.questionValue(pasted, "Price").toInt(), 7);
    EXPECT_EQ(bank.questionValue(pasted, "QueType").toInt(), 2);
    EXPECT_EQ(bank.questionValue(pasted, "LinksCount").toInt(), 1);
    for (int slot = 0; slot < TopicQuestions::PictureSlots; ++slot)
        EXPECT_TRUE(bank.questionValue(pasted, TopicQuestions::pictureColumn(slot)).toByteArray().isEmpty()) << slot;

    other->closing();
    EXPECT_FALSE(WholeQuestion::Exists());
    EXPECT_FALSE(other->pasteWholeQuestion());
}

TEST_F(TopicQuestionsTest, APastedQuestionCountsOnlyItsOwnTopic)
{
    const int shared = bank.addQuestion("в трёх темах", 3);
    auto form = open(bank.addTopic("Тема", QString::number(shared)));
    form->copyWholeQuestion();
    const int topic = bank.addTopic("Другая");
    auto other = open(topic);
    ASSERT_TRUE(other->pasteWholeQuestion());
    other->store();
    const int pasted = other->currentQueId();
    ASSERT_NE(pasted, 0);
    EXPECT_EQ(bank.listOf(topic), QStringList{QString::number(pasted)});
    EXPECT_EQ(bank.questionValue(pasted, "LinksCount").toInt(), 1);
    other->closing();
}

TEST_F(TopicQuestionsTest, ADamagedCopyFileLeavesItsPictureEmpty)
{
    const int a = bank.addQuestion("a");
    auto form = open(bank.addTopic("Тема", QString::number(a)));
    form->pastePicture(2, sample());
    form->copyWholeQuestion();
    QFile damaged(AppFilePath("Pict2"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("BM but nothing of a bitmap");
    damaged.close();
    ASSERT_TRUE(form->pasteWholeQuestion());
    form->store();
    const int pasted = form->currentQueId();
    ASSERT_NE(pasted, a);
    EXPECT_TRUE(bank.questionValue(pasted, "Pict2").toByteArray().isEmpty());
    EXPECT_EQ(bank.questionValue(pasted, "Question").toString(), q("a"));
}

TEST_F(TopicQuestionsTest, RemarkAndNameGoToTheTopicRow)
{
    const int topic = bank.addTopic("Старое");
    auto form = open(topic);
    form->storeRemark("Заметка");
    form->rename("Новое");
    form->rename("");
    EXPECT_EQ(bank.topicValue(topic, "Remark").toString(), q("Заметка"));
    EXPECT_EQ(bank.topicValue(topic, "TopicName").toString(), q("Новое"));
    EXPECT_EQ(form->topicName(), q("Новое"));
}

TEST_F(TopicQuestionsTest, CreateAndOpenTopicMakesTheRowUnderItsParent)
{
    const int parent = bank.addTopic("Родитель");
    TopicQuestions form(bank.store);
    EXPECT_FALSE(form.CreateAndOpenTopic("", parent));
    ASSERT_TRUE(form.CreateAndOpenTopic("Дочь", parent));
    EXPECT_EQ(bank.topicValue(form.topicId(), "ParentID").toInt(), parent);
    EXPECT_EQ(form.topicName(), q("Дочь"));
}

} // namespace
