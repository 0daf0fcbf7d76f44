// The window's settings row: made with its defaults, read with defaults for missing values, and
// the ports the server runs on.
#include "appfolder.h"
#include "datamodules.h"
#include "dataset.h"
#include "ports.h"
#include "sqltexts.h"
#include "utf8text.h"
#include "vezuvirozsettings.h"

#include <QDir>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

int settingsRows(TDM& dm)
{
    Dataset rows(dm.ADOConnection(), QStringLiteral("count"), Utf8Text(Sql::VezuvirozSettings));
    rows.open();
    return rows.recordCount();
}

} // namespace

TEST(VezuvirozSettingsRow, AnEmptyTableGetsTheDefaultRow)
{
    TDM dm(StoreProgram::Vezuviroz);
    VezuvirozSettingsRow row(dm.sqlAppSettings);
    const VezuvirozSettings s = row.read();
    EXPECT_EQ(settingsRows(dm), 1);
    EXPECT_FALSE(s.HideStudentViewPanel);
    EXPECT_EQ(s.PageScroller_Height, 349);
    EXPECT_EQ(s.TopicBreakCount, 10);
    EXPECT_EQ(s.ExportPath, QDir::toNativeSeparators(AppFolder() + "/"));
    EXPECT_EQ(s.UDPPort, 0);
    EXPECT_EQ(s.TCPPort, 0);
    row.read();
    EXPECT_EQ(settingsRows(dm), 1) << "a second reading adds nothing";
}

TEST(VezuvirozSettingsRow, MissingValuesReadAsTheirDefaultsAndWrittenValuesComeBack)
{
    TDM dm(StoreProgram::Vezuviroz);
    QSqlQuery q(dm.ADOConnection()->database());
    ASSERT_TRUE(q.exec("INSERT INTO VezuvirozSettings (HideStudentViewPanel, PageScroller_Height, TopicBreakCount, "
                       "ExportPath) VALUES (1, NULL, 0, '')"));
    q.finish();
    VezuvirozSettingsRow row(dm.sqlAppSettings);
    VezuvirozSettings s = row.read();
    EXPECT_TRUE(s.HideStudentViewPanel);
    EXPECT_EQ(s.PageScroller_Height, 349);
    EXPECT_EQ(s.TopicBreakCount, 10);
    EXPECT_FALSE(s.ExportPath.isEmpty());

    s.TopicBreakCount = 20;
    s.UDPPort = 9100;
    s.TCPPort = 4600;
    s.PrePointsFromPassedOnly = true;
    row.write(s);
    row.store(QStringLiteral("PageScroller_Height"), 200);
    const VezuvirozSettings back = VezuvirozSettingsRow(dm.sqlAppSettings).read();
    EXPECT_EQ(back.TopicBreakCount, 20);
    EXPECT_EQ(back.UDPPort, 9100);
    EXPECT_EQ(back.TCPPort, 4600);
    EXPECT_TRUE(back.PrePointsFromPassedOnly);
    EXPECT_EQ(back.PageScroller_Height, 200);
    EXPECT_EQ(settingsRows(dm), 1);
}

TEST(VezuvirozSettingsRow, StoredPortsWinOnlyWhenBothAreThere)
{
    const QString folder = AppFolder();
    struct Case
    {
        const char* name;
        int storedUdp, storedTcp;
        bool portFile;
        int udp, tcp;
    } cases[] = {
        {"both stored", 9100, 4600, true, 9100, 4600},
        {"only UDP stored: the port file", 9100, 0, true, 9200, 4700},
        {"nothing stored: the port file", 0, 0, true, 9200, 4700},
        {"nothing anywhere: the defaults", 0, 0, false, Ports::DefaultUdp, Ports::DefaultTcp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(folder + "/Ports");
        if (c.portFile) {
            ASSERT_TRUE(WritePorts(folder, 9200, 4700));
        }
        VezuvirozSettings s;
        s.UDPPort = c.storedUdp;
        s.TCPPort = c.storedTcp;
        const Ports p = ChoosePorts(s, folder);
        EXPECT_EQ(p.udp, c.udp);
        EXPECT_EQ(p.tcp, c.tcp);
    }
}
