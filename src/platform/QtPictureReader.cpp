#include "platform/QtPictureReader.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include "platform/PictureFile.h"
#include "platform/PlatformError.h"

namespace zarvo {

Bitmap ReadPictureFile(const std::string& path) {
  const std::vector<std::uint8_t> image = ReadPictureBytes(path);
  if (std::optional<Bitmap> own = DecodeOwnFormats(image)) return std::move(*own);

  QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(image.data()),
                                             static_cast<qsizetype>(image.size()));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  // By content: a JPEG named .bmp is still read.
  QImageReader reader(&buffer);
  reader.setAutoTransform(true);  // a photo's orientation tag, as other viewers follow it
  const QString format = QString::fromLatin1(reader.format()).toUpper();
  if (format.isEmpty()) throw PlatformError("Bitmap image is not valid");
  const QSize size = reader.size();
  if (size.width() > kMaxPictureSide || size.height() > kMaxPictureSide ||
      std::int64_t{size.width()} * size.height() > kMaxPicturePixels)
    throw PlatformError(format.toStdString() + " image is not valid: the picture is too large");
  const QImage read = reader.read();
  if (read.isNull())
    throw PlatformError(format.toStdString() +
                        " image is not valid: " + reader.errorString().toStdString());

  // Laid over white into the bitmap's own pixel layout.
  Bitmap out(read.width(), read.height(), 0xFFFFFF);
  QImage target(reinterpret_cast<uchar*>(out.Data()), out.Width(), out.Height(), out.Width() * 4,
                QImage::Format_RGB32);
  {
    QPainter painter(&target);
    painter.drawImage(0, 0, read);
  }
  for (int y = 0; y < out.Height(); ++y)
    for (std::uint32_t* p = out.Row(y); p != out.Row(y) + out.Width(); ++p) *p &= 0xFFFFFF;
  return out;
}

}  // namespace zarvo
