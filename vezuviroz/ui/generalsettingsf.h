#pragma once

#include "vezuvirozsettings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QSpinBox;

// "Общие настройки": the window's lasting settings, request mode and the ports. It edits copies:
// the window reads them back after OK, and Cancel leaves everything as it was.
class TGeneralSettingsF : public QDialog
{
    Q_OBJECT
public:
    TGeneralSettingsF(const VezuvirozSettings& settings, bool requestMode, QWidget* parent = nullptr);

    VezuvirozSettings settings() const;
    bool requestMode() const;

    QCheckBox* cbHideStudentViewPanel = nullptr;
    QCheckBox* cbShowCaptions = nullptr;
    QComboBox* cbTopicBreakCount = nullptr;
    QCheckBox* cbPrePointsFromPassedOnly = nullptr;
    QCheckBox* cbRequestMode = nullptr;
    QSpinBox* edUDPPort = nullptr;
    QSpinBox* edTCPPort = nullptr;

private:
    VezuvirozSettings m_settings;
};
