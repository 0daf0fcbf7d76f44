#include "colourdialog.h"

#include <QColorDialog>
#include <utility>

namespace {

ColourDialogHandler& installedHandler()
{
    static ColourDialogHandler handler;
    return handler;
}

} // namespace

std::optional<QColor> ChooseColour(QWidget* parent, const QColor& initial, const QString& title)
{
    if (const ColourDialogHandler& handler = installedHandler())
        return handler(initial, title);
    const QColor chosen = QColorDialog::getColor(initial, parent, title);
    return chosen.isValid() ? std::optional<QColor>(chosen) : std::nullopt;
}

ColourDialogHandler SetColourDialogHandler(ColourDialogHandler handler)
{
    return std::exchange(installedHandler(), std::move(handler));
}
