#include "apperror.h"
#include "appfolder.h"
#include "codec.h"
#include "dataset.h"
#include "listlines.h"
#include "sqltexts.h"
#include "storeconnection.h"
#include "testsettings.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

class SettingsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        store.open(AppFilePath(QStringLiteral("vs4.mdb")));
        settings.open();
    }

    // A row with the given values; the rest as the store makes them.
    void addRow(int topic, bool isDefault, int giveMaxCount, bool hideDetails = false)
    {
        settings.append();
        settings.setValue("TopicID", topic);
        settings.setValue("Default", isDefault);
        settings.setValue("GiveMaxCount", giveMaxCount);
        settings.setValue("HideDetails", hideDetails);
        settings.post();
    }

    struct RowView
    {
        bool isDefault;
        int giveMaxCount;
    };
    // Topic id -> (Default, GiveMaxCount) of every row, read past the dataset.
    QList<std::tuple<int, bool, int>> rows()
    {
        Dataset d(&store, "check", Sql::Settings);
        d.open();
        QList<std::tuple<int, bool, int>> result;
        for (d.first(); !d.eof(); d.next())
            result.append({d.value("TopicID").toInt(), d.value("Default").toBool(), d.value("GiveMaxCount").toInt()});
        return result;
    }

    StoreConnection store{QStringLiteral("settings")};
    Dataset settings{&store, "sqlSettings", Sql::Settings};
    SettingsRows ops{settings};
};

TestSettings custom()
{
    TestSettings s;
    s.RandomOrder = false;
    s.ShowRights = false;
    s.GiveMaxCount = 7;
    s.MaxTime = 45;
    s.setNa(12, 99);
    s.setNa(3, 33);
    s.setNa(1, 61);
    s.TakePartialRight = false;
    s.MaxPointSystem = 5;
    s.ShowPrice = false;
    s.ShowRightsInstant = true;
    return s;
}

} // namespace

TEST(TestSettingsValues, BuiltInDefaultsAndColumnOrder)
{
    const TestSettings s;
    EXPECT_EQ(TestSettings::columnNames().size(), TestSettings::Count);
    EXPECT_EQ(TestSettings::columnNames()[6], QStringLiteral("Na12"));
    EXPECT_EQ(TestSettings::columnNames()[17], QStringLiteral("Na1"));
    EXPECT_EQ(SettingsRowColumns().size(), 25); // the 24 and HideDetails
    EXPECT_EQ(SettingsRowColumns().mid(0, TestSettings::Count), TestSettings::columnNames());
    EXPECT_EQ(s.na(12), 110);
    EXPECT_EQ(s.na(2), 20);
    EXPECT_EQ(s.na(1), 50);
    EXPECT_TRUE(s.RandomOrder && s.AllowBack && s.ShowRights && s.TimeLimit && s.TakePartialRight && s.MixAnswers &&
                s.ShowPrice && s.ShowRightCount);
    EXPECT_FALSE(s.ShowRightsInstant);
    EXPECT_EQ(s.MaxPointSystem, 12);
    for (int i = 0; i < TestSettings::Count; ++i) { // value/setValue agree with the names
        TestSettings t;
        t.setValue(i, TestSettings::isBoolean(i) ? QVariant(!t.value(i).toBool()) : QVariant(t.value(i).toInt() + 1));
        EXPECT_NE(t, s) << i;
    }
    EXPECT_EQ(ThresholdsInUse(5), (QList<int>{5, 4, 3, 2}));
    EXPECT_EQ(ThresholdsInUse(1), QList<int>{1});
    EXPECT_TRUE(ThresholdsInUse(100).isEmpty());
    EXPECT_EQ(ThresholdsInUse(12).size(), 11);
}

TEST_F(SettingsTest, DefaultsComeFromTheDefaultRowOrAreBuiltIn)
{
    EXPECT_EQ(ops.ReadDefaultSettings(), TestSettings{});
    addRow(1, true, 0);
    ops.WriteSettingsRow(custom());
    EXPECT_EQ(ops.ReadDefaultSettings(), custom());
    EXPECT_EQ(ops.currentDefaults(), custom());
}

TEST_F(SettingsTest, ATopicOpenedFirstGetsTheDefaultRowsValuesButNotItsMarks)
{
    addRow(1, true, 0, true);
    ops.WriteSettingsRow(custom());
    ops.EnsureSettingsRow(9);
    EXPECT_EQ(settings.value("TopicID"), QVariant(9));
    EXPECT_EQ(settings.value("Default"), QVariant(false));
    EXPECT_EQ(settings.value("HideDetails"), QVariant(false));
    EXPECT_EQ(ops.ReadSettingsRow(), custom());
    // A second call finds the row and changes nothing.
    settings.first();
    ops.EnsureSettingsRow(9);
    EXPECT_EQ(settings.value("TopicID"), QVariant(9));
    EXPECT_EQ(rows().size(), 2);
}

TEST_F(SettingsTest, WriteSettingsRowLeavesTopicDefaultAndHideDetails)
{
    addRow(4, false, 3, true);
    ops.WriteSettingsRow(custom());
    EXPECT_EQ(settings.value("TopicID"), QVariant(4));
    EXPECT_EQ(settings.value("HideDetails"), QVariant(true));
    EXPECT_EQ(settings.state(), DatasetState::Browse);
    settings.requery();
    EXPECT_EQ(ops.ReadSettingsRow(), custom());
}

TEST_F(SettingsTest, StartUpMakesTheHoldingTopicsRowTheDefault)
{
    const int hold = 1;
    // No rows at all: the holding topic's row with the built-in values.
    ops.EstablishDefaultRow(hold);
    EXPECT_EQ(rows(), (QList<std::tuple<int, bool, int>>{{hold, true, 20}}));
    // Already so: nothing changes.
    ops.EstablishDefaultRow(hold);
    EXPECT_EQ(rows().size(), 1);
}

TEST_F(SettingsTest, StartUpWithTwoForeignDefaultRows)
{
    addRow(5, true, 11);
    addRow(6, true, 12);
    addRow(1, false, 30);
    ops.EstablishDefaultRow(1);
    EXPECT_EQ(rows(), (QList<std::tuple<int, bool, int>>{{5, false, 11}, {6, true, 12}, {1, true, 11}}));
}

TEST_F(SettingsTest, SettingsListOfATopicWithBuiltInDefaults)
{
    Dataset app(&store, "sqlAppSettings", Sql::VezuvirozSettings);
    app.open();
    app.append();
    app.setValue("QueFontSize", 16);
    app.post();
    addRow(7, false, 0);
    ops.WriteSettingsRow(TestSettings{});
    const QString expected = "RandomOrder=-1\r\nAllowBack=-1\r\nShowRights=-1\r\nTimeLimit=-1\r\nMaxTime=20\r\n"
                             "GiveMaxCount=20\r\nTopicID=7\r\nMixAnswers=-1\r\nShowPrice=-1\r\nShowRightCount=-1\r\n"
                             "ShowRightsInstant=0\r\nHideDetails=0\r\nNa12=110\r\nNa11=100\r\nNa10=95\r\nNa9=85\r\n"
                             "Na8=80\r\nNa7=75\r\nNa6=65\r\nNa5=55\r\nNa4=45\r\nNa3=35\r\nNa2=20\r\nNa1=50\r\n"
                             "MaxPointSystem=12\r\nTakePartialRight=-1\r\nQueFontColor=65535\r\nQueBGColor=14260127\r\n"
                             "AnsFontColor=0\r\nAnsBGColor=16768480\r\nRightAnsFontColor=54272\r\nQueFontSize=16\r\n"
                             "AnsFontSize=14\r\n";
    EXPECT_EQ(ops.BuildSettingsList(7, &app), expected);

    // A topic without a row: no leading lines; the criteria are the defaults', not another topic's.
    addRow(1, true, 0);
    ops.WriteSettingsRow(custom());
    const QString other = ops.BuildSettingsList(8, &app);
    EXPECT_TRUE(other.startsWith("Na12=99\r\n")) << other.toStdString();
    EXPECT_FALSE(other.contains("TopicID="));
    // And the reader takes back what was built.
    const SettingsListValues read = ReadSettingsList(expected, SettingsListSource::Network);
    EXPECT_EQ(read.TopicID, 7);
    EXPECT_EQ(read.appearance.QueFontSize, 16);
    EXPECT_EQ(JoinListLines(read.criteriaList), BuildCriteriaList(TestSettings{}));
}

TEST(SettingsListReader, DefaultsAndRequiredKeys)
{
    QStringList criteria = SplitListLines(BuildCriteriaList(custom()));
    const QString appearance = "QueFontColor=1\nQueBGColor=2\nAnsFontColor=3\nAnsBGColor=4\nRightAnsFontColor=5\n"
                               "QueFontSize=6\nAnsFontSize=7\n";
    // Keys in any order, any case; unknown and malformed lines ignored.
    std::reverse(criteria.begin(), criteria.end());
    const QString list = "maxtime=abc\r\nGiveMaxCount=5\r\nnonsense\r\n=3\r\nAllowBack=0\r\nShowRightsInstant=7\r\n" +
                         criteria.join("\r\n") + "\r\n" + appearance;
    const SettingsListValues v = ReadSettingsList(list, SettingsListSource::Network);
    EXPECT_EQ(v.MaxTime, 20);
    EXPECT_EQ(v.GiveMaxCount, 5);
    EXPECT_FALSE(v.AllowBack);
    EXPECT_TRUE(v.ShowRightsInstant);
    EXPECT_TRUE(v.RandomOrder);
    EXPECT_FALSE(v.HideDetails);
    EXPECT_EQ(v.TopicID, 0);
    EXPECT_EQ(JoinListLines(v.criteriaList), BuildCriteriaList(custom())); // criteria order, whole lines
    EXPECT_EQ(v.appearance.AnsFontSize, 7);
    EXPECT_TRUE(v.hasAppearance);

    const struct
    {
        const char* what;
        QString text;
        SettingsListSource source;
        const char* named;
    } bad[] = {
        {"no Na3", QString(list).replace("Na3=33", "Xa3=33"), SettingsListSource::Network, "Na3"},
        {"no TakePartialRight", QString(list).replace("TakePartialRight", "TakePartial"),
         SettingsListSource::TopicSettingsFile, "TakePartialRight"},
        {"no appearance", criteria.join("\n"), SettingsListSource::Network, "QueFontColor"},
        {"size empty", QString(list).replace("AnsFontSize=7", "AnsFontSize="), SettingsListSource::Network,
         "AnsFontSize"},
        {"overflow", QString(list).replace("QueBGColor=2", "QueBGColor=99999999999"), SettingsListSource::Network,
         "QueBGColor"},
    };
    for (const auto& tc : bad) {
        try {
            ReadSettingsList(tc.text, tc.source);
            ADD_FAILURE() << tc.what;
        } catch (const AppError& e) {
            EXPECT_TRUE(e.message().contains(QLatin1String(tc.named))) << tc.what << ": " << e.message().toStdString();
        }
    }
    // A topic settings file carries no appearance and none is asked for.
    const SettingsListValues fromFile = ReadSettingsList(criteria.join("\n"), SettingsListSource::TopicSettingsFile);
    EXPECT_FALSE(fromFile.hasAppearance);
}

TEST_F(SettingsTest, TopicSettingsFileRoundTrip)
{
    addRow(3, false, 0, true);
    ops.WriteSettingsRow(custom());
    const QString path = ops.WriteTopicSettingsFile(3, "Глава 1", AppFolder(), "Алгебра");
    EXPECT_EQ(path, AppFilePath("Алгебра.set"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();
    EXPECT_TRUE(bytes.startsWith("[Fields]\r\nDefault=0\r\nRandomOrder=0\r\nAllowBack=-1\r\n")) << bytes.constData();
    EXPECT_TRUE(bytes.contains("HideDetails=-1\r\n\r\n[Topic]\r\nRemark=" + toCp1251("Глава 1")));

    // Read into a new topic, and over an existing row.
    const SettingsRows::FileResult r = ops.ReadTopicSettingsFile(path, 12);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.remark, QStringLiteral("Глава 1"));
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_TRUE(ops.locateTopic(12));
    EXPECT_EQ(ops.ReadSettingsRow(), custom());
    EXPECT_EQ(settings.value("HideDetails"), QVariant(true));
    EXPECT_EQ(settings.value("Default"), QVariant(false));

    // A file whose Fields lack Na3 loads it as 0; a missing file is "not found".
    QByteArray lacking = bytes;
    lacking.replace("Na3=33\r\n", "");
    QFile w(path);
    ASSERT_TRUE(w.open(QIODevice::WriteOnly));
    w.write(lacking);
    w.close();
    EXPECT_TRUE(ops.ReadTopicSettingsFile(path, 12).found);
    ASSERT_TRUE(ops.locateTopic(12));
    EXPECT_EQ(settings.value("Na3"), QVariant(0));
    EXPECT_EQ(rows().size(), 2); // the row was edited, not doubled
    EXPECT_FALSE(ops.ReadTopicSettingsFile(path, 12).found);
}

TEST_F(SettingsTest, TopicSettingsFileFallsBackToTheDefaultRowOrIsNotWritten)
{
    EXPECT_TRUE(ops.WriteTopicSettingsFile(3, {}, AppFolder(), "T").isEmpty());
    EXPECT_FALSE(QFile::exists(AppFilePath("T.set")));
    addRow(1, true, 17);
    const QString path = ops.WriteTopicSettingsFile(3, {}, AppFolder(), "a/../T");
    EXPECT_EQ(path, AppFilePath("a_.._T.set")); // stays in the folder
    const QString list = TopicSettingsFileAsList(path);
    EXPECT_TRUE(list.contains("GiveMaxCount=17"));
    EXPECT_TRUE(list.startsWith("Default=-1\r\n"));
}

TEST_F(SettingsTest, CriteriaListOfARowKeepsNullFieldsEmpty)
{
    addRow(7, false, 0);
    ops.WriteSettingsRow(custom());
    // The row and the same values in memory give one list.
    EXPECT_EQ(BuildCriteriaList(settings), BuildCriteriaList(custom()));
    EXPECT_EQ(BuildCriteriaList(custom()), "Na12=99\r\nNa11=100\r\nNa10=95\r\nNa9=85\r\nNa8=80\r\nNa7=75\r\nNa6=65\r\n"
                                           "Na5=55\r\nNa4=45\r\nNa3=33\r\nNa2=20\r\nNa1=61\r\nMaxPointSystem=5\r\n"
                                           "TakePartialRight=0\r\n");

    // A null threshold is the field's empty text, never 0: it is what the teacher left unset.
    settings.edit();
    settings.setValue("Na5", QVariant());
    settings.setValue("TakePartialRight", true);
    settings.post();
    const QString criteria = BuildCriteriaList(settings);
    EXPECT_TRUE(criteria.contains("\r\nNa5=\r\nNa4=45\r\n")) << criteria.toStdString();
    EXPECT_TRUE(criteria.endsWith("TakePartialRight=-1\r\n")) << criteria.toStdString();
    const QString list = ops.BuildSettingsList(7, nullptr);
    EXPECT_TRUE(list.contains("\r\nNa5=\r\n")) << list.toStdString();
    EXPECT_EQ(JoinListLines(ReadSettingsList(list, SettingsListSource::Network).criteriaList), criteria);
}

TEST(CriteriaListBuilder, FieldTexts)
{
    struct Case
    {
        const char* what;
        QVariant value;
        QString threshold;
        QString partial;
    };
    const Case cases[] = {
        {"null", QVariant(), "", "0"},
        {"number", 55, "55", "-1"},
        {"zero", 0, "0", "0"},
        {"yes/no as a boolean", true, "-1", "-1"},
        {"a real the store holds", 55.5, "55.5", "-1"},
        {"text the store holds", QStringLiteral("abc"), "abc", "0"},
    };
    for (const Case& c : cases) {
        const QString list = BuildCriteriaList([&](const QString&) { return c.value; });
        const QStringList lines = SplitListLines(list);
        ASSERT_EQ(lines.size(), 14) << c.what;
        EXPECT_EQ(lines[0], "Na12=" + c.threshold) << c.what;
        EXPECT_EQ(lines[11], "Na1=" + c.threshold) << c.what;
        EXPECT_EQ(lines[12], "MaxPointSystem=" + c.threshold) << c.what;
        EXPECT_EQ(lines[13], "TakePartialRight=" + c.partial) << c.what;
    }
}

TEST(SettingsListReader, CriteriaLinesWithEmptyOrOddValuesAreCopiedWhole)
{
    const QString appearance = "QueFontColor=1\r\nQueBGColor=2\r\nAnsFontColor=3\r\nAnsBGColor=4\r\n"
                               "RightAnsFontColor=5\r\nQueFontSize=6\r\nAnsFontSize=7\r\n";
    const QString criteria = BuildCriteriaList(custom());
    const struct
    {
        const char* from;
        const char* to;
    } odd[] = {
        {"Na12=99", "Na12="},
        {"Na5=55", "Na5=5x"},
        {"Na3=33", "Na3= 33 "},
        {"MaxPointSystem=5", "MaxPointSystem=abc"},
        {"TakePartialRight=0", "TakePartialRight="},
        {"Na1=61", "Na1=61=62"},
    };
    for (const auto& c : odd) {
        const QString changed = QString(criteria).replace(QLatin1String(c.from), QLatin1String(c.to));
        ASSERT_NE(changed, criteria) << c.to;
        for (SettingsListSource source : {SettingsListSource::Network, SettingsListSource::TopicSettingsFile}) {
            const SettingsListValues v = ReadSettingsList(changed + appearance, source);
            EXPECT_EQ(JoinListLines(v.criteriaList), changed) << c.to;
        }
    }
}
