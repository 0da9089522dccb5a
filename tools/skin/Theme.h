// The skin's colours in one place, so every painter agrees on the panel it
// sits on. A dark, low-contrast panel; light grey silkscreen; one cool accent
// for values and lit states; the meter zones in green, amber and red.
#pragma once

#include "Colour.h"

namespace Theme
{
inline const Colour kPanel = Colour::rgb(44, 46, 50);
inline const Colour kPanelDark = Colour::rgb(33, 34, 37);
inline const Colour kPlate = Colour::rgb(52, 54, 59);
inline const Colour kWell = Colour::rgb(17, 18, 20);
inline const Colour kGroove = Colour::rgb(24, 25, 27);
inline const Colour kEdgeLight = Colour::rgb(78, 81, 87);
inline const Colour kLabel = Colour::rgb(178, 184, 190);
inline const Colour kLabelDim = Colour::rgb(124, 129, 135);
inline const Colour kHeading = Colour::rgb(206, 211, 216);
inline const Colour kAccent = Colour::rgb(92, 186, 226);
inline const Colour kAccentDim = Colour::rgb(40, 78, 96);
inline const Colour kWarn = Colour::rgb(255, 146, 48);
inline const Colour kButtonFace = Colour::rgb(62, 65, 70);
inline const Colour kButtonFaceLow = Colour::rgb(46, 48, 52);
inline const Colour kButtonText = Colour::rgb(150, 156, 162);
inline const Colour kMeterGreen = Colour::rgb(70, 212, 110);
inline const Colour kMeterYellow = Colour::rgb(244, 206, 64);
inline const Colour kMeterRed = Colour::rgb(240, 64, 48);
inline const Colour kMeterAmber = Colour::rgb(255, 160, 40);

// Fixed by the text printers and the entry fields' edit boxes.
inline const Colour kLabelCell = Colour::rgb(223, 247, 255);
inline const Colour kValueCell = Colour::rgb(79, 79, 79);
inline const Colour kOverCell = Colour::rgb(229, 53, 5);
inline const Colour kLightFieldBack = Colour::rgb(163, 167, 166);
inline const Colour kDarkFieldBack = Colour::rgb(37, 36, 35);
inline const Colour kNameFieldBack = Colour::rgb(207, 222, 235);
} // namespace Theme
