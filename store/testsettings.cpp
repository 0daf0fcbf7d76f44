#include "testsettings.h"

#include "apperror.h"
#include "archive.h"
#include "dataset.h"
#include "inifile.h"
#include "listlines.h"
#include "schema.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <iterator>
#include <variant>

namespace {

constexpr char FieldsSection[] = "Fields";
constexpr char TopicSection[] = "Topic";
constexpr char RemarkKey[] = "Remark";

const QString CrLf = QStringLiteral("\r\n");

QString flag(bool value)
{
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}

const QString TakePartialRightName = QStringLiteral("TakePartialRight");

// The fourteen names of a criteria list, in its order.
const QStringList& criteriaNames()
{
    static const QStringList names = [] {
        QStringList n;
        for (int mark = 12; mark >= 1; --mark)
            n.append(QStringLiteral("Na%1").arg(mark));
        n += {QStringLiteral("MaxPointSystem"), TakePartialRightName};
        return n;
    }();
    return names;
}

int asInt(const QVariant& v)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? -1 : 0;
    return v.isValid() ? v.toInt() : 0;
}

} // namespace

namespace {

// The 24 test settings in column order, each once: its column (and settings-list) name and where
// TestSettings keeps it. Names, types, reading and writing by index all come from here.
struct SettingsField
{
    const char* name;
    std::variant<bool TestSettings::*, int TestSettings::*, int> place; // a flag, a number, or Na's mark
};

constexpr SettingsField SettingsFields[TestSettings::Count] = {
    {"RandomOrder", &TestSettings::RandomOrder},
    {"AllowBack", &TestSettings::AllowBack},
    {"ShowRights", &TestSettings::ShowRights},
    {"TimeLimit", &TestSettings::TimeLimit},
    {"GiveMaxCount", &TestSettings::GiveMaxCount},
    {"MaxTime", &TestSettings::MaxTime},
    {"Na12", 12},
    {"Na11", 11},
    {"Na10", 10},
    {"Na9", 9},
    {"Na8", 8},
    {"Na7", 7},
    {"Na6", 6},
    {"Na5", 5},
    {"Na4", 4},
    {"Na3", 3},
    {"Na2", 2},
    {"Na1", 1},
    {"TakePartialRight", &TestSettings::TakePartialRight},
    {"MaxPointSystem", &TestSettings::MaxPointSystem},
    {"MixAnswers", &TestSettings::MixAnswers},
    {"ShowPrice", &TestSettings::ShowPrice},
    {"ShowRightCount", &TestSettings::ShowRightCount},
    {"ShowRightsInstant", &TestSettings::ShowRightsInstant},
};

using FlagPlace = bool TestSettings::*;
using NumberPlace = int TestSettings::*;

} // namespace

namespace {

// The settings list's lines before the criteria, in the order Student has always read them, each
// with where the reader keeps it; a key that is missing or no number reads as that member's
// default. TopicID and HideDetails are the row's own, the others its test settings.
struct ListedSetting
{
    const char* name;
    std::variant<bool SettingsListValues::*, int SettingsListValues::*> place;
};

constexpr ListedSetting ListedSettings[] = {
    {"RandomOrder", &SettingsListValues::RandomOrder},
    {"AllowBack", &SettingsListValues::AllowBack},
    {"ShowRights", &SettingsListValues::ShowRights},
    {"TimeLimit", &SettingsListValues::TimeLimit},
    {"MaxTime", &SettingsListValues::MaxTime},
    {"GiveMaxCount", &SettingsListValues::GiveMaxCount},
    {"TopicID", &SettingsListValues::TopicID},
    {"MixAnswers", &SettingsListValues::MixAnswers},
    {"ShowPrice", &SettingsListValues::ShowPrice},
    {"ShowRightCount", &SettingsListValues::ShowRightCount},
    {"ShowRightsInstant", &SettingsListValues::ShowRightsInstant},
    {"HideDetails", &SettingsListValues::HideDetails},
};

static_assert(std::size(AppearancePlaces) == std::size(StudentViewColumns));

} // namespace

const QStringList& TestSettings::columnNames()
{
    static const QStringList names = [] {
        QStringList n;
        for (const SettingsField& field : SettingsFields)
            n.append(QLatin1String(field.name));
        return n;
    }();
    return names;
}

int TestSettings::indexOf(const QString& name)
{
    return int(columnNames().indexOf(name));
}

bool TestSettings::isBoolean(int index)
{
    return std::holds_alternative<FlagPlace>(SettingsFields[index].place);
}

QVariant TestSettings::value(int index) const
{
    const auto& place = SettingsFields[index].place;
    if (const FlagPlace* flagPlace = std::get_if<FlagPlace>(&place))
        return this->*(*flagPlace);
    if (const NumberPlace* numberPlace = std::get_if<NumberPlace>(&place))
        return this->*(*numberPlace);
    return na(std::get<int>(place));
}

void TestSettings::setValue(int index, const QVariant& v)
{
    const auto& place = SettingsFields[index].place;
    if (const FlagPlace* flagPlace = std::get_if<FlagPlace>(&place))
        this->*(*flagPlace) = v.isValid() && v.toBool();
    else if (const NumberPlace* numberPlace = std::get_if<NumberPlace>(&place))
        this->*(*numberPlace) = v.isValid() ? v.toInt() : 0;
    else
        setNa(std::get<int>(place), v.isValid() ? v.toInt() : 0);
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
    case 12:
        return {12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2};
    case 5:
        return {5, 4, 3, 2};
    case 1:
        return {1};
    default:
        return {};
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
    for (const QString& name : criteriaNames()) {
        const QVariant value = field(name);
        const bool isSwitch = name == TakePartialRightName; // a Yes/No field, whatever its type
        list += name + u'=' + (isSwitch ? flag(!value.isNull() && value.toLongLong() != 0) : text(value)) + CrLf;
    }
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
            throw AppError(
                QStringLiteral("В списке настроек значение %1 не является целым числом: \"%2\".").arg(name, *it));
        return v;
    };

    SettingsListValues s;
    for (const ListedSetting& listed : ListedSettings) {
        if (const auto* flagPlace = std::get_if<bool SettingsListValues::*>(&listed.place))
            s.*(*flagPlace) = optional(listed.name, s.*(*flagPlace) ? -1 : 0) != 0;
        else if (const auto* numberPlace = std::get_if<int SettingsListValues::*>(&listed.place))
            s.*(*numberPlace) = optional(listed.name, s.*(*numberPlace));
    }

    for (const QString& key : criteriaNames()) {
        present(key);
        s.criteriaList.append(lines.value(key.toLower()));
    }
    if (source == SettingsListSource::Network) {
        for (size_t i = 0; i < std::size(StudentViewColumns); ++i)
            s.appearance.*AppearancePlaces[i] = required(StudentViewColumns[i].first);
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
