#include "questionrow.h"

namespace {

// Column names in lower case, made once: Table looks names up in lower case, and a name that
// is lower case already costs no copy there. Servers index a table per report when not cached.
struct AnswerColumnNames
{
    AnswerColumnNames()
    {
        for (int k = 1; k <= QuestionColumns::MaxAnswers; ++k) {
            ans[k - 1] = QStringLiteral("ans%1").arg(k);
            pict[k - 1] = QStringLiteral("pict%1").arg(k);
            ok[k - 1] = QStringLiteral("ok%1").arg(k);
            fact[k - 1] = QStringLiteral("fact%1").arg(k);
        }
    }
    QString ans[QuestionColumns::MaxAnswers];
    QString pict[QuestionColumns::MaxAnswers];
    QString ok[QuestionColumns::MaxAnswers];
    QString fact[QuestionColumns::MaxAnswers];
};

const AnswerColumnNames& answerColumnNames()
{
    static const AnswerColumnNames names;
    return names;
}

// Grading reads these fields for every question of every report: the types the table readers
// produce are read in place, anything else through QVariant's conversions.

// Yes/No fields arrive as bool from the table readers and as -1/0 or 1/0 from other sources.
bool boolOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return *static_cast<const bool*>(value.constData());
    if (value.isNull())
        return false;
    return value.toLongLong() != 0;
}

int intOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::Int)
        return *static_cast<const int*>(value.constData());
    return value.toInt();
}

const QString* stringIn(const QVariant& value)
{
    return value.typeId() == QMetaType::QString ? static_cast<const QString*>(value.constData()) : nullptr;
}

const QVariant& nullVariant()
{
    static const QVariant null;
    return null;
}

} // namespace

QuestionColumns::QuestionColumns(const Table& table)
{
    queId = table.columnIndex(QStringLiteral("queid"));
    queType = table.columnIndex(QStringLiteral("quetype"));
    price = table.columnIndex(QStringLiteral("price"));
    rslt = table.columnIndex(QStringLiteral("rslt"));
    howMixed = table.columnIndex(QStringLiteral("howmixed"));
    const AnswerColumnNames& names = answerColumnNames();
    for (int k = 0; k < MaxAnswers; ++k) {
        ans[k] = table.columnIndex(names.ans[k]);
        pict[k] = table.columnIndex(names.pict[k]);
        ok[k] = table.columnIndex(names.ok[k]);
        fact[k] = table.columnIndex(names.fact[k]);
    }
    sevenAnswerFormat = table.columnCount() < EightAnswerMinColumns;
}

QuestionRow::QuestionRow(const TableRow& row) : m_columns(row.table()), m_table(&row.table()), m_row(row.index()) {}

QuestionRow::QuestionRow(const QuestionColumns& columns, const Table& table, int row)
    : m_columns(columns), m_table(&table), m_row(row)
{}

const QVariant& QuestionRow::field(int ordinal) const
{
    return ordinal < 0 ? nullVariant() : m_table->row(m_row)[ordinal];
}

int QuestionRow::queId() const
{
    return intOf(field(m_columns.queId));
}

int QuestionRow::queType() const
{
    return m_columns.sevenAnswerFormat ? int(QuestionKind::Choice) : intOf(field(m_columns.queType));
}

int QuestionRow::price() const
{
    return intOf(field(m_columns.price));
}

QString QuestionRow::answerText(int number) const
{
    if (number < 1 || number > QuestionColumns::MaxAnswers)
        return {};
    const QVariant& value = field(m_columns.ans[number - 1]);
    const QString* text = stringIn(value);
    return text ? *text : value.toString();
}

bool QuestionRow::hasAnswerText(int number) const
{
    if (number < 1 || number > QuestionColumns::MaxAnswers)
        return false;
    const QVariant& value = field(m_columns.ans[number - 1]);
    const QString* text = stringIn(value);
    return text ? !text->isEmpty() : !value.toString().isEmpty();
}

bool QuestionRow::hasPicture(int number) const
{
    if (number < 1 || number > QuestionColumns::MaxAnswers)
        return false;
    return !field(m_columns.pict[number - 1]).isNull();
}

bool QuestionRow::isCorrect(int number) const
{
    if (number < 1 || number > QuestionColumns::MaxAnswers)
        return false;
    return boolOf(field(m_columns.ok[number - 1]));
}

bool QuestionRow::isTicked(int number) const
{
    if (number < 1 || number > QuestionColumns::MaxAnswers)
        return false;
    return boolOf(field(m_columns.fact[number - 1]));
}

QVariant QuestionRow::rslt() const
{
    return field(m_columns.rslt);
}

QString QuestionRow::howMixed() const
{
    return field(m_columns.howMixed).toString();
}

QuestionSet::QuestionSet(const Table& table) : m_table(&table), m_columns(table)
{
    if (m_columns.queId < 0)
        return;
    m_rows.reserve(table.rowCount());
    for (int r = 0; r < table.rowCount(); ++r) {
        const QVariant& id = table.row(r)[m_columns.queId];
        if (id.isNull())
            continue;
        if (!m_rows.contains(id.toInt()))
            m_rows.insert(id.toInt(), r);
    }
}
