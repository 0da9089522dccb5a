// Drops onto the editor's window through OLE: file names (from Explorer) and
// text (from editors and browsers), with enter, move and leave reported as
// the drag passes, so views can show where a drop would land.
#pragma once

#include "platform/PlatformWindow.h"

#include <windows.h>
#include <ole2.h>

namespace platform
{

class Win32DropTarget : public IDropTarget
{
public:
    Win32DropTarget(HWND window, WindowListener* listener);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDropTarget
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

    // What an OLE data object carries: its file names, else its text.
    static bool read(IDataObject* data, DropData& result);

private:
    virtual ~Win32DropTarget() = default;
    POINT toClient(POINTL point) const;

    LONG references = 1;
    HWND window;
    WindowListener* listener;
    DropData current;
    bool acceptable = false;
    POINT last{0, 0};
};

} // namespace platform
