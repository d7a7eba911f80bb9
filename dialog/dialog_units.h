#pragma once

#include "res/dialog_templates.h"

namespace dialog {

// Dialog units as the templates' window system defines them: one
// horizontal unit is a quarter of the dialog font's average character
// width, one vertical unit an eighth of its height.
class DialogUnits {
 public:
  DialogUnits(int averageCharWidth, int charHeight);
  // From the width of the 52 Latin letters, the way that window system
  // takes the average: their width divided by 52, rounded.
  static DialogUnits FromLetters(int width52Letters, int charHeight);

  [[nodiscard]] int ToPixelsX(int units) const;
  [[nodiscard]] int ToPixelsY(int units) const;
  // A rectangle in pixels. The far edges are mapped, not the sizes, so
  // that neighbouring controls keep their gaps exactly.
  [[nodiscard]] res::DialogRect Map(const res::DialogRect& rect) const;

 private:
  int averageCharWidth_;
  int charHeight_;
};

}  // namespace dialog
