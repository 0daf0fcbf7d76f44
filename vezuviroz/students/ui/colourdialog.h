#pragma once

#include <QColor>
#include <functional>
#include <optional>

class QWidget;

// The seam for the system colour dialog, as ShowMessage is for messages: windows ask here, the
// program gets the system's dialog, and tests install a handler that answers (nullopt: cancelled).
using ColourDialogHandler = std::function<std::optional<QColor>(const QColor& initial, const QString& title)>;

std::optional<QColor> ChooseColour(QWidget* parent, const QColor& initial, const QString& title);
// Installs a handler and returns the one it replaces; an empty handler brings back the system's dialog.
ColourDialogHandler SetColourDialogHandler(ColourDialogHandler handler);
