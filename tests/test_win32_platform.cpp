// The Windows side of the platform seam on a real Win32 (Wine in CI): the
// GDI device's drawing rules, the skin as bitmap resources of the DLL, and
// the editor's window inside a host's window.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/GraphicsDevice.h"
#include "platform/PlatformWindow.h"
#include "platform/win32/Win32DropTarget.h"
#include "resources/SkinResources.h"
#include "tests/support/TestHost.h"

namespace
{
using namespace platform;

const ColorRef kWhite = makeColorRef(255, 255, 255);
const ColorRef kRed = makeColorRef(255, 0, 0);
const ColorRef kGreen = makeColorRef(0, 255, 0);
const ColorRef kBlue = makeColorRef(0, 0, 255);
const ColorRef kMagenta = makeColorRef(255, 0, 255);

// A white picture with a device drawing into it.
struct Canvas
{
    std::unique_ptr<Bitmap> picture;
    std::unique_ptr<GraphicsDevice> device;

    Canvas(int width, int height) : picture(createCompatibleBitmap(width, height))
    {
        if (picture)
            device = createMemoryDevice(*picture);
        if (device)
        {
            device->selectBrush(kWhite);
            device->fillRect(IntRect{0, 0, width, height});
        }
    }
    ColorRef at(int x, int y) const { return picture->getPixel(x, y); }
};

int channel(ColorRef c, int shift) { return (c >> shift) & 0xFF; }

TEST(GdiDevice, RectanglesAndLinesLeaveOutTheirRightAndBottomEdges)
{
    Canvas canvas(16, 16);
    ASSERT_TRUE(canvas.device);
    canvas.device->selectBrush(kRed);
    canvas.device->fillRect(IntRect{2, 2, 6, 6});
    EXPECT_EQ(canvas.at(2, 2), kRed);
    EXPECT_EQ(canvas.at(5, 5), kRed);
    EXPECT_EQ(canvas.at(6, 5), kWhite);
    EXPECT_EQ(canvas.at(5, 6), kWhite);
    EXPECT_EQ(canvas.at(1, 2), kWhite);

    canvas.device->selectPen(kBlue, 1, PenStyle::solid);
    canvas.device->moveTo(0, 10);
    canvas.device->lineTo(8, 10);
    EXPECT_EQ(canvas.at(0, 10), kBlue);
    EXPECT_EQ(canvas.at(7, 10), kBlue);
    EXPECT_EQ(canvas.at(8, 10), kWhite); // the end point itself is not drawn
}

TEST(GdiDevice, TheClipRectangleReplacesThePreviousOne)
{
    Canvas canvas(16, 16);
    ASSERT_TRUE(canvas.device);
    canvas.device->setClipRect(IntRect{0, 0, 4, 4});
    canvas.device->setClipRect(IntRect{8, 8, 12, 12});
    canvas.device->selectBrush(kGreen);
    canvas.device->fillRect(IntRect{0, 0, 16, 16});
    EXPECT_EQ(canvas.at(2, 2), kWhite);
    EXPECT_EQ(canvas.at(8, 8), kGreen);
    EXPECT_EQ(canvas.at(11, 11), kGreen);
    EXPECT_EQ(canvas.at(12, 12), kWhite);
}

TEST(GdiDevice, CopiesOpaqueWithoutTheKeyColourAndBlended)
{
    const uint32_t pixels[4] = {0xFFFF00FF, 0xFF00FF00, 0xFFFF0000, 0xFFFF0000}; // magenta, green / red, red
    std::unique_ptr<Bitmap> source = createBitmapFromPixels(2, 2, pixels);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->getPixel(0, 0), kMagenta);
    EXPECT_EQ(source->getPixel(0, 1), kRed);

    Canvas canvas(8, 8);
    ASSERT_TRUE(canvas.device);
    canvas.device->copyBitmap(*source, IntRect{0, 0, 2, 1}, 0, 0);
    EXPECT_EQ(canvas.at(0, 0), kMagenta);
    EXPECT_EQ(canvas.at(1, 0), kGreen);

    canvas.device->copyBitmapTransparent(*source, IntRect{4, 4, 6, 5}, 0, 0, kMagenta);
    EXPECT_EQ(canvas.at(4, 4), kWhite); // the key colour is left out
    EXPECT_EQ(canvas.at(5, 4), kGreen);

    // Red over white at half opacity: red stays, green and blue halve.
    ASSERT_TRUE(canvas.device->blendBitmap(*source, IntRect{0, 6, 2, 7}, 0, 1, 128));
    const ColorRef mixed = canvas.at(1, 6);
    EXPECT_EQ(channel(mixed, 0), 255);
    EXPECT_NEAR(channel(mixed, 8), 127, 2);
    EXPECT_NEAR(channel(mixed, 16), 127, 2);
}

TEST(GdiDevice, TextIsMeasuredAndDrawnInTheTextColourInsideItsRectangle)
{
    Canvas canvas(80, 20);
    ASSERT_TRUE(canvas.device);
    FontDescription font;
    font.size = 14;
    canvas.device->selectFont(font);
    const int one = canvas.device->getTextWidth("W");
    EXPECT_GT(one, 0);
    EXPECT_GT(canvas.device->getTextWidth("WWW"), 2 * one);

    canvas.device->setTextColor(kBlue);
    canvas.device->drawText("WWW", IntRect{0, 0, 40, 20}, TextAlign::left);
    int blue = 0, outside = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 80; ++x)
            if (canvas.at(x, y) != kWhite)
                (x < 40 ? blue : outside) += 1;
    EXPECT_GT(blue, 10);
    EXPECT_EQ(outside, 0); // clipped to its rectangle
}

// The pixels of a bitmap resource of the module, as 0x00RRGGBB.
std::vector<uint32_t> resourcePixels(HMODULE module, int id, int& width, int& height)
{
    std::vector<uint32_t> pixels;
    HBITMAP bitmap =
        static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap)
        return pixels;
    BITMAP description{};
    GetObjectA(bitmap, sizeof description, &description);
    width = description.bmWidth;
    height = description.bmHeight;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    pixels.resize(static_cast<size_t>(width) * height);
    HDC screen = GetDC(nullptr);
    if (GetDIBits(screen, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS) != height)
        pixels.clear();
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
    return pixels;
}

TEST(SkinResources, TheDllCarriesEverySkinBitmapWithTheSamePixels)
{
    PluginLibrary::instance();
    HMODULE module = GetModuleHandleA(PluginLibrary::instance().path().c_str());
    ASSERT_NE(module, nullptr);
    std::vector<int> ids;
    for (int id = 128; id <= 167; ++id)
        ids.push_back(id);
    ids.insert(ids.end(), {991, 992, 997});
    for (int id : ids)
    {
        SCOPED_TRACE(id);
        const SkinBitmap* skin = findSkinBitmap(id);
        ASSERT_NE(skin, nullptr);
        int width = 0, height = 0;
        const std::vector<uint32_t> pixels = resourcePixels(module, id, width, height);
        ASSERT_FALSE(pixels.empty()) << "no bitmap resource";
        ASSERT_EQ(width, skin->width);
        ASSERT_EQ(height, skin->height);
        int differing = 0;
        for (size_t i = 0; i < pixels.size(); ++i)
            differing += (pixels[i] & 0xFFFFFF) != (skin->pixels[i] & 0xFFFFFF);
        EXPECT_EQ(differing, 0);
    }
}

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

// A host's editor window: a top-level window the plug-in's frame goes into.
struct HostWindow
{
    HWND window = nullptr;
    HostWindow()
    {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &hostWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "ZelvoTestHostWindow";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "ZelvoTestHostWindow", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 540,
                                 nullptr, nullptr, windowClass.hInstance, nullptr);
    }
    ~HostWindow()
    {
        if (window)
            DestroyWindow(window);
    }
};

void pumpAndIdle(TestHost& host, int milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end)
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        host.dispatch(effEditIdle);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

TEST(Win32Editor, OpensInTheHostWindowPaintsTheBackgroundAndCloses)
{
    HostWindow parent;
    ASSERT_NE(parent.window, nullptr);
    TestHost host;
    ASSERT_TRUE(host.effect->flags & effFlagsHasEditor);

    ERect* rect = nullptr;
    ASSERT_EQ(host.dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    const int width = rect->right - rect->left, height = rect->bottom - rect->top;
    EXPECT_EQ(width, 524);
    EXPECT_EQ(height, 462);

    ASSERT_EQ(host.dispatch(effEditOpen, 0, 0, parent.window), 1);
    HWND frame = FindWindowExA(parent.window, nullptr, "QDXZelvoFrame", nullptr);
    ASSERT_NE(frame, nullptr);
    RECT client{};
    GetClientRect(frame, &client);
    EXPECT_EQ(client.right, 524);
    EXPECT_EQ(client.bottom, 462);
    pumpAndIdle(host, 300);

    // The corners of the window show the background picture.
    const SkinBitmap* background = findSkinBitmap(128);
    ASSERT_NE(background, nullptr);
    HDC context = GetDC(frame);
    for (POINT p : {POINT{1, 1}, POINT{521, 2}, POINT{2, 459}, POINT{520, 458}})
    {
        const uint32_t expected = background->pixels[p.y * background->width + p.x];
        const COLORREF seen = GetPixel(context, p.x, p.y);
        EXPECT_EQ(seen, makeColorRef((expected >> 16) & 0xFF, (expected >> 8) & 0xFF, expected & 0xFF))
            << p.x << "," << p.y;
    }
    ReleaseDC(frame, context);

    EXPECT_EQ(host.dispatch(effEditClose), 0);
    EXPECT_FALSE(IsWindow(frame));
    // And again, as hosts reopen editors.
    ASSERT_EQ(host.dispatch(effEditOpen, 0, 0, parent.window), 1);
    pumpAndIdle(host, 50);
    EXPECT_NE(FindWindowExA(parent.window, nullptr, "QDXZelvoFrame", nullptr), nullptr);
    host.dispatch(effEditClose);
}

TEST(Win32Editor, ClosingTheEffectWithItsEditorOpenTakesTheWindowAway)
{
    HostWindow parent;
    TestHost host;
    ASSERT_EQ(host.dispatch(effEditOpen, 0, 0, parent.window), 1);
    pumpAndIdle(host, 50);
    HWND frame = FindWindowExA(parent.window, nullptr, "QDXZelvoFrame", nullptr);
    ASSERT_NE(frame, nullptr);
    host.close();
    EXPECT_FALSE(IsWindow(frame));
}
struct QuietListener : WindowListener
{
    int paints = 0;
    void windowPaint(const IntRect&) override { ++paints; }
    void windowMouseDown(int, int) override {}
    void windowWheel(int, int, float) override {}
    void windowKey(const Key&, bool) override {}
    void windowDragEnter(const DropData&, int, int) override {}
    void windowDragMove(const DropData&, int, int) override {}
    void windowDragLeave(const DropData&, int, int) override {}
    void windowDrop(const DropData&, int, int) override {}
    void windowDestroyed() override {}
};

TEST(Win32Window, ADropTargetIsRegisteredWhileActiveAndGoneAfterwards)
{
    HostWindow parent;
    QuietListener listener;
    std::unique_ptr<Window> window = createChildWindow(parent.window, 100, 80, &listener);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->getWidth(), 100);
    EXPECT_EQ(window->getHeight(), 80);
    HWND handle = static_cast<HWND>(window->getNativeHandle());
    UpdateWindow(handle);
    EXPECT_GT(listener.paints, 0);

    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    auto* probe = new Win32DropTarget(handle, &listener);
    window->setDropTarget(true);
    EXPECT_EQ(RegisterDragDrop(handle, probe), DRAGDROP_E_ALREADYREGISTERED);
    window->setDropTarget(false);
    EXPECT_EQ(RegisterDragDrop(handle, probe), S_OK);
    RevokeDragDrop(handle);
    probe->Release();
    OleUninitialize();

    window.reset();
    EXPECT_FALSE(IsWindow(handle));
}
struct RecordingBoxListener : EditBoxListener
{
    int returns = 0;
    int focusLosses = 0;
    void editBoxReturn() override { ++returns; }
    void editBoxFocusLost() override { ++focusLosses; }
};

TEST(Win32EditBox, StartsSelectedTakesKeysFromTheHostAndReportsReturnAndFocusLoss)
{
    HostWindow parent;
    QuietListener listener;
    std::unique_ptr<Window> window = createChildWindow(parent.window, 200, 100, &listener);
    ASSERT_TRUE(window);
    RecordingBoxListener boxListener;
    EditBoxStyle style;
    style.maxLength = 6;
    std::unique_ptr<EditBox> box = window->createEditBox(IntRect{10, 10, 110, 30}, "12.5", style, &boxListener);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->getText(), "12.5");

    // The whole text is selected at first: typing replaces it.
    EXPECT_TRUE(box->handleKey(Key{'7', KeyName::none, 0}));
    EXPECT_TRUE(box->handleKey(Key{'.', KeyName::none, 0}));
    EXPECT_TRUE(box->handleKey(Key{'2', KeyName::none, 0}));
    EXPECT_TRUE(box->handleKey(Key{0, KeyName::back, 0}));
    EXPECT_EQ(box->getText(), "7.");
    for (char c : std::string("123456789"))
        box->handleKey(Key{c, KeyName::none, 0});
    EXPECT_EQ(box->getText(), "7.1234"); // at most maxLength characters

    EXPECT_EQ(boxListener.returns, 0);
    EXPECT_TRUE(box->handleKey(Key{0, KeyName::returnKey, 0}));
    EXPECT_EQ(boxListener.returns, 1);

    // The focus moving elsewhere ends the edit; closing the box does not count.
    SetFocus(parent.window);
    EXPECT_EQ(boxListener.focusLosses, 1);
    box.reset();
    EXPECT_EQ(boxListener.focusLosses, 1);
}

TEST(Win32EditBox, AnOpenBoxEndsOnceWhenItGoesAndKeepsItsTextWhenTheHostDestroysItsWindowFirst)
{
    RecordingBoxListener boxListener;
    {
        // Its owner closing: the edit ends once, as losing the focus does.
        HostWindow parent;
        QuietListener listener;
        std::unique_ptr<Window> window = createChildWindow(parent.window, 200, 100, &listener);
        ASSERT_TRUE(window);
        std::unique_ptr<EditBox> box =
            window->createEditBox(IntRect{10, 10, 110, 30}, "1", EditBoxStyle{}, &boxListener);
        ASSERT_TRUE(box);
        box.reset();
        EXPECT_EQ(boxListener.focusLosses, 1);
    }
    boxListener.focusLosses = 0;
    HostWindow parent;
    QuietListener listener;
    std::unique_ptr<Window> window = createChildWindow(parent.window, 200, 100, &listener);
    ASSERT_TRUE(window);
    std::unique_ptr<EditBox> box = window->createEditBox(IntRect{10, 10, 110, 30}, "1", EditBoxStyle{}, &boxListener);
    ASSERT_TRUE(box);
    box->handleKey(Key{'4', KeyName::none, 0});
    box->handleKey(Key{'2', KeyName::none, 0});
    // The host takes its window away before closing the editor.
    DestroyWindow(parent.window);
    parent.window = nullptr;
    EXPECT_EQ(box->getText(), "42");
    box.reset();
    EXPECT_EQ(boxListener.focusLosses, 1);
}
} // namespace
