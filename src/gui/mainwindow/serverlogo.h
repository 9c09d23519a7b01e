#pragma once

#include <QImage>
#include <QSize>
#include <QString>

class QIODevice;
class QPixmap;

namespace ORVO {

// The management server's logos are its pictures, not ours: read within
// bounds of size and format, and shown scaled down to the banner's place,
// keeping their proportions. Nothing is scaled up: a small logo keeps its
// own size, as the banner always showed it.
namespace serverlogo {

// The size that fits picture into box, keeping its proportions; picture
// itself when it fits already.
QSize fitted(const QSize& picture, const QSize& box);
// The picture scaled down to fit into box.
QPixmap fit(const QPixmap& picture, const QSize& box);
// Reads a logo from device, scaled to fit into box. A null image when it is
// not a PNG picture, or larger than a logo may be, with why for the log.
QImage read(QIODevice* device, const QSize& box, QString* why);
// The logo in the file at path, as read(); a missing or empty file is no
// logo, with no why.
QImage readFile(const QString& path, const QSize& box, QString* why);

} // namespace serverlogo
} // namespace ORVO
