// The readout of the coordinates window: what PrintCoordinates stored, and its texts in the
// four colour spaces.
#pragma once

#include <functional>
#include <string>

extern "C" void PrintCoordinates(int kind, int X, int Y, int Z, double value1, double value2,
                                 double value3);

namespace v3d::shell {

enum ColourSpace : int { kRgb = 2, kXyz = 3, kLab = 4, kHls = 5 };
// PrintCoordinates' kinds: one grey value, or red, green and blue; and the kind that hides
// the readout.
inline constexpr int kReadoutGrey = 1;
inline constexpr int kReadoutColour = 2;
inline constexpr int kPointerOutside = 0x8000;

struct Readout {
  int kind = kPointerOutside;
  int X = 0, Y = 0, Z = 0;
  double v1 = 0, v2 = 0, v3 = 0;
};

Readout& readout();
// The white point of the Lab readout; 1.0, 1.0, 1.0 from start-up.
struct WhitePoint {
  double Xn = 1.0, Yn = 1.0, Zn = 1.0;
};
WhitePoint& whitePoint();

// Called after every PrintCoordinates (the window repaints); empty while no window exists.
void setReadoutListener(std::function<void()> listener);

// "  X = %3.3d  Y= %3.3d  Z = %3.3d"
std::string positionText(const Readout& r);
// The value text in a colour space.
std::string valueText(const Readout& r, int space);

}  // namespace v3d::shell
