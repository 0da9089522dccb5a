// File dialogs on Linux: the desktop's zenity or kdialog when installed, else
// the toolkit's own dialog.
#include "platform/FileDialog.h"
#include "platform/posix/ExternalFileDialog.h"
#include "platform/x11/X11Native.h"

namespace platform
{

namespace
{

FileDialogScript& script()
{
    static FileDialogScript instance;
    return instance;
}

} // namespace

void setFileDialogScript(FileDialogScript newScript) { script() = std::move(newScript); }

size_t lastPathSeparator(const std::string& path) { return path.find_last_of('/'); }

bool runFileDialog(const FileDialogRequest& request, std::string& path)
{
    if (script())
        return script()(request, path);
    switch (runExternalFileDialog(request, path))
    {
    case ExternalDialogResult::chosen: return true;
    case ExternalDialogResult::cancelled: return false;
    case ExternalDialogResult::unavailable: break;
    }
    return runX11FileDialog(request, path);
}

} // namespace platform
