#include "apperror.h"
#include "appfolder.h"
#include "datamodules.h"
#include "dataset.h"
#include "odtreader.h"
#include "sqltexts.h"
#include "testpictures.h"
#include "topicquestionset.h"
#include "topicstore.h"

#include <QBuffer>
#include <QImage>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

QStringList texts(const OdtDocument& doc)
{
    QStringList list;
    for (const OdtParagraph& p : doc.body())
        list << p.text;
    return list;
}

// A bank with the topic "Дроби: 1/2" of two questions, and an empty topic.
class QuestionListToolTest : public ::testing::Test
{
protected:
    TDM dm{StoreProgram::Scribant};
    TSharedDM shared{&dm};
    TopicStore topics{&shared};
    int topicId = 0;
    int emptyId = 0;

    void SetUp() override
    {
        Dataset questions(dm.ADOConnection(), "q", QString::fromUtf8(Sql::AllQuestions) + " WHERE FALSE");
        questions.open();
        QStringList ids;
        for (int i = 1; i <= 2; ++i) {
            questions.append();
            questions.setValue("Question", QString("Сколько будет %1/2?").arg(i));
            questions.setValue("QuePict", BitmapBytes(40 * i, 20, qRgb(0, 120, 0)));
            questions.setValue("Ans1", "половина");
            questions.setValue("Ans2", "целое");
            questions.setValue("OK" + QString::number(i), true);
            questions.setValue("LinksCount", 1);
            questions.post();
            ids << questions.value("QueID").toString();
        }
        topicId = addTopic("Дроби: 1/2", TopicStore::QueIdText(ids));
        emptyId = addTopic("Пустая", "");
        shared.settings().EnsureSettingsRow(topicId);
    }
    int addTopic(const QString& name, const QString& queIds)
    {
        Dataset rows(dm.ADOConnection(), "t", QString::fromUtf8(Sql::AllTopics));
        rows.open();
        rows.append();
        rows.setValue("TopicName", name);
        rows.setValue("ParentID", 0);
        rows.setValue("QueIDs", queIds);
        rows.post();
        return rows.value("TopicID").toInt();
    }
    static int runTool(const QStringList& args, QString* err = nullptr)
    {
        QProcess tool;
        tool.start(VASTREL_TOOL, args);
        EXPECT_TRUE(tool.waitForFinished(30000));
        if (err)
            *err = QString::fromUtf8(tool.readAllStandardError());
        return tool.exitCode();
    }
};

} // namespace

TEST_F(QuestionListToolTest, ATopicOfTheBankIsReadWithItsQuestions)
{
    const TopicQuestionSet set = ReadTopicQuestionSet(dm.ADOConnection(), topicId);
    EXPECT_EQ(set.name, "Дроби: 1/2");
    ASSERT_EQ(set.questions.rowCount(), 2);
    EXPECT_EQ(set.questions.value(1, "Question").toString(), "Сколько будет 2/2?");
    EXPECT_EQ(ReadTopicQuestionSet(dm.ADOConnection(), emptyId).questions.rowCount(), 0);
    EXPECT_THROW(ReadTopicQuestionSet(dm.ADOConnection(), 9999), AppError);
}

TEST_F(QuestionListToolTest, TheToolExportsATopicByNameByIdOrFromAQuestionFile)
{
    const QString byName = AppFilePath("by name.odt");
    QString err;
    ASSERT_EQ(
        runTool({"export", "questions", "--topic", "Дроби: 1/2", byName, "--rights", "--pictures", "--zoom", "200"},
                &err),
        0)
        << err.toStdString();
    const OdtDocument doc = ReadOdt(byName);
    EXPECT_EQ(doc.error, "");
    const QStringList expected{"Дроби: 1/2", "", "Вопрос 1", "Сколько будет 1/2?", "", "\tA. половина",
                               "\tB. целое", "", "Вопрос 2", "Сколько будет 2/2?", "", "\tA. половина",
                               "\tB. целое", ""};
    EXPECT_EQ(texts(doc), expected);
    const QList<OdtParagraph> body = doc.body();
    EXPECT_EQ(body[4].pictureWidths, QList<double>{60}); // 40 pixels at 96 dpi, twice
    EXPECT_EQ(body[10].pictureWidths, QList<double>{120});
    EXPECT_TRUE(body[5].bold);
    EXPECT_FALSE(body[6].bold);
    EXPECT_FALSE(body[11].bold);
    EXPECT_TRUE(body[12].bold);

    // By id, without the options: no pictures, nothing bold.
    const QString byId = AppFilePath("by id.odt");
    ASSERT_EQ(runTool({"export", "questions", "--topic", QString::number(topicId), byId}), 0);
    const OdtDocument plain = ReadOdt(byId);
    QStringList withoutPictures = expected;
    withoutPictures.removeAt(10);
    withoutPictures.removeAt(4);
    EXPECT_EQ(texts(plain), withoutPictures);
    for (const OdtParagraph& p : plain.body())
        EXPECT_EQ(p.bold, p.text == "Дроби: 1/2" || p.text.startsWith("Вопрос ")) << p.text.toStdString();

    // From a question file the topic's name is the file's.
    const QString file = AppFilePath("Дроби.vst4");
    topics.SaveTopicToPath(topicId, "Дроби", "", file);
    const QString fromFile = AppFilePath("from file.odt");
    ASSERT_EQ(runTool({"export", "questions", "--file", file, fromFile}, &err), 0) << err.toStdString();
    QStringList fileTexts = withoutPictures;
    fileTexts[0] = "Дроби";
    EXPECT_EQ(texts(ReadOdt(fromFile)), fileTexts);
}
