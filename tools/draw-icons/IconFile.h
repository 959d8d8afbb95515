#pragma once
// The bytes of a Windows icon file (.ico) holding several sizes of one picture, so the
// program's icon resource comes from the same drawings as the window's pictures.
#include <QByteArray>
#include <QImage>
#include <QList>

namespace cv {

// Each picture is square, 1 to 256 pixels wide, and sizes do not repeat; anything else is
// refused with an empty result. Pictures up to 255 pixels are stored as 32-bit bitmaps with
// straight alpha and a transparency mask (every Windows version reads them); a 256-pixel
// picture as PNG, as the system's own large icons are.
QByteArray IconFile(const QList<QImage>& pictures);

} // namespace cv
