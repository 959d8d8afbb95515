// The program's Windows icon: the .ico writer, read back by an independent reader (Qt's), and
// the committed icon against the window's own drawings of the same picture.
#include "IconFile.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>

#include <cstdlib>
#include <cstring>
#include <vector>

using cv::IconFile;

namespace {

// Every pixel differs, with fully transparent, half transparent and opaque parts.
QImage Pattern(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int alpha = x < size / 4 ? 0 : (y < size / 2 ? 128 : 255);
            image.setPixel(x, y, qRgba((x * 7) & 0xFF, (y * 5) & 0xFF, (x + y) & 0xFF, alpha));
        }
    return image;
}

std::vector<QImage> ReadAll(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    std::vector<QImage> images;
    for (int i = 0; i < reader.imageCount(); ++i) {
        if (!reader.jumpToImage(i))
            break;
        images.push_back(reader.read().convertToFormat(QImage::Format_ARGB32));
    }
    return images;
}

// The same picture. Qt's reader hands back premultiplied pixels, so a colour under partial
// transparency may be off by the rounding of that; a fully transparent pixel's colour is void.
bool SamePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (qAlpha(p) != qAlpha(q))
                return false;
            const int slack = qAlpha(p) == 0 ? 255 : (qAlpha(p) == 255 ? 0 : 2);
            if (std::abs(qRed(p) - qRed(q)) > slack || std::abs(qGreen(p) - qGreen(q)) > slack ||
                std::abs(qBlue(p) - qBlue(q)) > slack)
                return false;
        }
    return true;
}

uint32_t Le32(const QByteArray& b, int at) {
    uint32_t v = 0;
    std::memcpy(&v, b.constData() + at, 4);
    return v; // the build machines are little-endian, as the format is
}

TEST(IconFile, EverySizeReadsBackWithItsPixels) {
    const QList<QImage> pictures = {Pattern(16), Pattern(24), Pattern(33), Pattern(48), Pattern(256)};
    const QByteArray bytes = IconFile(pictures);
    ASSERT_FALSE(bytes.isEmpty());
    const std::vector<QImage> read = ReadAll(bytes);
    ASSERT_EQ(read.size(), size_t(pictures.size()));
    for (size_t i = 0; i < read.size(); ++i)
        EXPECT_TRUE(SamePixels(read[i], pictures[int(i)].convertToFormat(QImage::Format_ARGB32)))
            << "picture of " << pictures[int(i)].width() << " pixels";
}

TEST(IconFile, BitmapEntriesCarryAMaskOfTheTransparentPixels) {
    // Readers without alpha (old shells, some converters) draw through the mask alone.
    const QImage picture = Pattern(16);
    const QByteArray bytes = IconFile({picture});
    ASSERT_GE(bytes.size(), 22);
    const uint32_t offset = Le32(bytes, 18);
    const int maskAt = int(offset) + 40 + 16 * 16 * 4;
    ASSERT_EQ(bytes.size(), maskAt + 16 * 4); // rows padded to 32 bits
    for (int y = 0; y < 16; ++y) {
        const int row = maskAt + (15 - y) * 4; // bottom-up
        for (int x = 0; x < 16; ++x) {
            const bool set = (uint8_t(bytes[row + x / 8]) & (0x80 >> (x % 8))) != 0;
            EXPECT_EQ(set, qAlpha(picture.pixel(x, y)) == 0) << x << "," << y;
        }
    }
}

TEST(IconFile, RefusesWhatAnIconCannotHold) {
    const struct {
        const char* what;
        QList<QImage> pictures;
    } cases[] = {
        {"nothing", {}},
        {"a null picture", {QImage()}},
        {"a picture that is not square", {QImage(16, 20, QImage::Format_ARGB32)}},
        {"a picture larger than 256 pixels", {Pattern(257)}},
        {"one size twice", {Pattern(16), Pattern(16)}},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(IconFile(c.pictures).isEmpty()) << c.what;
}

TEST(ProgramIcon, HoldsTheWindowsSizesDrawnLikeTheWindowsOwnPicture) {
    QFile file(QStringLiteral(VORNIX_SOURCE_DIR "/shell/images/app.ico"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::vector<QImage> read = ReadAll(file.readAll());
    std::vector<int> sizes;
    for (const QImage& image : read)
        sizes.push_back(image.width());
    EXPECT_EQ(sizes, (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 256}));
    // The window's pictures of the same sizes come from the same drawing.
    for (const auto& [index, png] : {std::pair{3, "app_32.png"}, std::pair{6, "app_64.png"}}) {
        ASSERT_LT(size_t(index), read.size());
        const QImage drawn(QStringLiteral(VORNIX_SOURCE_DIR "/shell/images/") + QLatin1String(png));
        EXPECT_TRUE(SamePixels(read[size_t(index)], drawn.convertToFormat(QImage::Format_ARGB32))) << png;
    }
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
