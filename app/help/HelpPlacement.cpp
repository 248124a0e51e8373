#include "app/help/HelpPlacement.h"

#include <algorithm>

namespace miretoka {

QRect HelpWindowPlacement(const QRect &owner, const QSize &wanted, const QRect &available, int minWidth) {
  constexpr int kGap = 8;
  const int height = std::min(wanted.height(), available.height());
  const int top = std::clamp(owner.top(), available.top(), available.bottom() + 1 - height);
  const int rightSpace = available.right() - owner.right() - kGap;  // free columns right of the owner
  const int leftSpace = owner.left() - available.left() - kGap;
  if (rightSpace >= wanted.width()) return {owner.right() + 1 + kGap, top, wanted.width(), height};
  if (leftSpace >= wanted.width()) return {owner.left() - kGap - wanted.width(), top, wanted.width(), height};
  if (std::max(rightSpace, leftSpace) >= minWidth) {
    if (rightSpace >= leftSpace) return {owner.right() + 1 + kGap, top, rightSpace, height};
    return {available.left(), top, leftSpace, height};
  }
  const int width = std::min(wanted.width(), available.width());
  return {available.right() + 1 - width, top, width, height};
}

}  // namespace miretoka
