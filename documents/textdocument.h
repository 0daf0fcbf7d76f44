#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextDocument>

class QImage;

// A text document built paragraph by paragraph and written as OpenDocument text (.odt). Every
// block carries its own font settings, so nothing of one block leaks into the next.
class TextDocumentBuilder
{
public:
    static constexpr qreal DefaultPointSize = 12;

    struct Style
    {
        qreal pointSize = DefaultPointSize;
        bool bold = false;
        bool italic = false;
        bool centred = false;
    };

    TextDocumentBuilder();

    // A paragraph; line ends inside the text (CR, LF or both) start further paragraphs alike.
    void paragraph(const QString& text, const Style& style);
    void emptyParagraph() { paragraph({}, {}); }
    // A paragraph holding the picture, `scale` times its natural size.
    void picture(const QImage& image, qreal scale = 1.0);
    // A table with a header row; widths in points, one per column.
    void table(const QStringList& header, const Style& headerStyle, const QList<QStringList>& rows,
               const Style& bodyStyle, const QList<qreal>& widths);

    const QTextDocument& document() const { return m_document; }
    // Writes the document; AppError when the file cannot be written.
    void write(const QString& path) const;

private:
    QTextCursor nextBlock(const Style& style);

    QTextDocument m_document;
    int m_pictures = 0;
    bool m_started = false; // the document's first, empty block is in use
};
