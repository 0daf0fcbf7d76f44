#pragma once

#include "exactpercent.h"
#include "questionrow.h"

#include <QList>
#include <QString>
#include <QStringList>

// Answer strings, per-question scores and the price-weighted total of a test. Student and
// Vezuviroz both grade with these functions and must arrive at the same figures.
//
// Answer string by kind: choice - the digits of the ticked answers 1..7 in ascending order, "0"
// for none; open - the typed text; ordering - one answer number per row, top row first;
// matching - four left-column numbers, then the four right-column numbers placed beside them.
// Answer list: "QueID=answer" lines, CR LF after each, in presentation order.
// Score list: "QueID=score" lines, CR LF after each, the weighted score with two decimals and the
// decimal separator of the locale.

// Choice answers only ever use the numbers 1..7, in both formats.
static constexpr int ChoiceAnswerCount = 7;

// The answer string of a choice question from the Fact1..Fact7 ticks.
QString BuildFactString(const QuestionRow& row);
// Answer lists of the Student's question set over the first count ids (all when count exceeds
// them); ids without a row give no line. The eight-answer list carries Rslt, or for an
// unanswered question "0" (choice), "***" (open) or HowMixed (ordering, matching).
QString BuildFactList(const Table& set, const QList<int>& ids, int count);
QString BuildRsltList(const Table& set, const QList<int>& ids, int count);

// Answer k (1..8) is present when it has a text or a picture.
bool IsAnswerPresent(const QuestionRow& row, int number);

// Per-question percentages (0..100); with weight the result is multiplied by the row's Price.
// Totals add the same scores exactly (in units of ExactPercent) before they become reals.
bool IsChoiceExact(const QuestionRow& row, QStringView answer);
double ChoicePartialPercent(const QuestionRow& row, QStringView answer, bool weight);
double OpenAnswerPercent(const QuestionRow& row, QStringView answer, bool weight);
double OrderPercent(const QuestionRow& row, QStringView answer, bool weight);
double MatchPercent(const QuestionRow& row, QStringView answer, bool weight);

// The weighted score of one question in a total: by kind, with or without partial credit.
// Without partial credit an ordering or matching question keeps its score only when it is wholly
// right. A QueType outside 0..3 scores 0 (its price still counts).
double QuestionScore(const QuestionRow& row, QStringView answer, bool partial);

// The partial-credit switch of a criteria list: TakePartialRight read as an integer, -1 when
// missing; any non-zero value means on.
bool PartialCreditFromCriteria(const QString& criteriaList);

// What a total gives: the percentage (the price-weighted mean of the question percentages, 0
// when the price sum is 0), the score list of the graded questions and their price sum.
struct GradeTotal
{
    ExactPercent percent;
    QString scoreList;
    int priceSum = 0; // capped at the largest int
};

// The Student's totals over its own question set, every listed question counted, answered or
// not: from Rslt (eight-answer format) or from the Fact ticks (seven-answer format).
GradeTotal ValuateByRslt(const Table& set, const QList<int>& ids, const QString& criteriaList);
GradeTotal ValuateByFacts(const Table& set, const QList<int>& ids, const QString& criteriaList);

// The server's total over an answer list that a student sent. With limit > 0 only the first
// limit lines are graded; with limit <= 0 all are, but an ordering or matching line whose
// zero-based place is -limit or more scores 0 (it had not been shown yet). When output is given
// it receives the answer list's lines, each graded line's value replaced by its weighted score.
GradeTotal ValuateAnswerList(const QuestionSet& set, const QString& answerList, bool partial, QStringList* output,
                             int limit);
GradeTotal ValuateAnswerList(const Table& set, const QString& answerList, bool partial, QStringList* output, int limit);
