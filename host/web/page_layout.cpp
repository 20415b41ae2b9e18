// page_layout.cpp — canvas size and pointer mapping.
#include "host/web/page_layout.h"

#include <algorithm>
#include <cmath>

#include "host/host.h"

namespace host::web {

CanvasSize SharpCanvasSize(double availWidth, double availHeight, double devicePixelRatio) {
  // A bad ratio (NaN, zero, negative) counts as an ordinary screen; a bad
  // area as room for exactly one client pixel per device pixel.
  const double dpr = (devicePixelRatio > 0 && std::isfinite(devicePixelRatio)) ? devicePixelRatio : 1.0;
  double fit = 1;
  if (availWidth > 0 && availHeight > 0 && std::isfinite(availWidth) && std::isfinite(availHeight)) {
    fit = std::min(availWidth * dpr / kClientWidth, availHeight * dpr / kClientHeight);
  }
  CanvasSize size;
  size.factor = static_cast<int>(std::clamp(std::floor(fit), 1.0, 64.0));
  // Whole device pixels per client pixel keep every client pixel the same
  // size. Smoothing happens only where the largest whole factor is one, so
  // scaling the canvas smoothly is the desktop's sharp scaler (nearest to
  // the whole factor, then smooth) exactly.
  size.whole = fit >= 1 && (size.factor >= 2 || fit * kMinFillAtFactorOne <= 1.0);
  const double shown = size.whole ? size.factor : fit;
  size.cssWidth = kClientWidth * shown / dpr;
  size.cssHeight = kClientHeight * shown / dpr;
  return size;
}

std::optional<ClientPoint> ClientPointFromCss(double x, double y, double cssWidth, double cssHeight) {
  if (!(cssWidth > 0) || !(cssHeight > 0) || !std::isfinite(x) || !std::isfinite(y)) return std::nullopt;
  if (x < 0 || y < 0 || x >= cssWidth || y >= cssHeight) return std::nullopt;
  ClientPoint p;
  p.x = std::min(static_cast<int>(std::floor(x * kClientWidth / cssWidth)), kClientWidth - 1);
  p.y = std::min(static_cast<int>(std::floor(y * kClientHeight / cssHeight)), kClientHeight - 1);
  return p;
}

}  // namespace host::web
