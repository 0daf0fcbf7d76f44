#pragma once

#include <QString>
#include <QStringView>

// The accepted answers of an open question are patterns over the whole typed answer:
//   *      any run of characters, the empty run included
//   ?      exactly one character
//   [...]  one character from a set of characters and ranges ("a-z"); "[!...]" negates the set.
//          A "-" joins the character before it and the character after it; a reversed range
//          and the empty set "[]" match nothing. "*" and "?" inside a set are plain characters.
//   other  the character itself; Latin letters a-z match regardless of case, every other
//          character (Cyrillic included) only exactly.
// The pattern must consume the whole answer.
//
// A text that is not a well-formed pattern (a set never closed, a "-" with no character before
// or after it inside a set, more than MaxStarGroups runs of "*") is compared as plain text,
// character for character with the same case rule, so that a teacher's odd answer text never
// stops the grading.
//
// Matching places the text between the "*" runs, each at its leftmost place, without going
// back: the parts before the first and after the last "*" are compared once, in place, so the
// time is at most answer length x pattern length, whatever the pattern.
bool AnswerMatchesPattern(QStringView answer, QStringView pattern);

// Whether the text is a well-formed pattern; when it is not and error is given, the message
// "'%s' is an invalid mask at (%d)" with the 1-based position of the fault.
bool IsWellFormedPattern(QStringView pattern, QString* error = nullptr);

// Plain text comparison with the case rule of the patterns (Latin letters without case).
bool SameAnswerText(QStringView a, QStringView b);

static constexpr int MaxStarGroups = 30;
