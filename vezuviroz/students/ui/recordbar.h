#pragma once

#include <QString>
#include <initializer_list>
#include <utility>

class DatasetGrid;
class QTableView;
class QWidget;

// The record commands of a grid window, each a button with its caption.
enum class RecordCommand
{
    First,
    Prior,
    Next,
    Last,
    Append,
    Remove,
    Post,
    Cancel
};

// Shows the grid in the view with the current row following the grid both ways, and makes a row
// of buttons for the commands (named "btn" + the command: btnFirst ... btnCancel), enabled as the
// grid's state allows. A new row is opened for typing at once.
QWidget* MakeRecordBar(DatasetGrid* grid, QTableView* view,
                       std::initializer_list<std::pair<RecordCommand, QString>> commands, QWidget* parent);

// Before a grid window closes: a change still pending is saved. False (the failure told) when the
// store refuses it, and the window stays open so that nothing typed is lost unseen.
bool SavePendingChange(DatasetGrid* grid);
