#include "studentf.h"

#include "runlog.h"

TStudentF::TStudentF(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("TStudentF"));
    LogBegin();
    setWindowTitle(QString::fromLatin1(BaseCaption));
    resize(800, 600);
}
