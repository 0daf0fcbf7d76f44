#include "studentimport.h"

#include "apperror.h"
#include "codec.h"
#include "listlines.h"
#include "schema.h"
#include "studentstexts.h"

#include <QStringDecoder>

namespace StudentImport {

namespace {

int nameLength()
{
    static const int length = FindSchemaTable(QStringLiteral("Students"))->find(QStringLiteral("Name"))->column.size;
    return length;
}

bool isControl(QChar c)
{
    return (c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7f;
}

} // namespace

QString DecodeText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? fromCp1251(bytes) : text;
}

QStringList ParseNames(const QByteArray& bytes, const QString& source)
{
    if (bytes.size() > MaxFileBytes)
        throw AppError(StudentsText::ImportTooLarge.arg(source).arg(bytes.size()));
    const QStringList names = SplitListLines(DecodeText(bytes));
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (std::any_of(names[i].cbegin(), names[i].cend(), isControl))
            throw AppError(StudentsText::ImportNotText.arg(source).arg(i + 1));
        if (names[i].size() > nameLength())
            throw AppError(StudentsText::ImportLineTooLong.arg(source).arg(i + 1).arg(nameLength()));
    }
    return names;
}

} // namespace StudentImport
