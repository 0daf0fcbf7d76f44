#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>
#include <functional>

class Dataset;

// The test settings of one topic: the 24 values of a Settings row after TopicID and Default
// (HideDetails, the row's last column, is not one of them), with their built-in defaults.
struct TestSettings
{
    static constexpr int Count = 24;

    bool RandomOrder = true;
    bool AllowBack = true;
    bool ShowRights = true;
    bool TimeLimit = true;
    int GiveMaxCount = 20;
    int MaxTime = 20; // minutes
    // Na12 ... Na1 in this order: the least percentages for the marks 12 ... 2, Na1 for a pass.
    std::array<int, 12> Na{110, 100, 95, 85, 80, 75, 65, 55, 45, 35, 20, 50};
    bool TakePartialRight = true;
    int MaxPointSystem = 12;
    bool MixAnswers = true;
    bool ShowPrice = true;
    bool ShowRightCount = true;
    bool ShowRightsInstant = false;

    int na(int mark) const { return Na[12 - mark]; }
    void setNa(int mark, int percent) { Na[12 - mark] = percent; }

    // The column names, in column order.
    static const QStringList& columnNames();
    // The index of a column name; -1 for a column that is not one of the 24.
    static int indexOf(const QString& name);
    static bool isBoolean(int index);
    QVariant value(int index) const;
    void setValue(int index, const QVariant& value); // a null number reads as 0

    bool operator==(const TestSettings&) const = default;
};

// The Settings columns from the third on (after TopicID and Default), HideDetails included.
const QStringList& SettingsRowColumns();
// The marks whose thresholds a mark system uses, highest first (12: 12..2; 5: 5..2; 1: 1; 100: none).
QList<int> ThresholdsInUse(int maxPointSystem);

// The operations on the Settings dataset (sqlSettings of the shared data module). They move its
// current row. The current defaults record is refreshed each time the defaults are read.
class SettingsRows
{
public:
    explicit SettingsRows(Dataset& settings) : m_settings(settings) {}
    Dataset& dataset() const { return m_settings; }

    TestSettings ReadDefaultSettings();
    TestSettings ReadSettingsRow() const;
    void WriteSettingsRow(const TestSettings& settings);
    void EnsureSettingsRow(int topicId);
    // The start-up rule: the holding topic's row becomes the Default row.
    void EstablishDefaultRow(int noTopicId);
    const TestSettings& currentDefaults() const { return m_defaults; }

    // The current row becomes the topic's; false when it has none.
    bool locateTopic(int topicId);
    bool locateDefault();

    // The settings list sent with the questions; appSettings is the VezuvirozSettings dataset.
    QString BuildSettingsList(int topicId, Dataset* appSettings);

    // The topic settings file "<folder>/<topic name>.set", the name made portable as an archive
    // entry's; the path written, or empty when the topic has no row and there is no Default row either.
    QString WriteTopicSettingsFile(int topicId, const QString& remark, const QString& folder, const QString& topicName);
    struct FileResult
    {
        bool found = false;
        QString remark;
    };
    FileResult ReadTopicSettingsFile(const QString& path, int topicId);

private:
    bool locateWhere(const std::function<bool()>& match);
    Dataset& m_settings;
    TestSettings m_defaults;
};

// The criteria list of a settings row, CR LF after each line: "Na12=" .. "Na1=" and
// "MaxPointSystem=" with the fields' texts as stored, "TakePartialRight=" with -1 or 0. A null
// field gives an empty value ("Na5="), which the mark computation reads as always reached; it is
// never made into a 0. field gives a column's value by name.
QString BuildCriteriaList(const std::function<QVariant(const QString& column)>& field);
QString BuildCriteriaList(const Dataset& settings); // its current row
QString BuildCriteriaList(const TestSettings& settings);

// What Student takes from a settings list.
// The look of the question and answer areas that a settings list carries to the student's
// program (colours 0x00BBGGRR).
struct Appearance
{
    int QueFontColor = 0;
    int QueFontSize = 0;
    int QueBGColor = 0;
    int AnsFontColor = 0;
    int AnsFontSize = 0;
    int AnsBGColor = 0;
    int RightAnsFontColor = 0;
    bool operator==(const Appearance&) const = default;
};

// Where each of the appearance columns is kept, in the order of StudentViewColumns (schema.h).
inline constexpr int Appearance::*AppearancePlaces[] = {
    &Appearance::QueFontColor,      &Appearance::QueBGColor,  &Appearance::AnsFontColor, &Appearance::AnsBGColor,
    &Appearance::RightAnsFontColor, &Appearance::QueFontSize, &Appearance::AnsFontSize,
};

struct SettingsListValues
{
    bool RandomOrder = true;
    bool AllowBack = true;
    bool ShowRights = true;
    bool TimeLimit = true;
    int MaxTime = 20;
    int GiveMaxCount = 20;
    int TopicID = 0;
    bool MixAnswers = true;
    bool HideDetails = false;
    bool ShowPrice = true;
    bool ShowRightCount = true;
    bool ShowRightsInstant = false;
    QStringList criteriaList; // the fourteen criteria lines as given, in criteria order
    bool hasAppearance = false;
    Appearance appearance;
};

enum class SettingsListSource
{
    Network,
    TopicSettingsFile
};

// Reads a settings list. The criteria lines are copied whole, whatever their values (the mark
// computation gives an empty or odd value its meaning); a missing criteria key, or from the
// network a missing or non-numeric appearance key, is an AppError naming it; nothing is returned
// half-read.
SettingsListValues ReadSettingsList(const QString& text, SettingsListSource source);
// The "Fields" section of a topic settings file as settings-list lines.
QString TopicSettingsFileAsList(const QString& path);

inline constexpr int SettingsListMaxBytes = 64 * 1024;
