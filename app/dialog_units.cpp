#include "app/dialog_units.h"

#include <QFontMetrics>

namespace app {

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

DialogUnits DialogUnits::ForFont(const QFont& font) {
  // The average width the way the window system takes it: the 52 Latin
  // letters' width divided by 52, rounded.
  const QFontMetrics metrics(font);
  const int letters =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                               "abcdefghijklmnopqrstuvwxyz"));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

int DialogUnits::ToPixelsX(int units) const {
  return MulDiv(units, averageCharWidth_, 4);
}

int DialogUnits::ToPixelsY(int units) const {
  return MulDiv(units, charHeight_, 8);
}

QRect DialogUnits::Map(const res::DialogRect& rect) const {
  // The far edges are mapped, not the sizes, so that neighbouring controls
  // keep their gaps exactly.
  const int left = ToPixelsX(rect.x);
  const int top = ToPixelsY(rect.y);
  const int right = ToPixelsX(rect.x + rect.width);
  const int bottom = ToPixelsY(rect.y + rect.height);
  return {left, top, right - left, bottom - top};
}

QSize DialogUnits::MapSize(int width, int height) const {
  return {ToPixelsX(width), ToPixelsY(height)};
}

}  // namespace app
