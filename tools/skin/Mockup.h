// Pictures for looking at the skin: the editor as the user first sees it,
// the editor in use (meters moving, values printed with the skin's own
// glyph strips, optionally the about panel open), and a contact sheet of
// every bitmap.
#pragma once

#include "Skin.h"

// The background with every control's first picture at its place.
Image editorMockup(const Skin& skin);
// A plausible moment of use; with aboutOpen the about panel is drawn over it.
Image editorInUse(const Skin& skin, bool aboutOpen);
Image contactSheet(const Skin& skin);
// Each pixel repeated factor times in both directions.
Image zoomed(const Image& image, int factor);
