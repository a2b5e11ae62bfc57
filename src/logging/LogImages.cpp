#include "logging/LogImages.h"

#include "logging/LogSession.h"

#include <QBuffer>
#include <QImage>

namespace {
QString describeImage(const QImage& AImage) {
  if (AImage.isNull())
    return QStringLiteral("(no image)");
  QByteArray Png;
  QBuffer Buffer(&Png);
  Buffer.open(QIODevice::WriteOnly);
  AImage.save(&Buffer, "PNG");
  return QStringLiteral("image %1x%2, PNG base64 %3")
      .arg(AImage.width())
      .arg(AImage.height())
      .arg(QString::fromLatin1(Png.toBase64()));
}

QString describeImageData(const QByteArray& AData) {
  return describeImage(QImage::fromData(AData));
}
} // namespace

void RegisterLogImages() {
  SetLogImageDescribers({&describeImage, &describeImageData});
}
