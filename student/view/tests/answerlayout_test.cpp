#include "answerlayout.h"

#include <gtest/gtest.h>

namespace {

constexpr std::array<bool, MaxAnswerPositions> AllPresent{true, true, true, true, true, true, true, true};
constexpr Arrangement Identity{1, 2, 3, 4, 5, 6, 7, 8};

} // namespace

TEST(LayoutMeasures, EveryMeasureScalesWithTheScreenHeight)
{
    struct Case
    {
        int height;
        int rowTop, pitch, textLeft, rowFour, pictureShift, pictureDrop, widthMargin, questionThumb, answerThumb,
            textHeight, panelTop;
    } cases[] = {
        {900, 37, 87, 40, 298, 16, 99, 42, 49, 33, 79, 180},
        {1080, 44, 104, 48, 356, 19, 119, 50, 59, 40, 95, 216}, // 37 and 87 times 1.2, rounded
        {768, 32, 74, 34, 254, 14, 84, 36, 42, 28, 67, 154},    // 31.57, 74.24, 34.13, 13.65, 84.48
        {0, 37, 87, 40, 298, 16, 99, 42, 49, 33, 79, 180},      // no screen known: as designed
    };
    for (const Case& c : cases) {
        const LayoutMeasures m = LayoutMeasures::forScreenHeight(c.height);
        EXPECT_EQ(m.rowTop, c.rowTop) << c.height;
        EXPECT_EQ(m.pitch, c.pitch) << c.height;
        EXPECT_EQ(m.textLeft, c.textLeft) << c.height;
        EXPECT_EQ(m.topOfRow(4), c.rowFour) << c.height;
        EXPECT_EQ(m.pictureShift, c.pictureShift) << c.height;
        EXPECT_EQ(m.pictureDrop, c.pictureDrop) << c.height;
        EXPECT_EQ(m.textWidthMargin, c.widthMargin) << c.height;
        EXPECT_EQ(m.questionThumb, c.questionThumb) << c.height;
        EXPECT_EQ(m.answerThumb, c.answerThumb) << c.height;
        EXPECT_EQ(m.textHeight, c.textHeight) << c.height;
        EXPECT_EQ(m.panelTop, c.panelTop) << c.height;
        // The designed left picture column: text left, the shift, one thumbnail.
        EXPECT_EQ(m.pictureColumnRight(), c.textLeft + c.pictureShift + c.answerThumb - 1) << c.height;
    }
    EXPECT_EQ(LayoutMeasures::forScreenHeight(1080).scaled(73), 88);
}

TEST(AnswerPlaces, KindLayoutsOfTheEightAnswerFormat)
{
    const LayoutMeasures m;
    const int area = 1000; // full text width 958, half width 500, half text width 409
    struct Case
    {
        QuestionKind kind;
        int position;
        AnswerPlace place;
    } cases[] = {
        {QuestionKind::Choice, 1, {1, 40, 958, true, false}},
        {QuestionKind::Choice, 8, {8, 40, 958, true, false}},
        {QuestionKind::Ordering, 5, {5, 40, 958, false, true}},
        {QuestionKind::Open, 2, {2, 40, 409, false, false}},
        {QuestionKind::Open, 6, {6, 500, 409, false, false}},
        {QuestionKind::Matching, 3, {3, 40, 409, false, false}},
        {QuestionKind::Matching, 5, {1, 500, 409, false, true}},
        {QuestionKind::Matching, 8, {4, 500, 409, false, true}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaceOfPosition(c.kind, false, c.position, area, m), c.place)
            << int(c.kind) << " position " << c.position;
    // The seven-answer format keeps its one column of rows.
    EXPECT_EQ(PlaceOfPosition(QuestionKind::Matching, true, 6, area, m), (AnswerPlace{6, 40, 958, false, false}));
}

TEST(RowDrag, AnOrderingTextExchangesRowsAsItPassesItsNeighbours)
{
    const LayoutMeasures m;
    std::array<bool, MaxAnswerPositions> present{true, true, true, true, true, false, false, false};
    RowDrag drag(QuestionKind::Ordering, Identity, present, m);
    ASSERT_TRUE(drag.begin(1));
    drag.moveTo(m.topOfRow(2)); // at the neighbour's top, not past it
    EXPECT_EQ(drag.row(), 1);
    drag.moveTo(m.topOfRow(2) + 1);
    EXPECT_EQ(drag.row(), 2);
    EXPECT_EQ(drag.arrangement(), (Arrangement{2, 1, 3, 4, 5, 6, 7, 8}));
    // A fast move far down stops at the last shown answer: absent rows never move.
    drag.moveTo(m.topOfRow(8) + 50);
    EXPECT_EQ(drag.row(), 5);
    EXPECT_EQ(drag.arrangement(), (Arrangement{2, 3, 4, 5, 1, 6, 7, 8}));
    drag.moveTo(m.topOfRow(4) - 1);
    EXPECT_EQ(drag.row(), 4);
    EXPECT_EQ(drag.release(), m.topOfRow(4)); // snapped into its row
    EXPECT_FALSE(drag.active());
    EXPECT_EQ(drag.arrangement(), (Arrangement{2, 3, 4, 1, 5, 6, 7, 8}));
    EXPECT_FALSE(drag.begin(6)); // an absent answer
}

TEST(RowDrag, MatchingMovesOnlyTheRightColumnWithinItsFourRows)
{
    const LayoutMeasures m;
    RowDrag drag(QuestionKind::Matching, Identity, AllPresent, m);
    for (int left = 1; left <= 4; ++left)
        EXPECT_FALSE(drag.begin(left));
    ASSERT_TRUE(drag.begin(5));
    EXPECT_EQ(drag.topOfRow(5), m.topOfRow(1)); // the right column stands four rows up
    drag.moveTo(m.topOfRow(1) - 200);           // up past its range: the left column is not touched
    EXPECT_EQ(drag.row(), 5);
    drag.moveTo(m.topOfRow(3) + 1);
    EXPECT_EQ(drag.row(), 7);
    EXPECT_EQ(drag.release(), m.topOfRow(3));
    EXPECT_EQ(drag.arrangement(), (Arrangement{1, 2, 3, 4, 6, 7, 5, 8}));
    // Choice and open questions are not dragged at all.
    RowDrag choice(QuestionKind::Choice, Identity, AllPresent, m);
    EXPECT_FALSE(choice.begin(1));
    choice.moveTo(1000);
    EXPECT_EQ(choice.arrangement(), Identity);
}

TEST(PictureFrames, AnAnswerPictureStandsRightOfAndBelowItsText)
{
    struct Case
    {
        int screen;
        QRect text, picture;
    } cases[] = {
        {900, QRect(40, 37, 958, 79), QRect(56, 136, 33, 33)},
        {900, QRect(500, 124, 409, 79), QRect(516, 223, 33, 33)}, // the right column of a matching question
        {1080, QRect(48, 44, 900, 95), QRect(67, 163, 40, 40)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AnswerPictureFrame(c.text, LayoutMeasures::forScreenHeight(c.screen)), c.picture) << c.screen;
}

TEST(PictureFrames, ADoubleClickTogglesTheSizeKeepingTheRightEdge)
{
    const QRect thumb(100, 50, 33, 33); // right edge 132
    const QRect big = ToggledPictureFrame(thumb, false, thumb, QSize(200, 120), thumb.right());
    EXPECT_EQ(big, QRect(-67, 50, 200, 120));
    EXPECT_EQ(big.right(), 132);
    EXPECT_EQ(ToggledPictureFrame(big, true, thumb, QSize(200, 120), thumb.right()), thumb);
    // A picture dragged sideways is enlarged at the designed edge and returns to its thumbnail.
    const QRect moved = thumb.translated(300, 0);
    EXPECT_EQ(ToggledPictureFrame(moved, false, thumb, QSize(200, 120), 88), QRect(-111, 50, 200, 120));
    EXPECT_EQ(ToggledPictureFrame(big.translated(300, 0), true, thumb, QSize(200, 120), 132), thumb);
}
