#include "testsettings.h"

#include "apperror.h"
#include "inifile.h"
#include "listlines.h"
#include "schema.h"
#include "settingstext.h"

#include <QFile>
#include <QHash>
#include <iterator>
#include <variant>

using namespace SettingsText;

namespace {

const QString CrLf = QStringLiteral("\r\n");

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

static_assert(std::size(AppearancePlaces) == std::size(StudentViewColumns));

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

QString BuildCriteriaList(const TestSettings& settings)
{
    return BuildCriteriaList(
        [&](const QString& column) { return settings.value(TestSettings::columnNames().indexOf(column)); });
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
