// The system's open and save file dialogs.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform
{

struct FileType
{
    std::string name;    // "QDX Banks"
    std::string pattern; // "*.qdb", or "*.*" for all files
};

struct FileDialogRequest
{
    bool save = false;
    std::string title;
    std::vector<FileType> types;
    int selectedType = 0;
    std::string defaultExtension; // added to a typed name without extension
    std::string initialDirectory;
    std::string initialName;
    bool mustExist = false;       // open: the file must exist
    bool overwritePrompt = false; // save: ask before replacing a file
    void* ownerWindow = nullptr;
};

// Runs the dialog modally; true with the chosen full path, false when cancelled.
bool runFileDialog(const FileDialogRequest& request, std::string& path);

// The position of the separator between a chosen path's folder and its file
// name, or npos: this system's separators only, since on Linux a backslash is
// an ordinary character of a name.
size_t lastPathSeparator(const std::string& path);

// While set, dialogs are answered by the script instead of shown (tests).
using FileDialogScript = std::function<bool(const FileDialogRequest& request, std::string& path)>;
void setFileDialogScript(FileDialogScript script);

} // namespace platform
