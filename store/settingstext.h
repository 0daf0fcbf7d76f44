#pragma once

// What the settings list and the topic settings file share between the code that reads and writes
// them (testsettings.cpp) and the code that keeps them in the store's rows (settingsrows.cpp).

#include "testsettings.h"

#include <QString>
#include <QVariant>
#include <variant>

namespace SettingsText {

inline constexpr char FieldsSection[] = "Fields";
inline constexpr char TopicSection[] = "Topic";
inline constexpr char RemarkKey[] = "Remark";

// A flag as the lists write it.
inline QString flag(bool value)
{
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}

// A field as a number, flags as -1/0.
inline int asInt(const QVariant& v)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? -1 : 0;
    return v.isValid() ? v.toInt() : 0;
}

// The settings list's lines before the criteria, in the order Student has always read them, each
// with where the reader keeps it; a key that is missing or no number reads as that member's
// default. TopicID and HideDetails are the row's own, the others its test settings.
struct ListedSetting
{
    const char* name;
    std::variant<bool SettingsListValues::*, int SettingsListValues::*> place;
};

inline constexpr ListedSetting ListedSettings[] = {
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

} // namespace SettingsText
