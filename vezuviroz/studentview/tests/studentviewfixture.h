#pragma once

#include "studentviewmodel.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>

// Sample data of the student view's tests and screenshots.
namespace viewfixture {

// A picture as the store keeps pictures (BMP bytes): water on sand.
inline QByteArray picture(int width, int height, const QColor& water = QColor(70, 130, 200))
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(QColor(235, 225, 190));
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(water);
    p.drawEllipse(QRect(width / 8, height / 8, width * 3 / 4, height * 3 / 4));
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

// A row of a computer in the middle of a 20-minute test.
inline StudentViewRow row(const QString& results)
{
    StudentViewRow r;
    r.address = QStringLiteral("192.168.0.5");
    r.results = results;
    r.timeLimit = true;
    r.maxTime = 20 * 60;
    r.timeRemain = 600;
    r.takePartialRight = true;
    r.priceSum = 16;
    r.questionsGiven = true;
    r.topicId = 7;
    return r;
}

} // namespace viewfixture
