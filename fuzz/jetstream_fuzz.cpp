// The parent's side of the Jet reading: the frame stream that the reading child sends, decoded and
// its values converted, whatever the bytes.
#include "apperror.h"
#include "jetstream.h"

#include <QTextCodec>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static constexpr qint64 FileSize = 1 << 20;
    const char* bytes = reinterpret_cast<const char*>(data);
    int version = 0;
    QTextCodec* codec = jetstream::CodecForCodePage(1251);
    QList<jetstream::JetColumn> columns;
    jetstream::Decoder decoder(FileSize);
    decoder.onHeader = [&](int v, int codePage) {
        version = v;
        codec = jetstream::CodecForCodePage(codePage);
    };
    decoder.onColumns = [&](const QList<jetstream::JetColumn>& c) {
        columns = c;
        for (const jetstream::JetColumn& col : c)
            jetstream::ToTableColumn(col, version);
    };
    decoder.onRow = [&](const QList<QByteArray>& raw, const QList<quint8>& tags) {
        for (qsizetype i = 0; i < raw.size(); ++i)
            if (tags[i] == jetstream::TagBytes)
                jetstream::DecodeValue(columns[i], raw[i], version, codec);
    };
    try {
        // In two pieces, so that frames are also cut in the middle.
        const size_t half = size / 2;
        decoder.feed(bytes, qsizetype(half));
        decoder.feed(bytes + half, qsizetype(size - half));
    } catch (const AppError&) {
    }
    return 0;
}
