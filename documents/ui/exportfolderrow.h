#pragma once

#include <QString>

class QBoxLayout;
class QDialog;
class QLineEdit;
class QPushButton;
class QToolButton;
class QWidget;

// "Каталог назначения:" with the folder field and its browse button, as both export dialogs have
// it: the folder chosen goes into the field with a separator at its end.
struct ExportFolderRow
{
    QLineEdit* edit = nullptr;
    QToolButton* browse = nullptr;
};
ExportFolderRow AddExportFolderRow(QWidget* dialog, QBoxLayout* layout, const QString& folder);

// "Начать экспорт" (the default button, which decides itself whether the dialog closes) and
// "Отмена" (which closes it).
struct ExportButtons
{
    QPushButton* start = nullptr;
    QPushButton* cancel = nullptr;
};
ExportButtons AddExportButtons(QDialog* dialog, QBoxLayout* layout);
