#pragma once

#include <QImage>
#include <QRgb>

// Picture 144: a receipt printer seen from the front at an angle, 48 × 48 pixels, 24 bits
// per pixel, on a key colour that picture items leave transparent (their key colour is the
// top-left pixel). The status strip shows it; the printer selection dialog may as well.
inline constexpr int kPrinterPictureId = 144;
inline constexpr int kPrinterPictureSize = 48;
// Magenta: a colour that the drawing itself never uses.
inline constexpr QRgb kPrinterPictureKeyColor = qRgb(255, 0, 255);

// Drawn once and shared; the image is RGB888 and never null.
QImage PrinterPicture();
