// Decoding of JPEG data with libjpeg into a QImage.
#pragma once

#include <QByteArray>
#include <QImage>

// The picture held by Data as 24-bit RGB, or a null image when Data is not a
// complete, sound JPEG (libjpeg errors and corrupt-data warnings alike).
QImage DecodeJpeg(const QByteArray& Data);
