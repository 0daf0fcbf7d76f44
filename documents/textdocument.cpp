#include "textdocument.h"

#include "apperror.h"

#include <QDir>
#include <QImage>
#include <QTextCursor>
#include <QTextDocumentWriter>
#include <QTextTable>
#include <QUrl>

namespace {

QTextCharFormat charFormat(const TextDocumentBuilder::Style& style)
{
    QTextCharFormat format;
    format.setFontPointSize(style.pointSize);
    format.setFontWeight(style.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(style.italic);
    return format;
}

QTextBlockFormat blockFormat(const TextDocumentBuilder::Style& style)
{
    QTextBlockFormat format;
    format.setAlignment(style.centred ? Qt::AlignHCenter : Qt::AlignLeft);
    return format;
}

// Paragraph breaks in the document's own form.
QString paragraphs(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

} // namespace

TextDocumentBuilder::TextDocumentBuilder()
{
    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSizeF(DefaultPointSize);
    m_document.setDefaultFont(font);
}

QTextCursor TextDocumentBuilder::nextBlock(const Style& style)
{
    QTextCursor cursor(&m_document);
    cursor.movePosition(QTextCursor::End);
    if (m_started)
        cursor.insertBlock(blockFormat(style), charFormat(style));
    else
        cursor.setBlockFormat(blockFormat(style));
    cursor.setBlockCharFormat(charFormat(style));
    m_started = true;
    return cursor;
}

void TextDocumentBuilder::paragraph(const QString& text, const Style& style)
{
    QTextCursor cursor = nextBlock(style);
    cursor.insertText(paragraphs(text), charFormat(style));
}

void TextDocumentBuilder::picture(const QImage& image, qreal scale)
{
    const QString name = QStringLiteral("picture%1").arg(++m_pictures);
    m_document.addResource(QTextDocument::ImageResource, QUrl(name), image);
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(image.width() * scale);
    format.setHeight(image.height() * scale);
    nextBlock({}).insertImage(format);
}

void TextDocumentBuilder::table(const QStringList& header, const Style& headerStyle, const QList<QStringList>& rows,
                                const Style& bodyStyle, const QList<qreal>& widths)
{
    QTextTableFormat format;
    QList<QTextLength> constraints;
    for (qreal width : widths)
        constraints.append(QTextLength(QTextLength::FixedLength, width));
    format.setColumnWidthConstraints(constraints);
    format.setBorder(0.5);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderCollapse(true);
    format.setCellPadding(2);
    format.setHeaderRowCount(1);
    QTextCursor cursor = nextBlock(bodyStyle);
    QTextTable* table = cursor.insertTable(int(rows.size()) + 1, int(header.size()), format);
    const auto fill = [table](int row, const QStringList& cells, const Style& style) {
        for (int column = 0; column < cells.size() && column < table->columns(); ++column) {
            QTextCursor cell = table->cellAt(row, column).firstCursorPosition();
            cell.setBlockFormat(blockFormat(style));
            cell.insertText(paragraphs(cells[column]), charFormat(style));
        }
    };
    fill(0, header, headerStyle);
    for (int row = 0; row < rows.size(); ++row)
        fill(row + 1, rows[row], bodyStyle);
}

void TextDocumentBuilder::write(const QString& path) const
{
    QTextDocumentWriter writer(path, QByteArrayLiteral("odf"));
    if (!writer.write(&m_document))
        throw AppError(
            QStringLiteral("Не удалось записать файл \"%1\": %2")
                .arg(QDir::toNativeSeparators(path), writer.device() ? writer.device()->errorString() : QString()));
}
