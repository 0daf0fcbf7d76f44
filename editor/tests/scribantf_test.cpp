#include "messagerecorder.h"
#include "scribantf.h"
#include "scribantmodules.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

TEST(TScribantF, HandedOverPathIsShownThenOfferedForLoading)
{
    ScribantModules modules;
    MessageRecorder messages;
    QSignalSpy offered(modules.window(), &TScribantF::fileHandedOver);
    // As the frame hands it over from a later start.
    modules.argumentHandedOver(QStringLiteral("/home/учитель/Дроби.vst4"));
    EXPECT_EQ(messages.texts, QStringList{QStringLiteral("/home/учитель/Дроби.vst4")});
    ASSERT_EQ(offered.size(), 1);
    EXPECT_EQ(offered[0][0].toString(), QStringLiteral("/home/учитель/Дроби.vst4"));
}
