#include "aboutbox.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

void ShowAboutBox(QWidget* parent, const QString& programName, const QString& role)
{
    QDialog box(parent);
    box.setObjectName(QStringLiteral("aboutBox"));
    box.setWindowTitle(QStringLiteral("О программе"));
    auto* name = new QLabel(QStringLiteral("<b>Vastrel %1</b>").arg(programName.toHtmlEscaped()), &box);
    name->setObjectName(QStringLiteral("aboutName"));
    auto* roleLabel = new QLabel(role, &box);
    roleLabel->setObjectName(QStringLiteral("aboutRole"));
    auto* version = new QLabel(QStringLiteral("Версия ") + QStringLiteral(VASTREL_VERSION), &box);
    version->setObjectName(QStringLiteral("aboutVersion"));
    auto* buttons = new QDialogButtonBox(&box);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(name);
    layout->addWidget(roleLabel);
    layout->addWidget(version);
    layout->addWidget(buttons);
    box.exec();
}
