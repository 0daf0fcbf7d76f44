#include "xlsxreader.h"

#include "zipreader.h"

#include <QXmlStreamReader>

namespace {

struct Font
{
    double size = 0;
    bool bold = false;
    bool italic = false;
};

QStringList sharedStrings(const QByteArray& xml)
{
    QStringList strings;
    QXmlStreamReader r(xml);
    QString current;
    bool inItem = false;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == u"si") {
            inItem = true;
            current.clear();
        } else if (r.isStartElement() && r.name() == u"t" && inItem) {
            current += r.readElementText();
        } else if (r.isEndElement() && r.name() == u"si") {
            strings.append(current);
            inItem = false;
        }
    }
    return strings;
}

QList<XlsxStyle> styles(const QByteArray& xml)
{
    QMap<int, QString> formats;
    QList<Font> fonts;
    QList<bool> borders;
    QList<XlsxStyle> result;
    QXmlStreamReader r(xml);
    QString section;
    int sides = 0;
    while (!r.atEnd()) {
        r.readNext();
        const auto a = r.attributes();
        if (r.isStartElement()) {
            const auto n = r.name();
            if (n == u"fonts" || n == u"borders" || n == u"cellXfs" || n == u"cellStyleXfs" || n == u"numFmts") {
                section = n.toString();
            } else if (n == u"numFmt") {
                formats.insert(a.value(QLatin1String("numFmtId")).toInt(),
                               a.value(QLatin1String("formatCode")).toString());
            } else if (section == u"fonts" && n == u"font") {
                fonts.append(Font{});
            } else if (section == u"fonts" && n == u"sz") {
                fonts.last().size = a.value(QLatin1String("val")).toDouble();
            } else if (section == u"fonts" && n == u"b") {
                fonts.last().bold = true;
            } else if (section == u"fonts" && n == u"i") {
                fonts.last().italic = true;
            } else if (section == u"borders" && n == u"border") {
                borders.append(false);
                sides = 0;
            } else if (section == u"borders" && (n == u"left" || n == u"right" || n == u"top" || n == u"bottom")) {
                if (a.value(QLatin1String("style")) == u"thin" && ++sides == 4)
                    borders.last() = true;
            } else if (section == u"cellXfs" && n == u"xf") {
                XlsxStyle s;
                const Font f = fonts.value(a.value(QLatin1String("fontId")).toInt());
                s.fontSize = f.size;
                s.bold = f.bold;
                s.italic = f.italic;
                s.bordered = borders.value(a.value(QLatin1String("borderId")).toInt());
                s.numberFormat = formats.value(a.value(QLatin1String("numFmtId")).toInt());
                result.append(s);
            } else if (section == u"cellXfs" && n == u"alignment") {
                result.last().horizontal = a.value(QLatin1String("horizontal")).toString();
                result.last().vertical = a.value(QLatin1String("vertical")).toString();
                result.last().wrap = a.value(QLatin1String("wrapText")) == u"1";
            }
        } else if (r.isEndElement() && r.name().toString() == section) {
            section.clear();
        }
    }
    return result;
}

} // namespace

const XlsxStyle& XlsxSheet::styleOf(const QString& cell) const
{
    static const XlsxStyle none;
    const int index = cells.value(cell).style;
    return index < styles.size() ? styles[index] : none;
}

XlsxSheet ReadXlsxSheet(const QString& path)
{
    XlsxSheet sheet;
    const ZipMembers zip = ReadZip(path);
    if (!zip.error.isEmpty()) {
        sheet.error = zip.error;
        return sheet;
    }
    const QByteArray xml = zip.members.value(QStringLiteral("xl/worksheets/sheet1.xml"));
    if (xml.isEmpty()) {
        sheet.error = QStringLiteral("no first sheet");
        return sheet;
    }
    const QStringList strings = sharedStrings(zip.members.value(QStringLiteral("xl/sharedStrings.xml")));
    sheet.styles = styles(zip.members.value(QStringLiteral("xl/styles.xml")));
    QXmlStreamReader r(xml);
    QString cellName;
    XlsxCell cell;
    QString type;
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement()) {
            if (r.isEndElement() && r.name() == u"c")
                sheet.cells.insert(cellName, cell);
            continue;
        }
        const auto a = r.attributes();
        if (r.name() == u"col") {
            for (int c = a.value(QLatin1String("min")).toInt(); c <= a.value(QLatin1String("max")).toInt(); ++c)
                sheet.columnWidths.insert(c, a.value(QLatin1String("width")).toDouble());
        } else if (r.name() == u"row" && a.hasAttribute(QLatin1String("ht"))) {
            sheet.rowHeights.insert(a.value(QLatin1String("r")).toInt(), a.value(QLatin1String("ht")).toDouble());
        } else if (r.name() == u"c") {
            cellName = a.value(QLatin1String("r")).toString();
            cell = {};
            cell.style = a.value(QLatin1String("s")).toInt();
            type = a.value(QLatin1String("t")).toString();
        } else if (r.name() == u"v") {
            const QString v = r.readElementText();
            if (type == u"s") {
                cell.isString = true;
                cell.text = strings.value(v.toInt());
            } else {
                cell.isNumber = true;
                cell.number = v.toDouble();
                cell.text = v;
            }
        }
    }
    if (r.hasError())
        sheet.error = r.errorString();
    return sheet;
}
