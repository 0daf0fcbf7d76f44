#include "apperror.h"
#include "gradingfixture.h"
#include "odtreader.h"
#include "questionlist.h"
#include "testpictures.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Question
{
    QString text;
    QStringList answers;
    QList<int> right; // 1-based
    QByteArray picture;
    QMap<int, QByteArray> answerPictures;
};

void add(Table& table, const Question& q)
{
    QString right;
    for (int n : q.right)
        right += QString::number(n);
    const int row = fixture::addQuestion(table, {.id = table.rowCount() + 1, .answers = q.answers, .correct = right});
    table.setValue(row, "Question", q.text);
    if (!q.picture.isEmpty())
        table.setValue(row, "QuePict", q.picture);
    for (auto [n, picture] : q.answerPictures.asKeyValueRange())
        table.setValue(row, "Pict" + QString::number(n), picture);
}

class QuestionListTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString folder = dir.path() + u'/';
    Table questions = fixture::questionTable();

    OdtDocument exported(const QString& topic, const QuestionListOptions& options)
    {
        QuestionListExport job(folder, topic, questions, options);
        const QString path = job.run();
        OdtDocument doc = ReadOdt(path);
        EXPECT_EQ(doc.error, "");
        return doc;
    }
    // The answer lines ("\tA. ...") of the document, in order.
    static QList<OdtParagraph> answerLines(const OdtDocument& doc)
    {
        QList<OdtParagraph> lines;
        for (const OdtParagraph& p : doc.body()) {
            if (p.text.startsWith(u'\t'))
                lines.append(p);
        }
        return lines;
    }
};

} // namespace

TEST_F(QuestionListTest, TitleQuestionsAndTheirAnswerLines)
{
    add(questions, {.text = "Сколько будет 2+2?", .answers = {"4", "5"}, .right = {1}});
    add(questions, {.text = "Столица Франции:\r\nвыберите одну", .answers = {"Лион", "Ницца", "Париж", "Марсель"}});
    const OdtDocument doc = exported("Арифметика", {});
    const QList<OdtParagraph> body = doc.body();
    QStringList texts;
    for (const OdtParagraph& p : body)
        texts << p.text;
    EXPECT_EQ(texts, QStringList({"Арифметика", "", "Вопрос 1", "Сколько будет 2+2?", "\tA. 4", "\tB. 5", "",
                                  "Вопрос 2", "Столица Франции:", "выберите одну", "\tA. Лион", "\tB. Ницца",
                                  "\tC. Париж", "\tD. Марсель", ""}));
    // Title centred 14 point bold; headings centred 12 point bold; questions in italic; answers plain.
    EXPECT_TRUE(body[0].centred);
    EXPECT_TRUE(body[0].bold);
    EXPECT_EQ(body[0].pointSize, 14);
    EXPECT_TRUE(body[2].centred);
    EXPECT_TRUE(body[2].bold);
    EXPECT_EQ(body[2].pointSize, 12);
    EXPECT_TRUE(body[3].italic);
    EXPECT_FALSE(body[3].bold);
    EXPECT_FALSE(body[3].centred);
    EXPECT_TRUE(body[9].italic);
    for (const OdtParagraph& line : answerLines(doc)) {
        EXPECT_FALSE(line.bold) << line.text.toStdString(); // right answers only when asked
        EXPECT_FALSE(line.italic);
        EXPECT_FALSE(line.centred);
    }
}

TEST_F(QuestionListTest, OnlyTheRightAnswerIsBoldWhenRightAnswersAreShown)
{
    add(questions, {.text = "Выберите", .answers = {"один", "два", "три", "четыре"}, .right = {3}});
    const QList<OdtParagraph> lines = answerLines(exported("Тема", {.showRights = true}));
    ASSERT_EQ(lines.size(), 4);
    for (const OdtParagraph& line : lines)
        EXPECT_EQ(line.bold, line.text == "\tC. три") << line.text.toStdString();
}

TEST_F(QuestionListTest, PicturesGoInOnlyWhenAskedAndAtTheirSize)
{
    const QByteArray big = BitmapBytes(80, 40, qRgb(200, 0, 0));
    const QByteArray small = BitmapBytes(20, 10, qRgb(0, 0, 200));
    add(questions, {.text = "Что на рисунке?",
                    .answers = {"Круг", "...", "", "Квадрат"},
                    .picture = big,
                    .answerPictures = {{2, small}, {3, small}}});
    {
        const OdtDocument doc = exported("Без рисунков", {});
        for (const OdtParagraph& p : doc.paragraphs)
            EXPECT_TRUE(p.pictures.isEmpty());
        QStringList lines;
        for (const OdtParagraph& p : answerLines(doc))
            lines << p.text;
        // Answer 3 has no text: it is no line at all without its picture.
        EXPECT_EQ(lines, QStringList({"\tA. Круг", "\tB. ...", "\tD. Квадрат"}));
    }
    const auto picturesOf = [](const OdtDocument& doc) {
        QList<QPair<QString, double>> found; // the paragraph before each picture, and its width
        QString before;
        for (const OdtParagraph& p : doc.body()) {
            for (double width : p.pictureWidths)
                found.append({before, width});
            if (p.pictures.isEmpty())
                before = p.text;
        }
        return found;
    };
    const OdtDocument natural = exported("С рисунками", {.pictures = true, .zoom = 50});
    // The question's picture after its text, then each answer's picture after its line; a
    // picture-only answer without text reads "...".
    const QList<QPair<QString, double>> expected{
        {"Что на рисунке?", 60}, {"\tB. ...", 15}, {"\tC. ...", 15}}; // 80 and 20 pixels at 96 dpi
    EXPECT_EQ(picturesOf(natural), expected);
    for (const OdtParagraph& p : natural.paragraphs) {
        for (const QString& member : p.pictures)
            EXPECT_FALSE(natural.members.value(member).isEmpty()) << member.toStdString(); // embedded
    }
    // With the own size option the zoom scales them.
    const OdtDocument zoomed = exported("С масштабом", {.pictures = true, .ownSize = true, .zoom = 250});
    const QList<QPair<QString, double>> scaled{{"Что на рисунке?", 150}, {"\tB. ...", 37.5}, {"\tC. ...", 37.5}};
    EXPECT_EQ(picturesOf(zoomed), scaled);
}

TEST_F(QuestionListTest, ADamagedPictureIsLeftOut)
{
    add(questions, {.text = "Вопрос", .answers = {"да"}, .picture = QByteArray("BMnot a bitmap")});
    const OdtDocument doc = exported("Тема", {.pictures = true});
    for (const OdtParagraph& p : doc.paragraphs)
        EXPECT_TRUE(p.pictures.isEmpty());
    EXPECT_EQ(answerLines(doc).size(), 1);
}

TEST_F(QuestionListTest, TheFileIsNamedByTheTopicAndNumbered)
{
    add(questions, {.text = "Вопрос", .answers = {"да", "нет"}});
    QuestionListExport first(folder, "Дроби: 1/2", questions, {});
    EXPECT_EQ(first.run(), folder + "Дроби_ 1_2.odt");
    QuestionListExport second(folder, "Дроби: 1/2", questions, {});
    EXPECT_EQ(second.run(), folder + "Дроби_ 1_2 (1).odt");
    // The document keeps the name as it is.
    EXPECT_EQ(ReadOdt(folder + "Дроби_ 1_2 (1).odt").body().value(0).text, "Дроби: 1/2");

    QuestionListExport nowhere(folder + "нет/", "Тема", questions, {});
    try {
        nowhere.run();
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_TRUE(e.message().startsWith("Ошибка формирования отчета.\r")) << e.message().toStdString();
    }
}

TEST_F(QuestionListTest, StepsRunOnTheEventLoopAndReportEachQuestion)
{
    for (int i = 0; i < 3; ++i)
        add(questions, {.text = QString("Вопрос %1").arg(i), .answers = {"да"}});
    QuestionListExport job(folder, "Тема", questions, {});
    QSignalSpy progress(&job, &QuestionListExport::progress);
    QSignalSpy finished(&job, &QuestionListExport::finished);
    job.start();
    EXPECT_EQ(progress.count(), 0);    // nothing happens before the event loop runs
    EXPECT_TRUE(finished.wait(10000)); // the file is written on a thread of its own
    ASSERT_EQ(finished.count(), 1);
    ASSERT_EQ(progress.count(), 3);
    EXPECT_EQ(progress[0], (QVariantList{1, 3}));
    EXPECT_EQ(progress[2], (QVariantList{3, 3}));
    EXPECT_EQ(finished[0][0].toString(), folder + "Тема.odt");
    EXPECT_TRUE(QFile::exists(folder + "Тема.odt"));

    QuestionListExport failing(folder + "нет/", "Тема", questions, {});
    QSignalSpy failed(&failing, &QuestionListExport::failed);
    failing.start();
    EXPECT_TRUE(failed.wait(10000));
    ASSERT_EQ(failed.count(), 1);
    EXPECT_TRUE(failed[0][0].toString().startsWith("Ошибка формирования отчета.\r"));
}
