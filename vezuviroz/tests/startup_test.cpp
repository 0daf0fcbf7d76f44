#include "startupcases.h"
#include "vezuvirozmodules.h"

#include <QSqlQuery>

INSTANTIATE_TYPED_TEST_SUITE_P(Vezuviroz, StoreStartUp, VezuvirozModules);

// The store reports what went wrong in closing it; the program shows it as it ends.
TEST(VezuvirozEnd, WhatGoesWrongInClosingTheStoreIsShownByTheProgram)
{
    auto modules = std::make_unique<VezuvirozModules>();
    TDM* dm = modules->store().dm();
    dm->setCurrentTestingInsertAllowed(true);
    ASSERT_TRUE(dm->sqlCurrentTesting->append());
    dm->sqlCurrentTesting->setValue(QStringLiteral("IP"), QStringLiteral("10.0.0.1"));
    dm->sqlCurrentTesting->post();
    QSqlQuery trigger(dm->ADOConnection()->database());
    ASSERT_TRUE(trigger.exec(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE DELETE ON CurrentTesting BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    trigger.finish();

    MessageRecorder messages;
    modules.reset();
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].contains(QStringLiteral("refused"))) << messages.texts[0].toStdString();
    EXPECT_EQ(messages.icons[0], MsgIcon::Error);
}
