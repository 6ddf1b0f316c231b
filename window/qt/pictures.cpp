#include "window/qt/pictures.hpp"

#include <QString>

namespace qor::qt {

QPixmap picture_pixmap(const PictureAsset& picture) {
  if (picture.asset.empty()) return {};
  return QPixmap(QStringLiteral(":/pictures/") + QString::fromStdString(picture.asset));
}

}  // namespace qor::qt
