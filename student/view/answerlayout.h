#pragma once

#include "testengine.h"

#include <QRect>

// Where the question view puts its answers, and how a dragged answer changes rows. No widgets:
// the window places its controls from these figures, tests check them directly.

// The layout measures of the question view, scaled to the screen (designed for 900 pixels high):
// every pixel figure of the answer area, its pictures and the floating panels comes from here.
struct LayoutMeasures
{
    static constexpr int DesignedScreenHeight = 900;
    static constexpr int HalfTextMargin = 70;

    double scale = 1;
    // As designed; forScreenHeight scales each of them.
    int rowTop = 37;
    int pitch = 87;
    int textLeft = 40;
    int pictureShift = 16; // answer pictures stand this much right of their texts
    int pictureDrop = 99;  // and this much below (the window's top, the text's in the answer area)
    int textWidthMargin = 42;
    int questionThumb = 49;
    int answerThumb = 33;
    // The window's own controls of the answer area and the floating panels.
    int textHeight = 79; // a row pitch less a gap
    int tickShift = 24;
    int openBoxHeight = 28;
    int rightAnswerHeight = 24;
    int rightAnswerShift = 160;
    int stripHeight = 24;
    int panelTop = 180;

    static LayoutMeasures forScreenHeight(int screenHeight);
    // A designed measure on this screen.
    int scaled(int designed) const;
    // The top of screen row 1..8.
    int topOfRow(int row) const { return rowTop + (row - 1) * pitch; }
    // The right edge of the designed left column of answer pictures: an enlarged answer picture keeps it.
    int pictureColumnRight() const { return textLeft + pictureShift + answerThumb - 1; }
};

// The place of answer position k (1..8) in the answer area.
struct AnswerPlace
{
    int row = 1;   // the screen row the text stands in
    int left = 0;  // of the text
    int width = 0; // of the text
    bool tickBox = false;
    bool draggable = false;
    bool operator==(const AnswerPlace&) const = default;
};

AnswerPlace PlaceOfPosition(QuestionKind kind, bool sevenAnswer, int position, int areaWidth,
                            const LayoutMeasures& measures);

// The thumbnail of an answer picture, on the window: right of and below its text, whose frame is
// given in the answer area.
QRect AnswerPictureFrame(const QRect& text, const LayoutMeasures& measures);

// A picture's frame after a double click: an enlarged picture returns to its thumbnail, a thumbnail
// takes the picture's natural size with its right edge at `rightEdge`.
QRect ToggledPictureFrame(const QRect& current, bool enlarged, const QRect& thumbnail, const QSize& natural,
                          int rightEdge);

// One drag of an answer text of an ordering or matching question: the text follows the mouse
// vertically and exchanges rows with a neighbour whose top it passes; rows of absent answers and
// rows outside the movable range never move.
class RowDrag
{
public:
    // `present` tells, per row 1..8 (index 0 is row 1), whether the row holds a shown answer.
    RowDrag(QuestionKind kind, const Arrangement& arrangement, const std::array<bool, MaxAnswerPositions>& present,
            const LayoutMeasures& measures);

    // Starts dragging the text of the row; false when that text cannot be dragged.
    bool begin(int row);
    bool active() const { return m_row > 0; }
    // The dragged text's top is now `top`: rows are exchanged with every neighbour passed.
    void moveTo(int top);
    // Ends the drag; the top at which the text is placed, exactly at its row.
    int release();

    int row() const { return m_row; }
    const Arrangement& arrangement() const { return m_arrangement; }
    // The top of a text standing in the row (for matching, the right column stands four rows up).
    int topOfRow(int row) const;

private:
    bool movable(int row) const;

    QuestionKind m_kind;
    Arrangement m_arrangement;
    std::array<bool, MaxAnswerPositions> m_present;
    LayoutMeasures m_measures;
    int m_row = 0; // the dragged text's row, 0 when no drag runs
};
