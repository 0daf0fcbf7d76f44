#include "apperror.h"
#include "sampletables.h"
#include "tablejson.h"

#include <gtest/gtest.h>

using sample::column;

TEST(TableJson, CanonicalTextComesBackUnchanged)
{
    const QByteArray text = R"({"columns":[
{"name":"QueID","type":"int","nullable":false,"key":true,"autoIncrement":true},
{"name":"Question","type":"memo"},
{"name":"OK1","type":"bool","nullable":false},
{"name":"Weight","type":"double"},
{"name":"Ans1","type":"text","size":255},
{"name":"HowMixed","type":"text","size":8},
{"name":"QuePict","type":"binary"},
{"name":"Saved","type":"date"}
],"rows":[
[12,"Да?\r\n\"Нет\"\\\t\u0001",true,0.1,"Ответ","4321","Qk0A/w==","2024-05-17T13:45:30"],
[13,null,false,-1e+300,null,null,null,"1899-12-29T06:00:00.250"]
]}
)";
    EXPECT_EQ(TableToJson(TableFromJson(text)), text);
    const Table t = TableFromJson(text);
    EXPECT_EQ(t.value(0, 1).toString(), QStringLiteral("Да?\r\n\"Нет\"\\\t\x01"));
    EXPECT_EQ(t.value(0, 6).toByteArray(), QByteArray("BM\x00\xFF", 4));
    EXPECT_EQ(t.value(1, 7).toDateTime(), QDateTime(QDate(1899, 12, 29), QTime(6, 0, 0, 250)));
}

TEST(TableJson, TablesComeBackFromTheirText)
{
    for (const Table& t :
         {sample::smallQuestions(), sample::questionsTable(8, 5), sample::questionsTable(7, 2), Table()})
        EXPECT_EQ(TableFromJson(TableToJson(t)), t);
}

TEST(TableJson, TextWithoutSizeIsTheWidestJetText)
{
    const Table t = TableFromJson(R"({"columns":[{"name":"Rslt","type":"text"}],"rows":[["1"]]})");
    EXPECT_EQ(t.column(0).size, 255);
    EXPECT_TRUE(t.column(0).nullable);
    EXPECT_FALSE(t.column(0).key);
}

TEST(TableJson, BadTextIsRefusedWithAMessage)
{
    const char* cases[] = {
        "",
        "[1,2]",
        R"({"rows":[]})",
        R"({"columns":[{"name":"A","type":"long"}]})",
        R"({"columns":[{"type":"int"}]})",
        R"({"columns":[{"name":"A","type":"int"},{"name":"a","type":"int"}]})",
        R"({"columns":[{"name":"A","type":"text","size":0}]})",
        R"({"columns":[{"name":"A","type":"int","nullable":"no"}]})",
        R"({"columns":[{"name":"A","type":"int"}],"rows":[[1,2]]})",
        R"({"columns":[{"name":"A","type":"int"}],"rows":[1]})",
        R"({"columns":[{"name":"A","type":"int"}],"rows":[[1.5]]})",
        R"({"columns":[{"name":"A","type":"int"}],"rows":[[4294967296]]})",
        R"({"columns":[{"name":"A","type":"bool"}],"rows":[[1]]})",
        R"({"columns":[{"name":"A","type":"text"}],"rows":[[1]]})",
        R"({"columns":[{"name":"A","type":"binary"}],"rows":[["not base64!"]]})",
        R"({"columns":[{"name":"A","type":"date"}],"rows":[["31.12.2024"]]})",
    };
    for (const char* text : cases) {
        try {
            TableFromJson(QByteArray(text));
            ADD_FAILURE() << "accepted: " << text;
        } catch (const AppError& e) {
            EXPECT_FALSE(e.message().isEmpty()) << text;
        }
    }
}

TEST(TableJson, ValuesJsonCannotHoldAreRefused)
{
    Table t({column("D", ColumnType::Double)});
    t.appendRow({std::numeric_limits<double>::infinity()});
    EXPECT_THROW(TableToJson(t), AppError);
}
