#include "gui/mainwindow/serverlogo.h"

#include <QFile>
#include <QIODevice>
#include <QImageReader>
#include <QPixmap>

namespace ORVO {
namespace serverlogo {

namespace {

// The server's logos are PNG files (the paths it serves them from say so).
// Other formats cost more to decode than their size shows: a progressive
// JPEG may take minutes over a few megabytes of scans.
const char Format[] = "png";
// A PNG declares its size before its data: one larger than these is refused
// before anything is decoded, so a picture costs at most 64 MiB of pixels.
// The file's size bounds the rest: zlib inflates at most about 1,000 bytes
// from one, and the decoder inflates whatever the file carries, so 1 MiB is
// about a gigabyte of inflation, 1 to 3 s, at worst. A logo of a few
// megapixels, as servers send, is well within all three.
const qint64 MaxBytes = 1024 * 1024;
const int MaxSide = 8192;
const qint64 MaxPixels = 16 * 1024 * 1024;

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
    QImageReader reader(device, Format);
    // No other format's reader is tried in its place.
    reader.setAutoDetectImageFormat(false);
    const QSize size = reader.canRead() ? reader.size() : QSize();
    if (size.isEmpty()) {
        *why = QStringLiteral("not a PNG picture");
        return QImage();
    }
    if (size.width() > MaxSide || size.height() > MaxSide ||
        qint64(size.width()) * size.height() > MaxPixels) {
        *why = QStringLiteral("a picture of %1 x %2 pixels").arg(size.width()).arg(size.height());
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
