#pragma once

#include <QMainWindow>

// The main window of Student, the program on each student's computer.
class TStudentF : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr const char* BaseCaption = "Vastrel Student " VASTREL_VERSION "  ";

    explicit TStudentF(QWidget* parent = nullptr);
};
