#include "wholequestion.h"

#include "apperror.h"
#include "appfolder.h"
#include "codec.h"
#include "dataset.h"
#include "inifile.h"
#include "picture.h"
#include "schema.h"

#include <QFile>
#include <QSaveFile>

namespace WholeQuestion {

namespace {

QList<Column> carriedColumns()
{
    const SchemaTable* table = FindSchemaTable(QStringLiteral("Questions"));
    const QList<Column> all = table->tableColumns();
    return all.mid(SkippedColumns, MaxColumns);
}

bool isLarge(const Column& column)
{
    return column.type == ColumnType::Memo || column.type == ColumnType::Binary;
}

QByteArray rawBytes(const Column& column, const QVariant& value)
{
    return column.type == ColumnType::Binary ? value.toByteArray() : toCp1251(value.toString());
}

// Booleans are written -1/0 like every boolean in the system's texts.
QString fieldText(const Column& column, const QVariant& value)
{
    if (column.type == ColumnType::Bool)
        return value.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
    return value.toString();
}

QVariant fieldValue(const Column& column, const QString& text)
{
    if (column.type == ColumnType::Bool) {
        bool ok = false;
        const int number = text.toInt(&ok);
        return ok ? number != 0 : QString::compare(text, QStringLiteral("true"), Qt::CaseInsensitive) == 0;
    }
    if (text.isEmpty())
        return {};
    if (column.type == ColumnType::Int) {
        bool ok = false;
        const int number = text.toInt(&ok);
        return ok ? QVariant(number) : QVariant();
    }
    return text;
}

// The copy files lie in a folder anyone can write to: a picture file that is no bitmap leaves the
// slot empty rather than putting bytes into the bank that no program can show.
QVariant storedPicture(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return {};
    try {
        return Picture::BitmapToBmp(bytes);
    } catch (const AppError&) {
        return {};
    }
}

void writeFile(const QString& name, const QByteArray& bytes)
{
    QSaveFile file(AppFilePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw AppError(QStringLiteral("Не удалось записать файл \"%1\".").arg(AppFilePath(name)));
}

} // namespace

bool Exists()
{
    return QFile::exists(AppFilePath(QString::fromLatin1(FileName)));
}

void Remove()
{
    QFile::remove(AppFilePath(QString::fromLatin1(FileName)));
    for (const Column& column : carriedColumns())
        QFile::remove(AppFilePath(column.name));
}

void Copy(const Dataset& questions)
{
    Remove();
    IniFile fields;
    const QString section = QString::fromLatin1(Section);
    for (const Column& column : carriedColumns()) {
        const QVariant value = questions.value(column.name);
        if (!value.isValid() || value.isNull())
            continue;
        if (isLarge(column))
            writeFile(column.name, rawBytes(column, value));
        else
            fields.setValue(section, column.name, fieldText(column, value));
    }
    if (!fields.save(AppFilePath(QString::fromLatin1(FileName))))
        throw AppError(QStringLiteral("Не удалось записать файл \"%1\".").arg(AppFilePath(FileName)));
}

bool Paste(Dataset& questions)
{
    if (!Exists())
        return false;
    const IniFile fields = IniFile::load(AppFilePath(QString::fromLatin1(FileName)));
    const QString section = QString::fromLatin1(Section);
    for (const Column& column : carriedColumns()) {
        QFile file(AppFilePath(column.name));
        if (isLarge(column) && file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            questions.setValue(column.name,
                               column.type == ColumnType::Binary ? storedPicture(bytes) : QVariant(fromCp1251(bytes)));
        } else {
            questions.setValue(column.name, fieldValue(column, fields.value(section, column.name)));
        }
    }
    return true;
}

} // namespace WholeQuestion
