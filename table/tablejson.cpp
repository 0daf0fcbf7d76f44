#include "tablejson.h"

#include "apperror.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <cmath>
#include <limits>

namespace {

constexpr int DefaultTextSize = 255;

struct TypeName
{
    ColumnType type;
    const char* name;
};

constexpr TypeName TypeNames[] = {
    {ColumnType::Int, "int"},   {ColumnType::Bool, "bool"}, {ColumnType::Double, "double"},
    {ColumnType::Text, "text"}, {ColumnType::Memo, "memo"}, {ColumnType::Binary, "binary"},
    {ColumnType::Date, "date"},
};

const char* typeName(ColumnType type)
{
    for (const TypeName& t : TypeNames) {
        if (t.type == type)
            return t.name;
    }
    return "";
}

void appendString(QByteArray& out, const QString& text)
{
    out.append('"');
    const QByteArray utf8 = text.toUtf8();
    for (char c : utf8) {
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            if (quint8(c) < 0x20) {
                out.append("\\u00");
                out.append(QByteArray::number(quint8(c), 16).rightJustified(2, '0'));
            } else {
                out.append(c);
            }
        }
    }
    out.append('"');
}

QString wallClockText(const QDateTime& when)
{
    const QDateTime wall(when.date(), when.time());
    return wall.toString(when.time().msec() != 0 ? Qt::ISODateWithMs : Qt::ISODate);
}

void appendValue(QByteArray& out, const Column& column, const QVariant& value, int row)
{
    if (!value.isValid()) {
        out.append("null");
        return;
    }
    const auto bad = [&](const char* why) {
        throw AppError(QStringLiteral("Строка %1, поле \"%2\": %3.").arg(row + 1).arg(column.name, QLatin1String(why)));
    };
    switch (column.type) {
    case ColumnType::Int:
        out.append(QByteArray::number(value.toLongLong()));
        return;
    case ColumnType::Bool:
        out.append(value.toBool() ? "true" : "false");
        return;
    case ColumnType::Double: {
        const double number = value.toDouble();
        if (!std::isfinite(number))
            bad("число не записывается в JSON");
        out.append(QString::number(number, 'g', QLocale::FloatingPointShortest).toLatin1());
        return;
    }
    case ColumnType::Text:
    case ColumnType::Memo:
        appendString(out, value.toString());
        return;
    case ColumnType::Binary:
        out.append('"');
        out.append(value.toByteArray().toBase64());
        out.append('"');
        return;
    case ColumnType::Date: {
        const QDateTime when = value.toDateTime();
        if (!when.isValid())
            bad("неверная дата");
        appendString(out, wallClockText(when));
        return;
    }
    }
}

[[noreturn]] void badJson(const QString& what)
{
    throw AppError(QStringLiteral("Неверное описание таблицы в JSON: %1.").arg(what));
}

Column columnFromJson(const QJsonValue& value, int index)
{
    const QString where = QStringLiteral("поле %1").arg(index + 1);
    if (!value.isObject())
        badJson(where + QStringLiteral(" не объект"));
    const QJsonObject o = value.toObject();
    Column c;
    c.name = o.value(QLatin1String("name")).toString();
    if (c.name.isEmpty())
        badJson(where + QStringLiteral(" без имени"));
    const QString type = o.value(QLatin1String("type")).toString();
    bool known = false;
    for (const TypeName& t : TypeNames) {
        if (type == QLatin1String(t.name)) {
            c.type = t.type;
            known = true;
        }
    }
    if (!known)
        badJson(QStringLiteral("неизвестный тип \"%1\" поля \"%2\"").arg(type, c.name));
    const auto flag = [&](const char* key, bool fallback) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return fallback;
        if (!v.isBool())
            badJson(QStringLiteral("%1 поля \"%2\" не true/false").arg(QLatin1String(key), c.name));
        return v.toBool();
    };
    c.nullable = flag("nullable", true);
    c.key = flag("key", false);
    c.autoIncrement = flag("autoIncrement", false);
    if (c.type == ColumnType::Text) {
        const QJsonValue size = o.value(QLatin1String("size"));
        c.size = DefaultTextSize;
        if (!size.isUndefined()) {
            const double n = size.toDouble(-1);
            if (!size.isDouble() || n < 1 || n > std::numeric_limits<int>::max() || n != std::floor(n))
                badJson(QStringLiteral("неверная длина поля \"%1\"").arg(c.name));
            c.size = int(n);
        }
    }
    return c;
}

QVariant valueFromJson(const QJsonValue& v, const Column& column, int row)
{
    if (v.isNull())
        return QVariant();
    const auto bad = [&](const char* expected) {
        badJson(QStringLiteral("строка %1, поле \"%2\": ожидается %3")
                    .arg(row + 1)
                    .arg(column.name, QLatin1String(expected)));
    };
    switch (column.type) {
    case ColumnType::Int: {
        const double n = v.toDouble();
        if (!v.isDouble() || n != std::floor(n) || n < std::numeric_limits<qint32>::min() ||
            n > std::numeric_limits<qint32>::max())
            bad("32-битное целое число");
        return int(n);
    }
    case ColumnType::Bool:
        if (!v.isBool())
            bad("true или false");
        return v.toBool();
    case ColumnType::Double:
        if (!v.isDouble())
            bad("число");
        return v.toDouble();
    case ColumnType::Text:
    case ColumnType::Memo:
        if (!v.isString())
            bad("строка");
        return v.toString();
    case ColumnType::Binary: {
        if (!v.isString())
            bad("строка base64");
        const auto decoded =
            QByteArray::fromBase64Encoding(v.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            bad("строка base64");
        return *decoded;
    }
    case ColumnType::Date: {
        const QDateTime when = QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
        if (!v.isString() || !when.isValid())
            bad("дата ISO 8601");
        return QDateTime(when.date(), when.time());
    }
    }
    return QVariant();
}

} // namespace

QByteArray TableToJson(const Table& table)
{
    QByteArray out("{\"columns\":[");
    for (int i = 0; i < table.columnCount(); ++i) {
        const Column& c = table.column(i);
        out.append(i == 0 ? "\n" : ",\n");
        out.append("{\"name\":");
        appendString(out, c.name);
        out.append(",\"type\":\"");
        out.append(typeName(c.type));
        out.append('"');
        if (c.type == ColumnType::Text)
            out.append(",\"size\":").append(QByteArray::number(c.size > 0 ? c.size : DefaultTextSize));
        if (!c.nullable)
            out.append(",\"nullable\":false");
        if (c.key)
            out.append(",\"key\":true");
        if (c.autoIncrement)
            out.append(",\"autoIncrement\":true");
        out.append('}');
    }
    out.append("\n],\"rows\":[");
    for (int r = 0; r < table.rowCount(); ++r) {
        out.append(r == 0 ? "\n[" : ",\n[");
        for (int i = 0; i < table.columnCount(); ++i) {
            if (i > 0)
                out.append(',');
            appendValue(out, table.column(i), table.value(r, i), r);
        }
        out.append(']');
    }
    out.append("\n]}\n");
    return out;
}

Table TableFromJson(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        badJson(QStringLiteral("%1 (байт %2)").arg(error.errorString()).arg(error.offset));
    if (!document.isObject())
        badJson(QStringLiteral("ожидается объект"));
    const QJsonObject root = document.object();
    const QJsonValue columns = root.value(QLatin1String("columns"));
    const QJsonValue rows = root.value(QLatin1String("rows"));
    if (!columns.isArray())
        badJson(QStringLiteral("нет списка полей \"columns\""));
    if (!rows.isUndefined() && !rows.isArray())
        badJson(QStringLiteral("\"rows\" не список"));

    QList<Column> list;
    const QJsonArray columnArray = columns.toArray();
    for (int i = 0; i < columnArray.size(); ++i) {
        Column c = columnFromJson(columnArray[i], i);
        for (const Column& earlier : list) {
            if (earlier.name.compare(c.name, Qt::CaseInsensitive) == 0)
                badJson(QStringLiteral("поле \"%1\" повторяется").arg(c.name));
        }
        list.append(std::move(c));
    }
    Table table(list);
    const QJsonArray rowArray = rows.toArray();
    for (int r = 0; r < rowArray.size(); ++r) {
        if (!rowArray[r].isArray() || rowArray[r].toArray().size() != list.size())
            badJson(QStringLiteral("строка %1 не список из %2 значений").arg(r + 1).arg(list.size()));
        const QJsonArray values = rowArray[r].toArray();
        QVariantList row;
        row.reserve(list.size());
        for (int i = 0; i < list.size(); ++i)
            row.append(valueFromJson(values[i], list[i], r));
        table.appendRow(std::move(row));
    }
    return table;
}
