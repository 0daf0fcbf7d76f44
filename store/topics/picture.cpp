#include "picture.h"

#include "apperror.h"
#include "topicstexts.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <csetjmp>
#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>

namespace Picture {

namespace {

// libjpeg reports a fatal error by calling error_exit, whose default ends the process. Ours jumps
// back into the one frame that called libjpeg; that frame holds nothing that needs destroying, so
// the jump skips no destructor, and the caller turns the failure into AppError.
struct JpegJob
{
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    std::jmp_buf back{};
    char message[JMSG_LENGTH_MAX]{};
};

void jobFailed(j_common_ptr cinfo)
{
    JpegJob* job = reinterpret_cast<JpegJob*>(cinfo->client_data);
    (*cinfo->err->format_message)(cinfo, job->message);
    std::longjmp(job->back, 1);
}

void jobMessage(j_common_ptr cinfo, int level)
{
    // A stream that ends early would be drawn with a grey remainder: half a picture. That is a
    // failure here; the other warnings are about damage libjpeg repairs, and stay silent.
    if (level < 0 && (cinfo->err->msg_code == JWRN_JPEG_EOF || cinfo->err->msg_code == JWRN_HIT_MARKER))
        jobFailed(cinfo);
}

bool readHeader(JpegJob* job, const unsigned char* data, unsigned long size)
{
    if (setjmp(job->back))
        return false;
    jpeg_mem_src(&job->cinfo, data, size);
    jpeg_read_header(&job->cinfo, TRUE);
    if (job->cinfo.jpeg_color_space == JCS_CMYK || job->cinfo.jpeg_color_space == JCS_YCCK)
        job->cinfo.out_color_space = JCS_CMYK;
    else
        job->cinfo.out_color_space = JCS_RGB;
    return true;
}

bool startDecoding(JpegJob* job)
{
    if (setjmp(job->back))
        return false;
    jpeg_start_decompress(&job->cinfo);
    return true;
}

// Decodes every scan line into rows of the given image memory (bytesPerLine apart).
bool decodeRows(JpegJob* job, unsigned char* bits, long bytesPerLine)
{
    if (setjmp(job->back))
        return false;
    while (job->cinfo.output_scanline < job->cinfo.output_height) {
        JSAMPROW row = bits + long(job->cinfo.output_scanline) * bytesPerLine;
        jpeg_read_scanlines(&job->cinfo, &row, 1);
    }
    jpeg_finish_decompress(&job->cinfo);
    return true;
}

[[noreturn]] void failPicture(const QString& name, const QString& cause)
{
    throw AppError(QString::fromUtf8(TopicsText::BadPicture).arg(name, cause));
}

void checkSize(const QSize& size, const QString& name)
{
    if (size.width() <= 0 || size.height() <= 0 || size.width() > MaxSide || size.height() > MaxSide ||
        qint64(size.width()) * size.height() > MaxPixels)
        failPicture(name, QString::fromUtf8(TopicsText::PictureTooLarge).arg(size.width()).arg(size.height()));
}

QByteArray imageToBmp(const QImage& image, const QString& name)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(image))
        failPicture(name, writer.errorString());
    return out;
}

QByteArray decodeJpeg(const QByteArray& jpeg, const QString& name)
{
    JpegJob job;
    job.cinfo.err = jpeg_std_error(&job.err);
    job.err.error_exit = jobFailed;
    job.err.emit_message = jobMessage;
    job.cinfo.client_data = &job;
    jpeg_create_decompress(&job.cinfo);
    struct Destroy
    {
        JpegJob& job;
        ~Destroy() { jpeg_destroy_decompress(&job.cinfo); }
    } destroy{job};

    if (jpeg.isEmpty() ||
        !readHeader(&job, reinterpret_cast<const unsigned char*>(jpeg.constData()), (unsigned long)jpeg.size()))
        failPicture(name, job.message[0] ? QString::fromLatin1(job.message)
                                         : QString::fromUtf8(TopicsText::EmptyPictureFile));
    checkSize(QSize(int(job.cinfo.image_width), int(job.cinfo.image_height)), name);
    if (!startDecoding(&job))
        failPicture(name, QString::fromLatin1(job.message));
    const bool cmyk = job.cinfo.out_color_space == JCS_CMYK;
    const int components = job.cinfo.output_components;
    if ((cmyk && components != 4) || (!cmyk && components != 3))
        failPicture(name, QString::fromUtf8(TopicsText::UnsupportedJpegColours));

    QImage image(int(job.cinfo.output_width), int(job.cinfo.output_height),
                 cmyk ? QImage::Format_RGB32 : QImage::Format_RGB888);
    if (image.isNull())
        failPicture(name, QString::fromUtf8(TopicsText::PictureTooLarge).arg(image.width()).arg(image.height()));
    if (!decodeRows(&job, image.bits(), long(image.bytesPerLine())))
        failPicture(name, QString::fromLatin1(job.message));

    if (cmyk) {
        // Adobe writes CMYK inverted; each pixel was decoded into the four bytes of an RGB32 word.
        const bool inverted = job.cinfo.saw_Adobe_marker;
        for (int y = 0; y < image.height(); ++y) {
            uchar* p = image.scanLine(y);
            QRgb* out = reinterpret_cast<QRgb*>(p);
            for (int x = 0; x < image.width(); ++x) {
                int c = p[4 * x], m = p[4 * x + 1], yy = p[4 * x + 2], k = p[4 * x + 3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    yy = 255 - yy;
                    k = 255 - k;
                }
                out[x] = qRgb(c * k / 255, m * k / 255, yy * k / 255);
            }
        }
    }
    return imageToBmp(image, name);
}

} // namespace

bool IsJpegName(const QString& fileName)
{
    return QFileInfo(fileName).suffix().toLower().contains(QLatin1String("jp"));
}

QByteArray JpegToBmp(const QByteArray& jpeg)
{
    return decodeJpeg(jpeg, QString());
}

QByteArray BitmapToBmp(const QByteArray& bitmap)
{
    return DecodeToBmp(bitmap, QString());
}

QByteArray DecodeToBmp(const QByteArray& bytes, const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    if (IsJpegName(fileName))
        return decodeJpeg(bytes, name);

    if (!bytes.startsWith("BM"))
        failPicture(name, QString::fromUtf8(TopicsText::NotABitmap));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid())
        failPicture(name, QString::fromUtf8(TopicsText::NotABitmap));
    checkSize(size, name);
    QImage image;
    if (!reader.read(&image) || image.isNull())
        failPicture(name, reader.errorString());
    return imageToBmp(image, name);
}

QByteArray LoadPictureFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QString::fromUtf8(TopicsText::CannotReadFile).arg(path, file.errorString()));
    if (file.size() > MaxPixels * 4 + 1024)
        failPicture(QFileInfo(path).fileName(), QString::fromUtf8(TopicsText::PictureFileTooLarge));
    return DecodeToBmp(file.readAll(), path);
}

} // namespace Picture
