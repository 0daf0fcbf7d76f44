#include "messagerecorder.h"
#include "scribantf.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

TEST(TScribantF, HandedOverPathIsShownThenOfferedForLoading)
{
    TScribantF window;
    MessageRecorder messages;
    QSignalSpy offered(&window, &TScribantF::fileHandedOver);
    window.receiveHandedOverPath(QStringLiteral("/home/учитель/Дроби.vst4"));
    EXPECT_EQ(messages.texts, QStringList{QStringLiteral("/home/учитель/Дроби.vst4")});
    ASSERT_EQ(offered.size(), 1);
    EXPECT_EQ(offered[0][0].toString(), QStringLiteral("/home/учитель/Дроби.vst4"));
}
