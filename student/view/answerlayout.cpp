#include "answerlayout.h"

#include <cmath>

namespace {

constexpr int MatchingPairs = 4;

} // namespace

LayoutMeasures LayoutMeasures::forScreenHeight(int screenHeight)
{
    LayoutMeasures m;
    if (screenHeight <= 0 || screenHeight == DesignedScreenHeight)
        return m;
    m.scale = double(screenHeight) / DesignedScreenHeight;
    for (int LayoutMeasures::*measure :
         {&LayoutMeasures::rowTop, &LayoutMeasures::pitch, &LayoutMeasures::textLeft, &LayoutMeasures::pictureShift,
          &LayoutMeasures::pictureDrop, &LayoutMeasures::textWidthMargin, &LayoutMeasures::questionThumb,
          &LayoutMeasures::answerThumb, &LayoutMeasures::textHeight, &LayoutMeasures::tickShift,
          &LayoutMeasures::openBoxHeight, &LayoutMeasures::rightAnswerHeight, &LayoutMeasures::rightAnswerShift,
          &LayoutMeasures::stripHeight, &LayoutMeasures::panelTop})
        m.*measure = m.scaled(m.*measure);
    return m;
}

int LayoutMeasures::scaled(int designed) const
{
    return int(std::lround(designed * scale));
}

AnswerPlace PlaceOfPosition(QuestionKind kind, bool sevenAnswer, int position, int areaWidth,
                            const LayoutMeasures& measures)
{
    AnswerPlace p;
    p.row = position;
    p.left = measures.textLeft;
    p.width = areaWidth - measures.textWidthMargin;
    p.tickBox = kind == QuestionKind::Choice;
    if (sevenAnswer) // the designed layout of seven rows, one column
        return p;
    const bool rightColumn = position > MatchingPairs;
    if (kind == QuestionKind::Open || kind == QuestionKind::Matching) {
        p.width = p.width / 2 - LayoutMeasures::HalfTextMargin;
        if (rightColumn)
            p.left = areaWidth / 2;
    }
    if (kind == QuestionKind::Matching && rightColumn)
        p.row = position - MatchingPairs;
    p.draggable = kind == QuestionKind::Ordering || (kind == QuestionKind::Matching && rightColumn);
    return p;
}

RowDrag::RowDrag(QuestionKind kind, const Arrangement& arrangement, const std::array<bool, MaxAnswerPositions>& present,
                 const LayoutMeasures& measures)
    : m_kind(kind), m_arrangement(arrangement), m_present(present), m_measures(measures)
{}

bool RowDrag::movable(int row) const
{
    const int first = m_kind == QuestionKind::Matching ? MatchingPairs + 1 : 1;
    const bool dragKind = m_kind == QuestionKind::Ordering || m_kind == QuestionKind::Matching;
    return dragKind && row >= first && row <= MaxAnswerPositions && m_present[row - 1];
}

int RowDrag::topOfRow(int row) const
{
    const int shift = m_kind == QuestionKind::Matching ? MatchingPairs : 0;
    return m_measures.topOfRow(row - shift);
}

bool RowDrag::begin(int row)
{
    m_row = movable(row) ? row : 0;
    return active();
}

void RowDrag::moveTo(int top)
{
    if (!active())
        return;
    // One exchange per neighbour passed; a fast move passes several.
    while (movable(m_row + 1) && top > topOfRow(m_row + 1)) {
        std::swap(m_arrangement[m_row - 1], m_arrangement[m_row]);
        ++m_row;
    }
    while (movable(m_row - 1) && top < topOfRow(m_row - 1)) {
        std::swap(m_arrangement[m_row - 1], m_arrangement[m_row - 2]);
        --m_row;
    }
}

int RowDrag::release()
{
    const int top = active() ? topOfRow(m_row) : 0;
    m_row = 0;
    return top;
}

QRect AnswerPictureFrame(const QRect& text, const LayoutMeasures& measures)
{
    return QRect(text.left() + measures.pictureShift, text.top() + measures.pictureDrop, measures.answerThumb,
                 measures.answerThumb);
}

QRect ToggledPictureFrame(const QRect& current, bool enlarged, const QRect& thumbnail, const QSize& natural,
                          int rightEdge)
{
    if (enlarged)
        return thumbnail;
    return QRect(QPoint(rightEdge - natural.width() + 1, current.top()), natural);
}
