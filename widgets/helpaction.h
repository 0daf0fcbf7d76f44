#pragma once

class QAction;
class QWidget;

// The command "&Содержание справки" (F1) of a program's main window: opens the user guide with the
// desktop's browser and, when that fails, tells why in the message dialog. Made once per window on
// first call; the program frame makes it for every main window, and a window's help menu shows the
// same action. A window that has an F1 command of its own is left with it, and that is returned.
QAction* HelpAction(QWidget* window);
