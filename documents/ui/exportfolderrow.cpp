#include "exportfolderrow.h"

#include "documentfiles.h"
#include "documenttexts.h"
#include "filedialogs.h"

#include <QBoxLayout>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

ExportFolderRow AddExportFolderRow(QWidget* dialog, QBoxLayout* layout, const QString& folder)
{
    ExportFolderRow row;
    layout->addWidget(new QLabel(DocumentText::Folder, dialog));
    auto* line = new QHBoxLayout;
    row.edit = new QLineEdit(folder, dialog);
    row.edit->setObjectName(QStringLiteral("edFolder"));
    row.edit->setMinimumWidth(320);
    row.browse = new QToolButton(dialog);
    row.browse->setObjectName(QStringLiteral("btnBrowse"));
    row.browse->setText(DocumentText::Ellipsis);
    line->addWidget(row.edit, 1);
    line->addWidget(row.browse);
    layout->addLayout(line);
    QLineEdit* edit = row.edit;
    QObject::connect(row.browse, &QToolButton::clicked, dialog, [dialog, edit] {
        const QString chosen = ChooseFolder(dialog, DocumentText::Folder, edit->text());
        if (!chosen.isEmpty())
            edit->setText(FolderWithSeparator(QDir::toNativeSeparators(chosen)));
    });
    return row;
}

ExportButtons AddExportButtons(QDialog* dialog, QBoxLayout* layout)
{
    auto* box = new QDialogButtonBox(dialog);
    ExportButtons buttons;
    buttons.start = box->addButton(DocumentText::Start, QDialogButtonBox::AcceptRole);
    buttons.start->setObjectName(QStringLiteral("btnStart"));
    buttons.start->setDefault(true);
    buttons.cancel = box->addButton(DocumentText::Cancel, QDialogButtonBox::RejectRole);
    buttons.cancel->setObjectName(QStringLiteral("btnCancel"));
    layout->addWidget(box);
    QObject::connect(buttons.cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return buttons;
}
