#pragma once

#include "ports.h"

#include <QString>
#include <QVariant>

class Dataset;

// The lasting settings of Vezuviroz's window, one row of VezuvirozSettings.
struct VezuvirozSettings
{
    static constexpr int DefaultPageScrollerHeight = 349;
    static constexpr int DefaultTopicBreakCount = 10;

    bool HideStudentViewPanel = false;
    int PageScroller_Height = DefaultPageScrollerHeight;
    int TopicBreakCount = DefaultTopicBreakCount;
    QString ExportPath;
    bool PrePointsFromPassedOnly = false;
    bool ShowCaptions = false;
    int UDPPort = 0; // 0: not stored
    int TCPPort = 0;
};

// The row of VezuvirozSettings on the data module's dataset: made with its defaults when the table
// is empty, read with the defaults standing in for missing values, written one column or all.
class VezuvirozSettingsRow
{
public:
    explicit VezuvirozSettingsRow(Dataset* appSettings) : m_rows(appSettings) {}

    // Adds the row when the table has none, then reads it.
    VezuvirozSettings read();
    void write(const VezuvirozSettings& settings);
    void store(const QString& column, const QVariant& value);

private:
    void ensureRow();

    Dataset* m_rows;
};

// The ports the server runs on: the stored ones when both are there and not 0, otherwise those of
// the port file in the folder (the program's folder when empty), with their defaults.
Ports ChoosePorts(const VezuvirozSettings& settings, const QString& folder = {});
