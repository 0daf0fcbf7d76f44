#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>

// A picture as the bank stores it: bitmap bytes of one colour.
inline QByteArray BitmapBytes(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}
