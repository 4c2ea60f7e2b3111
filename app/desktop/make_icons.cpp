// Draws the desktop icons from the program icon (resources/vellicor.xpm): a
// PNG per hicolor size and a scalable SVG of the same pixels. Only needed when
// the icon changes; the output is kept in the tree.
//   make_icons app/resources/vellicor.xpm app/desktop/icons
#include <cstdio>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTextStream>

namespace {

constexpr int Sizes[] = {16, 24, 32, 48, 64, 128, 256};

bool WriteSvg(const QImage& Icon, const QString& Path) {
  QFile File(Path);
  if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  QTextStream Out(&File);
  Out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Icon.width() << "\" height=\""
      << Icon.height() << "\" viewBox=\"0 0 " << Icon.width() << ' ' << Icon.height()
      << "\" shape-rendering=\"crispEdges\">\n";
  // One rectangle per run of equal pixels in a row keeps the file small.
  for (int Y = 0; Y < Icon.height(); ++Y) {
    int X = 0;
    while (X < Icon.width()) {
      const QRgb Pixel = Icon.pixel(X, Y);
      int End = X + 1;
      while (End < Icon.width() && Icon.pixel(End, Y) == Pixel) ++End;
      if (qAlpha(Pixel) != 0) {
        Out << "<rect x=\"" << X << "\" y=\"" << Y << "\" width=\"" << End - X
            << "\" height=\"1\" fill=\"" << QColor(Pixel).name() << "\"/>\n";
      }
      X = End;
    }
  }
  Out << "</svg>\n";
  return Out.status() == QTextStream::Ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_icons ICON.xpm OUTPUT_FOLDER\n");
    return 2;
  }
  const QImage Icon = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32);
  if (Icon.isNull()) {
    std::fprintf(stderr, "make_icons: cannot read %s\n", argv[1]);
    return 1;
  }
  const QDir Out(QString::fromLocal8Bit(argv[2]));
  for (const int Size : Sizes) {
    const QString Folder = QStringLiteral("%1x%1").arg(Size);
    Out.mkpath(Folder);
    // Whole multiples keep the pixel drawing sharp; smaller sizes are smoothed.
    const Qt::TransformationMode Mode =
        Size >= Icon.width() && Size % Icon.width() == 0 ? Qt::FastTransformation : Qt::SmoothTransformation;
    const QImage Scaled = Icon.scaled(Size, Size, Qt::IgnoreAspectRatio, Mode);
    if (!Scaled.save(Out.filePath(Folder + QStringLiteral("/vellicor.png")), "PNG")) return 1;
  }
  Out.mkpath(QStringLiteral("scalable"));
  return WriteSvg(Icon, Out.filePath(QStringLiteral("scalable/vellicor.svg"))) ? 0 : 1;
}
