#include "odtreader.h"

#include "zipreader.h"

#include <QXmlStreamReader>

namespace {

struct TextStyle
{
    bool bold = false;
    bool italic = false;
    double size = 0;
};

double points(QStringView length)
{
    if (length.endsWith(u"pt"))
        return length.chopped(2).toDouble();
    if (length.endsWith(u"cm"))
        return length.chopped(2).toDouble() * 72 / 2.54;
    if (length.endsWith(u"mm"))
        return length.chopped(2).toDouble() * 72 / 25.4;
    if (length.endsWith(u"in"))
        return length.chopped(2).toDouble() * 72;
    return length.toDouble();
}

} // namespace

QList<OdtParagraph> OdtDocument::body() const
{
    QList<OdtParagraph> list;
    for (const OdtParagraph& p : paragraphs) {
        if (p.table < 0)
            list.append(p);
    }
    return list;
}

QList<QStringList> OdtDocument::cells(int table) const
{
    QList<QStringList> rows;
    for (const OdtParagraph& p : paragraphs) {
        if (p.table != table)
            continue;
        while (rows.size() <= p.row)
            rows.append(QStringList());
        while (rows[p.row].size() <= p.column)
            rows[p.row].append(QString());
        rows[p.row][p.column] += p.text;
    }
    return rows;
}

OdtDocument ReadOdt(const QString& path)
{
    OdtDocument doc;
    const ZipMembers zip = ReadZip(path);
    if (!zip.error.isEmpty()) {
        doc.error = zip.error;
        return doc;
    }
    doc.members = zip.members;
    QXmlStreamReader r(zip.members.value(QStringLiteral("content.xml")));
    QMap<QString, TextStyle> textStyles;
    QMap<QString, bool> centredStyles;
    QMap<QString, double> columnStyles;
    QString style;
    int table = -1;
    int row = -1;
    int column = -1;
    OdtParagraph* paragraph = nullptr;
    QList<TextStyle> spans; // open spans, innermost last
    bool allBold = true;
    bool allItalic = true;
    bool anyText = false;
    while (!r.atEnd()) {
        r.readNext();
        const auto a = r.attributes();
        const auto n = r.qualifiedName();
        if (r.isStartElement()) {
            if (n == u"style:style") {
                style = a.value(QLatin1String("style:name")).toString();
            } else if (n == u"style:text-properties") {
                TextStyle t;
                t.bold = a.value(QLatin1String("fo:font-weight")) == u"bold";
                t.italic = a.value(QLatin1String("fo:font-style")) == u"italic";
                t.size = points(a.value(QLatin1String("fo:font-size")));
                textStyles.insert(style, t);
            } else if (n == u"style:paragraph-properties") {
                centredStyles.insert(style, a.value(QLatin1String("fo:text-align")) == u"center");
            } else if (n == u"style:table-column-properties") {
                columnStyles.insert(style, points(a.value(QLatin1String("style:column-width"))));
            } else if (n == u"table:table") {
                doc.tables.append(OdtTable{});
                table = int(doc.tables.size()) - 1;
                row = -1;
            } else if (n == u"table:table-column" && table >= 0) {
                doc.tables[table].columnWidths.append(
                    columnStyles.value(a.value(QLatin1String("table:style-name")).toString()));
            } else if (n == u"table:table-row" && table >= 0) {
                ++row;
                column = -1;
                ++doc.tables[table].rows;
            } else if (n == u"table:table-cell" && table >= 0) {
                ++column;
            } else if (n == u"text:p") {
                doc.paragraphs.append(OdtParagraph{});
                paragraph = &doc.paragraphs.last();
                paragraph->centred = centredStyles.value(a.value(QLatin1String("text:style-name")).toString());
                paragraph->table = table;
                paragraph->row = table >= 0 ? row : -1;
                paragraph->column = table >= 0 ? column : -1;
                allBold = allItalic = true;
                anyText = false;
            } else if (n == u"text:span") {
                spans.append(textStyles.value(a.value(QLatin1String("text:style-name")).toString()));
            } else if (n == u"text:tab" && paragraph) {
                paragraph->text += u'\t';
            } else if (n == u"text:s" && paragraph) {
                paragraph->text += QString(qMax(1, a.value(QLatin1String("text:c")).toInt()), u' ');
            } else if (n == u"text:line-break" && paragraph) {
                paragraph->text += u'\n';
            } else if (n == u"draw:frame" && paragraph) {
                paragraph->pictureWidths.append(points(a.value(QLatin1String("svg:width"))));
            } else if (n == u"draw:image" && paragraph) {
                paragraph->pictures.append(a.value(QLatin1String("xlink:href")).toString());
            }
        } else if (r.isEndElement()) {
            if (n == u"text:span" && !spans.isEmpty()) {
                spans.removeLast();
            } else if (n == u"text:p" && paragraph) {
                paragraph->bold = anyText && allBold;
                paragraph->italic = anyText && allItalic;
                paragraph = nullptr;
            } else if (n == u"table:table") {
                table = -1;
            }
        } else if (r.isCharacters() && paragraph && !r.isWhitespace()) {
            const TextStyle t = spans.isEmpty() ? TextStyle{} : spans.last();
            if (!anyText)
                paragraph->pointSize = t.size;
            anyText = true;
            allBold = allBold && t.bold;
            allItalic = allItalic && t.italic;
            paragraph->text += r.text();
        } else if (r.isCharacters() && paragraph && !r.text().contains(u'\n')) {
            paragraph->text += r.text(); // blanks inside a paragraph
        }
    }
    if (r.hasError())
        doc.error = r.errorString();
    return doc;
}
