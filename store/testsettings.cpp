#include "testsettings.h"

#include "apperror.h"
#include "dataset.h"
#include "inifile.h"
#include "listlines.h"
#include "schema.h"

#include <QDir>
#include <QFile>
#include <QHash>

namespace {

constexpr char FieldsSection[] = "Fields";
constexpr char TopicSection[] = "Topic";
constexpr char RemarkKey[] = "Remark";

const QString CrLf = QStringLiteral("\r\n");

QString flag(bool value)
{
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}

int asInt(const QVariant& v)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? -1 : 0;
    return v.isValid() ? v.toInt() : 0;
}

} // namespace

const QStringList& TestSettings::columnNames()
{
    static const QStringList names = [] {
        QStringList n{"RandomOrder", "AllowBack", "ShowRights", "TimeLimit", "GiveMaxCount", "MaxTime"};
        for (int mark = 12; mark >= 1; --mark)
            n.append(QStringLiteral("Na%1").arg(mark));
        n += {"TakePartialRight", "MaxPointSystem", "MixAnswers", "ShowPrice", "ShowRightCount", "ShowRightsInstant"};
        return n;
    }();
    return names;
}

bool TestSettings::isBoolean(int index)
{
    return index < 4 || index == 18 || index >= 20;
}

QVariant TestSettings::value(int index) const
{
    switch (index) {
    case 0: return RandomOrder;
    case 1: return AllowBack;
    case 2: return ShowRights;
    case 3: return TimeLimit;
    case 4: return GiveMaxCount;
    case 5: return MaxTime;
    case 18: return TakePartialRight;
    case 19: return MaxPointSystem;
    case 20: return MixAnswers;
    case 21: return ShowPrice;
    case 22: return ShowRightCount;
    case 23: return ShowRightsInstant;
    default: return Na[index - 6];
    }
}

void TestSettings::setValue(int index, const QVariant& v)
{
    const bool b = v.isValid() && v.toBool();
    const int n = v.isValid() ? v.toInt() : 0;
    switch (index) {
    case 0: RandomOrder = b; break;
    case 1: AllowBack = b; break;
    case 2: ShowRights = b; break;
    case 3: TimeLimit = b; break;
    case 4: GiveMaxCount = n; break;
    case 5: MaxTime = n; break;
    case 18: TakePartialRight = b; break;
    case 19: MaxPointSystem = n; break;
    case 20: MixAnswers = b; break;
    case 21: ShowPrice = b; break;
    case 22: ShowRightCount = b; break;
    case 23: ShowRightsInstant = b; break;
    default: Na[index - 6] = n; break;
    }
}

const QStringList& SettingsRowColumns()
{
    static const QStringList names = [] {
        QStringList n;
        const SchemaTable* t = FindSchemaTable(QStringLiteral("Settings"));
        for (int i = 2; i < t->columns.size(); ++i)
            n.append(t->columns[i].column.name);
        return n;
    }();
    return names;
}

QList<int> ThresholdsInUse(int maxPointSystem)
{
    switch (maxPointSystem) {
    case 12: return {12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2};
    case 5: return {5, 4, 3, 2};
    case 1: return {1};
    default: return {};
    }
}

QString BuildCriteriaList(const std::function<QVariant(const QString& column)>& field)
{
    // A field's text: empty when null, booleans as -1/0, otherwise as the store holds it.
    const auto text = [](const QVariant& v) {
        if (v.typeId() == QMetaType::Bool)
            return flag(v.toBool());
        return v.isNull() ? QString() : v.toString();
    };
    QString list;
    const auto line = [&](const QString& name, const QString& value) { list += name + u'=' + value + CrLf; };
    for (int mark = 12; mark >= 1; --mark) {
        const QString name = QStringLiteral("Na%1").arg(mark);
        line(name, text(field(name)));
    }
    line(QStringLiteral("MaxPointSystem"), text(field(QStringLiteral("MaxPointSystem"))));
    const QVariant partial = field(QStringLiteral("TakePartialRight"));
    line(QStringLiteral("TakePartialRight"), flag(!partial.isNull() && partial.toLongLong() != 0));
    return list;
}

QString BuildCriteriaList(const Dataset& settings)
{
    return BuildCriteriaList([&](const QString& column) { return settings.value(column); });
}

QString BuildCriteriaList(const TestSettings& settings)
{
    return BuildCriteriaList(
        [&](const QString& column) { return settings.value(TestSettings::columnNames().indexOf(column)); });
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
        const auto b = [&](const char* name, bool v) { lines.append(QString::fromLatin1(name) + u'=' + flag(v)); };
        const auto n = [&](const char* name, int v) { lines.append(QStringLiteral("%1=%2").arg(QLatin1String(name)).arg(v)); };
        b("RandomOrder", s.RandomOrder);
        b("AllowBack", s.AllowBack);
        b("ShowRights", s.ShowRights);
        b("TimeLimit", s.TimeLimit);
        n("MaxTime", s.MaxTime);
        n("GiveMaxCount", s.GiveMaxCount);
        n("TopicID", topicId);
        b("MixAnswers", s.MixAnswers);
        b("ShowPrice", s.ShowPrice);
        b("ShowRightCount", s.ShowRightCount);
        b("ShowRightsInstant", s.ShowRightsInstant);
        b("HideDetails", m_settings.value(QStringLiteral("HideDetails")).toBool());
        criteria = BuildCriteriaList(m_settings);
    } else {
        // Without a row of its own the topic is marked by the defaults, never by whichever row
        // happened to be current.
        criteria = locateDefault() ? BuildCriteriaList(m_settings) : BuildCriteriaList(TestSettings{});
    }
    lines += SplitListLines(criteria);

    namespace D = StudentViewDefaults;
    const std::pair<const char*, int> appearance[] = {
        {"QueFontColor", D::QueFontColor}, {"QueBGColor", D::QueBGColor},
        {"AnsFontColor", D::AnsFontColor}, {"AnsBGColor", D::AnsBGColor},
        {"RightAnsFontColor", D::RightAnsFontColor}, {"QueFontSize", D::QueFontSize},
        {"AnsFontSize", D::AnsFontSize}};
    const bool haveRow = appSettings && appSettings->isOpen() && appSettings->recordCount() > 0;
    if (haveRow)
        appSettings->first();
    for (const auto& [name, fallback] : appearance) {
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
    QString base = topicName;
    base.replace(u'/', u'_').replace(QChar(0), u'_'); // the file stays inside the folder
    const QString path = QDir(folder).filePath(base + QStringLiteral(".set"));
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

namespace {

bool parseDecimal(QStringView text, int* out)
{
    text = text.trimmed();
    if (text.isEmpty())
        return false;
    qsizetype i = (text[0] == u'-' || text[0] == u'+') ? 1 : 0;
    if (i == text.size())
        return false;
    for (qsizetype k = i; k < text.size(); ++k)
        if (text[k] < u'0' || text[k] > u'9')
            return false;
    bool ok = false;
    const int v = text.toInt(&ok);
    if (ok)
        *out = v;
    return ok;
}

} // namespace

SettingsListValues ReadSettingsList(const QString& text, SettingsListSource source)
{
    if (text.size() > SettingsListMaxBytes)
        throw AppError(QStringLiteral("Список настроек слишком велик (%1 символов).").arg(text.size()));
    // Keys compare without case; the first line of a key counts.
    QHash<QString, QString> values;
    QHash<QString, QString> lines;
    ListLineReader reader(text);
    for (QStringView line; reader.next(&line);) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).toString().toLower();
        if (values.contains(key))
            continue;
        values.insert(key, line.mid(eq + 1).toString());
        lines.insert(key, line.toString());
    }
    const auto optional = [&](const char* key, int fallback) {
        int v = fallback;
        const auto it = values.constFind(QString::fromLatin1(key).toLower());
        if (it != values.cend() && !parseDecimal(*it, &v))
            v = fallback;
        return v;
    };
    const auto present = [&](const QString& name) {
        const auto it = values.constFind(name.toLower());
        if (it == values.cend())
            throw AppError(QStringLiteral("В списке настроек нет значения %1.").arg(name));
        return it;
    };
    const auto required = [&](const char* key) {
        const QString name = QString::fromLatin1(key);
        const auto it = present(name);
        int v = 0;
        if (!parseDecimal(*it, &v))
            throw AppError(QStringLiteral("В списке настроек значение %1 не является целым числом: \"%2\".").arg(name, *it));
        return v;
    };

    SettingsListValues s;
    s.RandomOrder = optional("RandomOrder", -1) != 0;
    s.AllowBack = optional("AllowBack", -1) != 0;
    s.ShowRights = optional("ShowRights", -1) != 0;
    s.TimeLimit = optional("TimeLimit", -1) != 0;
    s.MaxTime = optional("MaxTime", 20);
    s.GiveMaxCount = optional("GiveMaxCount", 20);
    s.TopicID = optional("TopicID", 0);
    s.MixAnswers = optional("MixAnswers", -1) != 0;
    s.HideDetails = optional("HideDetails", 0) != 0;
    s.ShowPrice = optional("ShowPrice", -1) != 0;
    s.ShowRightCount = optional("ShowRightCount", -1) != 0;
    s.ShowRightsInstant = optional("ShowRightsInstant", 0) != 0;

    QStringList criteriaKeys;
    for (int mark = 12; mark >= 1; --mark)
        criteriaKeys.append(QStringLiteral("Na%1").arg(mark));
    criteriaKeys += {QStringLiteral("MaxPointSystem"), QStringLiteral("TakePartialRight")};
    for (const QString& key : criteriaKeys) {
        present(key);
        s.criteriaList.append(lines.value(key.toLower()));
    }
    if (source == SettingsListSource::Network) {
        s.QueFontColor = required("QueFontColor");
        s.QueBGColor = required("QueBGColor");
        s.AnsFontColor = required("AnsFontColor");
        s.AnsBGColor = required("AnsBGColor");
        s.RightAnsFontColor = required("RightAnsFontColor");
        s.QueFontSize = required("QueFontSize");
        s.AnsFontSize = required("AnsFontSize");
        s.hasAppearance = true;
    }
    return s;
}

QString TopicSettingsFileAsList(const QString& path)
{
    if (!QFile::exists(path))
        throw AppError(QStringLiteral("Нет файла настроек \"%1\".").arg(path));
    const IniFile ini = IniFile::load(path);
    QStringList lines;
    for (const QString& key : ini.keys(QLatin1String(FieldsSection)))
        lines.append(key + u'=' + ini.value(QLatin1String(FieldsSection), key));
    return JoinListLines(lines);
}
