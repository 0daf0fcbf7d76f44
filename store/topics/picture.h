#pragma once

#include <QByteArray>
#include <QString>

// Pictures of questions and answers are stored as one Windows bitmap in the BMP file layout
// ("BM" first). A picture file whose extension contains "jp" is decoded as JPEG; any other file
// must be a Windows bitmap. Either way the decoded image is written out again as a BMP, so the
// store only ever holds the one layout that every program can show.
//
// A file that is not a valid picture of its kind throws AppError naming the file; nothing is
// half-decoded into the result.
namespace Picture {

// Larger images are refused rather than decoded: a question picture is a screen's worth at most,
// and a damaged header must not make the program allocate gigabytes.
static constexpr int MaxSide = 16384;
static constexpr qint64 MaxPixels = 64LL * 1024 * 1024;

bool IsJpegName(const QString& fileName);

// The bitmap bytes of a decoded JPEG stream.
QByteArray JpegToBmp(const QByteArray& jpeg);
// A Windows bitmap, checked and written out again in the stored layout.
QByteArray BitmapToBmp(const QByteArray& bitmap);
// By the file's extension, as above. The name is only used for the kind and for messages.
QByteArray DecodeToBmp(const QByteArray& bytes, const QString& fileName);
// Reads the file and decodes it.
QByteArray LoadPictureFile(const QString& path);

} // namespace Picture
