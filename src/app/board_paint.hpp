#pragma once
// The painting of the main window: every label, value, lamp and separator is
// drawn from the display state on each paint (UI thread); nothing is kept
// between paints. Others change a display value and ask for a repaint.
#include <string>

#include "platform/window.hpp"

namespace skh {

// Colours of the window (COLORREF 0x00BBGGRR).
inline constexpr platform::ColorRef kGreen = 0x32CD32;
inline constexpr platform::ColorRef kYellow = 0x00FFFF;
inline constexpr platform::ColorRef kRed = 0x0000FF;
inline constexpr platform::ColorRef kBlack = 0x000000;
inline constexpr platform::ColorRef kGrey = 0xA0A0A0;
inline constexpr platform::ColorRef kLightBlue = 0xFFCC99;
inline constexpr platform::ColorRef kWhite = 0xFFFFFF;

// Areas of the client rectangle.
inline constexpr platform::Rect kHeaderArea{0, 0, 880, 28};
inline constexpr platform::Rect kBoardArea{0, 28, 880, 112};
inline constexpr platform::Rect kSettingsArea{0, 112, 880, 392};
inline constexpr platform::Rect kStatisticsArea{0, 392, 880, 448};
inline constexpr platform::Rect kStatusArea{0, 448, 880, 476};
inline constexpr platform::Rect kSimLampArea{397, 30, 425, 112};
inline constexpr platform::Rect kRealTrafficLampArea{425, 30, 453, 112};
inline constexpr int g_statsRowY = 399;

// The whole client area (the WM_PAINT body).
void lf_paintWindow(platform::PaintSurface& surface);

// The four painters, in the order lf_paintWindow calls them.
void lf_paintScanStatus(platform::PaintSurface& surface);
void lf_paintQnh(platform::PaintSurface& surface);
void lf_paintSettings(platform::PaintSurface& surface);
void lf_paintParkingStats(platform::PaintSurface& surface);

// A UTF-8 text at (x, y): one that cannot be converted is logged (once per
// text) and not drawn.
void lf_textOutUtf8(platform::PaintSurface& surface, int x, int y, const std::string& text, platform::ColorRef colour);
// Forgets the texts logged as not convertible, so that each is logged again.
void gf_clearBadTexts();
// Black when enabled, else grey.
void lf_textOutGrey(platform::PaintSurface& surface, int x, int y, const std::string& text, bool enabled);

}  // namespace skh
