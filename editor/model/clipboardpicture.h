#pragma once

#include <QImage>
#include <QStringList>

class QMimeData;

// What a picture paste takes from the clipboard: a bitmap as it is offered (what is transparent in
// it on white), or a drawn picture (SVG, what drawing programs offer on Linux) drawn on white onto
// a new bitmap of its own width and height.
namespace ClipboardPicture {

// The formats of a drawn picture, in the order they are taken.
QStringList DrawnFormats();
// The clipboard offers a bitmap or a drawn picture.
bool Offered(const QMimeData* data);
// The offered picture as a bitmap; a null image when none is offered. A drawn picture that cannot
// be drawn raises an AppError with the reason.
QImage Take(const QMimeData* data);

} // namespace ClipboardPicture
