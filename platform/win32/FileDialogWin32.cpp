// The common open and save dialogs (comdlg32).
#include "platform/FileDialog.h"

#include <windows.h>
#include <commdlg.h>

#include <cstring>

namespace platform
{

namespace
{

FileDialogScript& script()
{
    static FileDialogScript instance;
    return instance;
}

// "QDX Banks\0*.qdb\0All files\0*.*\0\0": the filter list as the dialog takes it.
std::string filterOf(const std::vector<FileType>& types)
{
    std::string filter;
    for (const FileType& type : types)
    {
        filter += type.name;
        filter += '\0';
        filter += type.pattern;
        filter += '\0';
    }
    filter += '\0';
    return filter;
}

} // namespace

void setFileDialogScript(FileDialogScript newScript) { script() = std::move(newScript); }

size_t lastPathSeparator(const std::string& path) { return path.find_last_of("/\\"); }

bool runFileDialog(const FileDialogRequest& request, std::string& path)
{
    if (script())
        return script()(request, path);

    char file[MAX_PATH] = {0};
    std::strncpy(file, request.initialName.c_str(), MAX_PATH - 1);
    const std::string filter = filterOf(request.types);
    // The dialog's own default extension has no leading dot.
    std::string extension = request.defaultExtension;
    if (!extension.empty() && extension[0] == '.')
        extension.erase(0, 1);

    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = static_cast<HWND>(request.ownerWindow);
    dialog.lpstrFilter = request.types.empty() ? nullptr : filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(request.selectedType + 1);
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = request.initialDirectory.empty() ? nullptr : request.initialDirectory.c_str();
    dialog.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (request.mustExist)
        dialog.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (request.overwritePrompt)
        dialog.Flags |= OFN_OVERWRITEPROMPT;

    const BOOL chosen = request.save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
    if (!chosen)
        return false;
    path = file;
    return true;
}

} // namespace platform
