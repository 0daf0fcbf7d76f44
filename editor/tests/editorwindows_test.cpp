#include "appfolder.h"
#include "columnmenu.h"
#include "datamodules.h"
#include "dataset.h"
#include "editorbank.h"
#include "exportoptionsf.h"
#include "inputprompt.h"
#include "messagerecorder.h"
#include "odtreader.h"
#include "scribantf.h"
#include "scribantmodules.h"
#include "shellrecorder.h"
#include "sqltexts.h"
#include "topicf.h"
#include "topicstore.h"
#include "topictree.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Answers the editor's text prompts while alive.
class PromptAnswers
{
public:
    explicit PromptAnswers(QStringList answers)
        : m_previous(SetPromptHandler([this, answers](const QString& title, const QString&, QString& value) mutable {
              titles.append(title);
              if (answers.isEmpty())
                  return false;
              value = answers.takeFirst();
              return true;
          }))
    {}
    ~PromptAnswers() { SetPromptHandler(std::move(m_previous)); }
    QStringList titles;

private:
    PromptHandler m_previous;
};

class EditorWindows : public ::testing::Test, public BankRows
{
protected:
    EditorWindows() { window()->show(); }

    TScribantF* window() { return modules.window(); }
    StoreConnection* connection() override { return window()->topics().shared()->dm()->ADOConnection(); }

    QVariant value(const char* table, const char* key, int id, const QString& column)
    {
        Dataset rows(connection(), "r", QString("SELECT * FROM %1").arg(table));
        rows.open();
        return rows.locate(key, id) ? rows.value(column) : QVariant();
    }

    QStringList lines(int topicId)
    {
        return TopicStore::QueIdLines(value("Topics", "TopicID", topicId, "QueIDs").toString());
    }

    bool enabled(const char* name) { return window()->action(name)->isEnabled(); }

    // The panel's top-level node of the topic; null when none.
    QTreeWidgetItem* topLevelNode(int topicId)
    {
        for (int i = 0; i < window()->tvTopics->topLevelItemCount(); ++i)
            if (window()->tvTopics->topLevelItem(i)->data(0, Qt::UserRole).toInt() == topicId)
                return window()->tvTopics->topLevelItem(i);
        return nullptr;
    }

    ScribantModules modules;
};

TEST_F(EditorWindows, CommandsOfATopicAreDisabledWithoutATopicWindow)
{
    const char* commands[] = {"acTopicSettings", "acSaveToFile", "acTopicDelete", "acTopicRename",
                              "acExportQueListToWord"};
    for (const char* name : commands)
        EXPECT_FALSE(enabled(name)) << name;
    window()->OpenTopic(addTopic("Тема"));
    for (const char* name : commands)
        EXPECT_TRUE(enabled(name)) << name;
    EXPECT_TRUE(window()->windowTitle().startsWith(q("Vastrel Редактор вопросов 4.0 Beta")));
    EXPECT_EQ(window()->action("FileNew1")->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_EQ(window()->action("FileClose1")->toolTip(), q("Закрыть"));
    EXPECT_EQ(window()->action("FileClose1")->statusTip(), q("Закрыть текущую тему"));
}

TEST_F(EditorWindows, TheQuestionListOfTheActiveTopicIsExported)
{
    const int a = addQuestion("Первый вопрос");
    const int b = addQuestion("Второй вопрос");
    TTopicF* topic = window()->OpenTopic(addTopic("Дроби", QString("%1\r\n%2").arg(a).arg(b)));
    topic->form().first();
    topic->mmQuestion->setPlainText(q("Первый, исправленный")); // not stored yet
    QAction* command = window()->action("acExportQueListToWord");
    EXPECT_EQ(command->text(), q("Экспорт вопросов в текстовый документ..."));
    command->trigger();
    auto* dialog = window()->findChild<TExportOptionsF*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->lblTopic->text(), q("Дроби"));
    EXPECT_TRUE(dialog->edFolder->text().endsWith('/')); // the editor's ExportPath
    const QString folder = AppFilePath("Списки") + "/";
    QDir().mkpath(folder);
    dialog->edFolder->setText(folder);
    ShellRecorder desktop(true);
    dialog->btnStart->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop.targets.isEmpty(); }, 10000)); // written on a thread of its own
    ASSERT_EQ(desktop.targets, QStringList{folder + q("Дроби.odt")});
    QStringList questions;
    for (const OdtParagraph& p : ReadOdt(desktop.targets[0]).body()) {
        if (p.italic)
            questions << p.text;
    }
    EXPECT_EQ(questions, QStringList({q("Первый, исправленный"), q("Второй вопрос")}));
    EXPECT_EQ(window()->editorTopics().settings().value("ExportPath").toString(), folder);
}

TEST_F(EditorWindows, ATopicOpensInOneWindowAndAnEmptyOneStartsANewQuestion)
{
    const int topic = addTopic("Пустая");
    TTopicF* first = window()->OpenTopic(topic);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(window()->OpenTopic(topic), first);
    EXPECT_EQ(window()->topicWindows().size(), 1);
    EXPECT_EQ(first->lbPosition->text(), q("Вопрос 1 из 1"));
    EXPECT_EQ(first->windowTitle(), q("Пустая"));
    EXPECT_EQ(window()->OpenTopic(0), nullptr);
    EXPECT_EQ(window()->OpenTopic(9999), nullptr);
}

TEST_F(EditorWindows, TypedTextReachesTheStoreWhenTheQuestionIsLeft)
{
    const int a = addQuestion("a");
    const int b = addQuestion("b");
    TTopicF* topic = window()->OpenTopic(addTopic("Тема", QString("%1\r\n%2").arg(a).arg(b)));
    topic->form().first();
    topic->mmQuestion->setPlainText(q("новый текст"));
    QTest::keyClicks(topic->edAns[0], "  answer ");
    window()->action("acNextQue")->trigger();
    EXPECT_EQ(value("Questions", "QueID", a, "Question").toString(), q("новый текст"));
    EXPECT_EQ(value("Questions", "QueID", a, "Ans1").toString(), q("answer"));
    EXPECT_EQ(topic->lbPosition->text(), q("Вопрос 2 из 2"));
    EXPECT_FALSE(topic->button("btnNext")->isEnabled());
    EXPECT_TRUE(topic->button("btnPrior")->isEnabled());
    EXPECT_FALSE(topic->button("btnPost")->isEnabled());
    topic->mmQuestion->setPlainText(q("b2"));
    EXPECT_TRUE(topic->button("btnPost")->isEnabled());
    EXPECT_TRUE(topic->button("btnCancel")->isEnabled());
    window()->action("FileClose1")->trigger();
    EXPECT_EQ(value("Questions", "QueID", b, "Question").toString(), q("b2"));
}

TEST_F(EditorWindows, AnAnswerIsTypedNoLongerThanItsColumn)
{
    const int a = addQuestion("a");
    TTopicF* topic = window()->OpenTopic(addTopic("Тема", QString::number(a)));
    MessageRecorder messages;
    QTest::keyClicks(topic->edAns[7], QString(300, u'z'));
    topic->form().store();
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_EQ(value("Questions", "QueID", a, "Ans8").toString(), QString(255, u'z'));
}

TEST_F(EditorWindows, ThePriceSliderWritesOnlyWhileShownAndItsEndsGiveTenAndOne)
{
    const int a = addQuestion("a");
    TTopicF* topic = window()->OpenTopic(addTopic("Тема", QString::number(a)));
    EXPECT_FALSE(topic->tbPrice->isVisible());
    EXPECT_EQ(topic->btnShowPrice->text(), q("Цена вопроса = 1"));
    topic->tbPrice->setValue(4);
    topic->form().store();
    EXPECT_EQ(value("Questions", "QueID", a, "Price").toInt(), 1);
    topic->btnShowPrice->click();
    ASSERT_TRUE(topic->tbPrice->isVisible());
    topic->tbPrice->setValue(topic->tbPrice->minimum());
    topic->form().store();
    EXPECT_EQ(value("Questions", "QueID", a, "Price").toInt(), 10);
    EXPECT_EQ(topic->btnShowPrice->text(), q("Цена вопроса = 10"));
    topic->tbPrice->setValue(topic->tbPrice->maximum());
    topic->form().store();
    EXPECT_EQ(value("Questions", "QueID", a, "Price").toInt(), 1);
}

TEST_F(EditorWindows, KindsChangeTheLayoutAndKeepTheMarks)
{
    const int a = addQuestion("a");
    TTopicF* topic = window()->OpenTopic(addTopic("Тема", QString::number(a)));
    topic->chkOK[1]->click();
    EXPECT_TRUE(topic->chkOK[1]->isVisible());
    topic->DBRadioGroup1->button(1)->click();
    EXPECT_FALSE(topic->chkOK[1]->isVisible());
    EXPECT_FALSE(topic->imgPict[1]->isVisible());
    EXPECT_TRUE(topic->imgPict[0]->isVisible());
    topic->DBRadioGroup1->button(3)->click();
    EXPECT_TRUE(topic->answersSideBySide());
    EXPECT_TRUE(topic->imgPict[1]->isVisible());
    topic->DBRadioGroup1->button(0)->click();
    EXPECT_FALSE(topic->answersSideBySide());
    topic->form().store();
    EXPECT_TRUE(topic->chkOK[1]->isChecked());
    EXPECT_TRUE(value("Questions", "QueID", a, "OK2").toBool());
}

TEST_F(EditorWindows, PicturePasteButtonsFollowTheClipboard)
{
    TTopicF* topic = window()->OpenTopic(addTopic("Тема"));
    QApplication::clipboard()->setText("text only");
    window()->ActionListUpdate();
    EXPECT_FALSE(topic->btnPastePict[0]->isEnabled());
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QApplication::clipboard()->setImage(image);
    window()->ActionListUpdate();
    EXPECT_TRUE(topic->btnPastePict[3]->isEnabled());
}

TEST_F(EditorWindows, ADrawnPictureOnTheClipboardIsPastedAsABitmapOfItsSize)
{
    const int a = addQuestion("a");
    TTopicF* topic = window()->OpenTopic(addTopic("Тема", QString::number(a)));
    QApplication::clipboard()->setText("text only");
    EXPECT_FALSE(topic->btnPastePict[2]->isEnabled());
    auto* drawing = new QMimeData;
    drawing->setData("image/svg+xml", R"(<svg xmlns="http://www.w3.org/2000/svg" width="30" height="20">)"
                                      R"(<rect x="10" y="5" width="10" height="10" fill="#0000ff"/></svg>)");
    QApplication::clipboard()->setMimeData(drawing); // the buttons follow the clipboard's change signal
    ASSERT_TRUE(topic->btnPastePict[2]->isEnabled());
    topic->btnPastePict[2]->click();
    const QByteArray stored = value("Questions", "QueID", a, "Pict2").toByteArray();
    ASSERT_TRUE(stored.startsWith("BM"));
    const QImage pasted = QImage::fromData(stored, "BMP");
    EXPECT_EQ(pasted.size(), QSize(30, 20));
    EXPECT_EQ(pasted.pixelColor(15, 10), QColor(Qt::blue));
    EXPECT_EQ(pasted.pixelColor(1, 1), QColor(Qt::white));
    EXPECT_TRUE(topic->btnClearPic[2]->isEnabled());

    // A drawing that cannot be drawn is told and leaves the slot as it was.
    MessageRecorder messages;
    auto* broken = new QMimeData;
    broken->setData("image/svg+xml", "<svg");
    QApplication::clipboard()->setMimeData(broken);
    topic->btnPastePict[2]->click();
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].contains(q("прочитать")));
    EXPECT_EQ(value("Questions", "QueID", a, "Pict2").toByteArray(), stored);
}

TEST_F(EditorWindows, ACopiedQuestionCanBePastedInEveryOpenWindow)
{
    const int a = addQuestion("целиком");
    TTopicF* from = window()->OpenTopic(addTopic("Из", QString::number(a)));
    TTopicF* to = window()->OpenTopic(addTopic("В"));
    QPushButton* paste = to->button("btnPasteQuestion");
    EXPECT_FALSE(paste->isEnabled());
    from->button("btnCopyQuestion")->click();
    EXPECT_TRUE(paste->isEnabled());
    paste->click();
    to->form().store();
    EXPECT_EQ(to->form().value("Question").toString(), q("целиком"));
    EXPECT_NE(to->form().currentQueId(), a);
}

TEST_F(EditorWindows, NoToTheDeleteQuestionClosesTheWindowAndDeletesNothing)
{
    const int topic = addTopic("Тема");
    window()->OpenTopic(topic);
    MessageRecorder messages({MsgResult::No});
    window()->action("acTopicDelete")->trigger();
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(messages.texts[0],
              q("Восстановить удалённую тему будет невозможно!\r\rВы действительно хотите удалить тему \"Тема\"?"));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window()->topicWindows().isEmpty());
    EXPECT_EQ(value("Topics", "TopicID", topic, "TopicName").toString(), q("Тема"));
}

TEST_F(EditorWindows, DeletingATopicMovesItsSubtopicsUp)
{
    const int topic = addTopic("Тема");
    const int child = addTopic("Подтема", {}, topic);
    TTopicF* open = window()->OpenTopic(topic);
    // A new question and a remark are being typed when the topic is deleted.
    open->mmQuestion->setPlainText(q("только что написан"));
    open->mmRemark->setPlainText(q("примечание"));
    MessageRecorder messages({MsgResult::Yes});
    window()->action("acTopicDelete")->trigger();
    EXPECT_EQ(messages.texts.size(), 1) << messages.texts.join('|').toStdString();
    EXPECT_FALSE(value("Topics", "TopicID", topic, "TopicName").isValid());
    const QStringList holding = lines(window()->topics().shared()->NoTopicID());
    ASSERT_EQ(holding.size(), 1);
    EXPECT_EQ(value("Questions", "QueID", holding[0].toInt(), "Question").toString(), q("только что написан"));
    EXPECT_EQ(value("Topics", "TopicID", child, "ParentID").toInt(), 0);
}

TEST_F(EditorWindows, AnOpenHoldingTopicKeepsTheQuestionsADeletedTopicLeftIt)
{
    const int orphan = addQuestion("осиротевший");
    const int topic = addTopic("Тема", QString::number(orphan));
    const int holdingId = window()->topics().shared()->NoTopicID();
    TTopicF* holding = window()->OpenTopic(holdingId);
    // The empty holding topic starts a new question, which is being typed.
    holding->mmQuestion->setPlainText(q("пишется в общей"));
    window()->OpenTopic(topic);
    ASSERT_EQ(window()->activeTopic()->topicId(), topic);
    MessageRecorder messages({MsgResult::Yes});
    window()->action("acTopicDelete")->trigger();
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(holding->form().questions().recordCount(), 2);
    // The holding window's next list change keeps the question that came in behind it.
    holding->form().insertQuestion();
    holding->mmQuestion->setPlainText(q("ещё один"));
    holding->form().store();
    const QStringList held = lines(holdingId);
    EXPECT_EQ(held.size(), 3);
    EXPECT_TRUE(held.contains(QString::number(orphan)));
}

TEST_F(EditorWindows, SavingATopicTakesWhatIsBeingTyped)
{
    const int a = addQuestion("записанный");
    TTopicF* topic = window()->OpenTopic(addTopic("Тема", QString::number(a)));
    window()->action("acNewQuestion")->trigger();
    topic->mmQuestion->setPlainText(q("только что написан"));
    topic->mmRemark->setPlainText(q("примечание"));
    const QString path = AppFilePath("Набираемая.vst4");
    QFile::remove(path);
    window()->topics().saveDialog = [path](const QString&, const QString&, const QString&) { return path; };
    window()->action("acSaveToFile")->trigger();
    const int loaded = window()->topics().LoadTopicFromFile(0, path);
    ASSERT_NE(loaded, 0);
    QStringList texts;
    for (const QString& line : lines(loaded))
        texts << value("Questions", "QueID", line.toInt(), "Question").toString();
    EXPECT_EQ(texts, (QStringList{q("записанный"), q("только что написан")}));
    EXPECT_EQ(value("Topics", "TopicID", loaded, "Remark").toString(), q("примечание"));
}

TEST_F(EditorWindows, NamesTheStoreRefusesAreToldAndLeaveNothingBehind)
{
    const QString tooLong(60, QChar(u'Я'));
    const int before = topicCount();
    {
        PromptAnswers prompts({tooLong});
        MessageRecorder messages;
        window()->action("FileNew1")->trigger();
        EXPECT_EQ(messages.texts.size(), 1);
        QApplication::sendPostedEvents();
        EXPECT_TRUE(window()->topicWindows().isEmpty());
        EXPECT_EQ(topicCount(), before);
        EXPECT_FALSE(enabled("acTopicDelete"));
    }
    // In the tree the label goes back to the stored name.
    const int topic = addTopic("Алгебра");
    window()->action("acTopicsCtrl")->trigger();
    QTreeWidgetItem* node = topLevelNode(topic);
    ASSERT_NE(node, nullptr);
    MessageRecorder messages;
    window()->tvTopics->setCurrentItem(node);
    QTest::keyClick(window()->tvTopics, Qt::Key_F2);
    node->setText(0, tooLong);
    QApplication::sendPostedEvents();
    EXPECT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(value("Topics", "TopicID", topic, "TopicName").toString(), q("Алгебра"));
    QStringList labels;
    for (int i = 0; i < window()->tvTopics->topLevelItemCount(); ++i)
        labels << window()->tvTopics->topLevelItem(i)->text(0);
    EXPECT_TRUE(labels.contains(q("Алгебра")));
    EXPECT_FALSE(labels.contains(tooLong));
}

TEST_F(EditorWindows, TheTreeNodeAQuestionIsDroppedOnOpensAndThePanelMarkFollowsThePanel)
{
    const int section = addTopic("Раздел");
    addTopic("Подраздел", {}, section);
    const int other = addTopic("Другой");
    addTopic("Его подраздел", {}, other);
    window()->action("acTopicsCtrl")->trigger();
    QTreeWidgetItem* target = topLevelNode(section);
    QTreeWidgetItem* selected = topLevelNode(other);
    ASSERT_TRUE(target && selected);
    window()->tvTopics->setCurrentItem(selected);
    window()->tvTopics->questionDropped(target, false);
    EXPECT_TRUE(target->isExpanded());
    EXPECT_FALSE(selected->isExpanded());

    // Closed by its own title button, the panel is no longer marked as shown.
    ASSERT_TRUE(window()->action("acTopicsCtrl")->isChecked());
    window()->pnlTopics->close();
    EXPECT_FALSE(window()->action("acTopicsCtrl")->isChecked());
}

TEST_F(EditorWindows, NewTopicAndRenameGoThroughTheirPrompts)
{
    PromptAnswers prompts({q("Новая тема"), q("Другое имя")});
    window()->action("FileNew1")->trigger();
    ASSERT_EQ(window()->topicWindows().size(), 1);
    TTopicF* topic = window()->topicWindows().first();
    EXPECT_EQ(topic->windowTitle(), q("Новая тема"));
    window()->action("acTopicRename")->trigger();
    EXPECT_EQ(prompts.titles, (QStringList{q("Создание новой темы"), q("Переименование темы")}));
    EXPECT_EQ(topic->windowTitle(), q("Другое имя"));
    EXPECT_EQ(value("Topics", "TopicID", topic->topicId(), "TopicName").toString(), q("Другое имя"));
}

TEST_F(EditorWindows, TheOpenShortcutDropsTheTopicsMenuDown)
{
    addTopic("Алгебра");
    EXPECT_EQ(window()->action("FileOpen1")->shortcut(), QKeySequence("Ctrl+Alt+O"));
    window()->action("FileOpen1")->trigger();
    EXPECT_TRUE(window()->mnuTopics->isVisible());
    QStringList entries;
    for (QAction* entry : window()->mnuTopics->entries())
        entries << entry->text();
    EXPECT_TRUE(entries.contains(q("Алгебра")));
    window()->mnuTopics->close();
}

TEST_F(EditorWindows, ColumnsOfTheTopicsMenuAreStored)
{
    QAction* twenty = window()->findChild<QAction*>("mnuBreak20");
    ASSERT_NE(twenty, nullptr);
    EXPECT_TRUE(window()->findChild<QAction*>("mnuBreak10")->isChecked());
    twenty->trigger();
    EXPECT_TRUE(twenty->isChecked());
    EXPECT_EQ(window()->editorTopics().topicBreakCount(), 20);
    for (int i = 0; i < 25; ++i)
        addTopic(QString("Т%1").arg(i, 2, 10, QChar('0')));
    Q_EMIT window()->mnuTopics->aboutToShow();
    // 26 topics with the holding one, then a separator and the loading entry.
    const auto columns = window()->mnuTopics->columns();
    ASSERT_EQ(columns.size(), 2);
    EXPECT_EQ(columns[0].size(), 20);
}

TEST_F(EditorWindows, ADroppedQuestionIsCopiedOrMovedWithItsLinks)
{
    const int a = addQuestion("a");
    const int source = addTopic("Из", QString::number(a));
    const int copyTarget = addTopic("Копия");
    const int moveTarget = addTopic("Перенос");
    TTopicF* from = window()->OpenTopic(source);
    // DontOpenOnAddQue is on by default: the copy goes to the store only.
    window()->dropQuestion(from, copyTarget, true);
    EXPECT_EQ(window()->topicWindows().size(), 1);
    EXPECT_EQ(lines(copyTarget), QStringList{QString::number(a)});
    EXPECT_EQ(value("Questions", "QueID", a, "LinksCount").toInt(), 2);
    window()->dropQuestion(from, copyTarget, true);
    EXPECT_EQ(lines(copyTarget), QStringList{QString::number(a)});

    window()->editorTopics().setSetting("DontOpenOnAddQue", false);
    window()->dropQuestion(from, moveTarget, false);
    EXPECT_NE(window()->findTopicWindow(moveTarget), nullptr);
    EXPECT_EQ(lines(moveTarget), QStringList{QString::number(a)});
    EXPECT_EQ(lines(source), QStringList());
    EXPECT_EQ(value("Questions", "QueID", a, "LinksCount").toInt(), 2);
}

TEST_F(EditorWindows, AQuestionDroppedOnATopicDeletedMeanwhileStaysWhereItWas)
{
    const int a = addQuestion("a");
    const int source = addTopic("Из", QString::number(a));
    const int gone = addTopic("Удалённая");
    TTopicF* from = window()->OpenTopic(source);
    Dataset topics(connection(), "t", q(Sql::AllTopics));
    topics.open();
    ASSERT_TRUE(topics.locate("TopicID", gone));
    topics.remove();
    for (bool dontOpen : {true, false}) {
        window()->editorTopics().setSetting("DontOpenOnAddQue", dontOpen);
        window()->dropQuestion(from, gone, false);
        EXPECT_EQ(lines(source), QStringList{QString::number(a)}) << dontOpen;
        EXPECT_EQ(from->form().currentQueId(), a) << dontOpen;
    }
}

TEST_F(EditorWindows, AHandedOverFileBecomesANewTopLevelTopicAndOpens)
{
    const int a = addQuestion("из файла");
    const int saved = addTopic("Сохранённая", QString::number(a));
    window()->topics().shared()->settings().EnsureSettingsRow(saved);
    const QString path = AppFilePath("Сохранённая.vst4");
    window()->topics().SaveTopicToPath(saved, q("Сохранённая"), QString(), path);

    MessageRecorder messages;
    modules.argumentHandedOver(path);
    EXPECT_EQ(messages.texts.value(0), path);
    TTopicF* opened = window()->activeTopic();
    ASSERT_NE(opened, nullptr);
    EXPECT_NE(opened->topicId(), saved);
    EXPECT_EQ(value("Topics", "TopicID", opened->topicId(), "ParentID").toInt(), 0);
    EXPECT_EQ(opened->form().value("Question").toString(), q("из файла"));
}

TEST_F(EditorWindows, AnImportThatYieldsNothingOpensNothingButRefreshesTheTree)
{
    window()->action("acTopicsCtrl")->trigger();
    const int added = addTopic("Добавлена другой программой");
    window()->topics().openDialog = [](const QString&, const QString&, const QString&) { return QString(); };
    for (const char* command : {"acImportFromTestW", "acImportFromMyTest", "acImportFromAssist2"}) {
        window()->action(command)->trigger();
        EXPECT_TRUE(window()->topicWindows().isEmpty()) << command;
        EXPECT_NE(topLevelNode(added), nullptr) << command;
    }
}

TEST_F(EditorWindows, ClosingTheEditorResetsTheWorkingMarks)
{
    const int a = addQuestion("a");
    TTopicF* from = window()->OpenTopic(addTopic("Из", QString::number(a)));
    window()->editorTopics().setSetting("DontOpenOnAddQue", false);
    const int target = addTopic("В");
    window()->dropQuestion(from, target, true);
    EXPECT_EQ(value("Questions", "QueID", a, "TopicID").toInt(), target);
    window()->close();
    EXPECT_EQ(value("Questions", "QueID", a, "TopicID").toInt(), 0);
}

TEST_F(EditorWindows, ThePanelShowsTheTreeAndStoresItsCheckBoxesOnFocusLoss)
{
    addTopic("Алгебра");
    window()->action("acTopicsCtrl")->trigger();
    ASSERT_TRUE(window()->pnlTopics->isVisible());
    EXPECT_TRUE(window()->action("acTopicsCtrl")->isChecked());
    EXPECT_GE(window()->tvTopics->topLevelItemCount(), 2);
    EXPECT_TRUE(window()->DBCheckBox1->isChecked());
    window()->DBCheckBox2->setChecked(true);
    EXPECT_FALSE(window()->editorTopics().setting("HidePanelOnOpen"));
    QFocusEvent leaving(QEvent::FocusOut);
    QApplication::sendEvent(window()->DBCheckBox2, &leaving);
    EXPECT_TRUE(window()->editorTopics().setting("HidePanelOnOpen"));
}

TEST_F(EditorWindows, ThePanelsCheckBoxesCountBeforeTheyAreStored)
{
    const int a = addQuestion("a");
    const int source = addTopic("Из", QString::number(a));
    const int target = addTopic("В");
    TTopicF* from = window()->OpenTopic(source);
    window()->action("acTopicsCtrl")->trigger();
    ASSERT_TRUE(window()->DBCheckBox1->isChecked());
    window()->DBCheckBox1->click(); // the box keeps the focus: nothing stored yet
    EXPECT_TRUE(window()->editorTopics().setting("DontOpenOnAddQue"));
    window()->dropQuestion(from, target, true);
    EXPECT_NE(window()->findTopicWindow(target), nullptr);

    window()->DBCheckBox2->click();
    window()->tvTopics->setCurrentItem(topLevelNode(source));
    window()->pnlTopics->findChild<QPushButton*>("btnOpen")->click();
    EXPECT_FALSE(window()->pnlTopics->isVisible());
}

// The panel is moved by its title (a dock that floats) and by its background like a window.
TEST_F(EditorWindows, ThePanelIsDraggedByItsBackgroundAndFloats)
{
    QDockWidget* panel = window()->pnlTopics;
    EXPECT_TRUE(panel->features().testFlags(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable));
    window()->action("acTopicsCtrl")->trigger();
    ASSERT_TRUE(panel->isVisible());
    ASSERT_FALSE(panel->isFloating());
    EXPECT_EQ(window()->dockWidgetArea(panel), Qt::RightDockWidgetArea);
    QWidget* background = panel->widget();
    const QPoint grip(2, 2);
    ASSERT_EQ(background->childAt(grip), nullptr);
    const auto mouse = [&](QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(grip), QPointF(global), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      buttons, Qt::NoModifier);
        QApplication::sendEvent(background, &e);
    };
    const auto drag = [&](QPoint by) {
        const QPoint start = background->mapToGlobal(grip);
        mouse(QEvent::MouseButtonPress, start, Qt::LeftButton);
        mouse(QEvent::MouseMove, start + by / 2, Qt::LeftButton);
        mouse(QEvent::MouseMove, start + by, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, start + by, Qt::NoButton);
    };
    const QPoint docked = panel->mapToGlobal(QPoint(0, 0));
    drag(QPoint(-300, 40));
    EXPECT_TRUE(panel->isFloating());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->pos(), docked + QPoint(-300, 40));
    drag(QPoint(25, -10));
    EXPECT_EQ(panel->pos(), docked + QPoint(-275, 30));
    // A move without the button held moves nothing.
    mouse(QEvent::MouseMove, background->mapToGlobal(grip) + QPoint(50, 50), Qt::NoButton);
    EXPECT_EQ(panel->pos(), docked + QPoint(-275, 30));
    // Still the panel: its tree and buttons work, and it docks again.
    EXPECT_GE(window()->tvTopics->topLevelItemCount(), 1);
    panel->setFloating(false);
    EXPECT_EQ(window()->dockWidgetArea(panel), Qt::RightDockWidgetArea);
}

TEST_F(EditorWindows, TopicNodesDroppedInTheTreeMoveOrCopy)
{
    const int a = addQuestion("a");
    const int target = addTopic("Куда");
    const int topic = addTopic("Тема", QString::number(a));
    window()->action("acTopicsCtrl")->trigger();
    const auto node = [this](int topicId) -> QTreeWidgetItem* {
        for (QTreeWidgetItemIterator it(window()->tvTopics); *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toInt() == topicId)
                return *it;
        return nullptr;
    };
    ASSERT_NE(node(target), nullptr);
    window()->dropTopic(topic, node(target), false, true);
    EXPECT_EQ(value("Questions", "QueID", a, "LinksCount").toInt(), 2);
    EXPECT_EQ(value("Topics", "TopicID", topic, "ParentID").toInt(), 0);
    window()->dropTopic(topic, node(target), false, false);
    EXPECT_EQ(value("Topics", "TopicID", topic, "ParentID").toInt(), target);
    EXPECT_EQ(value("Questions", "QueID", a, "LinksCount").toInt(), 2);
    // Shift places it beside the target, at the top level here.
    window()->dropTopic(topic, node(target), true, false);
    EXPECT_EQ(value("Topics", "TopicID", topic, "ParentID").toInt(), 0);
}

TEST_F(EditorWindows, TheHoldingTopicKeepsItsNameInTheTree)
{
    window()->action("acTopicsCtrl")->trigger();
    const int holding = window()->topics().shared()->NoTopicID();
    QTreeWidgetItem* held = nullptr;
    for (QTreeWidgetItemIterator it(window()->tvTopics); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toInt() == holding)
            held = *it;
    ASSERT_NE(held, nullptr);
    MessageRecorder messages;
    window()->tvTopics->setCurrentItem(held);
    window()->pnlTopics->findChild<QPushButton*>("btnRename")->click();
    held->setText(0, q("Другое"));
    QApplication::sendPostedEvents();
    EXPECT_EQ(messages.texts, QStringList{q("Эту тему переименовывать нельзя!")});
    EXPECT_EQ(value("Topics", "TopicID", holding, "TopicName").toString(), q("Вопросы без темы"));
}

TEST_F(EditorWindows, ATreeRenameRetitlesTheOpenWindowAndExpandingRenamesNothing)
{
    const int parent = addTopic("Раздел");
    const int child = addTopic("Подраздел", {}, parent);
    TTopicF* open = window()->OpenTopic(child);
    open->mmQuestion->setPlainText(q("не потерять"));
    window()->action("acTopicsCtrl")->trigger();
    QTreeWidgetItem* section = topLevelNode(parent);
    ASSERT_NE(section, nullptr);
    MessageRecorder messages;
    section->setExpanded(true);
    ASSERT_EQ(section->childCount(), 1);
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_EQ(open->form().questions().state(), DatasetState::Insert);
    window()->tvTopics->setCurrentItem(section->child(0));
    QTest::keyClick(window()->tvTopics, Qt::Key_F2);
    section->child(0)->setText(0, q("Новое имя"));
    EXPECT_EQ(open->windowTitle(), q("Новое имя"));
    EXPECT_EQ(value("Topics", "TopicID", child, "TopicName").toString(), q("Новое имя"));
    EXPECT_EQ(open->mmQuestion->toPlainText(), q("не потерять"));
}

TEST_F(EditorWindows, ASubtopicReadOnExpandingIsRenamedInItsLabel)
{
    const int parent = addTopic("Раздел");
    const int child = addTopic("Подраздел", {}, parent);
    window()->action("acTopicsCtrl")->trigger();
    QTreeWidgetItem* section = topLevelNode(parent);
    ASSERT_NE(section, nullptr);
    section->setExpanded(true);
    ASSERT_EQ(section->childCount(), 1);
    window()->tvTopics->setCurrentItem(section->child(0));
    window()->pnlTopics->findChild<QPushButton*>("btnRename")->click();
    auto* editor = qobject_cast<QLineEdit*>(window()->tvTopics->indexWidget(window()->tvTopics->currentIndex()));
    ASSERT_NE(editor, nullptr);
    editor->setText(q("Переименован"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::sendPostedEvents(); // the view takes the edit in on its next turn
    EXPECT_EQ(value("Topics", "TopicID", child, "TopicName").toString(), q("Переименован"));
}

TEST_F(EditorWindows, ReconnectingStoresWhatWasTypedAndKeepsTheQuestion)
{
    const int a = addQuestion("a");
    const int b = addQuestion("b");
    TTopicF* topic = window()->OpenTopic(addTopic("Тема", QString("%1\r\n%2").arg(a).arg(b)));
    topic->form().last();
    topic->mmQuestion->setPlainText(q("до переподключения"));
    window()->action("acReloadDB")->trigger();
    EXPECT_EQ(value("Questions", "QueID", b, "Question").toString(), q("до переподключения"));
    EXPECT_EQ(topic->form().questions().recordCount(), 2);
}

TEST_F(EditorWindows, ClosingTheEditorStoresWhatWasTyped)
{
    const int a = addQuestion("a");
    const int topicId = addTopic("Тема", QString::number(a));
    TTopicF* topic = window()->OpenTopic(topicId);
    topic->mmQuestion->setPlainText(q("напечатано"));
    topic->mmRemark->setPlainText(q("примечание"));
    window()->close();
    EXPECT_EQ(value("Questions", "QueID", a, "Question").toString(), q("напечатано"));
    EXPECT_EQ(value("Topics", "TopicID", topicId, "Remark").toString(), q("примечание"));
}

TEST_F(EditorWindows, ADoubleClickSwitchesAPictureBetweenThumbnailAndScreenBoundSize)
{
    const int a = addQuestion("a");
    TTopicF* topic = window()->OpenTopic(addTopic("Тема", QString::number(a)));
    QImage huge(5000, 3000, QImage::Format_RGB32);
    huge.fill(Qt::gray);
    topic->form().pastePicture(0, huge);
    QLabel* picture = topic->imgPict[0];
    EXPECT_EQ(picture->size(), QSize(49, 49));
    EXPECT_TRUE(topic->lbPictHint->isVisible());
    QTest::mouseDClick(picture, Qt::LeftButton);
    const QSize screen = picture->screen()->availableGeometry().size();
    EXPECT_GT(picture->width(), 49);
    EXPECT_LE(picture->width(), screen.width());
    EXPECT_LE(picture->height(), screen.height());
    QTest::mouseDClick(picture, Qt::LeftButton);
    EXPECT_EQ(picture->size(), QSize(49, 49));
    // Stored as given.
    EXPECT_EQ(QImage::fromData(value("Questions", "QueID", a, "QuePict").toByteArray(), "BMP").size(), huge.size());
}

// A picture is moved with the left button and switched between thumbnail and natural size, on
// screen only: the question keeps its picture and is not touched.
TEST_F(EditorWindows, PicturesAreDraggedAndSwitchSizeKeepingTheirRightEdge)
{
    const int a = addQuestion("a");
    const int b = addQuestion("b");
    TTopicF* topic = window()->OpenTopic(addTopic("Тема", QString("%1\r\n%2").arg(a).arg(b)));
    topic->parentWidget()->resize(1000, 800);
    QImage wide(200, 100, QImage::Format_RGB32);
    wide.fill(Qt::darkCyan);
    topic->form().pastePicture(0, wide);
    topic->form().pastePicture(5, wide);
    const QByteArray stored = value("Questions", "QueID", a, "QuePict").toByteArray();
    QLabel* picture = topic->imgPict[0];
    const auto place = [&](QLabel* label) { return QRect(label->mapTo(topic, QPoint(0, 0)), label->size()); };
    const QRect home = place(picture);
    ASSERT_EQ(home.size(), QSize(49, 49));

    QTest::mouseDClick(picture, Qt::LeftButton);
    EXPECT_TRUE(topic->pictureLifted(0));
    EXPECT_EQ(place(picture).size(), QSize(200, 100));
    EXPECT_EQ(place(picture).right(), home.right());
    EXPECT_EQ(place(picture).top(), home.top());
    QTest::mouseDClick(picture, Qt::LeftButton);
    EXPECT_EQ(place(picture), home);

    const auto mouse = [](QWidget* w, QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(5, 5), QPointF(global), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      buttons, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    };
    const QPoint grip = picture->mapToGlobal(QPoint(5, 5));
    mouse(picture, QEvent::MouseButtonPress, grip, Qt::LeftButton);
    mouse(picture, QEvent::MouseMove, grip + QPoint(30, 40), Qt::LeftButton);
    mouse(picture, QEvent::MouseMove, grip + QPoint(-20, 60), Qt::LeftButton);
    mouse(picture, QEvent::MouseButtonRelease, grip + QPoint(-20, 60), Qt::NoButton);
    EXPECT_EQ(place(picture), home.translated(-20, 60));
    mouse(picture, QEvent::MouseMove, grip + QPoint(100, 100), Qt::NoButton); // no button held: stays
    EXPECT_EQ(place(picture), home.translated(-20, 60));
    // Enlarged where it was dragged to, its right edge kept there.
    QTest::mouseDClick(picture, Qt::LeftButton);
    EXPECT_EQ(place(picture).right(), home.translated(-20, 60).right());

    // An empty slot neither moves nor grows.
    QLabel* empty = topic->imgPict[3];
    const QPoint emptyGrip = empty->mapToGlobal(QPoint(5, 5));
    mouse(empty, QEvent::MouseButtonPress, emptyGrip, Qt::LeftButton);
    mouse(empty, QEvent::MouseMove, emptyGrip + QPoint(30, 30), Qt::LeftButton);
    QTest::mouseDClick(empty, Qt::LeftButton);
    EXPECT_FALSE(topic->pictureLifted(3));

    // Display only: the question is neither edited nor changed.
    EXPECT_FALSE(topic->form().editing());
    EXPECT_EQ(value("Questions", "QueID", a, "QuePict").toByteArray(), stored);

    // An answer picture floating over the form goes home when its kind hides it.
    QTest::mouseDClick(topic->imgPict[5], Qt::LeftButton);
    ASSERT_TRUE(topic->pictureLifted(5));
    topic->DBRadioGroup1->button(1)->click();
    EXPECT_FALSE(topic->pictureLifted(5));
    EXPECT_FALSE(topic->imgPict[5]->isVisible());
    topic->DBRadioGroup1->button(0)->click();
    EXPECT_TRUE(topic->imgPict[5]->isVisible());

    // The next question shows every picture at home as a thumbnail again.
    topic->form().next();
    topic->form().first();
    EXPECT_FALSE(topic->pictureLifted(0));
    EXPECT_EQ(place(picture), home);
    EXPECT_TRUE(picture->isVisible());
}

TEST(TopicWindowPictures, APictureLargerThanTheScreenIsShownWithinItKeepingItsShape)
{
    const struct
    {
        QSize picture, screen, shown;
    } cases[] = {
        {{200, 100}, {1920, 1080}, {200, 100}},     {{1920, 1080}, {1920, 1080}, {1920, 1080}},
        {{5000, 3000}, {1920, 1080}, {1800, 1080}}, {{3000, 100}, {1920, 1080}, {1920, 64}},
        {{100, 4000}, {1920, 1080}, {27, 1080}},    {{5000, 3000}, {}, {5000, 3000}}, // no screen known
    };
    for (const auto& c : cases)
        EXPECT_EQ(TTopicF::ShownNaturalSize(c.picture, c.screen), c.shown)
            << c.picture.width() << "x" << c.picture.height();
}

} // namespace
