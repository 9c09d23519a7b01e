// Fuzzes the reader of the management server's logos with the bytes a
// server may send in their place (the seeds: small PNG pictures of each
// kind, one that declares 20,000 x 20,000 pixels, and one with a compressed
// text). Whatever it reads
// fits the box it was asked for, and a refusal says why.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>

#include "fuzzkit.h"
#include "gui/mainwindow/serverlogo.h"

using fuzzkit::check;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzkit::init(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    const QSize box(192, 48);
    QString why;
    const QImage logo = ORVO::serverlogo::read(&device, box, &why);
    check(logo.isNull() != why.isEmpty(), "a logo without a reason, or neither");
    check(logo.width() <= box.width() && logo.height() <= box.height(),
          "a logo larger than its box");
    return 0;
}
