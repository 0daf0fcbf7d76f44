#include "apperror.h"
#include "appfolder.h"
#include "dataset.h"
#include "messagerecorder.h"
#include "settingsform.h"
#include "sqltexts.h"
#include "storeconnection.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int HoldingTopic = 1;
constexpr int Topic = 4;

class SettingsFormTest : public testing::Test
{
protected:
    void SetUp() override
    {
        store.open(AppFilePath(QStringLiteral("vs4.mdb")));
        settings.open();
        rows.EstablishDefaultRow(HoldingTopic);
        // Defaults of our own, and a HideDetails that must never travel.
        rows.locateDefault();
        TestSettings d;
        d.GiveMaxCount = 7;
        d.MaxTime = 35;
        d.setNa(5, 70);
        rows.WriteSettingsRow(d);
        settings.edit();
        settings.setValue("HideDetails", true);
        settings.post();
    }

    // What the file holds for a topic, read past the dialog's dataset.
    std::optional<QVariantMap> stored(int topic)
    {
        Dataset d(&store, "check", Sql::Settings);
        d.open();
        if (!d.locate("TopicID", topic))
            return std::nullopt;
        QVariantMap m;
        for (const QString& f : d.fieldNames())
            m.insert(f, d.value(f));
        return m;
    }
    int rowsOf(int topic)
    {
        Dataset d(&store, "check", Sql::Settings);
        d.open();
        int n = 0;
        for (d.first(); !d.eof(); d.next())
            n += d.value("TopicID").toInt() == topic;
        return n;
    }

    template <typename W> static W* find(QWidget& dialog, const char* name)
    {
        W* w = dialog.findChild<W*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    static void click(QWidget& dialog, const char* name)
    {
        QWidget* w = find<QWidget>(dialog, name);
        // A check box takes clicks on its box and caption only, at its left end.
        const QPoint at = qobject_cast<QCheckBox*>(w) ? QPoint(w->height() / 2, w->height() / 2) : w->rect().center();
        QTest::mouseClick(w, Qt::LeftButton, {}, at);
    }

    static void typeInto(QSpinBox* spin, const QString& text)
    {
        spin->setFocus();
        spin->selectAll();
        QTest::keyClicks(spin, text);
        QTest::keyClick(spin, Qt::Key_Tab);
    }

    StoreConnection store{QStringLiteral("form")};
    Dataset settings{&store, "sqlSettings", Sql::Settings};
    SettingsRows rows{settings};
};

} // namespace

TEST_F(SettingsFormTest, OpeningATopicWithoutRowMakesItFromTheDefaults)
{
    TSettingsF f(rows, Topic, QStringLiteral("Алгебра"));
    f.show();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Настройки темы Алгебра"));
    auto* tabs = find<QTabWidget>(f, "PageControl");
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Общие"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("Оценивание"));
    EXPECT_EQ(find<QSpinBox>(f, "edGiveMaxCount")->value(), 7);
    EXPECT_EQ(find<QSlider>(f, "TimeBar")->value(), 35);
    EXPECT_EQ(find<QLabel>(f, "lblTime")->text(), QStringLiteral("35 мин."));
    EXPECT_EQ(find<QSpinBox>(f, "SpinEdit5")->value(), 70);
    EXPECT_EQ(find<QSpinBox>(f, "SpinEdit12")->value(), 110);
    // The row is there at once, and stays after "Отмена".
    click(f, "btnCancel");
    const auto row = stored(Topic);
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->value("GiveMaxCount"), QVariant(7));
    EXPECT_EQ(row->value("Default"), QVariant(false));
    EXPECT_EQ(row->value("HideDetails"), QVariant(false));
    EXPECT_EQ(f.result(), QDialog::Rejected);
}

TEST_F(SettingsFormTest, OkStoresEveryEditorAndTheBoundBoxes)
{
    TSettingsF f(rows, Topic, QStringLiteral("T"));
    f.show();
    EXPECT_EQ(find<QSpinBox>(f, "edGiveMaxCount")->maximum(), TopicSettingsEditor::MaxQuestionCount);
    EXPECT_EQ(find<QSpinBox>(f, "edGiveMaxCount")->minimum(), TopicSettingsEditor::MinQuestionCount);
    EXPECT_EQ(find<QSpinBox>(f, "SpinEdit3")->maximum(), TopicSettingsEditor::MaxThreshold);
    typeInto(find<QSpinBox>(f, "edGiveMaxCount"), "12");
    typeInto(find<QSpinBox>(f, "SpinEdit12"), "105");
    typeInto(find<QSpinBox>(f, "SpinEdit1"), "60");
    auto* bar = find<QSlider>(f, "TimeBar");
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_PageUp); // one tick: 5 minutes
    EXPECT_EQ(find<QLabel>(f, "lblTime")->text(), QStringLiteral("40 мин."));
    click(f, "cbRandomOrder");
    click(f, "cbHideDetails");
    click(f, "cbTakePartialRight"); // on the page not shown: still a click on the box
    click(f, "btnOK");
    EXPECT_EQ(f.result(), QDialog::Accepted);
    const auto row = stored(Topic);
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->value("GiveMaxCount"), QVariant(12));
    EXPECT_EQ(row->value("MaxTime"), QVariant(40));
    EXPECT_EQ(row->value("Na12"), QVariant(105));
    EXPECT_EQ(row->value("Na1"), QVariant(60));
    EXPECT_EQ(row->value("Na5"), QVariant(70));
    EXPECT_EQ(row->value("RandomOrder"), QVariant(false));
    EXPECT_EQ(row->value("HideDetails"), QVariant(true));
    EXPECT_EQ(row->value("TakePartialRight"), QVariant(false));
    EXPECT_EQ(rowsOf(Topic), 1);
}

TEST_F(SettingsFormTest, AllowBackTakesAwayTheInstantAnswers)
{
    // Stored as both on: OK must not keep that.
    rows.EnsureSettingsRow(Topic);
    settings.edit();
    settings.setValue("ShowRightsInstant", true);
    settings.post();

    TSettingsF f(rows, Topic, QStringLiteral("T"));
    f.show();
    auto* back = find<QCheckBox>(f, "cbAllowBack");
    auto* instant = find<QCheckBox>(f, "cbShowRightsInstant");
    EXPECT_TRUE(back->isChecked());
    EXPECT_FALSE(instant->isEnabled());
    click(f, "btnOK");
    EXPECT_EQ(stored(Topic)->value("ShowRightsInstant"), QVariant(false));

    TSettingsF g(rows, Topic, QStringLiteral("T"));
    g.show();
    back = find<QCheckBox>(g, "cbAllowBack");
    instant = find<QCheckBox>(g, "cbShowRightsInstant");
    click(g, "cbAllowBack");
    EXPECT_FALSE(back->isChecked());
    EXPECT_TRUE(instant->isEnabled());
    click(g, "cbShowRightsInstant");
    EXPECT_TRUE(instant->isChecked());
    click(g, "cbAllowBack");
    EXPECT_FALSE(instant->isChecked());
    EXPECT_FALSE(instant->isEnabled());
    click(g, "cbAllowBack");
    click(g, "cbShowRightsInstant");
    click(g, "btnOK");
    EXPECT_EQ(stored(Topic)->value("AllowBack"), QVariant(false));
    EXPECT_EQ(stored(Topic)->value("ShowRightsInstant"), QVariant(true));
}

TEST_F(SettingsFormTest, TimeLimitAndMarkSystemShowWhatIsInUse)
{
    TSettingsF f(rows, Topic, QStringLiteral("T"));
    f.show();
    find<QTabWidget>(f, "PageControl")->setCurrentIndex(1);
    auto* bar = find<QSlider>(f, "TimeBar");
    EXPECT_TRUE(bar->isEnabled());
    EXPECT_EQ(bar->tickInterval(), 5);
    EXPECT_EQ(bar->maximum(), 90);
    click(f, "cbTimeLimit");
    EXPECT_FALSE(bar->isEnabled());
    EXPECT_FALSE(find<QLabel>(f, "lblTime")->isEnabled());

    const auto shown = [&] {
        QList<int> marks;
        for (int mark = 12; mark >= 1; --mark)
            if (find<QSpinBox>(f, QStringLiteral("SpinEdit%1").arg(mark).toLatin1().constData())->isVisibleTo(&f))
                marks.append(mark);
        return marks;
    };
    auto* system = find<QComboBox>(f, "cbMaxPointSystem");
    EXPECT_EQ(system->currentText(), QStringLiteral("12-бальная"));
    EXPECT_EQ(shown(), ThresholdsInUse(12));
    const struct
    {
        Qt::Key key;
        const char* caption;
        int stored;
        bool percentLine;
    } steps[] = {{Qt::Key_Down, "5-бальная", 5, false},
                 {Qt::Key_Down, "Зачёт/Незачёт", 1, false},
                 {Qt::Key_Home, "100-бальная", 100, true}};
    system->setFocus();
    for (const auto& s : steps) {
        QTest::keyClick(system, s.key);
        EXPECT_EQ(system->currentText(), QString::fromUtf8(s.caption));
        EXPECT_EQ(shown(), ThresholdsInUse(s.stored)) << s.caption;
        EXPECT_EQ(find<QLabel>(f, "lblEveryPercent")->isVisibleTo(&f), s.percentLine) << s.caption;
        EXPECT_EQ(f.editor().maxPointSystem(), s.stored);
    }
    // "Отмена" drops the bound changes.
    click(f, "btnCancel");
    EXPECT_EQ(stored(Topic)->value("MaxPointSystem"), QVariant(12));
    EXPECT_EQ(stored(Topic)->value("TimeLimit"), QVariant(true));
}

TEST_F(SettingsFormTest, MakeDefaultCarriesTheTwentyFourValuesButNotHideDetails)
{
    MessageRecorder messages;
    {
        TSettingsF f(rows, Topic, QStringLiteral("T"));
        f.show();
        typeInto(find<QSpinBox>(f, "edGiveMaxCount"), "33");
        click(f, "cbShowPrice");
        click(f, "cbHideDetails");
        click(f, "btnMakeDefault");
        EXPECT_EQ(messages.texts, QStringList{"Текущие настройки будут применены ко всем новым темам."});
        EXPECT_EQ(f.editor().topicId(), Topic);
        EXPECT_EQ(settings.value("TopicID"), QVariant(Topic)); // back on the topic's row
        click(f, "btnCancel");
    }
    const auto def = stored(HoldingTopic);
    EXPECT_EQ(def->value("GiveMaxCount"), QVariant(33));
    EXPECT_EQ(def->value("ShowPrice"), QVariant(false));
    EXPECT_EQ(def->value("HideDetails"), QVariant(true)); // its own, unchanged
    EXPECT_EQ(def->value("Default"), QVariant(true));
    EXPECT_EQ(stored(Topic)->value("HideDetails"), QVariant(true));

    // A topic opened later gets the new values.
    rows.EnsureSettingsRow(9);
    EXPECT_EQ(stored(9)->value("GiveMaxCount"), QVariant(33));
    EXPECT_EQ(stored(9)->value("ShowPrice"), QVariant(false));
    EXPECT_EQ(stored(9)->value("HideDetails"), QVariant(false));
}

TEST_F(SettingsFormTest, RestoreMakesTheRowAgainFromTheDefaults)
{
    TSettingsF f(rows, Topic, QStringLiteral("T"));
    f.show();
    typeInto(find<QSpinBox>(f, "edGiveMaxCount"), "50");
    click(f, "cbMixAnswers");
    click(f, "btnOK");
    EXPECT_EQ(stored(Topic)->value("GiveMaxCount"), QVariant(50));

    TSettingsF g(rows, Topic, QStringLiteral("T"));
    g.show();
    EXPECT_EQ(find<QSpinBox>(g, "edGiveMaxCount")->value(), 50);
    EXPECT_FALSE(find<QCheckBox>(g, "cbMixAnswers")->isChecked());
    click(g, "btnRestoreDefault");
    EXPECT_EQ(find<QSpinBox>(g, "edGiveMaxCount")->value(), 7);
    EXPECT_TRUE(find<QCheckBox>(g, "cbMixAnswers")->isChecked());
    EXPECT_EQ(stored(Topic)->value("GiveMaxCount"), QVariant(7));
    EXPECT_EQ(rowsOf(Topic), 1);
}

// On the holding topic "restore" removes the Default row; the new row is no Default, so the
// defaults are the built-in ones until the next start marks it again.
TEST_F(SettingsFormTest, RestoreOnTheHoldingTopic)
{
    TSettingsF f(rows, HoldingTopic, QStringLiteral("Вопросы без темы"));
    f.show();
    click(f, "btnRestoreDefault");
    EXPECT_EQ(find<QSpinBox>(f, "edGiveMaxCount")->value(), 20);
    click(f, "btnOK");
    EXPECT_EQ(stored(HoldingTopic)->value("Default"), QVariant(false));
    EXPECT_EQ(rows.ReadDefaultSettings(), TestSettings{});
    rows.EstablishDefaultRow(HoldingTopic);
    EXPECT_EQ(stored(HoldingTopic)->value("Default"), QVariant(true));
    EXPECT_EQ(rowsOf(HoldingTopic), 1);
}

// Restoring and making the defaults each change two rows, as one: stopped half-way (here by the
// store refusing the second row) the topic keeps its row and the defaults stay as they were.
TEST_F(SettingsFormTest, TwoRowChangesStoppedHalfWayLeaveBothRows)
{
    TopicSettingsEditor editor(rows, Topic);
    editor.giveMaxCount = 50;
    editor.ok();
    QSqlQuery trigger(store.database());
    ASSERT_TRUE(trigger.exec("CREATE TRIGGER refuse BEFORE INSERT ON Settings BEGIN SELECT RAISE(ABORT, 'refused'); "
                             "END"));
    EXPECT_THROW(editor.restoreDefaults(), AppError);
    EXPECT_EQ(rowsOf(Topic), 1);
    EXPECT_EQ(stored(Topic)->value("GiveMaxCount"), QVariant(50));
    EXPECT_EQ(settings.value("TopicID"), QVariant(Topic)); // the dataset shows the row again
    ASSERT_TRUE(trigger.exec("DROP TRIGGER refuse"));

    ASSERT_TRUE(trigger.exec("CREATE TRIGGER refuse BEFORE UPDATE ON Settings WHEN OLD.\"Default\" <> 0 BEGIN "
                             "SELECT RAISE(ABORT, 'refused'); END"));
    editor.giveMaxCount = 60;
    EXPECT_THROW(editor.makeDefault(), AppError);
    EXPECT_EQ(stored(Topic)->value("GiveMaxCount"), QVariant(50));
    EXPECT_EQ(stored(HoldingTopic)->value("GiveMaxCount"), QVariant(7));
}
