#include "mainform/ImageList.h"

#include <QBitmap>
#include <QPainter>

TImageList::TImageList(const QString& file_pattern, int count, QColor background) : background_(background) {
  for (int i = 0; i < count; ++i) images_.append(QPixmap(file_pattern.arg(i)));
}

void TImageList::Draw(int index, QLabel* picture) const {
  if (index < 0 || index >= images_.size()) return;
  QPixmap canvas(picture->size());
  canvas.fill(QColor(0xFF, 0xFB, 0xF0));
  {
    QPainter painter(&canvas);
    const QPixmap& image = images_.at(index);
    const QRect target(QPoint(0, 0), image.size().boundedTo(canvas.size()));
    painter.fillRect(target, background_);
    painter.drawPixmap(target.topLeft(), image);
  }
  canvas.setMask(canvas.createMaskFromColor(Qt::white));
  picture->setPixmap(canvas);
}
