// Pictures by resource number: the module's bitmap resources on Windows, the
// compiled-in skin on Linux.
#pragma once

#include "platform/GraphicsDevice.h"

#include <cstdint>
#include <memory>

namespace platform
{

// The picture with this resource number, or null when there is none.
std::unique_ptr<Bitmap> loadResourceBitmap(int id);

// Tests and tools can place a picture under a resource number (pixels 0xAARRGGBB,
// copied); it is found before the module's own. Null pixels removes the entry.
void overrideResourceBitmap(int id, int width, int height, const uint32_t* pixels);

} // namespace platform
