#include "clipboardpicture.h"

#include "apperror.h"
#include "editortexts.h"

#include <QMimeData>
#include <QPainter>
#include <QSvgRenderer>

namespace ClipboardPicture {

QStringList DrawnFormats()
{
    // The renderer unpacks the compressed form itself.
    return {QStringLiteral("image/svg+xml"), QStringLiteral("image/svg+xml-compressed")};
}

namespace {

QString drawnFormat(const QMimeData* data)
{
    for (const QString& format : DrawnFormats())
        if (data->hasFormat(format))
            return format;
    return {};
}

QImage bitmapOf(const QMimeData* data)
{
    return data->hasImage() ? qvariant_cast<QImage>(data->imageData()) : QImage();
}

// A bitmap has no transparency: what is transparent stands on white paper, as a drawing does.
QImage onWhite(const QImage& image)
{
    if (!image.hasAlphaChannel())
        return image;
    QImage paper(image.size(), QImage::Format_RGB32);
    paper.fill(Qt::white);
    QPainter(&paper).drawImage(0, 0, image);
    return paper;
}

QImage draw(const QByteArray& drawing)
{
    QSvgRenderer renderer(drawing);
    if (!renderer.isValid())
        throw AppError(QString::fromUtf8(EditorText::DrawingNotRead));
    const QSize size = renderer.defaultSize();
    if (size.isEmpty())
        throw AppError(QString::fromUtf8(EditorText::DrawingWithoutSize));
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) // more than memory allows
        throw AppError(QString::fromUtf8(EditorText::DrawingTooLarge).arg(size.width()).arg(size.height()));
    image.fill(Qt::white);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

} // namespace

bool Offered(const QMimeData* data)
{
    return data && (data->hasImage() || !drawnFormat(data).isEmpty());
}

QImage Take(const QMimeData* data)
{
    if (!data)
        return {};
    // Some platforms offer a drawing as a bitmap too, decoded with its transparency.
    const QImage bitmap = bitmapOf(data);
    if (!bitmap.isNull())
        return onWhite(bitmap);
    const QString format = drawnFormat(data);
    return format.isEmpty() ? QImage() : draw(data->data(format));
}

} // namespace ClipboardPicture
