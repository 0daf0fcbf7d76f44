#include "archive.h"

#include "apperror.h"
#include "codec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <zlib.h>

namespace {

// Data is streamed in pieces of this size; no file is ever held whole in memory.
static constexpr qsizetype PieceSize = 64 * 1024;
static constexpr int CompressionLevel = 9;
// Longer names cannot be file names on any file system the programs run on; a longer length means
// a damaged archive, and refusing it keeps a damaged length from becoming a huge allocation.
static constexpr qint32 MaxNameLength = 1024;
// The smallest possible entry: name length, a one-byte name, size, and the shortest zlib stream
// (2-byte header, a 2-byte empty fixed-Huffman block, 4-byte Adler-32).
static constexpr qint64 MinEntryBytes = 4 + 1 + 4 + 8;
// Deflate cannot expand more than 258 bytes out of 2 bits; a size beyond what the rest of the
// archive could inflate to is damage, found before any file is created.
static constexpr qint64 MaxInflateRatio = 1032;

QString openError(const QString& path, const QString& reason)
{
    return QStringLiteral("Не удалось открыть файл \"%1\": %2").arg(QDir::toNativeSeparators(path), reason);
}

QString createError(const QString& path, const QString& reason)
{
    return QStringLiteral("Не удалось создать файл \"%1\": %2").arg(QDir::toNativeSeparators(path), reason);
}

QString writeError(const QString& path, const QString& reason)
{
    return QStringLiteral("Не удалось записать файл \"%1\": %2").arg(QDir::toNativeSeparators(path), reason);
}

QString readError(const QString& path, const QString& reason)
{
    return QStringLiteral("Не удалось прочитать файл \"%1\": %2").arg(QDir::toNativeSeparators(path), reason);
}

QString damaged(const QString& archivePath, const QString& reason)
{
    return QStringLiteral("Архив \"%1\" повреждён: %2").arg(QDir::toNativeSeparators(archivePath), reason);
}

QString zlibText(const z_stream& zs, int rc)
{
    if (zs.msg)
        return QString::fromLatin1(zs.msg);
    switch (rc) {
    case Z_NEED_DICT:
        return QStringLiteral("need dictionary");
    case Z_MEM_ERROR:
        return QStringLiteral("insufficient memory");
    default:
        return QStringLiteral("zlib error %1").arg(rc);
    }
}

} // namespace

QString PortableEntryName(const QString& name)
{
    static const QString notInWindowsNames = QStringLiteral("\\/:*?\"<>|");
    QString portable;
    portable.reserve(name.size());
    for (const char32_t c : name.toUcs4()) {
        const bool fits = c >= 0x20 && canEncodeCp1251(c) && !notInWindowsNames.contains(QChar(c));
        portable += fits ? QString::fromUcs4(&c, 1) : QStringLiteral("_");
    }
    return portable;
}

namespace {

// Windows-style paths ("C:\Work\x.top") are cut as well as our own, so that a list made on either
// system stores bare names.
QString bareName(const QString& path)
{
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    QString name = path.mid(cut + 1);
    if (name.size() >= 2 && name[1] == QLatin1Char(':') && name[0].isLetter() && name[0].unicode() < 0x80)
        name.remove(0, 2);
    return name;
}

// An entry name must stay inside the folder it is unpacked into.
bool isSafeEntryName(const QByteArray& name)
{
    if (name.isEmpty() || name == "." || name == "..")
        return false;
    if (name.contains('/') || name.contains('\\') || name.contains('\0'))
        return false;
    const char first = name[0];
    const bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    return !(name.size() >= 2 && letter && name[1] == ':');
}

class ZStreamGuard
{
public:
    ZStreamGuard(z_stream& zs, int (*end)(z_stream*)) : m_zs(zs), m_end(end) {}
    ~ZStreamGuard() { m_end(&m_zs); }
    ZStreamGuard(const ZStreamGuard&) = delete;
    ZStreamGuard& operator=(const ZStreamGuard&) = delete;

private:
    z_stream& m_zs;
    int (*m_end)(z_stream*);
};

void writeAll(QIODevice& out, const QString& outPath, const char* data, qint64 size)
{
    if (size > 0 && out.write(data, size) != size)
        throw AppError(writeError(outPath, out.errorString()));
}

void writeInt32(QIODevice& out, const QString& outPath, qint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    writeAll(out, outPath, bytes, 4);
}

// Writes one entry: header, then the source deflated straight into the archive piece by piece.
void packEntry(QIODevice& archive, const QString& archivePath, const QString& path)
{
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        throw AppError(openError(path, source.errorString()));
    if (source.isSequential() || QFileInfo(path).isDir())
        throw AppError(openError(path, QStringLiteral("это не обычный файл")));
    const qint64 size = source.size();
    if (size > std::numeric_limits<qint32>::max())
        throw AppError(QStringLiteral("Файл \"%1\" нельзя упаковать: его размер %2 байт, а архив вмещает файлы "
                                      "меньше 2 ГБ")
                           .arg(QDir::toNativeSeparators(path))
                           .arg(size));
    const QByteArray name = toCp1251(bareName(path));
    if (!isSafeEntryName(name))
        throw AppError(
            QStringLiteral("Файл \"%1\" нельзя упаковать: недопустимое имя").arg(QDir::toNativeSeparators(path)));

    writeInt32(archive, archivePath, qint32(name.size()));
    writeAll(archive, archivePath, name.constData(), name.size());
    writeInt32(archive, archivePath, qint32(size));

    z_stream zs{};
    int rc = deflateInit(&zs, CompressionLevel);
    if (rc != Z_OK)
        throw AppError(
            QStringLiteral("Не удалось сжать файл \"%1\": %2").arg(QDir::toNativeSeparators(path), zlibText(zs, rc)));
    ZStreamGuard guard(zs, deflateEnd);

    QByteArray in(PieceSize, Qt::Uninitialized);
    QByteArray out(PieceSize, Qt::Uninitialized);
    qint64 total = 0;
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        const qint64 got = source.read(in.data(), PieceSize);
        if (got < 0)
            throw AppError(readError(path, source.errorString()));
        total += got;
        // The size is already written; a file that grows while it is read would break the entry.
        if (total > size)
            break;
        flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
        zs.next_in = reinterpret_cast<Bytef*>(in.data());
        zs.avail_in = uInt(got);
        do {
            zs.next_out = reinterpret_cast<Bytef*>(out.data());
            zs.avail_out = uInt(PieceSize);
            rc = deflate(&zs, flush);
            if (rc == Z_STREAM_ERROR)
                throw AppError(QStringLiteral("Не удалось сжать файл \"%1\": %2")
                                   .arg(QDir::toNativeSeparators(path), zlibText(zs, rc)));
            writeAll(archive, archivePath, out.constData(), PieceSize - zs.avail_out);
        } while (zs.avail_out == 0);
    }
    if (total != size)
        throw AppError(QStringLiteral("Файл \"%1\" изменился во время упаковки").arg(QDir::toNativeSeparators(path)));
}

// An unpacked file, written under a temporary name beside its place and renamed over it at the
// end, so that it appears whole or not at all and a damaged entry never clobbers an existing file.
// Unlike archives it is not forced to disk: it is a working copy of what the archive keeps, and
// syncing every unpacked file would cost more than inflating it.
class UnpackedFile
{
public:
    static constexpr int NameAttempts = 100;

    explicit UnpackedFile(const QString& path) : m_path(path)
    {
        const QDir dir = QFileInfo(path).dir();
        for (int attempt = 0; attempt < NameAttempts; ++attempt) {
            m_file.setFileName(
                dir.filePath(QStringLiteral(".unpack-%1.part")
                                 .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'))));
            if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                return;
            if (!QFileInfo::exists(m_file.fileName())) // not a clash of names: no use trying again
                break;
        }
        throw AppError(createError(path, m_file.errorString()));
    }
    ~UnpackedFile()
    {
        if (!m_committed) {
            m_file.close();
            QFile::remove(m_file.fileName());
        }
    }
    UnpackedFile(const UnpackedFile&) = delete;
    UnpackedFile& operator=(const UnpackedFile&) = delete;

    QIODevice& device() { return m_file; }

    void commit()
    {
        if (!m_file.flush())
            throw AppError(writeError(m_path, m_file.errorString()));
        m_file.close();
        if (std::rename(QFile::encodeName(m_file.fileName()).constData(), QFile::encodeName(m_path).constData()) != 0)
            throw AppError(writeError(m_path, QString::fromLocal8Bit(std::strerror(errno))));
        m_committed = true;
    }

private:
    QString m_path;
    QFile m_file;
    bool m_committed = false;
};

// Reads an archive through its own buffer. The inflater consumes from the same buffer, so whatever
// it read beyond the end of a stream simply stays there for the next entry's header.
class ArchiveReader
{
public:
    explicit ArchiveReader(const QString& path) : m_path(path), m_file(path)
    {
        if (!m_file.open(QIODevice::ReadOnly))
            throw AppError(openError(path, m_file.errorString()));
        m_total = m_file.size();
    }

    // The number of entries; 0 when there are none (a count of 0 or less).
    qint32 readCount()
    {
        const qint32 count = readInt32();
        if (count <= 0)
            return 0;
        if (count > remaining() / MinEntryBytes)
            throw AppError(
                damaged(m_path, QStringLiteral("заявлено файлов: %1, столько в нём поместиться не может").arg(count)));
        return count;
    }

    TZLibEntry readEntryHeader()
    {
        const qint32 nameLength = readInt32();
        if (nameLength <= 0 || nameLength > MaxNameLength || nameLength > remaining())
            throw AppError(damaged(m_path, QStringLiteral("недопустимая длина имени файла: %1").arg(nameLength)));
        const QByteArray name = readBytes(nameLength);
        const QString decoded = fromCp1251(name);
        if (!isSafeEntryName(name))
            throw AppError(damaged(m_path, QStringLiteral("недопустимое имя файла \"%1\"").arg(decoded)));
        const qint32 size = readInt32();
        if (size < 0 || size > remaining() * MaxInflateRatio)
            throw AppError(
                damaged(m_path, QStringLiteral("недопустимый размер файла \"%1\": %2").arg(decoded).arg(size)));
        return {decoded, size};
    }

    // Inflates one entry's stream into out (nullptr: only check it) and stops exactly after its
    // Adler-32. The stream must give exactly size bytes.
    void inflateEntry(const TZLibEntry& entry, QIODevice* out, const QString& outPath)
    {
        z_stream zs{};
        int rc = inflateInit(&zs);
        if (rc != Z_OK)
            throw AppError(damaged(m_path, zlibText(zs, rc)));
        ZStreamGuard guard(zs, inflateEnd);

        if (m_out.isEmpty())
            m_out.resize(PieceSize);
        qint64 left = entry.size;
        for (;;) {
            if (m_pos == m_end && !fill())
                throw AppError(
                    damaged(m_path, QStringLiteral("сжатые данные файла \"%1\" обрываются").arg(entry.name)));
            const uInt available = uInt(m_end - m_pos);
            zs.next_in = reinterpret_cast<Bytef*>(m_buffer.data() + m_pos);
            zs.avail_in = available;
            // Once size bytes are out, one spare byte of room shows whether the stream holds more.
            const uInt room = left > 0 ? uInt(std::min<qint64>(left, PieceSize)) : 1;
            zs.next_out = reinterpret_cast<Bytef*>(m_out.data());
            zs.avail_out = room;
            rc = inflate(&zs, Z_NO_FLUSH);
            m_pos += available - zs.avail_in;
            const qint64 produced = room - zs.avail_out;
            if (left == 0 && produced > 0)
                throw AppError(damaged(m_path, QStringLiteral("сжатые данные файла \"%1\" длиннее его размера %2")
                                                   .arg(entry.name)
                                                   .arg(entry.size)));
            if (out)
                writeAll(*out, outPath, m_out.constData(), produced);
            left -= produced;
            if (rc == Z_STREAM_END) {
                if (left > 0)
                    throw AppError(damaged(m_path, QStringLiteral("сжатые данные файла \"%1\" короче его размера %2")
                                                       .arg(entry.name)
                                                       .arg(entry.size)));
                return;
            }
            if (rc != Z_OK && !(rc == Z_BUF_ERROR && (available != zs.avail_in || produced > 0)))
                throw AppError(damaged(m_path, zlibText(zs, rc)));
        }
    }

private:
    qint64 remaining() const { return m_total - (m_file.pos() - (m_end - m_pos)); }

    bool fill()
    {
        if (m_buffer.isEmpty())
            m_buffer.resize(PieceSize);
        const qint64 got = m_file.read(m_buffer.data(), PieceSize);
        if (got < 0)
            throw AppError(readError(m_path, m_file.errorString()));
        m_pos = 0;
        m_end = got;
        return got > 0;
    }

    QByteArray readBytes(qsizetype n)
    {
        QByteArray bytes;
        bytes.reserve(n);
        while (bytes.size() < n) {
            if (m_pos == m_end && !fill())
                throw AppError(damaged(m_path, QStringLiteral("архив обрывается")));
            const qsizetype take = std::min<qsizetype>(n - bytes.size(), m_end - m_pos);
            bytes.append(m_buffer.constData() + m_pos, take);
            m_pos += take;
        }
        return bytes;
    }

    qint32 readInt32() { return qFromLittleEndian<qint32>(readBytes(4).constData()); }

    QString m_path;
    QFile m_file;
    qint64 m_total = 0;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
    QByteArray m_out;
};

} // namespace

void TZLibCompression::CompressFiles(const QStringList& files, const QString& archivePath)
{
    if (files.isEmpty())
        return;
    if (files.size() > std::numeric_limits<qint32>::max())
        throw AppError(QStringLiteral("Слишком много файлов для одного архива: %1").arg(files.size()));
    QSaveFile archive(archivePath);
    if (!archive.open(QIODevice::WriteOnly))
        throw AppError(createError(archivePath, archive.errorString()));
    writeInt32(archive, archivePath, qint32(files.size()));
    for (const QString& file : files)
        packEntry(archive, archivePath, file);
    if (!archive.commit())
        throw AppError(writeError(archivePath, archive.errorString()));
}

void TZLibCompression::CompressFile(const QString& file, const QString& archivePath)
{
    if (file.isEmpty())
        return;
    CompressFiles({file}, archivePath);
}

QList<TZLibEntry> TZLibCompression::DecompressFiles(const QString& archivePath, const QString& folder)
{
    ArchiveReader reader(archivePath);
    const qint32 count = reader.readCount();
    const QDir dir(folder);
    QList<TZLibEntry> entries;
    for (qint32 i = 0; i < count; ++i) {
        const TZLibEntry entry = reader.readEntryHeader();
        const QString path = dir.filePath(entry.name);
        UnpackedFile out(path);
        reader.inflateEntry(entry, &out.device(), path);
        out.commit();
        entries.append(entry);
    }
    return entries;
}

QList<TZLibEntry> TZLibCompression::ListFiles(const QString& archivePath)
{
    ArchiveReader reader(archivePath);
    const qint32 count = reader.readCount();
    QList<TZLibEntry> entries;
    for (qint32 i = 0; i < count; ++i) {
        const TZLibEntry entry = reader.readEntryHeader();
        reader.inflateEntry(entry, nullptr, {});
        entries.append(entry);
    }
    return entries;
}
