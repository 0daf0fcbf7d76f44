#include "listlines.h"

#include <gtest/gtest.h>

namespace {

TEST(ListLines, EveryLineEnd)
{
    struct Case
    {
        QString text;
        QStringList lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        // Empty lines inside count; one line break at the end does not make an empty line.
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\r\n\r\n", {"a", ""}},
        {"\r\n", {""}},
        // LF CR is two line ends, CR CR LF too.
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"x=1=2\r\n=\r\n", {"x=1=2", "="}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitListLines(c.text), c.lines) << c.text.toStdString();
}

TEST(ListLines, ReaderLeavesTheRest)
{
    const QString text = "1=a\r\n2=b\n3=c";
    ListLineReader reader(text);
    QStringView line;
    ASSERT_TRUE(reader.next(&line));
    EXPECT_EQ(line, u"1=a");
    EXPECT_EQ(reader.rest(), u"2=b\n3=c");
    ASSERT_TRUE(reader.next(&line));
    ASSERT_TRUE(reader.next(&line));
    EXPECT_EQ(line, u"3=c");
    EXPECT_TRUE(reader.rest().isEmpty());
    EXPECT_FALSE(reader.next(&line));
}

TEST(ListLines, JoinWritesCrLfAfterEachLineAndReadsBack)
{
    const QStringList lines{"Na12=", "MaxPointSystem=12", ""};
    const QString text = JoinListLines(lines);
    EXPECT_EQ(text, "Na12=\r\nMaxPointSystem=12\r\n\r\n");
    EXPECT_EQ(SplitListLines(text), lines);
    EXPECT_TRUE(JoinListLines({}).isEmpty());
}

} // namespace
