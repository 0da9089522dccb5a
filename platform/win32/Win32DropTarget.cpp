#include "platform/win32/Win32DropTarget.h"

#include <shellapi.h>

#include <vector>

namespace platform
{

Win32DropTarget::Win32DropTarget(HWND window, WindowListener* listener) : window(window), listener(listener) {}

HRESULT STDMETHODCALLTYPE Win32DropTarget::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget))
    {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE Win32DropTarget::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references)); }

ULONG STDMETHODCALLTYPE Win32DropTarget::Release()
{
    const LONG left = InterlockedDecrement(&references);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

POINT Win32DropTarget::toClient(POINTL point) const
{
    POINT p{point.x, point.y};
    ScreenToClient(window, &p);
    return p;
}

bool Win32DropTarget::read(IDataObject* data, DropData& result)
{
    result = DropData{};
    if (!data)
        return false;
    FORMATETC files{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (SUCCEEDED(data->GetData(&files, &medium)))
    {
        if (HDROP drop = static_cast<HDROP>(GlobalLock(medium.hGlobal)))
        {
            const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i)
            {
                std::vector<char> path(DragQueryFileA(drop, i, nullptr, 0) + 1, 0);
                DragQueryFileA(drop, i, path.data(), static_cast<UINT>(path.size()));
                result.items.push_back(path.data());
            }
            GlobalUnlock(medium.hGlobal);
        }
        ReleaseStgMedium(&medium);
        result.files = true;
        return !result.items.empty();
    }
    FORMATETC text{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    if (SUCCEEDED(data->GetData(&text, &medium)))
    {
        if (const char* characters = static_cast<const char*>(GlobalLock(medium.hGlobal)))
        {
            // The block may be larger than its text; it may also lack the terminator.
            const SIZE_T size = GlobalSize(medium.hGlobal);
            SIZE_T length = 0;
            while (length < size && characters[length])
                ++length;
            result.items.emplace_back(characters, length);
            GlobalUnlock(medium.hGlobal);
        }
        ReleaseStgMedium(&medium);
        return !result.items.empty();
    }
    return false;
}

HRESULT STDMETHODCALLTYPE Win32DropTarget::DragEnter(IDataObject* data, DWORD, POINTL point, DWORD* effect)
{
    acceptable = read(data, current);
    last = toClient(point);
    if (acceptable)
        listener->windowDragEnter(current, last.x, last.y);
    if (effect)
        *effect = acceptable ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Win32DropTarget::DragOver(DWORD, POINTL point, DWORD* effect)
{
    last = toClient(point);
    if (acceptable)
        listener->windowDragMove(current, last.x, last.y);
    if (effect)
        *effect = acceptable ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Win32DropTarget::DragLeave()
{
    if (acceptable)
        listener->windowDragLeave(current, last.x, last.y);
    acceptable = false;
    current = DropData{};
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Win32DropTarget::Drop(IDataObject* data, DWORD, POINTL point, DWORD* effect)
{
    DropData dropped;
    const bool usable = read(data, dropped);
    const POINT where = toClient(point);
    acceptable = false;
    current = DropData{};
    if (effect)
        *effect = usable ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    if (usable)
        listener->windowDrop(dropped, where.x, where.y);
    return S_OK;
}

} // namespace platform
