// The toolkit's own native pieces on X11, made by the frame's window.
#pragma once

#include "platform/PlatformWindow.h"
#include "platform/x11/X11Display.h"

#include <memory>

namespace platform
{

int inputStateFromMask(unsigned int mask);

std::unique_ptr<EditBox> createX11EditBox(X11Display& connection, ::Window parent, const IntRect& rect,
                                          const std::string& text, const EditBoxStyle& style,
                                          EditBoxListener* listener);

int runX11PopupMenu(X11Display& connection, const std::vector<MenuItem>& items, int screenX, int screenY,
                    bool rightButton);

// The toolkit's own file dialog (directory list, type filter, typed name,
// overwrite question); false when cancelled or without a display.
struct FileDialogRequest;
bool runX11FileDialog(const FileDialogRequest& request, std::string& path);

} // namespace platform
