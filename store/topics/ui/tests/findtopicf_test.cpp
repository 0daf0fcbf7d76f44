#include "datamodules.h"
#include "dataset.h"
#include "findtopicf.h"
#include "sqltexts.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

class FindTopic : public ::testing::Test
{
protected:
    FindTopic() : dm(StoreProgram::Scribant), shared(&dm)
    {
        Dataset topics(dm.ADOConnection(), "t", u(Sql::AllTopics));
        topics.open();
        for (const char* name : {"Алгебра", "ГЕОМЕТРИЯ", "Физика", "Логарифмы"}) {
            topics.append();
            topics.setValue("TopicName", u(name));
            topics.post();
        }
    }

    TDM dm;
    TSharedDM shared;
};

TEST_F(FindTopic, OpensWithEveryTopicAndTheDefaultOptions)
{
    TFindTopicF dialog(shared);
    EXPECT_EQ(dialog.windowTitle(), u("Найти тему"));
    EXPECT_EQ(dialog.foundNames(), (QStringList{u("Алгебра"), u("ГЕОМЕТРИЯ"), u("Логарифмы"), u("Физика")}));
    EXPECT_TRUE(dialog.cbIgnoreCase->isChecked());
    EXPECT_TRUE(dialog.cbPartial->isChecked());
    EXPECT_TRUE(dialog.cbLive->isChecked());
    EXPECT_FALSE(dialog.cbWildcards->isChecked());
    EXPECT_FALSE(dialog.btnOpen->isEnabled());
}

TEST_F(FindTopic, PartialMatchWithoutCaseSearchesWhileTyping)
{
    TFindTopicF dialog(shared);
    dialog.edName->setText(u("ге"));
    EXPECT_EQ(dialog.foundNames(), (QStringList{u("Алгебра"), u("ГЕОМЕТРИЯ")}));
}

TEST_F(FindTopic, WildcardsMatchTheWholeNameAndTurnLiveSearchOff)
{
    TFindTopicF dialog(shared);
    dialog.cbWildcards->setChecked(true);
    EXPECT_FALSE(dialog.cbLive->isChecked());
    EXPECT_FALSE(dialog.cbLive->isEnabled());
    dialog.edName->setText(u("ге*"));
    // Without live search the text waits for "Найти" or Enter.
    EXPECT_EQ(dialog.foundNames().size(), 4);
    dialog.btnFind->click();
    EXPECT_EQ(dialog.foundNames(), QStringList{u("ГЕОМЕТРИЯ")});
    dialog.cbWildcards->setChecked(false);
    EXPECT_TRUE(dialog.cbLive->isEnabled());
    dialog.cbPartial->setChecked(false);
    EXPECT_FALSE(dialog.cbLive->isChecked());
    EXPECT_TRUE(dialog.foundNames().isEmpty());
}

TEST_F(FindTopic, EnterInTheTextSearchesAndKeepsTheDialogOpen)
{
    TFindTopicF dialog(shared);
    dialog.show();
    dialog.cbWildcards->setChecked(true);
    dialog.edName->setFocus();
    dialog.edName->setText(u("физ*"));
    QSignalSpy finished(&dialog, &QDialog::finished);
    QTest::keyClick(dialog.edName, Qt::Key_Return);
    EXPECT_EQ(dialog.foundNames(), QStringList{u("Физика")});
    EXPECT_TRUE(finished.isEmpty());
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(FindTopic, AClickedTopicIsOpenedByTheButton)
{
    TFindTopicF dialog(shared);
    dialog.edName->setText(u("физ"));
    ASSERT_EQ(dialog.foundNames(), QStringList{u("Физика")});
    const QModelIndex cell = dialog.grdTopics->model()->index(0, 0);
    Q_EMIT dialog.grdTopics->clicked(cell);
    EXPECT_TRUE(dialog.btnOpen->isEnabled());
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    dialog.btnOpen->click();
    EXPECT_EQ(accepted.size(), 1);
    Dataset topics(dm.ADOConnection(), "t", u(Sql::AllTopics));
    topics.open();
    ASSERT_TRUE(topics.locate("TopicName", u("Физика")));
    EXPECT_EQ(dialog.chosenTopicId(), topics.value("TopicID").toInt());
}

} // namespace
