#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

#include "res/dialog_templates.h"

namespace app {

// Dialog units as the template's window system defines them: one horizontal
// unit is a quarter of the dialog font's average character width, one
// vertical unit an eighth of its height.
class DialogUnits {
 public:
  DialogUnits(int averageCharWidth, int charHeight);
  static DialogUnits ForFont(const QFont& font);

  [[nodiscard]] int ToPixelsX(int units) const;
  [[nodiscard]] int ToPixelsY(int units) const;
  [[nodiscard]] QRect Map(const res::DialogRect& rect) const;
  [[nodiscard]] QSize MapSize(int width, int height) const;

 private:
  int averageCharWidth_;
  int charHeight_;
};

}  // namespace app
