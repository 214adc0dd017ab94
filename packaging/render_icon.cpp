// Renders the program's SVG icon as a PNG of one size, for the icon theme's
// fixed-size folders: mincar-render-icon IN.svg SIZE OUT.png

#include <cstdlib>
#include <iostream>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: mincar-render-icon IN.svg SIZE OUT.png\n";
    return 2;
  }
  QGuiApplication application(argc, argv);
  QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
  const int size = std::atoi(argv[2]);
  if (!svg.isValid() || size <= 0) {
    std::cerr << "mincar-render-icon: cannot read " << argv[1] << "\n";
    return 1;
  }
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  svg.render(&painter);
  painter.end();
  if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
    std::cerr << "mincar-render-icon: cannot write " << argv[3] << "\n";
    return 1;
  }
  return 0;
}
