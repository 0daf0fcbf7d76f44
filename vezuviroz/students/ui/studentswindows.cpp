#include "studentswindows.h"

#include "choosestudentf.h"
#include "datamodules.h"
#include "klassesf.h"
#include "messages.h"
#include "studentlist.h"
#include "studentsf.h"
#include "studentstexts.h"
#include "viewsettingsf.h"

void ShowClassesWindow(TDM* dm, QWidget* parent)
{
    TKlassesF window(dm, parent);
    window.exec();
}

void ShowStudentsWindow(TDM* dm, QWidget* parent)
{
    if (ReadKlasses(dm).isEmpty()) {
        ShowMessage(StudentsText::CreateKlassFirst, MsgIcon::Information);
        ShowClassesWindow(dm, parent);
        return;
    }
    TStudentsF window(dm, parent);
    window.exec();
}

StudentChoiceResult ShowStudentChoice(TDM* dm, const QString& klassLabel, QWidget* parent)
{
    TChooseStudentF dialog(dm, klassLabel, parent);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    return {accepted, dialog.choice().resultLabel()};
}

bool ShowViewSettings(TDM* dm, QWidget* parent)
{
    TViewSettingsF dialog(dm->sqlAppSettings, parent);
    return dialog.exec() == QDialog::Accepted;
}
