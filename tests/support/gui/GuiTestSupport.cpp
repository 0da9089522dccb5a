#include "tests/support/gui/GuiTestSupport.h"

#include <cmath>

namespace guitest
{

namespace
{

class ScriptedEditBox : public platform::EditBox
{
public:
    explicit ScriptedEditBox(ScriptedWindow& window) : window(window) { window.openEditBoxes++; }
    ~ScriptedEditBox() override
    {
        window.openEditBoxes--;
        window.editListener = nullptr;
    }
    std::string getText() const override { return window.editText; }
    bool handleKey(const platform::Key& key) override
    {
        if (key.character)
            window.editText += static_cast<char>(key.character);
        return true;
    }

private:
    ScriptedWindow& window;
};

} // namespace

ScriptedWindow::ScriptedWindow(int width, int height)
    : screen(platform::createCompatibleBitmap(width, height)),
      sizeWidth(width),
      sizeHeight(height)
{}

void ScriptedWindow::setPointer(int x, int y, int buttons)
{
    path.clear();
    step = 0;
    current = PointerStep{x, y, buttons};
}

void ScriptedWindow::playPath(const std::vector<PointerStep>& newPath)
{
    path = newPath;
    step = 0;
    if (!path.empty())
        current = path.front();
}

void ScriptedWindow::getCursorPosition(int& x, int& y)
{
    if (step + 1 < path.size())
        current = path[++step];
    x = current.x;
    y = current.y;
}

platform::GraphicsDevice* ScriptedWindow::acquireDevice()
{
    if (!device)
        device = platform::createMemoryDevice(*screen);
    deviceUsers++;
    return device.get();
}

void ScriptedWindow::releaseDevice(platform::GraphicsDevice*)
{
    if (--deviceUsers == 0)
        device.reset();
}

void ScriptedWindow::resize(int width, int height)
{
    std::unique_ptr<platform::Bitmap> resized = platform::createCompatibleBitmap(width, height);
    if (deviceUsers == 0)
        screen = std::move(resized);
    resizes++;
    sizeWidth = width;
    sizeHeight = height;
}

std::unique_ptr<platform::EditBox> ScriptedWindow::createEditBox(const platform::IntRect& rect, const std::string& text,
                                                                 const platform::EditBoxStyle&,
                                                                 platform::EditBoxListener* listener)
{
    editListener = listener;
    editText = text;
    editRect = rect;
    return std::make_unique<ScriptedEditBox>(*this);
}

int ScriptedWindow::trackPopupMenu(const std::vector<platform::MenuItem>& items, int screenX, int screenY, bool)
{
    lastMenu = items;
    menuX = screenX;
    menuY = screenY;
    return menuChoice;
}

CColor ScriptedWindow::pixel(int x, int y) const
{
    platform::ColorRef value = screen->getPixel(x, y);
    return rgb(value & 0xFF, value >> 8 & 0xFF, value >> 16 & 0xFF);
}

ScriptedFrame::ScriptedFrame(int width, int height, GuiEditor* editor)
{
    frame = new CFrame(CRect(0, 0, width, height), editor,
                       [this](platform::WindowListener*, int w, int h) -> std::unique_ptr<platform::Window> {
                           auto scripted = std::make_unique<ScriptedWindow>(w, h);
                           window = scripted.get();
                           return scripted;
                       });
}

ScriptedFrame::~ScriptedFrame() { frame->forget(); }

std::vector<float> RecordingListener::values() const
{
    std::vector<float> result;
    for (const auto& change : changes)
        result.push_back(change.value);
    return result;
}

std::vector<uint32_t> solidPixels(int width, int height, uint32_t color)
{
    return std::vector<uint32_t>(static_cast<size_t>(width) * height, color);
}

CBitmap* makeStrip(int width, int frameHeight, const std::vector<uint32_t>& colors)
{
    std::vector<uint32_t> pixels;
    for (uint32_t color : colors)
        for (int i = 0; i < width * frameHeight; ++i)
            pixels.push_back(color);
    return new CBitmap(width, frameHeight * static_cast<int>(colors.size()), pixels.data());
}

namespace
{

void paintKnob(std::vector<uint32_t>& pixels, int size, int top, double angle, bool pointer)
{
    double centre = (size - 1) / 2.0;
    double radius = size / 2.0 - 1;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            double dx = x - centre;
            double dy = y - centre;
            double distance = std::sqrt(dx * dx + dy * dy);
            uint32_t color = argb(0, 0, 0);
            if (distance <= radius)
                color = distance > radius - 2 ? argb(40, 40, 48) : argb(150 - static_cast<int>(distance * 2), 152, 160);
            pixels[static_cast<size_t>(top + y) * size + x] = color;
        }
    if (!pointer)
        return;
    for (double r = 2; r < radius - 2; r += 0.5)
    {
        int x = static_cast<int>(centre + std::cos(angle) * r + 0.5);
        int y = static_cast<int>(centre - std::sin(angle) * r + 0.5);
        pixels[static_cast<size_t>(top + y) * size + x] = argb(255, 200, 40);
    }
}

} // namespace

CBitmap* makeKnobFace(int size)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(size) * size);
    paintKnob(pixels, size, 0, 0, false);
    return new CBitmap(size, size, pixels.data());
}

CBitmap* makeKnobStrip(int size, int frames)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(size) * size * frames);
    for (int i = 0; i < frames; ++i)
    {
        double value = frames > 1 ? static_cast<double>(i) / (frames - 1) : 0.0;
        paintKnob(pixels, size, i * size, 3.9269907 - value * 4.712389, true);
    }
    return new CBitmap(size, size * frames, pixels.data());
}

} // namespace guitest
