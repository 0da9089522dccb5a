// File dialogs through the desktop's own tools (zenity, kdialog) when installed.
#pragma once

#include "platform/FileDialog.h"

namespace platform
{

enum class ExternalDialogResult
{
    chosen,
    cancelled,
    unavailable
};

ExternalDialogResult runExternalFileDialog(const FileDialogRequest& request, std::string& path);

} // namespace platform
