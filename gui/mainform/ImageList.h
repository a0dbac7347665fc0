#pragma once
// A list of equally sized pictures drawn into picture controls by index, as
// the connection status pictures of the serial-port page are.
#include <QColor>
#include <QLabel>
#include <QPixmap>
#include <QString>
#include <QVector>

class TImageList {
 public:
  // Loads file_pattern with %1 replaced by 0, 1, ... up to count - 1.
  TImageList(const QString& file_pattern, int count, QColor background);

  int Count() const { return images_.size(); }
  const QPixmap& Image(int index) const { return images_.at(index); }
  QColor BkColor() const { return background_; }

  // Draws image index into picture: the picture is filled with cream, the
  // list's background goes under the image, and pure white becomes
  // transparent so that the page shows through. An index outside the list
  // leaves the picture as it is.
  void Draw(int index, QLabel* picture) const;

 private:
  QVector<QPixmap> images_;
  QColor background_;
};
