// Draws the About window's picture (about.jpg: 400 x 94, colour, baseline
// JPEG) and the program icon (vellicor.xpm: 32 x 32, 16 colours). Both are
// drawn procedurally so that we own them; the output is committed, and this
// tool is only rebuilt when the design changes:
//   cmake --build BUILD --target make_about_jpeg && BUILD/app/make_about_jpeg app/resources
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int PictureWidth = 400;
constexpr int PictureHeight = 94;
constexpr double Pi = 3.14159265358979323846;

struct TRgb {
  double R, G, B;
};

TRgb Mix(TRgb A, TRgb B, double T) {
  return {A.R + (B.R - A.R) * T, A.G + (B.G - A.G) * T, A.B + (B.B - A.B) * T};
}

// An EEG-like trace: a slow wave with faster ripples and one spike train.
double Trace(double X, double Phase, double Amplitude) {
  const double Slow = std::sin(X / 400.0 * 2.0 * Pi * 2.5 + Phase);
  const double Ripple = 0.35 * std::sin(X / 400.0 * 2.0 * Pi * 11.0 + 2.0 * Phase);
  const double Burst = 0.6 * std::exp(-std::pow((X - 250.0) / 18.0, 2.0)) *
                       std::sin(X / 400.0 * 2.0 * Pi * 40.0);
  return Amplitude * (Slow + Ripple + Burst);
}

// Distance from (Px, Py) to the trace, sampled finely around Px.
double DistanceToTrace(double Px, double Py, double Centre, double Phase, double Amplitude) {
  double Best = 1e9;
  for (double X = Px - 4.0; X <= Px + 4.0; X += 0.25) {
    const double Y = Centre - Trace(X, Phase, Amplitude);
    Best = std::min(Best, std::hypot(Px - X, Py - Y));
  }
  return Best;
}

std::vector<unsigned char> DrawPicture() {
  const TRgb Left{14, 42, 92}, Right{18, 138, 150}, Glow{255, 255, 255};
  struct TWave {
    double Centre, Phase, Amplitude, Width, Strength;
    TRgb Colour;
  };
  const TWave Waves[] = {{40, 0.0, 8.0, 1.1, 0.95, {255, 255, 255}},
                         {61, 1.7, 7.0, 0.9, 0.70, {255, 196, 110}},
                         {80, 3.1, 5.0, 0.8, 0.45, {170, 225, 255}}};
  std::vector<unsigned char> Pixels(PictureWidth * PictureHeight * 3);
  for (int Y = 0; Y < PictureHeight; ++Y)
    for (int X = 0; X < PictureWidth; ++X) {
      const double T = static_cast<double>(X) / (PictureWidth - 1);
      TRgb C = Mix(Left, Right, T);
      // A soft light band across the middle.
      const double Band = std::exp(-std::pow((Y - 47.0) / 30.0, 2.0));
      C = Mix(C, Glow, 0.12 * Band);
      for (const TWave& W : Waves) {
        const double D = DistanceToTrace(X + 0.5, Y + 0.5, W.Centre, W.Phase, W.Amplitude);
        const double Cover = std::clamp(W.Width + 0.5 - D, 0.0, 1.0);
        C = Mix(C, W.Colour, Cover * W.Strength);
      }
      // The window is white and its e-mail line overlaps the top rows: fade in.
      const double Fade = std::clamp((Y - 6.0) / 24.0, 0.0, 1.0);
      C = Mix(Glow, C, Fade * Fade * (3.0 - 2.0 * Fade));
      unsigned char* P = &Pixels[(Y * PictureWidth + X) * 3];
      P[0] = static_cast<unsigned char>(std::lround(C.R));
      P[1] = static_cast<unsigned char>(std::lround(C.G));
      P[2] = static_cast<unsigned char>(std::lround(C.B));
    }
  return Pixels;
}

bool WriteJpeg(const std::string& Path, std::vector<unsigned char>& Pixels) {
  std::FILE* File = std::fopen(Path.c_str(), "wb");
  if (!File) return false;
  jpeg_compress_struct Info;
  jpeg_error_mgr Error;
  Info.err = jpeg_std_error(&Error);
  jpeg_create_compress(&Info);
  jpeg_stdio_dest(&Info, File);
  Info.image_width = PictureWidth;
  Info.image_height = PictureHeight;
  Info.input_components = 3;
  Info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&Info);  // baseline, Huffman-coded, not progressive
  jpeg_set_quality(&Info, 90, TRUE);
  jpeg_start_compress(&Info, TRUE);
  while (Info.next_scanline < Info.image_height) {
    JSAMPROW Row = &Pixels[Info.next_scanline * PictureWidth * 3];
    jpeg_write_scanlines(&Info, &Row, 1);
  }
  jpeg_finish_compress(&Info);
  jpeg_destroy_compress(&Info);
  return std::fclose(File) == 0;
}

// The icon: a rounded tile in two blues, a white trace across it and an
// orange tick, in at most 16 colours (one of them transparent).
bool WriteIcon(const std::string& Path) {
  const char* Palette[] = {". c None",    "# c #0E2A5C", "b c #1B5FA8", "l c #3C8CD0",
                           "w c #FFFFFF", "o c #F28C28", "d c #B35E10"};
  constexpr int N = 32;
  std::vector<std::string> Rows(N, std::string(N, '.'));
  auto Inside = [](int X, int Y, double Inset) {
    const double R = 6.0 - Inset;
    const double Cx = std::clamp(X + 0.5, 2.0 + 6.0, 30.0 - 6.0);
    const double Cy = std::clamp(Y + 0.5, 2.0 + 6.0, 30.0 - 6.0);
    const bool InBox = X + 0.5 >= 2.0 + Inset && X + 0.5 <= 30.0 - Inset &&
                       Y + 0.5 >= 2.0 + Inset && Y + 0.5 <= 30.0 - Inset;
    return InBox && std::hypot(X + 0.5 - Cx, Y + 0.5 - Cy) <= R;
  };
  for (int Y = 0; Y < N; ++Y)
    for (int X = 0; X < N; ++X) {
      if (Inside(X, Y, 0.0)) Rows[Y][X] = '#';
      if (Inside(X, Y, 1.2)) Rows[Y][X] = Y < 14 ? 'l' : 'b';
    }
  // The trace: flat, a spike, flat again.
  auto TraceY = [](double X) {
    if (X < 9 || X > 23) return 16.0;
    return 16.0 - 9.0 * std::sin((X - 9.0) / 14.0 * 2.0 * Pi) * std::exp(-std::pow((X - 16.0) / 5.0, 2.0));
  };
  for (int Y = 0; Y < N; ++Y)
    for (int X = 4; X < 28; ++X) {
      double Best = 1e9;
      for (double S = X - 2.0; S <= X + 2.0; S += 0.1)
        Best = std::min(Best, std::hypot(X + 0.5 - S, Y + 0.5 - TraceY(S)));
      if (Best <= 1.0) Rows[Y][X] = 'w';
    }
  // The tick in the lower right corner.
  const int Tick[][2] = {{19, 24}, {20, 25}, {21, 26}, {22, 25}, {23, 24}, {24, 23}, {25, 22}, {26, 21}};
  for (const auto& P : Tick)
    for (int Dy = 0; Dy < 2; ++Dy) {
      Rows[P[1] + Dy][P[0]] = 'o';
      Rows[P[1] + Dy + 1][P[0]] = 'd';
    }
  std::ofstream Out(Path);
  Out << "/* XPM */\nstatic const char* vellicor_icon[] = {\n";
  Out << "\"32 32 " << std::size(Palette) << " 1\",\n";
  for (const char* Entry : Palette) Out << "\"" << Entry << "\",\n";
  for (int Y = 0; Y < N; ++Y) Out << "\"" << Rows[Y] << "\"" << (Y + 1 < N ? ",\n" : "\n");
  Out << "};\n";
  return static_cast<bool>(Out);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string Folder = argc > 1 ? argv[1] : ".";
  std::vector<unsigned char> Pixels = DrawPicture();
  if (!WriteJpeg(Folder + "/about.jpg", Pixels) || !WriteIcon(Folder + "/vellicor.xpm")) {
    std::fprintf(stderr, "make_about_jpeg: cannot write into %s\n", Folder.c_str());
    return 1;
  }
  return 0;
}
