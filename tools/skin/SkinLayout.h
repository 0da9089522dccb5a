// The panel layout as the skin painter uses it: the panel painter places its
// labels by these rectangles, the control painters take the panel under them
// as their backdrop, and the mock-up pastes the bitmaps there. The rectangles
// themselves are the editor's own (resources/PanelLayout.h).
#pragma once

#include <vector>

#include "resources/PanelLayout.h"

using Rect = PanelLayout::Rect;

namespace SkinLayout
{
using namespace PanelLayout;

// Every control with a bitmap of its own, in the editor's creation order.
const std::vector<Placement>& placements();
// The placement of the control named so (the first one, for shared bitmaps).
const Placement& placement(const char* name);
} // namespace SkinLayout
