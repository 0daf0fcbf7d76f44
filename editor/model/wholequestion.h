#pragma once

#include <QString>

class Dataset;

// The whole-question copy that topic windows share through the program's folder: a settings-style
// file "WholeQuestion" with a "Fields" section for the short columns, and one file of raw bytes
// per large column (the question text and the pictures), named as the column.
namespace WholeQuestion {

static constexpr char FileName[] = "WholeQuestion";
static constexpr char Section[] = "Fields";
// The columns carried: those after QueID, TopicID and Used, at most this many.
static constexpr int SkippedColumns = 3;
static constexpr int MaxColumns = 38;

bool Exists();
// Removes the previous copy, then writes the current row of the questions dataset.
void Copy(const Dataset& questions);
// Fills the row being inserted from the copy; false (nothing set) when there is no copy.
bool Paste(Dataset& questions);
// The copy file and every file named after a carried column.
void Remove();

} // namespace WholeQuestion
