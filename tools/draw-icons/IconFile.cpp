#include "IconFile.h"

#include <QBuffer>
#include <QDataStream>
#include <QSet>

namespace cv {
namespace {

constexpr int kDirectoryHeaderBytes = 6;
constexpr int kDirectoryEntryBytes = 16;
constexpr int kBitmapHeaderBytes = 40;
constexpr int kLargest = 256;

QByteArray Png(const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

// A bitmap entry: the header, the colour rows bottom-up in BGRA, then the 1-bit mask rows
// (bottom-up, padded to 32 bits) with a set bit where the picture is fully transparent.
QByteArray Bitmap(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const int size = image.width();
    const int maskStride = ((size + 31) / 32) * 4;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(kBitmapHeaderBytes) << qint32(size) << qint32(2 * size) // colour + mask
        << quint16(1) << quint16(32) << quint32(0)                           // BI_RGB
        << quint32(size * size * 4 + maskStride * size) << qint32(0) << qint32(0)
        << quint32(0) << quint32(0);
    for (int y = size - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < size; ++x)
            out << quint8(qBlue(row[x])) << quint8(qGreen(row[x])) << quint8(qRed(row[x]))
                << quint8(qAlpha(row[x]));
    }
    for (int y = size - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        QByteArray mask(maskStride, '\0');
        for (int x = 0; x < size; ++x)
            if (qAlpha(row[x]) == 0)
                mask[x / 8] = char(mask[x / 8] | (0x80 >> (x % 8)));
        out.writeRawData(mask.constData(), int(mask.size()));
    }
    return bytes;
}

} // namespace

QByteArray IconFile(const QList<QImage>& pictures) {
    if (pictures.isEmpty())
        return {};
    QSet<int> sizes;
    QList<QByteArray> entries;
    for (const QImage& p : pictures) {
        if (p.isNull() || p.width() != p.height() || p.width() > kLargest || sizes.contains(p.width()))
            return {};
        sizes.insert(p.width());
        entries.append(p.width() == kLargest ? Png(p) : Bitmap(p));
    }
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(entries.size()); // reserved, type icon, count
    quint32 offset = kDirectoryHeaderBytes + kDirectoryEntryBytes * quint32(entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        const int size = pictures[i].width();
        const quint8 side = size == kLargest ? 0 : quint8(size); // 0 stands for 256
        out << side << side << quint8(0) << quint8(0) << quint16(1) << quint16(32)
            << quint32(entries[i].size()) << offset;
        offset += quint32(entries[i].size());
    }
    for (const QByteArray& entry : entries)
        out.writeRawData(entry.constData(), int(entry.size()));
    return bytes;
}

} // namespace cv
