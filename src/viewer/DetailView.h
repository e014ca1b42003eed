#pragma once
#include <QWidget>

namespace zarvo {

// The detailed view: a part of a picture at full resolution.
class TDetail final : public QWidget {
  Q_OBJECT
 public:
  TDetail();
  ~TDetail() override;
};

}  // namespace zarvo
