#include "app/image_list_qt.h"

#include <QString>

// The image list lives in the windows' static library: the program must ask
// for it by name, or the linker leaves it out.
static void loadImageList() { Q_INIT_RESOURCE(icons); }

namespace app {

namespace {

QIcon imageFromList(const QString& name) {
  static const bool loaded = (loadImageList(), true);
  (void)loaded;
  return QIcon(QStringLiteral(":/images/") + name);
}

}  // namespace

QIcon imageListIcon(int index) { return imageFromList(QString::number(index) + ".svg"); }

QIcon programIcon() { return imageFromList(QStringLiteral("mincar.svg")); }

}  // namespace app
