// The window's pictures, embedded as Qt resources under their asset names.
#pragma once

#include <QPixmap>

#include "window/controls.hpp"

namespace qor::qt {

// A null pixmap for an asset the resources do not hold (and for "no picture").
QPixmap picture_pixmap(const PictureAsset& picture);

}  // namespace qor::qt
