#pragma once

#include <QList>
#include <QMap>
#include <QString>

// The first sheet of an .xlsx workbook as its XML parts hold it, for reading written sheets back.
struct XlsxStyle
{
    double fontSize = 0;
    bool bold = false;
    bool italic = false;
    QString horizontal; // "center", ...; empty when not set
    QString vertical;
    bool wrap = false;
    bool bordered = false; // thin lines on all four sides
    QString numberFormat;  // the format code of a custom format, empty for the built-in ones
};

struct XlsxCell
{
    bool isString = false;
    bool isNumber = false;
    QString text;
    double number = 0;
    int style = 0;
};

struct XlsxSheet
{
    QString error;                  // empty when read whole
    QMap<QString, XlsxCell> cells;  // by name: "A4"
    QMap<int, double> columnWidths; // 1-based
    QMap<int, double> rowHeights;   // 1-based
    QList<XlsxStyle> styles;        // cellXfs by index

    bool has(const QString& cell) const { return cells.contains(cell); }
    const XlsxStyle& styleOf(const QString& cell) const;
};

XlsxSheet ReadXlsxSheet(const QString& path);
