#include "shell/coordinates.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/strings.h"
#include "core/text_ids.h"

namespace v3d::shell {
namespace {
Readout g_readout;
WhitePoint g_white;
std::function<void()> g_listener;

std::string format(int formatId, double a, double b, double c) {
  char t[160];
  std::snprintf(t, sizeof t, std::string(text(formatId)).c_str(), a, b, c);
  return t;
}

// Integer part of a readout value for the "%3.3d" fields, kept inside the int range.
int truncated(double v) {
  if (!(v > -2147483648.0 && v < 2147483648.0)) return 0;
  return static_cast<int>(v);
}

void toXyz(const Readout& r, double& X, double& Y, double& Z) {
  X = 0.49 * r.v1 + 0.31 * r.v2 + 0.20 * r.v3;
  Y = 0.177 * r.v1 + 0.813 * r.v2 + 0.011 * r.v3;
  Z = 0.01 * r.v2 + 0.99 * r.v3;
}

double labF(double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 0.13793103; }
}  // namespace

Readout& readout() { return g_readout; }
WhitePoint& whitePoint() { return g_white; }
void setReadoutListener(std::function<void()> listener) { g_listener = std::move(listener); }

std::string positionText(const Readout& r) {
  char t[96];
  std::snprintf(t, sizeof t, std::string(text(kFormatPosition)).c_str(), r.X, r.Y, r.Z);
  return t;
}

std::string valueText(const Readout& r, int space) {
  switch (space) {
    case kXyz: {
      double X, Y, Z;
      toXyz(r, X, Y, Z);
      return format(kFormatXyz, X, Y, Z);
    }
    case kLab: {
      double X, Y, Z;
      toXyz(r, X, Y, Z);
      const double fx = labF(X / 255.0 / g_white.Xn), fy = labF(Y / 255.0 / g_white.Yn),
                   fz = labF(Z / 255.0 / g_white.Zn);
      return format(kFormatLab, 116.04 * fy - 16.0, 500.0 * (fx - fy),
                    200.0 * (fy - fz));
    }
    case kHls: {
      const double R = std::floor(r.v1 + 0.5), G = std::floor(r.v2 + 0.5), B = std::floor(r.v3 + 0.5);
      const double mx = std::max({R, G, B}), mn = std::min({R, G, B});
      const double L = (mx + mn) / 510.0;
      double H = -1.0, S = 0.0;
      if (mx != mn) {
        const double d = mx - mn;
        S = L >= 0.5 ? d / (510.0 - mx - mn) : d / (mx + mn);
        if (R == mx)
          H = (G - B) / d;
        else if (G == mx)
          H = (B - R) / d + 2.0;
        else
          H = (R - G) / d + 4.0;
        H *= 60.0;
        if (H < 0) H += 360.0;
      }
      return format(kFormatHls, H, L, S);
    }
    default: {
      char t[96];
      std::snprintf(t, sizeof t, std::string(text(kFormatRgb)).c_str(), truncated(r.v1),
                    truncated(r.v2), truncated(r.v3));
      return t;
    }
  }
}

}  // namespace v3d::shell

extern "C" void PrintCoordinates(int kind, int X, int Y, int Z, double value1, double value2,
                                 double value3) {
  v3d::shell::g_readout = {kind, X, Y, Z, value1, value2, value3};
  if (v3d::shell::g_listener) v3d::shell::g_listener();
}
