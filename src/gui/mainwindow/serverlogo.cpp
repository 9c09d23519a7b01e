#include "gui/mainwindow/serverlogo.h"

#include <QBuffer>
#include <QFile>
#include <QIODevice>
#include <QImageReader>
#include <QList>
#include <QMap>
#include <QPair>
#include <QPixmap>

#include <zlib.h>

namespace ORVO {
namespace serverlogo {

namespace {

// The server's logos are PNG files (the paths it serves them from say so).
// Other formats cost more to decode than their size shows: a progressive
// JPEG may take minutes over a few megabytes of scans.
const char Format[] = "png";
const qint64 MaxBytes = 1024 * 1024;
// A logo never needs more: the banners show at most 578 x 120. Decoded, a
// picture takes at most 4 megapixels of 8 bytes (16 bits a channel), 32 MiB,
// whatever its depth; a photograph of 2400 x 1600 still passes.
const quint32 MaxSide = 4096;
const qint64 MaxPixels = 4 * 1024 * 1024;

const QByteArray Signature("\x89PNG\r\n\x1a\n", 8);
// A chunk's length and type before its data, its CRC after.
const int ChunkFrame = 12;
// Deflate made of fixed codes only, as some small encoders write it, takes
// up to 9 bits a byte; zlib's stored blocks take less.
const qint64 DeflateSlackDivisor = 8;
const qint64 DeflateSlackBytes = 1024;

quint32 bigEndian(const char* p)
{
    const auto* u = reinterpret_cast<const uchar*>(p);
    return quint32(u[0]) << 24 | quint32(u[1]) << 16 | quint32(u[2]) << 8 | u[3];
}

// The bytes that the picture's data inflates to: a filter byte and the
// pixels of each row, of each pass when it is interlaced. 0 for a kind of
// picture that PNG does not have.
qint64 rawSize(quint32 width, quint32 height, int depth, int colour, bool interlaced)
{
    // Per colour type: channels, and the depths it may have.
    static const QMap<int, QPair<int, QList<int>>> kinds{{0, {1, {1, 2, 4, 8, 16}}},
                                                         {2, {3, {8, 16}}},
                                                         {3, {1, {1, 2, 4, 8}}},
                                                         {4, {2, {8, 16}}},
                                                         {6, {4, {8, 16}}}};
    const auto kind = kinds.constFind(colour);
    if (kind == kinds.constEnd() || !kind->second.contains(depth))
        return 0;
    const qint64 bits = qint64(kind->first) * depth;
    const auto rows = [bits](qint64 w, qint64 h) {
        return w > 0 ? h * (1 + (w * bits + 7) / 8) : 0;
    };
    if (!interlaced)
        return rows(width, height);
    // Adam7: each pass's first column and row, and its steps.
    static const qint64 passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                        {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    qint64 size = 0;
    for (const auto& p : passes)
        size += rows((width - p[0] + p[2] - 1) / p[2], (height - p[1] + p[3] - 1) / p[3]);
    return size;
}

// What data inflates to, counted up to more than most; a broken stream
// counts what came before the break, which the decoder then refuses.
qint64 inflatedSize(const QByteArray& data, qint64 most)
{
    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK)
        return most + 1;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    char scratch[64 * 1024];
    qint64 size = 0;
    int rc = Z_OK;
    while (rc == Z_OK && size <= most) {
        stream.next_out = reinterpret_cast<Bytef*>(scratch);
        stream.avail_out = sizeof scratch;
        rc = inflate(&stream, Z_NO_FLUSH);
        size += qint64(sizeof scratch - stream.avail_out);
        if (rc == Z_BUF_ERROR && stream.avail_out > 0)
            break; // all of it read
        if (rc == Z_BUF_ERROR)
            rc = Z_OK;
    }
    inflateEnd(&stream);
    return size;
}

// The picture in file with nothing but its header, palette, transparency,
// data and end, each chunk as it came, in the order PNG gives them; null,
// with why, when it is no PNG picture that a logo may be. No other chunk
// reaches the decoder: it inflates compressed texts and profiles before it
// even tells the picture's size, and keeps the texts, megabytes from a few
// bytes each. The data is refused when it holds more than the rows of a
// picture of its size (the decoder inflates all of it), so what the
// decoder inflates is bounded by the size, which is bounded first.
QByteArray cleaned(const QByteArray& file, QString* why)
{
    *why = QStringLiteral("not a PNG picture");
    if (!file.startsWith(Signature))
        return QByteArray();
    QByteArray kept = Signature;
    QByteArray data;
    qint64 raw = 0;
    // The last chunk kept; each may follow only those before it.
    enum Kept { None, Header, Palette, Transparency, Data, End } last = None;
    // A chunk came after the data's: the data is over.
    bool dataOver = false;
    for (int pos = Signature.size(); last != End;) {
        const quint32 length =
            file.size() - pos >= ChunkFrame ? bigEndian(file.constData() + pos) : 0;
        if (file.size() - pos < ChunkFrame || length > quint32(file.size() - pos - ChunkFrame)) {
            *why = QStringLiteral("the file ends inside a chunk, or before its end");
            return QByteArray();
        }
        const QByteArray type = file.mid(pos + 4, 4);
        const char* body = file.constData() + pos + 8;
        const QByteArray chunk = file.mid(pos, int(length) + ChunkFrame);
        pos += int(length) + ChunkFrame;
        Kept now = None;
        if (last == None && type == "IHDR" && length == 13) {
            const quint32 width = bigEndian(body), height = bigEndian(body + 4);
            if (width == 0 || height == 0 || width > MaxSide || height > MaxSide ||
                qint64(width) * height > MaxPixels) {
                *why = QStringLiteral("a picture of %1 x %2 pixels").arg(width).arg(height);
                return QByteArray();
            }
            raw = rawSize(width, height, uchar(body[8]), uchar(body[9]), body[12] == 1);
            now = raw > 0 ? Header : None;
        } else if (type == "PLTE" && last == Header) {
            now = Palette;
        } else if (type == "tRNS" && (last == Header || last == Palette)) {
            now = Transparency;
        } else if (type == "IDAT" && last >= Header && last <= Data && !dataOver) {
            now = Data;
            data += QByteArray(body, int(length));
        } else if (type == "IEND" && last == Data) {
            now = End;
        }
        // A chunk whose name begins in a capital is one that the decoder
        // needs: unknown, repeated or out of place, it breaks the picture.
        // Nothing may come before the header.
        const bool critical = type.at(0) >= 'A' && type.at(0) <= 'Z';
        if (now == None && (critical || last == None || type == "tRNS")) {
            *why = QStringLiteral("a chunk \"%1\" out of place, or one this program does not read")
                       .arg(QString::fromLatin1(type));
            return QByteArray();
        }
        dataOver = dataOver || (last == Data && now != Data);
        if (now != None) {
            last = now;
            kept += chunk;
        }
    }
    if (data.size() > raw + raw / DeflateSlackDivisor + DeflateSlackBytes ||
        inflatedSize(data, raw) > raw) {
        *why = QStringLiteral("more image data than a picture of its size holds");
        return QByteArray();
    }
    why->clear();
    return kept;
}

} // namespace

QSize fitted(const QSize& picture, const QSize& box)
{
    if (picture.width() <= box.width() && picture.height() <= box.height())
        return picture;
    const QSize scaled = picture.scaled(box, Qt::KeepAspectRatio);
    // A thin line of a picture keeps a pixel of it.
    return QSize(qMax(1, scaled.width()), qMax(1, scaled.height()));
}

QPixmap fit(const QPixmap& picture, const QSize& box)
{
    const QSize size = fitted(picture.size(), box);
    if (picture.isNull() || size == picture.size())
        return picture;
    return picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage read(QIODevice* device, const QSize& box, QString* why)
{
    if (device->size() > MaxBytes) {
        *why =
            QStringLiteral("the file has %1 bytes, more than %2").arg(device->size()).arg(MaxBytes);
        return QImage();
    }
    QByteArray picture = cleaned(device->read(MaxBytes), why);
    if (picture.isNull())
        return QImage();
    QBuffer buffer(&picture);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, Format);
    // No other format's reader is tried in its place.
    reader.setAutoDetectImageFormat(false);
    const QSize size = reader.canRead() ? reader.size() : QSize();
    if (size.isEmpty()) {
        *why = QStringLiteral("not a PNG picture");
        return QImage();
    }
    const QSize target = fitted(size, box);
    if (target != size)
        reader.setScaledSize(target);
    QImage image;
    if (!reader.read(&image)) {
        *why = reader.errorString();
        return QImage();
    }
    return image;
}

QImage readFile(const QString& path, const QSize& box, QString* why)
{
    why->clear();
    QFile file(path);
    if (!file.exists() || file.size() == 0)
        return QImage();
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString();
        return QImage();
    }
    return read(&file, box, why);
}

} // namespace serverlogo
} // namespace ORVO
