#pragma once

#include <QString>

class QWidget;
class TDM;

// How the main window opens the windows of students and classes; each is modal and gone when it
// returns.

// "Классы" (acKlassList).
void ShowClassesWindow(TDM* dm, QWidget* parent = nullptr);

// "Студенты" (acStudentsList): with no class at all the teacher is told "Сначала следует создать
// хотя бы один класс." and the classes window opens instead.
void ShowStudentsWindow(TDM* dm, QWidget* parent = nullptr);

// The student-choice dialog for the monitor's current row (sqlCurrentTesting). klassLabel is the
// class label as shown now; the result carries the one to show afterwards (the earlier one after
// Cancel).
struct StudentChoiceResult
{
    bool accepted = false;
    QString klassLabel;
};
StudentChoiceResult ShowStudentChoice(TDM* dm, const QString& klassLabel, QWidget* parent = nullptr);

// "Настройка вида Student": true when OK stored the seven values.
bool ShowViewSettings(TDM* dm, QWidget* parent = nullptr);
