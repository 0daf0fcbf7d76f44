#include "adtg.h"
#include "appfolder.h"
#include "archive.h"
#include "connection.h"
#include "detailsf.h"
#include "enginefixture.h"
#include "gradientstrip.h"
#include "messagerecorder.h"
#include "ports.h"
#include "serverpeer.h"
#include "studentf.h"
#include "studentnetwork.h"
#include "testengine.h"
#include "testhome.h"
#include "textprompt.h"
#include "traymsgf.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

using namespace enginefixture;
using Protocol::StudentMessage;

namespace {

constexpr int WaitMs = 5000;

class QuietListener : public ServerListener
{
public:
    bool active = false;
    void setPort(int) override {}
    void setActive(bool on) override { active = on; }
    bool isActive() const override { return active; }
};

// Answers the one-line prompts while alive.
class PromptRecorder
{
public:
    explicit PromptRecorder(std::optional<QString> answer)
        : m_previous(SetTextPromptHandler([this, answer](const QString& title, const QString&, const QString&) {
              titles.append(title);
              return answer;
          }))
    {}
    ~PromptRecorder() { SetTextPromptHandler(std::move(m_previous)); }
    QStringList titles;

private:
    TextPromptHandler m_previous;
};

void sendMouse(QWidget* w, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Presses a text, moves it `dy` pixels (in steps, as a hand does) and releases it.
void drag(QWidget* text, int dy)
{
    const QPoint grab(5, 5);
    const int mouseY = text->y() + grab.y(); // the mouse in the answer area; events are local to the text
    sendMouse(text, QEvent::MouseButtonPress, grab);
    const int steps = 10;
    for (int i = 1; i <= steps; ++i)
        sendMouse(text, QEvent::MouseMove, QPoint(grab.x(), mouseY + dy * i / steps - text->y()));
    sendMouse(text, QEvent::MouseButtonRelease, QPoint(grab.x(), mouseY + dy - text->y()));
}

class StudentWindowTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(peer.listen()); }
    // Withdrawn notices sink on their timers: here they are sunk at once, so that the next case in
    // the same process starts without any.
    void TearDown() override
    {
        TTrayMsgF::withdrawAll();
        for (int i = 0; i < 100000 && !TTrayMsgF::stack().isEmpty(); ++i)
            for (TTrayMsgF* n : TTrayMsgF::stack())
                n->step();
    }

    StudentParts parts(int screenHeight = 900)
    {
        StudentParts p;
        p.linkTimers = [this](std::function<void()> f, bool single) -> std::unique_ptr<EngineTimer> {
            auto t = std::make_unique<ManualTimer>(std::move(f), single);
            (single ? delivery : reconnect) = t.get();
            return t;
        };
        p.engineTimers = engineTimers.factory();
        p.listener = &listener;
        p.channels = MakeStudentChannel;
        p.seed = 1;
        p.screenHeight = screenHeight;
        return p;
    }

    std::unique_ptr<TStudentF> connectedWindow(int screenHeight = 900)
    {
        auto w = std::make_unique<TStudentF>(QStringList{}, QStringLiteral("127.0.0.1"), parts(screenHeight));
        w->show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return count(StudentMessage::Kind::Iam) == 1; }, WaitMs));
        return w;
    }

    void handOut(TStudentF& w, const Table& questions, const Settings& chosen = {})
    {
        const QStringList settings = settingsList(chosen).split("\r\n", Qt::SkipEmptyParts);
        ASSERT_TRUE(ends.last()->sendQuestionSet(settings, packageFile(questions)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.engine().phase() == TestPhase::Answering; }, WaitMs));
    }

    int count(StudentMessage::Kind kind) const
    {
        return int(
            std::count_if(received.begin(), received.end(), [&](const StudentMessage& m) { return m.kind == kind; }));
    }

    QuietListener listener;
    ManualTimer* reconnect = nullptr;
    ManualTimer* delivery = nullptr;
    ManualTimers engineTimers;
    ServerPeer peer;
    QList<ServerConnection*>& ends = peer.ends;
    QList<StudentMessage>& received = peer.received;
};

} // namespace

TEST_F(StudentWindowTest, AWholeTestByClicksAndDragsAgainstTheServer)
{
    auto w = connectedWindow();
    EXPECT_TRUE(w->isMaximized()); // the test fills the screen
    EXPECT_EQ(w->frameGeometry().size(), w->screen()->availableGeometry().size());
    EXPECT_FALSE(w->findChild<QWidget*>("StatusPanel")->isVisible());
    EXPECT_TRUE(w->findChild<QWidget*>("WaitPanel")->isVisible());
    handOut(*w, fourKinds());
    EXPECT_FALSE(w->findChild<QWidget*>("WaitPanel")->isVisible());
    EXPECT_TRUE(w->findChild<QWidget*>("AnswersPanel")->isEnabled());

    // Choice: a click on the text ticks the answer.
    EXPECT_EQ(w->answerText(1)->text(), "a");
    sendMouse(w->answerText(1), QEvent::MouseButtonPress, {3, 3});
    EXPECT_TRUE(w->findChild<QCheckBox*>("DBCheckBox1")->isChecked());
    QTest::keyClick(w.get(), Qt::Key_F7);
    ASSERT_TRUE(QTest::qWaitFor([&] { return count(StudentMessage::Kind::Report) == 1; }, WaitMs));
    EXPECT_EQ(received.last().report.sRslt, "1"); // the ticked answer numbers

    // Open answer: typed into the box.
    auto* open = w->findChild<QLineEdit*>("OpenDBEdit");
    ASSERT_TRUE(open->isVisible());
    EXPECT_FALSE(w->answerText(1)->isVisible());
    QTest::keyClicks(open, "Paris");
    w->findChild<QPushButton*>("btnNext")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return count(StudentMessage::Kind::Report) == 2; }, WaitMs));
    EXPECT_EQ(received.last().report.sRslt, "Paris");

    // Ordering: the first text dragged below the second exchanges their rows.
    const LayoutMeasures& m = w->measures();
    const Arrangement before = w->engine().arrangement();
    drag(w->answerText(1), m.pitch + 10);
    Arrangement swapped = before;
    std::swap(swapped[0], swapped[1]);
    EXPECT_EQ(w->engine().arrangement(), swapped);
    EXPECT_EQ(w->answerText(1)->y(), m.topOfRow(1)); // every text back in its row
    w->findChild<QPushButton*>("btnNext")->click();

    // Matching: the left texts do not move; the right ones only within their four rows.
    const Arrangement matching = w->engine().arrangement();
    drag(w->answerText(1), m.pitch + 10);
    EXPECT_EQ(w->engine().arrangement(), matching);
    EXPECT_EQ(w->answerText(5)->y(), m.topOfRow(1));
    drag(w->answerText(5), -3 * m.pitch);
    EXPECT_EQ(w->engine().arrangement(), matching);
    drag(w->answerText(5), 3 * m.pitch + 10);
    Arrangement moved = matching;
    std::rotate(moved.begin() + 4, moved.begin() + 5, moved.end());
    EXPECT_EQ(w->engine().arrangement(), moved);

    w->findChild<QPushButton*>("btnReady")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return count(StudentMessage::Kind::FinishReport) == 1; }, WaitMs));
    const QStringList results = received.last().lines;
    ASSERT_EQ(results.size(), 4);
    EXPECT_EQ(results[1], "12=Paris");
    ASSERT_NE(w->details(), nullptr);
    EXPECT_EQ(w->details()->model()->rowCount(), 4);
    EXPECT_EQ(w->details()->model()->horizontalHeaderItem(3)->text(), "Вклад в общий результат");

    ends.last()->send(Protocol::yourPrePointsAre("5", 100.0, {}));
    ends.last()->send(Protocol::yourFinalPointsAre(5));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto stack = TTrayMsgF::stack();
            return !stack.isEmpty() && stack.first()->findChild<QLabel*>("lbTitle")->text() == "Окончательная оценка";
        },
        WaitMs));
    EXPECT_FALSE(w->link().awaitingDelivery());
    ends.last()->send(Protocol::command(Protocol::Head::NextStudent));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->engine().phase() == TestPhase::Waiting; }, WaitMs));
    EXPECT_TRUE(w->findChild<QWidget*>("WaitPanel")->isVisible());
    EXPECT_TRUE(QDir(AppFilePath("SavedWorks")).entryList(QDir::Files).isEmpty());
}

TEST_F(StudentWindowTest, ClosingIsRefusedWhileConnectedAndImmediateAfterCloseClient)
{
    auto w = connectedWindow();
    MessageRecorder messages;
    w->close();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(messages.texts, QStringList{"Не нужно закрывать программу!"});
    ends.last()->send(Protocol::command(Protocol::Head::CloseClient));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->isVisible(); }, WaitMs));
    EXPECT_EQ(messages.texts.size(), 1);
}

TEST_F(StudentWindowTest, ALossInATestShowsTheNoticeAndAnOfflineEndWritesAFile)
{
    auto w = connectedWindow();
    handOut(*w, fourKinds());
    ends.last()->socket()->abort();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->link().state() == ConnectionState::Lost; }, WaitMs));
    ASSERT_FALSE(TTrayMsgF::stack().isEmpty());
    EXPECT_EQ(TTrayMsgF::stack().first()->findChild<QLabel*>("lbTitle")->text(), "Соединение потеряно!");
    EXPECT_TRUE(w->findChild<QWidget*>("StatusPanel")->isVisible());
    PromptRecorder prompts(QStringLiteral("Петров"));
    for (int i = 0; i < 4 && w->engine().view().nextEnabled; ++i)
        QTest::keyClick(w.get(), Qt::Key_F7);
    w->findChild<QPushButton*>("btnReady")->click();
    EXPECT_EQ(prompts.titles, QStringList{"Фамилия студента"});
    EXPECT_EQ(QDir(AppFilePath("SavedWorks")).entryList(QDir::Files).size(), 1);
    // A student who lost the connection may close the program.
    w->close();
    EXPECT_FALSE(w->isVisible());
}

TEST_F(StudentWindowTest, TheModeChoiceChecksTheTypedAddress)
{
    TStudentF w(QStringList{}, QString(), parts());
    w.show();
    EXPECT_TRUE(w.findChild<QWidget*>("StatusPanel")->isVisible());
    EXPECT_TRUE(listener.active);
    sendMouse(w.findChild<QWidget*>("lbStatus"), QEvent::MouseButtonPress, {2, 2});
    EXPECT_TRUE(w.findChild<QWidget*>("rgMetod")->isVisible());
    MessageRecorder messages;
    {
        PromptRecorder prompts(QStringLiteral("192.168.1.300"));
        w.findChild<QAbstractButton*>("rgMetod1")->click();
        EXPECT_EQ(prompts.titles, QStringList{"Назначение сервера"});
    }
    EXPECT_EQ(messages.texts, QStringList{"Некорректный IP-адрес: 192.168.1.300"});
    EXPECT_TRUE(w.findChild<QAbstractButton*>("rgMetod0")->isChecked());
    {
        PromptRecorder prompts(QStringLiteral("10.0.0.5"));
        w.findChild<QAbstractButton*>("rgMetod1")->click();
    }
    QFile saved(AppFilePath("ServerIP"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("10.0.0.5"));
    EXPECT_FALSE(listener.active);
}

TEST_F(StudentWindowTest, ThreeNoticesStandStackedAndAClickSinksOnlyOne)
{
    for (const char* title : {"first", "second", "third"})
        TTrayMsgF::show({title, "text", NoticeIcon::Information, NoticeColour::Tooltip, 10});
    const QList<TTrayMsgF*> stack = TTrayMsgF::stack();
    ASSERT_EQ(stack.size(), 3);
    EXPECT_EQ(stack[0]->findChild<QLabel*>("lbTitle")->text(), "third"); // newest first
    // Newest lowest: each older notice stands on the one below it.
    EXPECT_EQ(stack[1]->targetTop(), stack[0]->targetTop() - stack[1]->height());
    EXPECT_EQ(stack[2]->targetTop(), stack[1]->targetTop() - stack[2]->height());
    for (int i = 0; i < 1000; ++i)
        for (TTrayMsgF* n : stack)
            n->step();
    for (TTrayMsgF* n : stack) {
        EXPECT_EQ(n->motion(), TTrayMsgF::Motion::Resting);
        EXPECT_EQ(n->y(), n->targetTop());
    }
    sendMouse(stack[1], QEvent::MouseButtonPress, {2, 2});
    EXPECT_EQ(stack[1]->motion(), TTrayMsgF::Motion::Sinking);
    EXPECT_EQ(stack[0]->motion(), TTrayMsgF::Motion::Resting);
    EXPECT_EQ(stack[2]->motion(), TTrayMsgF::Motion::Resting);
}

namespace {

QByteArray bitmap(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

void doubleClick(QWidget* w)
{
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                              QEvent::MouseButtonRelease})
        sendMouse(w, type, {3, 3});
}

} // namespace

// Every measure of the question view follows the screen: designed for 900 pixels high, times 1.2
// on 1080 pixels (the first row's top 44 and the pitch 104).
TEST_F(StudentWindowTest, TheScreenScaleReachesEveryMeasureOfTheView)
{
    struct Case
    {
        int screen;
        int rowTop, pitch, textHeight, tickLeft, stripHeight, panelTop, openHeight;
        QRect picture;
        int questionThumb;
    } cases[] = {
        {900, 37, 87, 79, 24, 24, 180, 28, QRect(56, 136, 33, 33), 49},
        {1080, 44, 104, 95, 29, 29, 216, 34, QRect(67, 163, 40, 40), 59},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.screen);
        received.clear();
        Table t = fourKinds();
        t.setValue(0, "QuePict", bitmap(300, 200));
        t.setValue(0, "Pict1", bitmap(120, 90));
        auto w = connectedWindow(c.screen);
        EXPECT_EQ(w->findChild<QWidget*>("WaitPanel")->y(), c.panelTop);
        handOut(*w, t);
        ends.removeLast();
        QLabel* first = w->answerText(1);
        EXPECT_EQ(first->geometry(), QRect(first->x(), c.rowTop, first->width(), c.textHeight));
        EXPECT_EQ(w->answerText(2)->y(), c.rowTop + c.pitch);
        EXPECT_EQ(w->findChild<QCheckBox*>("DBCheckBox1")->x(), first->x() - c.tickLeft);
        EXPECT_EQ(w->findChild<QWidget*>("TopImg")->height(), c.stripHeight);
        EXPECT_EQ(w->picture(1)->geometry(), c.picture);
        EXPECT_EQ(w->picture(0)->size(), QSize(c.questionThumb, c.questionThumb));
        w->findChild<QPushButton*>("btnNext")->click();
        EXPECT_EQ(w->findChild<QLineEdit*>("OpenDBEdit")->geometry().top(), c.rowTop);
        EXPECT_EQ(w->findChild<QLineEdit*>("OpenDBEdit")->height(), c.openHeight);
    }
}

TEST_F(StudentWindowTest, PicturesShowAsThumbnailsAndADoubleClickTogglesTheirSize)
{
    Table t = fixture::questionTable();
    fixture::addQuestion(t, {.id = 21, .type = 0, .price = 1, .answers = {"a", "b"}, .correct = "1"});
    fixture::addQuestion(t, {.id = 22, .type = 0, .price = 1, .answers = {"c", "d"}, .correct = "2"});
    fixture::addQuestion(t, {.id = 23, .type = 2, .price = 1, .answers = {"e", "f", "g"}});
    fixture::addQuestion(t, {.id = 24, .type = 3, .price = 1, .answers = {"h", "i", "j", "k", "H", "I", "J", "K"}});
    t.setValue(0, "QuePict", bitmap(300, 200));
    t.setValue(0, "Pict1", bitmap(120, 90));
    t.setValue(0, "Pict2", QByteArray("BM")); // a broken picture shows nothing
    t.setValue(2, "Pict1", bitmap(60, 40));
    t.setValue(3, "Pict6", bitmap(80, 50));
    auto w = connectedWindow();
    handOut(*w, t);
    const LayoutMeasures& m = w->measures();
    QLabel* answerPicture = w->picture(1);
    ASSERT_TRUE(answerPicture->isVisible());
    // On the window, 16 pixels right of its text and 99 below the text's top in the answer area.
    const QRect text = w->answerText(1)->geometry();
    EXPECT_EQ(answerPicture->geometry(), QRect(text.left() + 16, text.top() + 99, 33, 33));
    EXPECT_FALSE(w->picture(2)->isVisible());
    EXPECT_EQ(w->picture(0)->size(), QSize(49, 49));
    EXPECT_TRUE(w->pictureHint()->isVisible());

    const QRect thumb = answerPicture->geometry();
    doubleClick(answerPicture);
    EXPECT_EQ(answerPicture->size(), QSize(120, 90));
    EXPECT_EQ(answerPicture->geometry().right(), 40 + 16 + 33 - 1); // the designed left picture column
    EXPECT_FALSE(w->pictureHint()->isVisible());                    // pressing a picture removes the hint
    doubleClick(answerPicture);
    EXPECT_EQ(answerPicture->geometry(), thumb);

    // Pressed and moved: the picture follows the mouse sideways only.
    sendMouse(answerPicture, QEvent::MouseButtonPress, {3, 3});
    sendMouse(answerPicture, QEvent::MouseMove, {-47, 40});
    sendMouse(answerPicture, QEvent::MouseButtonRelease, {-47, 40});
    EXPECT_EQ(answerPicture->pos(), thumb.topLeft() - QPoint(50, 0));

    // The next question has no pictures: no thumbnails, no hint.
    w->findChild<QPushButton*>("btnNext")->click();
    for (int k = 0; k <= MaxAnswerPositions; ++k)
        EXPECT_FALSE(w->picture(k)->isVisible()) << k;
    EXPECT_FALSE(w->pictureHint()->isVisible());

    // Ordering: a dragged text takes its picture along and leaves it under its new row.
    w->findChild<QPushButton*>("btnNext")->click();
    ASSERT_EQ(w->engine().view().kind, QuestionKind::Ordering);
    ASSERT_TRUE(w->picture(1)->isVisible());
    const QPoint grab(5, 5);
    sendMouse(w->answerText(1), QEvent::MouseButtonPress, grab);
    sendMouse(w->answerText(1), QEvent::MouseMove, grab + QPoint(0, 30));
    EXPECT_EQ(w->picture(1)->y(), w->answerText(1)->y() + 99);
    sendMouse(w->answerText(1), QEvent::MouseButtonRelease, grab + QPoint(0, 30));
    drag(w->answerText(1), m.pitch + 10);
    ASSERT_EQ(w->engine().arrangement()[1], 1); // answer 1 now stands in row 2, and so does its picture
    EXPECT_FALSE(w->picture(1)->isVisible());
    EXPECT_EQ(w->picture(2)->geometry(), QRect(56, m.topOfRow(2) + 99, 33, 33));

    // Matching: a right-column picture stands by its own text, grows at the designed left column
    // and returns to its own place.
    w->findChild<QPushButton*>("btnNext")->click();
    int withPicture = 0; // the position that shows answer 6
    for (int k = 5; k <= MaxAnswerPositions; ++k)
        if (w->engine().view().positions[k - 1].answer == 6)
            withPicture = k;
    ASSERT_GT(withPicture, 0);
    QLabel* right = w->picture(withPicture);
    ASSERT_TRUE(right->isVisible());
    const QRect rightThumb = right->geometry();
    EXPECT_EQ(rightThumb.topLeft(), w->answerText(withPicture)->geometry().topLeft() + QPoint(16, 99));
    EXPECT_EQ(rightThumb.left(), w->findChild<QWidget*>("AnswersPanel")->width() / 2 + 16); // the right column
    doubleClick(right);
    EXPECT_EQ(right->geometry(), QRect(88 - 80 + 1, rightThumb.top(), 80, 50));
    doubleClick(right);
    EXPECT_EQ(right->geometry(), rightThumb);

    // After the end the answers are locked, but the pictures still open.
    w->findChild<QPushButton*>("btnReady")->click();
    ASSERT_FALSE(w->findChild<QWidget*>("AnswersPanel")->isEnabled());
    QLabel* shown = nullptr;
    for (int k = 0; k <= MaxAnswerPositions && !shown; ++k)
        if (w->picture(k)->isVisible())
            shown = w->picture(k);
    ASSERT_NE(shown, nullptr);
    const QSize before = shown->size();
    doubleClick(shown);
    EXPECT_NE(shown->size(), before);
}

// A new size moves what follows the size and changes nothing the student sees or did: a ticked
// box stays ticked, an enlarged picture stays enlarged where it was, the thumbnails keep to their
// texts and the question area's corner.
TEST_F(StudentWindowTest, ANewSizeMovesWhatFollowsItAndKeepsWhatIsShown)
{
    Table t = fixture::questionTable();
    fixture::addQuestion(t, {.id = 31, .type = 0, .price = 1, .answers = {"a", "b", "c"}, .correct = "1"});
    t.setValue(0, "QuePict", bitmap(300, 200));
    t.setValue(0, "Pict1", bitmap(120, 90));
    t.setValue(0, "Pict2", bitmap(60, 40));
    auto w = connectedWindow();
    handOut(*w, t);
    w->showNormal();
    w->resize(1000, 700);
    QCheckBox* tick = w->findChild<QCheckBox*>("DBCheckBox1");
    tick->click();
    ASSERT_TRUE(tick->isChecked());
    QLabel* enlarged = w->picture(1);
    doubleClick(enlarged);
    ASSERT_EQ(enlarged->size(), QSize(120, 90));
    const QRect enlargedFrame = enlarged->geometry();
    const QString text = w->answerText(2)->text();
    const int width = w->answerText(2)->width();

    w->resize(1200, 760);
    QWidget* answers = w->findChild<QWidget*>("AnswersPanel");
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers->width() > 1000 - 150; }, WaitMs)); // the side panel is 150
    EXPECT_TRUE(tick->isChecked());
    EXPECT_EQ(w->answerText(2)->text(), text);
    EXPECT_EQ(w->answerText(2)->width(), width + 200); // the texts take the new width
    EXPECT_EQ(enlarged->geometry(), enlargedFrame);
    const QRect second = w->answerText(2)->geometry();
    EXPECT_EQ(w->picture(2)->geometry(), QRect(second.left() + 16, second.top() + 99, 33, 33));
    const int questionWidth = w->findChild<QTextEdit*>("mmQuestion")->width();
    EXPECT_EQ(w->picture(0)->geometry(), QRect(questionWidth - 49 - 8, 8, 49, 49));
}

// The strips show the appearance's colours at once, and stay in colour while the answers are locked.
TEST_F(StudentWindowTest, TheStripsFollowTheAppearanceAndTheState)
{
    auto w = connectedWindow();
    handOut(*w, fourKinds());
    auto* strip = w->findChild<QWidget*>("TopImg");
    auto* buttons = w->findChild<QWidget*>("BtnsPanel");
    const auto expectStrips = [&](const QColor& question, const QColor& answers) {
        const QImage top = strip->grab().toImage();
        const QImage wanted = GradientStrip(question, answers, strip->size());
        for (int y : {0, strip->height() / 2, strip->height() - 1})
            EXPECT_EQ(top.pixelColor(strip->width() / 2, y), wanted.pixelColor(0, y)) << "top strip row " << y;
        const QImage bottom = buttons->grab().toImage();
        const QImage back = GradientStrip(answers, question, buttons->size());
        for (int y : {1, buttons->height() - 2}) // beside the buttons, at the left edge
            EXPECT_EQ(bottom.pixelColor(1, y), back.pixelColor(0, y)) << "button strip row " << y;
    };
    Appearance red;
    red.QueBGColor = 0x0000C0; // 0x00BBGGRR
    red.AnsBGColor = 0xF0E0D0;
    red.QueFontSize = red.AnsFontSize = 10;
    red.QueFontColor = 0xFFFFFF;
    red.QueFontSize = 13;
    w->applyAppearance(red);
    expectStrips(QColor(0xC0, 0, 0), QColor(0xD0, 0xE0, 0xF0));
    auto* question = w->findChild<QTextEdit*>("mmQuestion");
    EXPECT_EQ(question->viewport()->grab().toImage().pixelColor(2, 2), QColor(0xC0, 0, 0));
    EXPECT_EQ(question->palette().color(QPalette::Text), QColor(Qt::white));
    EXPECT_EQ(question->font().pointSize(), 13);
    EXPECT_TRUE(question->font().bold());
    for (int i = 0; i < 3; ++i)
        w->findChild<QPushButton*>("btnNext")->click();
    w->findChild<QPushButton*>("btnReady")->click();
    ASSERT_FALSE(w->findChild<QWidget*>("AnswersPanel")->isEnabled());
    expectStrips(QColor(0xC0, 0, 0), QColor(0xD0, 0xE0, 0xF0));
    Appearance green = red;
    green.QueBGColor = 0x00A000;
    w->applyAppearance(green);
    expectStrips(QColor(0, 0xA0, 0), QColor(0xD0, 0xE0, 0xF0));
}

// A timed test: the time left in words over a gauge that runs down, red from the last minute on,
// and gone once the test has ended.
TEST_F(StudentWindowTest, TheTimeDisplayRunsDownAndTurnsRedInTheLastMinute)
{
    auto w = connectedWindow();
    auto* gauge = w->findChild<QProgressBar*>("TimeGauge");
    auto* minutes = w->findChild<QLabel*>("lbTimeRemainMinutes");
    auto* seconds = w->findChild<QLabel*>("lbTimeRemainSec");
    ASSERT_TRUE(gauge && minutes && seconds);
    EXPECT_FALSE(gauge->isVisible()); // no test yet
    handOut(*w, fourKinds(), {.TimeLimit = -1, .MaxTime = 2});
    EXPECT_TRUE(gauge->isVisible());
    EXPECT_EQ(gauge->orientation(), Qt::Vertical);
    EXPECT_EQ(gauge->toolTip(), "Остаток времени");
    EXPECT_EQ(gauge->maximum(), 120);
    EXPECT_EQ(gauge->value(), 120);
    EXPECT_EQ(minutes->text(), "2 мин.");
    EXPECT_EQ(seconds->text(), "0 сек.");
    const QColor green = gauge->palette().color(QPalette::Highlight);
    EXPECT_EQ(green, QColor(0, 128, 0));

    for (int i = 0; i < 59; ++i)
        engineTimers.countdown->fire();
    EXPECT_EQ(gauge->value(), 61);
    EXPECT_EQ(minutes->text(), "1 мин.");
    EXPECT_EQ(seconds->text(), "1 сек.");
    EXPECT_EQ(gauge->palette().color(QPalette::Highlight), green);
    engineTimers.countdown->fire(); // 60 seconds left
    EXPECT_EQ(gauge->value(), 60);
    EXPECT_EQ(gauge->palette().color(QPalette::Highlight), QColor(255, 0, 0));

    for (int i = 0; i < 3; ++i)
        w->findChild<QPushButton*>("btnNext")->click();
    w->findChild<QPushButton*>("btnReady")->click();
    EXPECT_FALSE(gauge->isVisible());
    EXPECT_FALSE(minutes->isVisible());
}

TEST_F(StudentWindowTest, ALongQuestionGrowsItsAreaInEightPixelSteps)
{
    Table t = fixture::questionTable();
    fixture::addQuestion(t, {.id = 31, .type = 0, .price = 1, .answers = {"a", "b"}, .correct = "1"});
    fixture::addQuestion(t, {.id = 32, .type = 0, .price = 1, .answers = {"c", "d"}, .correct = "2"});
    QStringList lines;
    for (int i = 1; i <= 8; ++i)
        lines.append(QStringLiteral("Строка %1 длинного вопроса").arg(i));
    t.setValue(0, "Question", lines.join('\n'));
    t.setValue(1, "Question", QStringLiteral("Короткий вопрос"));
    auto w = connectedWindow();
    handOut(*w, t);
    auto* memo = w->findChild<QTextEdit*>("mmQuestion");
    EXPECT_GT(memo->height(), 73);
    EXPECT_EQ((memo->height() - 73) % 8, 0);
    EXPECT_EQ(memo->verticalScrollBar()->maximum(), 0); // the whole question shows without scrolling
    // One step less would not have shown it whole.
    EXPECT_GT(memo->document()->size().height(), memo->viewport()->height() - 8);
    w->findChild<QPushButton*>("btnNext")->click();
    EXPECT_EQ(memo->height(), 73);
}

TEST_F(StudentWindowTest, AfterTheEndTheRightAnswersAreMarked)
{
    auto w = connectedWindow();
    handOut(*w, fourKinds()); // the settings show the right answers after the end
    for (int i = 0; i < 3; ++i)
        w->findChild<QPushButton*>("btnNext")->click();
    w->findChild<QPushButton*>("btnReady")->click();
    ASSERT_EQ(w->engine().phase(), TestPhase::Reviewing);
    EXPECT_FALSE(w->findChild<QWidget*>("AnswersPanel")->isEnabled());
    // Choice: the right answers (1 and 3) are underlined in the right answers' colour, the others not,
    // and they keep that colour in the locked answer area.
    const QColor rightColour = w->answerText(1)->palette().color(QPalette::Disabled, QPalette::WindowText);
    EXPECT_NE(rightColour, w->answerText(2)->palette().color(QPalette::Disabled, QPalette::WindowText));
    for (int k = 1; k <= 3; ++k) {
        const bool right = k != 2;
        EXPECT_EQ(w->answerText(k)->font().underline(), right) << k;
        EXPECT_TRUE(w->answerText(k)->font().bold()) << k;
        EXPECT_EQ(w->answerText(k)->palette().color(QPalette::Disabled, QPalette::WindowText) == rightColour, right)
            << k;
    }
    // Ordering: a digit beside every answer, left of the texts.
    w->findChild<QPushButton*>("btnNext")->click();
    w->findChild<QPushButton*>("btnNext")->click();
    ASSERT_EQ(w->engine().view().kind, QuestionKind::Ordering);
    for (int k = 1; k <= 5; ++k) {
        auto* mark = w->findChild<QLabel*>(QStringLiteral("lblRightOrder%1").arg(k));
        EXPECT_TRUE(mark->isVisible()) << k;
        EXPECT_EQ(mark->text(), QString::number(w->engine().view().positions[k - 1].orderMark)) << k;
        EXPECT_LT(mark->x(), w->answerText(k)->x()) << k;
        EXPECT_EQ(mark->font().underline(), w->engine().view().positions[k - 1].right) << k;
    }
    EXPECT_FALSE(w->findChild<QLabel*>("lblRightOrder6")->isVisible());
}
