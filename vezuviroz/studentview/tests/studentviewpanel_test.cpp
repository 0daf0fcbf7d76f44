// The student view panel driven headless with a matching question.
#include "gradingfixture.h"
#include "studentviewfixture.h"
#include "studentviewpanel.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int RightColour = 0x00FF0080; // 0x00BBGGRR: red 0x80, blue 0xFF

Table matchingTopic()
{
    Table t = fixture::questionTable();
    fixture::addQuestion(t, {.id = 4,
                             .type = 3,
                             .price = 4,
                             .answers = {"Волга", "Нева", "Обь", "Енисей", "Каспий", "Балтика", "Карское", "Залив"}});
    fixture::addQuestion(t, {.id = 1, .type = 0, .price = 2, .answers = {"А", "Б"}, .correct = "1"});
    fixture::addQuestion(t, {.id = 2, .type = 1, .price = 1, .answers = {"Париж", "Paris", "", "Лютеция"}});
    t.setValue(0, QStringLiteral("Question"), QStringLiteral("<b>Сопоставьте</b> реки и моря"));
    t.setValue(0, QStringLiteral("Pict6"), viewfixture::picture(120, 400));
    return t;
}

StudentViewRow matchingRow(const QString& results)
{
    StudentViewRow r = viewfixture::row(results);
    r.address = QStringLiteral("192.168.0.7");
    r.maxTime = 600;
    r.timeRemain = 60;
    r.takePartialRight = false;
    r.priceSum = 8;
    return r;
}

class StudentViewPanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        panel.resize(900, 349);
        panel.setRightAnswerColour(RightColour);
        panel.show();
    }
    bool shown(const QWidget* w) const { return w->isVisibleTo(&panel); }

    Table topic = matchingTopic();
    StudentViewPanel panel;
};

} // namespace

TEST_F(StudentViewPanelTest, WithoutResultsOnlyTheNoDataTextShows)
{
    EXPECT_FALSE(panel.hasData());
    EXPECT_TRUE(shown(panel.noDataLabel()));
    EXPECT_EQ(panel.noDataLabel()->text(), QStringLiteral("Нет данных для просмотра"));
    panel.setRow(matchingRow({}), &topic);
    EXPECT_FALSE(panel.hasData());
    EXPECT_TRUE(shown(panel.noDataLabel()));
    EXPECT_FALSE(shown(panel.questionLabel()));
    EXPECT_FALSE(shown(panel.timeGauge()));
    EXPECT_TRUE(panel.numberLabel()->text().isEmpty());
    EXPECT_FALSE(panel.previousAction()->isEnabled());
    EXPECT_FALSE(panel.nextAction()->isEnabled());
}

TEST_F(StudentViewPanelTest, AMatchingQuestionIsDrawnFromBothSides)
{
    panel.setRow(matchingRow(QStringLiteral("4=12346578\r\n1=1\r\n")), &topic);
    ASSERT_TRUE(panel.hasData());
    EXPECT_FALSE(shown(panel.noDataLabel()));
    EXPECT_EQ(panel.numberLabel()->text(), QStringLiteral("Вопрос 1 из 2"));
    // the question text is shown as written, not as markup
    EXPECT_EQ(panel.questionLabel()->text(), QStringLiteral("<b>Сопоставьте</b> реки и моря"));
    EXPECT_EQ(panel.questionLabel()->textFormat(), Qt::PlainText);

    const QString texts[] = {"Волга", "Нева", "Обь", "Енисей", "Балтика", "Каспий", "Карское", "Залив"};
    const bool right[] = {false, false, true, true, false, false, true, true};
    const QColor rightColour(0x80, 0x00, 0xFF);
    for (int n = 0; n < 8; ++n) {
        SCOPED_TRACE(n + 1);
        const QLabel* text = panel.answerLabel(n);
        EXPECT_TRUE(shown(text));
        EXPECT_EQ(text->text(), texts[n]);
        EXPECT_TRUE(text->font().bold());
        EXPECT_EQ(text->font().underline(), right[n]);
        EXPECT_EQ(text->palette().color(QPalette::WindowText) == rightColour, right[n]);
        EXPECT_FALSE(shown(panel.answerCheck(n)));
        EXPECT_EQ(shown(panel.orderLabel(n)), n >= 4);
    }
    EXPECT_EQ(panel.orderLabel(4)->text(), QStringLiteral("6"));
    EXPECT_EQ(panel.orderLabel(5)->text(), QStringLiteral("5"));
    // partners stand side by side: the right column beside the left one
    EXPECT_EQ(panel.answerLabel(4)->y(), panel.answerLabel(0)->y());
    EXPECT_GT(panel.answerLabel(4)->x(), panel.answerLabel(0)->x() + panel.answerLabel(0)->width() - 1);

    EXPECT_EQ(panel.scoreLabel()->text(),
              QStringLiteral("Правильность вопроса: 50%. Согласно настройкам, засчитано 0%."));
    EXPECT_EQ(panel.priceLabel()->text(), QStringLiteral("4"));
    EXPECT_EQ(panel.priceShareLabel()->text(), QStringLiteral("(50,0%)"));
    EXPECT_TRUE(shown(panel.timeGauge()));
    EXPECT_EQ(panel.timeGauge()->maximum(), 600);
    EXPECT_EQ(panel.timeGauge()->value(), 60);
    EXPECT_EQ(panel.minutesLabel()->text(), QStringLiteral("1 мин."));
    EXPECT_EQ(panel.minutesLabel()->palette().color(QPalette::WindowText), StudentViewPanel::shortTimeColour());
    StudentViewRow more = matchingRow(QStringLiteral("4=12346578\r\n1=1\r\n"));
    more.timeRemain = 61;
    panel.setRow(more, &topic);
    EXPECT_EQ(panel.minutesLabel()->palette().color(QPalette::WindowText), StudentViewPanel::normalTimeColour());
    EXPECT_EQ(panel.timeGauge()->palette().color(QPalette::Highlight), StudentViewPanel::normalTimeColour());
}

TEST_F(StudentViewPanelTest, PreviousAndNextMoveThroughTheQuestions)
{
    QSignalSpy changed(&panel, &StudentViewPanel::questionChanged);
    panel.setRow(matchingRow(QStringLiteral("4=12345678\r\n1=12\r\n")), &topic);
    EXPECT_FALSE(panel.previousAction()->isEnabled());
    EXPECT_TRUE(panel.nextAction()->isEnabled());
    panel.nextAction()->trigger();
    EXPECT_EQ(panel.numberLabel()->text(), QStringLiteral("Вопрос 2 из 2"));
    EXPECT_TRUE(panel.previousAction()->isEnabled());
    EXPECT_FALSE(panel.nextAction()->isEnabled());
    ASSERT_GE(changed.size(), 2);
    EXPECT_EQ(changed.last().at(0).toInt(), 1);

    // the choice question: ticks shown, the slots beyond its two answers hidden
    EXPECT_TRUE(shown(panel.answerCheck(0)));
    EXPECT_TRUE(panel.answerCheck(0)->isChecked());
    EXPECT_TRUE(panel.answerCheck(1)->isChecked());
    EXPECT_FALSE(shown(panel.answerLabel(2)));
    EXPECT_FALSE(shown(panel.orderLabel(0)));
    // a click on a tick box (routed as the window routes it) changes nothing: the view only shows
    // the student's ticks
    QCheckBox* box = panel.answerCheck(0);
    QTest::mouseClick(panel.windowHandle(), Qt::LeftButton, {}, box->mapTo(&panel, box->rect().center()));
    EXPECT_TRUE(panel.answerCheck(0)->isChecked());

    panel.previousAction()->trigger();
    EXPECT_EQ(panel.numberLabel()->text(), QStringLiteral("Вопрос 1 из 2"));
    EXPECT_FALSE(shown(panel.answerCheck(0)));
}

TEST_F(StudentViewPanelTest, AnEmptyAnswerTextAsksTheComputerForItsRoute)
{
    QSignalSpy route(&panel, &StudentViewPanel::needRoute);
    panel.setRow(matchingRow(QStringLiteral("4=12345678\r\n1=\r\n")), &topic);
    EXPECT_EQ(route.size(), 0);
    panel.nextAction()->trigger();
    ASSERT_EQ(route.size(), 1);
    EXPECT_EQ(route.first().at(0).toString(), QStringLiteral("192.168.0.7"));
    EXPECT_FALSE(shown(panel.questionLabel()));
    EXPECT_FALSE(shown(panel.answerLabel(0)));
    EXPECT_TRUE(panel.scoreLabel()->text().isEmpty());

    // refreshes of the same row do not ask again; once the route has filled it, a new gap asks anew
    panel.setRow(matchingRow(QStringLiteral("4=12345678\r\n1=\r\n")), &topic);
    EXPECT_EQ(route.size(), 1);
    panel.setRow(matchingRow(QStringLiteral("4=12345678\r\n1=1\r\n")), &topic);
    EXPECT_TRUE(shown(panel.questionLabel()));
    panel.setRow(matchingRow(QStringLiteral("4=12345678\r\n1=\r\n")), &topic);
    EXPECT_EQ(route.size(), 2);
    // another computer with the same gap is asked too
    StudentViewRow other = matchingRow(QStringLiteral("4=12345678\r\n1=\r\n"));
    other.address = QStringLiteral("192.168.0.8");
    panel.setRow(other, &topic);
    ASSERT_EQ(route.size(), 3);
    EXPECT_EQ(route.last().at(0).toString(), QStringLiteral("192.168.0.8"));
}

TEST_F(StudentViewPanelTest, APictureTogglesItsSizeAndCanBeDragged)
{
    panel.setRow(matchingRow(QStringLiteral("4=12345678\r\n")), &topic);
    ViewPicture* picture = panel.answerPicture(5); // answer 6 stands in slot 6
    ASSERT_TRUE(shown(picture));
    EXPECT_FALSE(shown(panel.answerPicture(4)));
    EXPECT_FALSE(shown(panel.questionPicture()));
    EXPECT_EQ(picture->size(), QSize(StudentViewPanel::AnswerThumb, StudentViewPanel::AnswerThumb));
    const QPoint place = picture->pos();

    QTest::mouseDClick(picture, Qt::LeftButton);
    EXPECT_TRUE(picture->isEnlarged());
    EXPECT_EQ(picture->size(), QSize(120, 400));
    // the view can scroll to the whole enlarged picture
    const QWidget* canvas = picture->parentWidget();
    EXPECT_GE(canvas->minimumHeight(), picture->geometry().bottom());
    QTest::mouseDClick(picture, Qt::LeftButton);
    EXPECT_FALSE(picture->isEnlarged());
    EXPECT_EQ(picture->size(), QSize(25, 25));

    QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(5, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(25, 12), picture->mapToGlobal(QPointF(25, 12)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(picture, &move);
    QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(25, 12));
    EXPECT_EQ(picture->pos(), place + QPoint(20, 7));

    // a refresh of the row keeps the picture where the teacher put it
    panel.setRow(matchingRow(QStringLiteral("4=12345678\r\n")), &topic);
    EXPECT_EQ(picture->pos(), place + QPoint(20, 7));
}

TEST_F(StudentViewPanelTest, AnOpenQuestionShowsTheAnswerLineInsteadOfTheSlots)
{
    panel.setRow(matchingRow(QStringLiteral("4=12345678\r\n2=***\r\n")), &topic);
    EXPECT_FALSE(shown(panel.openAnswerEdit()));
    panel.nextAction()->trigger();
    ASSERT_TRUE(shown(panel.openAnswerEdit()));
    EXPECT_TRUE(panel.openAnswerEdit()->text().isEmpty());
    EXPECT_TRUE(panel.openAnswerEdit()->isReadOnly());
    EXPECT_EQ(panel.rightAnswerLabel()->text(), QStringLiteral("Париж"));
    EXPECT_EQ(panel.variantsLabel()->text(), QStringLiteral("Paris\nЛютеция"));
    for (int n = 0; n < 8; ++n) {
        EXPECT_FALSE(shown(panel.answerLabel(n))) << n;
        EXPECT_FALSE(shown(panel.orderLabel(n))) << n;
    }
    // the answer line stands below the question, the right answer below the line
    EXPECT_GT(panel.openAnswerEdit()->y(), panel.questionLabel()->y());
    EXPECT_GT(panel.rightAnswerLabel()->y(), panel.openAnswerEdit()->y());
    EXPECT_GT(panel.variantsLabel()->y(), panel.rightAnswerLabel()->y());
}
