#include "app/uJpeg.h"

#include <cstdio>
#include <vector>

#include <gtest/gtest.h>
#include <jpeglib.h>

#include "app/uAbout.h"

namespace {

// Encodes a solid picture with libjpeg, the way a foreign program would.
QByteArray EncodeSolid(int Width, int Height, int Components, const unsigned char* Colour,
                       bool Progressive = false) {
  jpeg_compress_struct Info;
  jpeg_error_mgr Error;
  Info.err = jpeg_std_error(&Error);
  jpeg_create_compress(&Info);
  unsigned char* Buffer = nullptr;
  unsigned long Size = 0;
  jpeg_mem_dest(&Info, &Buffer, &Size);
  Info.image_width = static_cast<JDIMENSION>(Width);
  Info.image_height = static_cast<JDIMENSION>(Height);
  Info.input_components = Components;
  Info.in_color_space = Components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&Info);
  jpeg_set_quality(&Info, 100, TRUE);
  if (Progressive) jpeg_simple_progression(&Info);
  jpeg_start_compress(&Info, TRUE);
  std::vector<unsigned char> Row(static_cast<size_t>(Width * Components));
  for (size_t I = 0; I < Row.size(); ++I) Row[I] = Colour[I % static_cast<size_t>(Components)];
  while (Info.next_scanline < Info.image_height) {
    JSAMPROW Rows = Row.data();
    jpeg_write_scanlines(&Info, &Rows, 1);
  }
  jpeg_finish_compress(&Info);
  jpeg_destroy_compress(&Info);
  QByteArray Data(reinterpret_cast<const char*>(Buffer), static_cast<qsizetype>(Size));
  std::free(Buffer);
  return Data;
}

// The frame marker (0xC0 baseline, 0xC2 progressive, ...) and the offset of
// its segment, found by walking the segments up to the scan.
struct TFrame {
  int Marker = -1;
  qsizetype Offset = -1;
};

TFrame FindFrame(const QByteArray& Data) {
  qsizetype P = 2;  // after SOI
  while (P + 4 <= Data.size() && static_cast<unsigned char>(Data[P]) == 0xFF) {
    const int Marker = static_cast<unsigned char>(Data[P + 1]);
    if (Marker >= 0xC0 && Marker <= 0xCF && Marker != 0xC4 && Marker != 0xC8 && Marker != 0xCC)
      return {Marker, P};
    if (Marker == 0xDA) break;  // start of scan: no frame before it
    const int Length = (static_cast<unsigned char>(Data[P + 2]) << 8) | static_cast<unsigned char>(Data[P + 3]);
    P += 2 + Length;
  }
  return {};
}

TEST(UJpeg, AboutPictureIsA400x94ColourBaselineJpeg) {
  const QByteArray Data = AboutPictureData();
  ASSERT_FALSE(Data.isEmpty());
  const TFrame Frame = FindFrame(Data);
  EXPECT_EQ(Frame.Marker, 0xC0) << "baseline frame expected";
  ASSERT_GE(Frame.Offset, 0);
  EXPECT_EQ(static_cast<unsigned char>(Data[Frame.Offset + 9]), 3) << "three colour components";

  const QImage Picture = DecodeJpeg(Data);
  ASSERT_FALSE(Picture.isNull());
  EXPECT_EQ(Picture.size(), QSize(400, 94));
  bool Coloured = false;
  for (int X = 0; X < Picture.width() && !Coloured; X += 10) {
    const QColor C = Picture.pixelColor(X, 60);
    Coloured = std::abs(C.red() - C.blue()) > 40;
  }
  EXPECT_TRUE(Coloured);
}

TEST(UJpeg, KeepsTheChannelOrderAndWidensGreyToRgb) {
  struct TCase {
    int Components;
    unsigned char Colour[3];
    QColor Expected;
    bool Progressive;
  };
  const TCase Cases[] = {{3, {250, 10, 10}, QColor(250, 10, 10), false},
                         {3, {10, 10, 250}, QColor(10, 10, 250), false},
                         {3, {20, 200, 60}, QColor(20, 200, 60), true},
                         {1, {128, 0, 0}, QColor(128, 128, 128), false}};
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Expected.name().toStdString());
    const QImage Image = DecodeJpeg(EncodeSolid(16, 8, C.Components, C.Colour, C.Progressive));
    ASSERT_FALSE(Image.isNull());
    EXPECT_EQ(Image.size(), QSize(16, 8));
    const QColor Got = Image.pixelColor(7, 3);
    EXPECT_NEAR(Got.red(), C.Expected.red(), 3);
    EXPECT_NEAR(Got.green(), C.Expected.green(), 3);
    EXPECT_NEAR(Got.blue(), C.Expected.blue(), 3);
  }
}

TEST(UJpeg, BadDataGivesAnEmptyPictureWithoutCrashing) {
  const QByteArray Good = AboutPictureData();
  ASSERT_GT(Good.size(), 2000);
  const TFrame Frame = FindFrame(Good);
  ASSERT_GE(Frame.Offset, 0);

  QByteArray Huge = Good;  // a forged frame of 65000 x 65000 pixels
  Huge[Frame.Offset + 5] = Huge[Frame.Offset + 7] = static_cast<char>(0xFD);
  Huge[Frame.Offset + 6] = Huge[Frame.Offset + 8] = static_cast<char>(0xE8);
  QByteArray Damaged = Good;  // an end-of-image marker in the middle of the scan
  Damaged[Good.size() / 2] = static_cast<char>(0xFF);
  Damaged[Good.size() / 2 + 1] = static_cast<char>(0xD9);

  struct TCase {
    const char* What;
    QByteArray Data;
  };
  const TCase Cases[] = {{"empty", QByteArray()},
                         {"not a jpeg", QByteArray("GIF89a not a jpeg at all")},
                         {"start marker only", Good.left(2)},
                         {"headers only", Good.left(600)},
                         {"truncated scan", Good.left(Good.size() / 2)},
                         {"end of image early", Damaged},
                         {"forged size", Huge}};
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.What);
    EXPECT_TRUE(DecodeJpeg(C.Data).isNull());
  }
}

}  // namespace
