#include "dialog/dialog_units.h"

namespace dialog {

namespace {

// a * b / c rounded to the nearest integer, as the window system maps units.
int MulDiv(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c
                                       : (product - half) / c);
}

}  // namespace

DialogUnits::DialogUnits(int averageCharWidth, int charHeight)
    : averageCharWidth_(averageCharWidth), charHeight_(charHeight) {}

DialogUnits DialogUnits::FromLetters(int width52Letters, int charHeight) {
  return {(width52Letters / 26 + 1) / 2, charHeight};
}

int DialogUnits::ToPixelsX(int units) const {
  return MulDiv(units, averageCharWidth_, 4);
}

int DialogUnits::ToPixelsY(int units) const {
  return MulDiv(units, charHeight_, 8);
}

res::DialogRect DialogUnits::Map(const res::DialogRect& rect) const {
  const int left = ToPixelsX(rect.x);
  const int top = ToPixelsY(rect.y);
  const int right = ToPixelsX(rect.x + rect.width);
  const int bottom = ToPixelsY(rect.y + rect.height);
  return {left, top, right - left, bottom - top};
}

}  // namespace dialog
