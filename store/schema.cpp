#include "schema.h"

#include "runlog.h"

#include <QDateTime>

namespace {

// Text columns whose width the programs leave open are as wide as an Access text column can be.
constexpr int WideText = 255;

SchemaColumn autoNumber(const QString& name)
{
    Column c{name, ColumnType::Int};
    c.nullable = false;
    c.key = true;
    c.autoIncrement = true;
    return {c, {}};
}

SchemaColumn longCol(const QString& name, const QString& def = {})
{
    return {Column{name, ColumnType::Int}, def};
}

SchemaColumn yesNo(const QString& name)
{
    Column c{name, ColumnType::Bool};
    c.nullable = false;
    return {c, QStringLiteral("0")};
}

SchemaColumn text(const QString& name, int size)
{
    return {Column{name, ColumnType::Text, size}, {}};
}

SchemaColumn memo(const QString& name)
{
    return {Column{name, ColumnType::Memo}, {}};
}

SchemaColumn binary(const QString& name)
{
    return {Column{name, ColumnType::Binary}, {}};
}

SchemaColumn real(const QString& name)
{
    return {Column{name, ColumnType::Double}, {}};
}

SchemaColumn dateTime(const QString& name)
{
    return {Column{name, ColumnType::Date}, {}};
}

QList<SchemaColumn> numbered(SchemaColumn (*make)(const QString&), const QString& stem)
{
    QList<SchemaColumn> cols;
    for (int i = 1; i <= 8; ++i)
        cols.append(make(stem + QString::number(i)));
    return cols;
}

SchemaColumn answerText(const QString& name)
{
    return text(name, WideText);
}

QList<SchemaTable> buildSchema()
{
    QList<SchemaTable> tables;
    tables.append(
        {QStringLiteral("Topics"),
         {autoNumber("TopicID"), text("TopicName", 50), text("Remark", 255), longCol("ParentID"), memo("QueIDs")}});

    QList<SchemaColumn> q{autoNumber("QueID"), longCol("TopicID"), yesNo("Used"), memo("Question"), binary("QuePict")};
    q += numbered(answerText, "Ans");
    q += numbered(binary, "Pict");
    q += numbered(yesNo, "OK");
    q += {longCol("Price", "1"), longCol("QueType"), yesNo("MixAnswers"), longCol("LinksCount")};
    q += numbered(yesNo, "Fact");
    q += {text("Rslt", WideText), text("HowMixed", 50)};
    tables.append({QStringLiteral("Questions"), q});

    QList<SchemaColumn> s{longCol("TopicID"),  yesNo("Default"),   yesNo("RandomOrder"),    yesNo("AllowBack"),
                          yesNo("ShowRights"), yesNo("TimeLimit"), longCol("GiveMaxCount"), longCol("MaxTime")};
    for (int n = 12; n >= 1; --n)
        s.append(longCol("Na" + QString::number(n)));
    s += {yesNo("TakePartialRight"), longCol("MaxPointSystem"),  yesNo("MixAnswers"), yesNo("ShowPrice"),
          yesNo("ShowRightCount"),   yesNo("ShowRightsInstant"), yesNo("HideDetails")};
    tables.append({QStringLiteral("Settings"), s});

    tables.append({QStringLiteral("Klasses"), {autoNumber("KlassID"), text("Klass", 50)}});
    tables.append({QStringLiteral("Students"), {autoNumber("StudentID"), text("Name", 50), longCol("KlassID")}});
    tables.append({QStringLiteral("Results"),
                   {autoNumber("ResID"), dateTime("Date"), longCol("StudentID"), longCol("TopicID"), text("PcName", 10),
                    real("RightsPercent"), longCol("Points"), longCol("TimeRemain"), memo("RoutChecked")}});
    tables.append({QStringLiteral("CurrentTesting"),
                   {autoNumber("ResID"), longCol("StudentID"), text("PcName", 15), longCol("AlreadyPassedCount"),
                    real("RightsPercent"), longCol("Points"), text("IP", 15), yesNo("QuestionsGiven"), memo("Results"),
                    yesNo("Ready"), longCol("TimeRemain"), longCol("PriceSum"), longCol("CurrentTopicID"),
                    yesNo("TimeLimit"), longCol("MaxTime"), yesNo("TakePartialRight"), longCol("MaxPointSystem"),
                    longCol("PrePoints"), memo("CriteriaList")}});

    QList<SchemaColumn> v{yesNo("HideStudentViewPanel"),
                          longCol("PageScroller_Height"),
                          longCol("TopicBreakCount"),
                          text("ExportPath", WideText),
                          yesNo("PrePointsFromPassedOnly"),
                          yesNo("ShowCaptions"),
                          longCol("UDPPort"),
                          longCol("TCPPort")};
    for (const auto& [name, value] : StudentViewColumns)
        v.append(longCol(QLatin1String(name), QString::number(value)));
    tables.append({QStringLiteral("VezuvirozSettings"), v});
    tables.append({QStringLiteral("ScribantSettings"),
                   {longCol("TopicBreakCount"), text("ExportPath", WideText), yesNo("DontOpenOnAddQue"),
                    yesNo("HidePanelOnOpen")}});
    return tables;
}

QString sqlType(const SchemaColumn& sc)
{
    const Column& c = sc.column;
    if (c.autoIncrement)
        return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    QString type;
    switch (c.type) {
    case ColumnType::Int:
    case ColumnType::Bool:
        type = QStringLiteral("INTEGER");
        break;
    case ColumnType::Double:
        type = QStringLiteral("REAL");
        break;
    case ColumnType::Text:
    case ColumnType::Memo:
    case ColumnType::Date:
        type = QStringLiteral("TEXT");
        break;
    case ColumnType::Binary:
        type = QStringLiteral("BLOB");
        break;
    }
    if (!c.nullable)
        type += QStringLiteral(" NOT NULL");
    if (!sc.defaultSql.isEmpty())
        type += QStringLiteral(" DEFAULT ") + sc.defaultSql;
    return type;
}

} // namespace

const SchemaColumn* SchemaTable::find(const QString& column) const
{
    for (const SchemaColumn& c : columns)
        if (c.column.name.compare(column, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

QList<Column> SchemaTable::tableColumns() const
{
    QList<Column> result;
    for (const SchemaColumn& c : columns)
        result.append(c.column);
    return result;
}

const QList<SchemaTable>& StoreSchema()
{
    static const QList<SchemaTable> schema = buildSchema();
    return schema;
}

const SchemaTable* FindSchemaTable(const QString& name)
{
    for (const SchemaTable& t : StoreSchema())
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

QStringList SchemaCreateStatements()
{
    QStringList statements;
    for (const SchemaTable& t : StoreSchema()) {
        QStringList cols;
        for (const SchemaColumn& c : t.columns)
            cols.append(QStringLiteral("\"%1\" %2").arg(c.column.name, sqlType(c)));
        statements.append(QStringLiteral("CREATE TABLE \"%1\" (%2)").arg(t.name, cols.join(QStringLiteral(", "))));
    }
    return statements;
}

QVariant ToStoreValue(ColumnType type, const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return type == ColumnType::Bool ? QVariant(0) : QVariant();
    switch (type) {
    case ColumnType::Bool:
        return value.toBool() ? 1 : 0;
    case ColumnType::Date:
        if (value.typeId() == QMetaType::QDateTime)
            return value.toDateTime().toString(Qt::ISODate);
        if (value.typeId() == QMetaType::QDate)
            return value.toDate().startOfDay().toString(Qt::ISODate);
        return value.toString();
    default:
        return value;
    }
}

QVariant FromStoreValue(ColumnType type, const QVariant& stored)
{
    if (!stored.isValid() || stored.isNull())
        return {};
    switch (type) {
    case ColumnType::Int:
        return stored.toInt();
    case ColumnType::Bool:
        return stored.toLongLong() != 0;
    case ColumnType::Double:
        return stored.toDouble();
    case ColumnType::Text:
    case ColumnType::Memo:
        return stored.toString();
    case ColumnType::Binary:
        return stored.toByteArray();
    case ColumnType::Date: {
        const QDateTime dt = QDateTime::fromString(stored.toString(), Qt::ISODate);
        return dt.isValid() ? QVariant(dt) : QVariant();
    }
    }
    return stored;
}

bool FitsColumn(const Column& column, const QVariant& value)
{
    return column.type != ColumnType::Text || column.size <= 0 || !value.isValid() || value.isNull() ||
           value.toString().size() <= column.size;
}

QString TextTooLongMessage(const Column& column)
{
    return QStringLiteral("Текст поля \"%1\" длиннее %2 символов.").arg(column.name).arg(column.size);
}

QVariant ShortenForColumn(const Column& column, const QVariant& value, const QString& source)
{
    if (FitsColumn(column, value))
        return value;
    QString text = value.toString();
    qsizetype keep = column.size;
    if (text.at(keep - 1).isHighSurrogate())
        --keep;
    text.truncate(keep);
    LogText(QStringLiteral("%1: %2 Текст сокращён.").arg(source, TextTooLongMessage(column)));
    return text;
}
