#pragma once
#include <QWidget>

namespace zarvo {

// The spectrum window: a small tool window without a close button.
class TSpec final : public QWidget {
  Q_OBJECT
 public:
  TSpec();
  ~TSpec() override;
};

}  // namespace zarvo
