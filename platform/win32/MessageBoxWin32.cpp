#include "platform/MessageBox.h"

#include <windows.h>

namespace platform
{

namespace
{

MessageBoxRecorder& recorder()
{
    static MessageBoxRecorder instance;
    return instance;
}

} // namespace

void setMessageBoxRecorder(MessageBoxRecorder newRecorder) { recorder() = std::move(newRecorder); }

void showMessageBox(const char* caption, const char* text)
{
    if (recorder())
    {
        recorder()(caption ? caption : "", text ? text : "");
        return;
    }
    // Owned by the active window so it stays above the host's editor window.
    MessageBoxA(GetActiveWindow(), text ? text : "", caption ? caption : "", MB_OK);
}

} // namespace platform
