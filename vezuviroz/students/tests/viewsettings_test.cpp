#include "studentsfixture.h"
#include "viewsettings.h"

class ViewSettingsTest : public StudentsFixture
{
protected:
    Dataset& settings = *dm.sqlAppSettings;
    static constexpr char Columns[] =
        "QueFontColor, QueBGColor, AnsFontColor, AnsBGColor, RightAnsFontColor, QueFontSize, AnsFontSize";

    QVariantList storedRow()
    {
        QSqlQuery q(store->database());
        EXPECT_TRUE(q.exec(QString("SELECT %1 FROM VezuvirozSettings").arg(Columns)) && q.next());
        QVariantList values;
        for (int i = 0; i < 7; ++i)
            values.append(q.value(i));
        EXPECT_FALSE(q.next()) << "one settings row";
        return values;
    }
    void makeRow(const QString& values)
    {
        store->execute(
            QString("INSERT INTO VezuvirozSettings (PageScroller_Height, %1) VALUES (349, %2)").arg(Columns, values));
        settings.isOpen() ? settings.requery() : settings.open();
    }
};

TEST_F(ViewSettingsTest, DefaultsRestoredAndOkStoreTheSevenValuesExactly)
{
    makeRow("1, 2, 3, 4, 5, 9, 17");
    StudentViewSettings view(&settings);
    EXPECT_EQ(view.values(), (Appearance{1, 9, 2, 3, 17, 4, 5}));
    view.restoreDefaults();
    view.store();
    EXPECT_EQ(storedRow(), (QVariantList{65535, 14260127, 0, 16768480, 54272, 14, 14}));
    EXPECT_EQ(storedValue("SELECT PageScroller_Height FROM VezuvirozSettings").toInt(), 349);
}

TEST_F(ViewSettingsTest, NothingIsStoredBeforeOk)
{
    makeRow("1, 2, 3, 4, 5, 9, 17");
    {
        StudentViewSettings view(&settings);
        view.setQueFontColor(0x123456);
        view.setAnsFontSize(10);
        view.restoreDefaults();
    }
    EXPECT_EQ(storedRow(), (QVariantList{1, 2, 3, 4, 5, 9, 17}));
}

TEST_F(ViewSettingsTest, EachValueSetIsStoredInItsOwnColumn)
{
    makeRow("NULL, NULL, NULL, NULL, NULL, NULL, NULL");
    StudentViewSettings view(&settings);
    // A value the row lacks starts as its default.
    EXPECT_EQ(view.values(), StudentViewSettings::Defaults());
    view.setQueFontColor(11);
    view.setQueBGColor(22);
    view.setAnsFontColor(33);
    view.setAnsBGColor(44);
    view.setRightAnsFontColor(55);
    view.setQueFontSize(9);
    view.setAnsFontSize(16);
    view.store();
    EXPECT_EQ(storedRow(), (QVariantList{11, 22, 33, 44, 55, 9, 16}));
}

TEST_F(ViewSettingsTest, SizesStayWithinTheSlidersAndTheTextsShowThem)
{
    makeRow("0, 0, 0, 0, 0, 40, 2");
    StudentViewSettings view(&settings);
    EXPECT_EQ(view.values().QueFontSize, 18);
    EXPECT_EQ(view.values().AnsFontSize, 8);
    view.setQueFontSize(7);
    view.setAnsFontSize(12);
    EXPECT_EQ(view.values().QueFontSize, 8);
    EXPECT_EQ(view.questionSample(), "Текст вопроса (размер 8)");
    EXPECT_EQ(view.answerSample(), "Текст варианта ответа (размер: 12)");
    EXPECT_EQ(view.questionSizeLabel(), "Размер шрифта вопроса: 8");
    EXPECT_EQ(view.answerSizeLabel(), "Размер шрифта варианта ответа: 12");
}

TEST_F(ViewSettingsTest, WithoutASettingsRowOkMakesOne)
{
    StudentViewSettings view(&settings);
    view.store();
    EXPECT_EQ(storedRow(), (QVariantList{65535, 14260127, 0, 16768480, 54272, 14, 14}));
}

TEST(ViewColourTest, ColoursAreBlueGreenRedFromTheHighByteDown)
{
    EXPECT_EQ(ColourFromRef(65535), QColor(255, 255, 0));
    EXPECT_EQ(ColourFromRef(54272), QColor(0, 212, 0));
    EXPECT_EQ(ColourFromRef(14260127), QColor(0x9f, 0x97, 0xd9));
    for (int ref : {0, 65535, 14260127, 16768480, 54272, 0xffffff})
        EXPECT_EQ(ColourRef(ColourFromRef(ref)), ref);
}
