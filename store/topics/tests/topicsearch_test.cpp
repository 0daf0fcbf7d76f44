#include "topicsearch.h"

#include <gtest/gtest.h>

namespace {

TEST(TopicSearch, NamesFoundByEachOption)
{
    struct Case
    {
        const char* name;
        const char* text;
        bool ignoreCase;
        bool partial;
        bool wildcards;
        bool found;
    };
    const Case cases[] = {
        {"Алгебра 7 класс", "ге", true, true, false, true},
        {"АЛГЕБРА", "ге", true, true, false, true},
        {"АЛГЕБРА", "ге", false, true, false, false},
        {"Геометрия", "ге", true, true, false, true},
        {"Геометрия", "ге*", true, true, true, true},
        {"Алгебра", "ге*", true, true, true, false},
        {"Алгебра", "*ге*", true, true, true, true},
        {"Алгебра", "алгебр?", true, false, true, true},
        {"Алгебра", "алгеб?", true, false, true, false},
        {"Алгебра", "алгебра", true, false, false, true},
        {"Алгебра 7", "алгебра", true, false, false, false},
        {"Алгебра", "", true, true, false, true},
        {"Алгебра", "", true, false, false, false},
        {"a*b", "a[*]b", false, false, true, false},
        {"a.b", "a?b", false, false, true, true},
    };
    for (const Case& c : cases) {
        TopicSearchOptions options;
        options.ignoreCase = c.ignoreCase;
        options.partial = c.partial;
        options.wildcards = c.wildcards;
        EXPECT_EQ(TopicNameMatches(QString::fromUtf8(c.name), QString::fromUtf8(c.text), options), c.found)
            << c.name << " / " << c.text;
    }
}

TEST(TopicSearch, MasksMatchTheWholeTextWithoutBlowingUp)
{
    EXPECT_TRUE(MatchesMask("", ""));
    EXPECT_TRUE(MatchesMask("", "***"));
    EXPECT_FALSE(MatchesMask("", "?"));
    EXPECT_TRUE(MatchesMask("abcabd", "*abd"));
    EXPECT_FALSE(MatchesMask("abcabe", "*abd"));
    // A mask that makes naive back-tracking exponential.
    const QString text(4000, u'a');
    EXPECT_FALSE(MatchesMask(text, "*a*a*a*a*a*a*a*a*a*a*b"));
    EXPECT_TRUE(MatchesMask(text + "b", "*a*a*a*a*a*a*a*a*a*a*b"));
}

TEST(TopicSearch, LiveSearchGoesOnlyWithPartialMatchAndNoWildcards)
{
    TopicSearchOptions options;
    EXPECT_TRUE(options.liveAllowed());
    options.wildcards = true;
    EXPECT_FALSE(options.liveAllowed());
    options.wildcards = false;
    options.partial = false;
    EXPECT_FALSE(options.liveAllowed());
}

} // namespace
