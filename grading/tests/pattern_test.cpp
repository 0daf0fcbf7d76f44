#include "answerpattern.h"

#include <gtest/gtest.h>

namespace {

struct PatternCase
{
    const char* pattern;
    const char* answer;
    bool matches;
};

void PrintTo(const PatternCase& c, std::ostream* os)
{
    *os << "pattern \"" << c.pattern << "\" answer \"" << c.answer << "\"";
}

class PatternTest : public testing::TestWithParam<PatternCase>
{
};

TEST_P(PatternTest, Matches)
{
    const PatternCase& c = GetParam();
    EXPECT_EQ(AnswerMatchesPattern(QString::fromUtf8(c.answer), QString::fromUtf8(c.pattern)), c.matches);
}

INSTANTIATE_TEST_SUITE_P(
    Wildcards, PatternTest,
    testing::Values(PatternCase{"*", "", true}, PatternCase{"*", "anything at all", true}, PatternCase{"?", "a", true},
                    PatternCase{"?", "", false}, PatternCase{"?", "ab", false}, PatternCase{"a*c", "abbbc", true},
                    PatternCase{"a*c", "ac", true}, PatternCase{"a*c", "acb", false}, PatternCase{"*ab", "aab", true},
                    PatternCase{"*a*b", "xaxxb", true}, PatternCase{"a?c", "abc", true},
                    PatternCase{"a?c", "ac", false}, PatternCase{"**x", "x", true}, PatternCase{"x*", "x", true},
                    PatternCase{"?*?", "a", false}, PatternCase{"?*?", "ab", true},
                    // The parts around the stars may not overlap.
                    PatternCase{"a*a", "a", false}, PatternCase{"a*a", "aa", true}, PatternCase{"ab*bc", "abc", false},
                    PatternCase{"*a*", "", false}, PatternCase{"*a*b*a", "abba", true},
                    PatternCase{"*ab*ab", "abab", true}, PatternCase{"*ab*ab", "aab", false},
                    PatternCase{"x*?y*z", "xyz", false}, PatternCase{"x*?y*z", "xqyz", true}));

// The pattern must consume the whole answer, and the answer must fill the whole pattern.
INSTANTIATE_TEST_SUITE_P(WholeAnswer, PatternTest,
                         testing::Values(PatternCase{"abc", "abcd", false}, PatternCase{"abc", "ab", false},
                                         PatternCase{"a*", "ba", false}, PatternCase{"*a", "ab", false},
                                         PatternCase{"", "", true}, PatternCase{"", "a", false}));

INSTANTIATE_TEST_SUITE_P(
    Case, PatternTest,
    testing::Values(PatternCase{"paris", "PARIS", true}, PatternCase{"PaRiS", "pArIs", true},
                    PatternCase{"Париж", "Париж", true}, PatternCase{"Париж", "париж", false},
                    PatternCase{"ПАРИЖ", "Париж", false}, PatternCase{"ё", "Ё", false}, PatternCase{"é", "É", false},
                    PatternCase{"straße", "STRASSE", false},
                    // Only the letters fold: "@" and "`" sit next to "A" and "a" but are other characters.
                    PatternCase{"@", "`", false}, PatternCase{"[", "{", false}, PatternCase{"a]", "A]", true}));

INSTANTIATE_TEST_SUITE_P(
    Sets, PatternTest,
    testing::Values(PatternCase{"[abc]", "b", true}, PatternCase{"[abc]", "B", true}, PatternCase{"[abc]", "d", false},
                    PatternCase{"[abc]", "", false}, PatternCase{"[a-c]x", "Bx", true}, PatternCase{"[A-C]", "b", true},
                    PatternCase{"[a-c]", "d", false}, PatternCase{"[!a-c]", "d", true},
                    PatternCase{"[!a-c]", "a", false}, PatternCase{"[!a-c]", "A", false},
                    PatternCase{"[!a]", "", false}, PatternCase{"[0-9][0-9]", "42", true},
                    PatternCase{"[0-9][0-9]", "4x", false}, PatternCase{"[А-Я]", "Б", true},
                    PatternCase{"[А-Я]", "б", false}, PatternCase{"[а-я]", "Б", false},
                    PatternCase{"[!А-Я]", "б", true}, PatternCase{"[*]", "*", true}, PatternCase{"[*]", "x", false},
                    PatternCase{"[?]", "?", true}, PatternCase{"[?]", "x", false}, PatternCase{"[!]", "x", true},
                    PatternCase{"[]", "x", false}, PatternCase{"[a-c-e]", "d", true},
                    PatternCase{"[a-c-e]", "-", false}, PatternCase{"[z-a]", "m", false}, PatternCase{"[[]", "[", true},
                    PatternCase{"*[0-9]", "abc7", true}, PatternCase{"[!0-9]*", "7abc", false},
                    // A range reaching past the letters keeps the characters between the cases.
                    PatternCase{"[0-z]", "_", true}, PatternCase{"[0-z]", "Q", true}, PatternCase{"[0-Z]", "q", true},
                    PatternCase{"[0-Z]", "_", false}));

// Texts that are no well-formed pattern are compared as plain text with the same case rule.
INSTANTIATE_TEST_SUITE_P(Malformed, PatternTest,
                         testing::Values(PatternCase{"[abc", "[abc", true}, PatternCase{"[abc", "a", false},
                                         PatternCase{"[ABC", "[abc", true}, PatternCase{"[АБВ", "[абв", false},
                                         PatternCase{"[-a]", "[-a]", true}, PatternCase{"[-a]", "-", false},
                                         PatternCase{"[!-a]", "[!-a]", true}, PatternCase{"[a-]", "[a-]", true},
                                         PatternCase{"[a-]", "a", false}, PatternCase{"x*[", "x*[", true},
                                         PatternCase{"x*[", "xyz[", false}));

TEST(PatternLimits, MoreThanThirtyStarGroupsIsPlainText)
{
    QString thirty;
    for (int i = 0; i < MaxStarGroups; ++i)
        thirty += QStringLiteral("*a");
    const QString thirtyOne = thirty + QStringLiteral("*a");
    // Consecutive stars are one group.
    EXPECT_TRUE(IsWellFormedPattern(QString(thirty).replace(QStringLiteral("*"), QStringLiteral("***"))));
    EXPECT_TRUE(IsWellFormedPattern(thirty));
    EXPECT_FALSE(IsWellFormedPattern(thirtyOne));
    EXPECT_TRUE(AnswerMatchesPattern(QString(MaxStarGroups, u'a'), thirty));
    EXPECT_FALSE(AnswerMatchesPattern(QString(MaxStarGroups + 1, u'a'), thirtyOne));
    EXPECT_TRUE(AnswerMatchesPattern(thirtyOne.toUpper(), thirtyOne));
}

TEST(PatternLimits, ErrorNamesTheFault)
{
    QString error;
    EXPECT_FALSE(IsWellFormedPattern(QStringLiteral("ab[cd"), &error));
    EXPECT_EQ(error, QStringLiteral("'ab[cd' is an invalid mask at (3)"));
    EXPECT_FALSE(IsWellFormedPattern(QStringLiteral("[-x]"), &error));
    EXPECT_EQ(error, QStringLiteral("'[-x]' is an invalid mask at (2)"));
    EXPECT_TRUE(IsWellFormedPattern(QStringLiteral("a[b-d]*?"), &error));
}

// Many stars against a long answer that never matches: a matcher that backtracks into every
// star would not come back from this.
TEST(PatternLimits, ManyStarsAgainstLongAnswerEnds)
{
    QString pattern;
    for (int i = 1; i < MaxStarGroups; ++i)
        pattern += QStringLiteral("*a");
    pattern += QStringLiteral("*b");
    ASSERT_TRUE(IsWellFormedPattern(pattern));
    const QString answer(20000, u'a');
    EXPECT_FALSE(AnswerMatchesPattern(answer, pattern));
    EXPECT_TRUE(AnswerMatchesPattern(answer + u'b', pattern));
}

} // namespace
