#include "platform/linux/desktop/desktop_icon.hpp"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QStandardPaths>

#include "platform/linux/files/pe_file.hpp"
#include "platform/linux/files/replacement_file.hpp"
#include "portable/result/result.hpp"

namespace qor {
namespace {

// The largest picture of an .ico file; of equal sizes, the deepest.
QImage largest_picture(const std::vector<unsigned char>& ico) {
  QByteArray bytes(reinterpret_cast<const char*>(ico.data()), static_cast<qsizetype>(ico.size()));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "ico");
  QImage best;
  for (int i = 0; i < reader.imageCount(); ++i) {
    if (!reader.jumpToImage(i)) break;
    const QImage picture = reader.read();
    if (picture.isNull()) continue;
    const auto area = [](const QImage& p) { return static_cast<qint64>(p.width()) * p.height(); };
    if (best.isNull() || area(picture) > area(best) || (area(picture) == area(best) && picture.depth() > best.depth()))
      best = picture;
  }
  return best;
}

}  // namespace

std::string desktop_icon(const std::string& icon_file, const std::string& name) {
  const std::vector<unsigned char> ico = read_pe_icon_at(icon_file);
  if (ico.empty()) return icon_file;
  const QImage picture = largest_picture(ico);
  if (picture.isNull()) return icon_file;

  const QString size = QString::number(picture.width()) + u'x' + QString::number(picture.height());
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         QStringLiteral("/icons/hicolor/") + size + QStringLiteral("/apps");
  QByteArray png;
  QBuffer out(&png);
  out.open(QIODevice::WriteOnly);
  std::string path = (folder + u'/' + QString::fromStdString(name) + QStringLiteral(".png")).toStdString();
  Status written = Failure{"write " + path + ": the picture cannot be written as PNG"};
  if (!QDir().mkpath(folder)) {
    written = Failure{"create " + folder.toStdString() + ": the folder cannot be created"};
  } else if (picture.save(&out, "PNG")) {
    written = replace_with_content(path, png.toStdString(), 0644);
  }
  if (!written) {
    report_failure("desktop icon", written.failure());
    return icon_file;
  }
  return path;
}

}  // namespace qor
