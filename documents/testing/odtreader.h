#pragma once

#include <QList>
#include <QMap>
#include <QString>

// The body of an .odt text document as its content.xml holds it, for reading written documents
// back: the paragraphs in order (those in table cells too) with their look, and the tables.
struct OdtParagraph
{
    QString text; // tabs as "\t"
    bool centred = false;
    bool bold = false;           // every piece of its text is bold
    bool italic = false;         // every piece of its text is italic
    double pointSize = 0;        // of its first piece of text
    QList<double> pictureWidths; // in points, one per picture
    QList<QString> pictures;     // the members the pictures refer to
    int table = -1;              // the table it stands in, -1 when none
    int row = -1;
    int column = -1;
};

struct OdtTable
{
    QList<double> columnWidths; // in points
    int rows = 0;
};

struct OdtDocument
{
    QString error; // empty when read whole
    QList<OdtParagraph> paragraphs;
    QList<OdtTable> tables;
    QMap<QString, QByteArray> members;

    // The paragraphs outside tables.
    QList<OdtParagraph> body() const;
    // The cells' texts of a table, row by row.
    QList<QStringList> cells(int table) const;
};

OdtDocument ReadOdt(const QString& path);
