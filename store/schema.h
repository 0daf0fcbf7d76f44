#pragma once

#include "table.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

// The tables of vs4.mdb as the programs know them: every column by name, in stored order, with its
// type and the default a new row receives from the store.
struct SchemaColumn
{
    Column column;
    QString defaultSql; // the DEFAULT clause's value; empty for none
};

struct SchemaTable
{
    QString name;
    QList<SchemaColumn> columns;

    const SchemaColumn* find(const QString& column) const;
    QList<Column> tableColumns() const;
};

// Every table, in the order they are created.
const QList<SchemaTable>& StoreSchema();
// The table of that name regardless of case; nullptr when the store has none.
const SchemaTable* FindSchemaTable(const QString& name);

// One CREATE TABLE per table, in StoreSchema() order.
QStringList SchemaCreateStatements();

// The value a Yes/No, number or date takes in the store (1/0 for booleans, ISO 8601 text for dates)
// and back from what the store gives to the column's own type; null stays null (invalid QVariant).
QVariant ToStoreValue(ColumnType type, const QVariant& value);
QVariant FromStoreValue(ColumnType type, const QVariant& stored);

// Text columns hold at most their width in characters. A longer text is refused where it enters the
// store (Dataset::setValue throws AppError with TextTooLongMessage), since it would later make
// saving a question file, sending a set or writing a result file fail; imports shorten it instead
// with ShortenForColumn, which says so in the run log.
bool FitsColumn(const Column& column, const QVariant& value);
QString TextTooLongMessage(const Column& column);
// The value cut to the column's width (never inside a surrogate pair); `source` names where it came
// from in the run log line.
QVariant ShortenForColumn(const Column& column, const QVariant& value, const QString& source);

// The appearance of the student's screen that VezuvirozSettings holds from its creation: the
// values the view settings window restores as its defaults.
namespace StudentViewDefaults {
inline constexpr int QueFontColor = 65535;
inline constexpr int QueBGColor = 14260127;
inline constexpr int AnsFontColor = 0;
inline constexpr int AnsBGColor = 16768480;
inline constexpr int RightAnsFontColor = 54272;
inline constexpr int QueFontSize = 14;
inline constexpr int AnsFontSize = 14;
} // namespace StudentViewDefaults

// The appearance columns of VezuvirozSettings with those values, in the order the settings list
// carries them to Student.
inline constexpr std::pair<const char*, int> StudentViewColumns[] = {
    {"QueFontColor", StudentViewDefaults::QueFontColor},
    {"QueBGColor", StudentViewDefaults::QueBGColor},
    {"AnsFontColor", StudentViewDefaults::AnsFontColor},
    {"AnsBGColor", StudentViewDefaults::AnsBGColor},
    {"RightAnsFontColor", StudentViewDefaults::RightAnsFontColor},
    {"QueFontSize", StudentViewDefaults::QueFontSize},
    {"AnsFontSize", StudentViewDefaults::AnsFontSize},
};
