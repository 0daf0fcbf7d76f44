#pragma once

class QString;
class QWidget;

// The about box: program name, role and version; modal.
void ShowAboutBox(QWidget* parent, const QString& programName, const QString& role);
