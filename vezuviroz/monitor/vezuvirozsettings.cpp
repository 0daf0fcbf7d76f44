#include "vezuvirozsettings.h"

#include "appfolder.h"
#include "dataset.h"

#include <QDir>

namespace {

QString folderPath()
{
    return QDir::toNativeSeparators(AppFolder() + u'/');
}

} // namespace

void VezuvirozSettingsRow::ensureRow()
{
    m_rows->isOpen() ? m_rows->requery() : m_rows->open();
    if (!m_rows->isEmpty())
        return;
    m_rows->append();
    m_rows->setValue(QStringLiteral("HideStudentViewPanel"), false);
    m_rows->setValue(QStringLiteral("PageScroller_Height"), VezuvirozSettings::DefaultPageScrollerHeight);
    m_rows->setValue(QStringLiteral("TopicBreakCount"), VezuvirozSettings::DefaultTopicBreakCount);
    m_rows->setValue(QStringLiteral("ExportPath"), folderPath());
    m_rows->post();
}

VezuvirozSettings VezuvirozSettingsRow::read()
{
    ensureRow();
    m_rows->first();
    const auto value = [this](const char* column) { return m_rows->value(QLatin1String(column)); };
    VezuvirozSettings s;
    s.HideStudentViewPanel = value("HideStudentViewPanel").toBool();
    if (const QVariant height = value("PageScroller_Height"); !height.isNull())
        s.PageScroller_Height = height.toInt();
    if (const int count = value("TopicBreakCount").toInt(); count > 0)
        s.TopicBreakCount = count;
    s.ExportPath = value("ExportPath").toString();
    if (s.ExportPath.isEmpty())
        s.ExportPath = folderPath();
    s.PrePointsFromPassedOnly = value("PrePointsFromPassedOnly").toBool();
    s.ShowCaptions = value("ShowCaptions").toBool();
    s.UDPPort = value("UDPPort").toInt();
    s.TCPPort = value("TCPPort").toInt();
    return s;
}

void VezuvirozSettingsRow::write(const VezuvirozSettings& s)
{
    ensureRow();
    m_rows->first();
    m_rows->edit();
    m_rows->setValue(QStringLiteral("HideStudentViewPanel"), s.HideStudentViewPanel);
    m_rows->setValue(QStringLiteral("PageScroller_Height"), s.PageScroller_Height);
    m_rows->setValue(QStringLiteral("TopicBreakCount"), s.TopicBreakCount);
    m_rows->setValue(QStringLiteral("ExportPath"), s.ExportPath);
    m_rows->setValue(QStringLiteral("PrePointsFromPassedOnly"), s.PrePointsFromPassedOnly);
    m_rows->setValue(QStringLiteral("ShowCaptions"), s.ShowCaptions);
    m_rows->setValue(QStringLiteral("UDPPort"), s.UDPPort);
    m_rows->setValue(QStringLiteral("TCPPort"), s.TCPPort);
    m_rows->post();
}

void VezuvirozSettingsRow::store(const QString& column, const QVariant& value)
{
    ensureRow();
    m_rows->first();
    m_rows->edit();
    m_rows->setValue(column, value);
    m_rows->post();
}

Ports ChoosePorts(const VezuvirozSettings& settings, const QString& folder)
{
    if (settings.UDPPort != 0 && settings.TCPPort != 0)
        return {settings.UDPPort, settings.TCPPort};
    return ReadPorts(folder);
}
