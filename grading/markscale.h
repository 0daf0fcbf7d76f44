#pragma once

#include "exactpercent.h"

#include <QList>
#include <QString>

// Mark scales. The criteria list is a text of name=value lines, CR LF after each:
// "Na12=" .. "Na1=" (the least whole percentage for each mark), "MaxPointSystem=" (1 pass/fail,
// 5, 12 or 100) and "TakePartialRight=" (-1 on, 0 off).

// Scales (MaxPointSystem).
static constexpr int PassFailScale = 1;
static constexpr int FivePointScale = 5;
static constexpr int TwelvePointScale = 12;
static constexpr int HundredPointScale = 100;
// A threshold above this can never be reached: its mark is not in use.
static constexpr int MaxReachablePercent = 100;

// The value of the first line called name (names compared without case); a null QString when the
// list has no such line.
QString CriteriaValue(const QString& criteriaList, const QString& name);
// The value as a decimal integer; fallback when the line is missing or not a whole number.
int CriteriaInteger(const QString& criteriaList, const QString& name, int fallback);

// The mark for a total percentage: dispatches on MaxPointSystem; 0 for a scale it does not know.
// A total compares exactly (ExactPercent); the real form is for a percentage kept as a real.
int MarkFromPercent(const QString& criteriaList, const ExactPercent& percent);
int MarkFromPercent(const QString& criteriaList, double percent);
// Each scale scans from its highest mark down; the first threshold the percentage reaches
// (percent >= threshold) gives the mark. A missing or non-numeric threshold reads as -1 and so
// is always reached.
int PassMark(const QString& criteriaList, const ExactPercent& percent);        // 1 pass, 0 fail (Na1)
int FivePointMark(const QString& criteriaList, const ExactPercent& percent);   // 1..5 (Na5..Na2)
int TwelvePointMark(const QString& criteriaList, const ExactPercent& percent); // 1..12 (Na12..Na2)
int HundredPointMark(const ExactPercent& percent);                             // whole percent, at least 1
int PassMark(const QString& criteriaList, double percent);
int FivePointMark(const QString& criteriaList, double percent);
int TwelvePointMark(const QString& criteriaList, double percent);
int HundredPointMark(double percent);

// The mark as shown: the number, or "Зачёт"/"Незачёт" when MaxPointSystem is written exactly "1".
QString MarkText(const QString& criteriaList, int mark);

// What the criteria window shows: one row per mark that can be reached, highest first.
struct CriteriaRow
{
    QString mark;      // the mark, or "Зачёт" on the pass/fail scale
    QString threshold; // "%D%"
    bool operator==(const CriteriaRow&) const = default;
};

struct CriteriaTable
{
    bool knownScale = true;
    QString scaleText; // MaxPointSystem as written (for the unknown-scale line)
    QList<CriteriaRow> rows;
};

// MaxPointSystem is read with 12 when missing or not a number; thresholds with 0 when missing.
CriteriaTable CriteriaWindowRows(const QString& criteriaList);
