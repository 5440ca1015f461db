// Draws Brindlet's application icon with the game's own renderer: two glowing
// red pegs of one family joined by a dotted beam, on black, written as PNG
// files of the hicolor theme's sizes.
//
//   make_icon <output-dir>   writes <output-dir>/<size>x<size>/brindlet.png
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>

#include "headless/headless_platform.h"
#include "render/pixel_array.h"
#include "render/primitives.h"

namespace {

// The icon is drawn at 64 x 64 game pixels and scaled with nearest-neighbour
// (as the playfield is) or smoothly for the small sizes.
QImage DrawIcon() {
  using namespace brindlet;
  constexpr int kSize = 64;
  HeadlessPlatform events;  // nothing waits to run while the icon is drawn
  PixelArray pixels(kSize, kSize);
  const Field field{kSize, kSize};
  const DrawColour red{245, 30, 24, 250};

  // The beam first, so the pegs lie on top of it, as in the game.
  PlotBeam(pixels, field, events, 16, 46, 48, 18, red, 40, 35);

  const double pegs[2][2] = {{16, 46}, {48, 18}};
  for (const auto& p : pegs) {
    // Soft body: a cluster of dots around the centre, like a peg's body.
    for (int dx = -2; dx <= 2; ++dx) {
      for (int dy = -2; dy <= 2; ++dy) {
        DrawColour body = red;
        body.Alpha = static_cast<std::int16_t>(200 - 25 * (std::abs(dx) + std::abs(dy)));
        PlotSoftPoint(pixels, field, p[0] + dx * 0.7, p[1] + dy * 0.7, body);
      }
    }
    DrawColour ring = red;
    ring.Alpha = 170;
    PlotCircle(pixels, field, events, p[0] - 1, p[1] - 1, 5.5, ring);
    ring.Alpha = 90;
    PlotCircle(pixels, field, events, p[0] - 1, p[1] - 1, 8.0, ring);
  }

  // Dots land one array row higher than the bottom-up layout (row
  // ImageHeight - y): screen row y is array row kSize - y.
  QImage image(kSize, kSize, QImage::Format_RGB32);
  for (int y = 0; y < kSize; ++y) {
    const int row = kSize - y;
    for (int x = 0; x < kSize; ++x) {
      image.setPixel(x, y, qRgb(pixels(3 * x + 2, row), pixels(3 * x + 1, row), pixels(3 * x, row)));
    }
  }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon <output-dir>\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QImage icon = DrawIcon();
  for (int size : {16, 32, 48, 64, 128, 256}) {
    const QString dir = QString("%1/%2x%2").arg(argv[1]).arg(size);
    QDir().mkpath(dir);
    const Qt::TransformationMode mode = size < 64 ? Qt::SmoothTransformation : Qt::FastTransformation;
    if (!icon.scaled(size, size, Qt::IgnoreAspectRatio, mode).save(dir + "/brindlet.png")) {
      std::fprintf(stderr, "make_icon: cannot write %s/brindlet.png\n", qPrintable(dir));
      return 1;
    }
  }
  return 0;
}
