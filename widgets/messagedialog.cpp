#include "messagedialog.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::Icon boxIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MsgResult ShowMessageDialog(const QString& text, MsgIcon icon, MsgButtons buttons)
{
    QMessageBox box(boxIcon(icon), QApplication::applicationDisplayName(), QString(text).replace(u'\r', u'\n'),
                    QMessageBox::NoButton, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("messageDialog"));
    struct Choice
    {
        MsgResult result;
        QString caption;
        QMessageBox::ButtonRole role;
    };
    QList<Choice> choices;
    const Choice ok{MsgResult::Ok, QStringLiteral("OK"), QMessageBox::AcceptRole};
    const Choice yes{MsgResult::Yes, QStringLiteral("Да"), QMessageBox::YesRole};
    const Choice no{MsgResult::No, QStringLiteral("Нет"), QMessageBox::NoRole};
    const Choice cancel{MsgResult::Cancel, QStringLiteral("Отмена"), QMessageBox::RejectRole};
    switch (buttons) {
    case MsgButtons::Ok:
        choices = {ok};
        break;
    case MsgButtons::YesNo:
        choices = {yes, no};
        break;
    case MsgButtons::YesNoCancel:
        choices = {yes, no, cancel};
        break;
    case MsgButtons::YesCancel:
        choices = {yes, cancel};
        break;
    }
    QList<QAbstractButton*> added;
    for (const Choice& c : choices)
        added.append(box.addButton(c.caption, c.role));
    box.setDefaultButton(qobject_cast<QPushButton*>(added.first()));
    // Escape answers with the last button: Cancel, No or OK.
    box.setEscapeButton(added.last());
    box.exec();
    const qsizetype pressed = added.indexOf(box.clickedButton());
    return choices[pressed < 0 ? choices.size() - 1 : pressed].result;
}

void InstallMessageDialog()
{
    SetMessageHandler(ShowMessageDialog);
}
