#include "apperror.h"
#include "archive.h"
#include "dataset.h"
#include "inifile.h"
#include "listlines.h"
#include "schema.h"
#include "settingstext.h"
#include "testsettings.h"

#include <QDir>
#include <QFile>

// The test settings as the store's Settings rows keep them. Apart from the list and file code so
// that a program without a store (Student) does not link the store.

using namespace SettingsText;

QString BuildCriteriaList(const Dataset& settings)
{
    return BuildCriteriaList([&](const QString& column) { return settings.value(column); });
}

bool SettingsRows::locateWhere(const std::function<bool()>& match)
{
    for (m_settings.first(); !m_settings.eof(); m_settings.next())
        if (match())
            return true;
    return false;
}

bool SettingsRows::locateTopic(int topicId)
{
    return m_settings.locate(QStringLiteral("TopicID"), topicId);
}

bool SettingsRows::locateDefault()
{
    return m_settings.locate(QStringLiteral("Default"), true);
}

TestSettings SettingsRows::ReadDefaultSettings()
{
    m_defaults = locateDefault() ? ReadSettingsRow() : TestSettings{};
    return m_defaults;
}

TestSettings SettingsRows::ReadSettingsRow() const
{
    TestSettings s;
    const QStringList& names = TestSettings::columnNames();
    for (int i = 0; i < TestSettings::Count; ++i)
        s.setValue(i, m_settings.value(names[i]));
    return s;
}

void SettingsRows::WriteSettingsRow(const TestSettings& s)
{
    if (m_settings.state() != DatasetState::Edit && m_settings.state() != DatasetState::Insert)
        m_settings.edit();
    const QStringList& names = TestSettings::columnNames();
    for (int i = 0; i < TestSettings::Count; ++i)
        m_settings.setValue(names[i], s.value(i));
    m_settings.post();
}

void SettingsRows::EnsureSettingsRow(int topicId)
{
    // The other program may have made the row since the snapshot was taken: one row per topic.
    if (m_settings.state() == DatasetState::Browse)
        m_settings.requery();
    if (locateTopic(topicId))
        return;
    const TestSettings defaults = ReadDefaultSettings();
    m_settings.append();
    m_settings.setValue(QStringLiteral("TopicID"), topicId);
    WriteSettingsRow(defaults);
}

void SettingsRows::EstablishDefaultRow(int noTopicId)
{
    if (locateWhere([&] {
            return m_settings.value(QStringLiteral("Default")).toBool() &&
                   m_settings.value(QStringLiteral("TopicID")).toInt() == noTopicId;
        }))
        return;
    TestSettings defaults;
    if (locateDefault()) {
        defaults = ReadSettingsRow();
        m_settings.edit();
        m_settings.setValue(QStringLiteral("Default"), false);
        m_settings.post();
    }
    if (locateTopic(noTopicId)) {
        m_settings.edit();
    } else {
        m_settings.append();
        m_settings.setValue(QStringLiteral("TopicID"), noTopicId);
    }
    m_settings.setValue(QStringLiteral("Default"), true);
    WriteSettingsRow(defaults);
}

QString SettingsRows::BuildSettingsList(int topicId, Dataset* appSettings)
{
    m_settings.requery();
    QStringList lines;
    QString criteria;
    if (locateTopic(topicId)) {
        const TestSettings s = ReadSettingsRow();
        for (const ListedSetting& listed : ListedSettings) {
            const QString key = QLatin1String(listed.name);
            const int index = TestSettings::indexOf(key);
            const QVariant v = index >= 0 ? s.value(index) : m_settings.value(key);
            lines.append(key + u'=' + (v.typeId() == QMetaType::Bool ? flag(v.toBool()) : QString::number(v.toInt())));
        }
        criteria = BuildCriteriaList(m_settings);
    } else {
        // Without a row of its own the topic is marked by the defaults, never by whichever row
        // happened to be current.
        criteria = locateDefault() ? BuildCriteriaList(m_settings) : BuildCriteriaList(TestSettings{});
    }
    lines += SplitListLines(criteria);

    const bool haveRow = appSettings && appSettings->isOpen() && appSettings->recordCount() > 0;
    if (haveRow)
        appSettings->first();
    for (const auto& [name, fallback] : StudentViewColumns) {
        // Student needs every one of them: a value the store lacks is sent as its default.
        const QVariant v = haveRow ? appSettings->value(QLatin1String(name)) : QVariant();
        lines.append(QStringLiteral("%1=%2").arg(QLatin1String(name)).arg(v.isValid() ? v.toInt() : fallback));
    }
    return JoinListLines(lines);
}

QString SettingsRows::WriteTopicSettingsFile(int topicId, const QString& remark, const QString& folder,
                                             const QString& topicName)
{
    if (!locateTopic(topicId) && !locateDefault())
        return {};
    IniFile ini;
    // Every column after TopicID, Default included.
    const SchemaTable* table = FindSchemaTable(QStringLiteral("Settings"));
    for (int i = 1; i < table->columns.size(); ++i) {
        const QString& column = table->columns[i].column.name;
        ini.setValue(QLatin1String(FieldsSection), column, QString::number(asInt(m_settings.value(column))));
    }
    QString oneLine = remark;
    oneLine.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\r', u' ').replace(u'\n', u' ');
    ini.setValue(QLatin1String(TopicSection), QLatin1String(RemarkKey), oneLine);
    const QString path = QDir(folder).filePath(PortableEntryName(topicName) + QStringLiteral(".set"));
    if (!ini.save(path))
        throw AppError(QStringLiteral("Не удалось записать файл \"%1\".").arg(path));
    return path;
}

SettingsRows::FileResult SettingsRows::ReadTopicSettingsFile(const QString& path, int topicId)
{
    if (!QFile::exists(path))
        return {};
    const IniFile ini = IniFile::load(path);
    if (locateTopic(topicId)) {
        m_settings.edit();
    } else {
        m_settings.append();
        m_settings.setValue(QStringLiteral("TopicID"), topicId);
    }
    for (const QString& column : SettingsRowColumns())
        m_settings.setValue(column, ini.intValue(QLatin1String(FieldsSection), column, 0));
    m_settings.post();
    FileResult result{true, ini.value(QLatin1String(TopicSection), QLatin1String(RemarkKey))};
    QFile::remove(path);
    return result;
}
