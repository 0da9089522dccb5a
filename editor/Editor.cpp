#include "editor/Editor.h"

#include "editor/CBarMeter.h"
#include "editor/CInfo.h"
#include "editor/CMeterGR.h"
#include "editor/CMeterLCD.h"
#include "editor/CModeButton.h"
#include "editor/CMyKnob.h"
#include "editor/CMyTextEdit.h"
#include "editor/CSelectors.h"
#include "editor/CZelvoButton.h"
#include "editor/MeteringPreferences.h"
#include "editor/MyFrame.h"
#include "effect/ParameterTable.h"
#include "gui/cbitmap.h"
#include "platform/SystemTime.h"
#include "resources/PanelLayout.h"

#include <cstring>
#include <map>

using namespace VSTGUI;
using PanelLayout::Control;

namespace
{

// The knobs' wheel and arrow-key steps, as the exact single-precision bit patterns.
float fromBits(uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
const float kWheelStepFine = fromBits(0x3D000000);    // 0.03125
const float kWheelStepDecibel = fromBits(0x3D55555C); // 0.0520833582
const float kWheelStepDrive = fromBits(0x3C55555C);   // 0.0130208395

const CColor kDarkFieldBack = {37, 36, 35, 255};
const CColor kDarkFieldFont = {165, 183, 189, 255};
const CColor kLightFieldBack = {163, 167, 166, 255};
const CColor kLightFieldFont = {79, 79, 79, 255};

// Each bitmap is loaded once while the panel is built and handed to every
// control that uses it; the controls keep their own references.
class BitmapSet
{
public:
    ~BitmapSet()
    {
        for (auto& entry : bitmaps)
            entry.second->forget();
    }
    CBitmap* operator()(int id)
    {
        auto found = bitmaps.find(id);
        if (found != bitmaps.end())
            return found->second;
        CBitmap* bitmap = new CBitmap(id);
        bitmaps[id] = bitmap;
        return bitmap;
    }

private:
    std::map<int, CBitmap*> bitmaps;
};

CRect toCRect(const PanelLayout::Rect& r) { return CRect(r.left, r.top, r.right, r.bottom); }

CRect rectOf(Control control) { return toCRect(PanelLayout::placement(control).rect); }
} // namespace

Editor::Editor(EditorConnection& connection)
    : CPresetSystemEditor(connection),
      latency(connection.getLatency()),
      lastIdleTicks(platform::getTicks()),
      highlightTicks(lastIdleTicks)
{
    rect.top = 0;
    rect.left = 0;
    rect.bottom = kHeight;
    rect.right = kWidth;
}

Editor::~Editor()
{
    // A host may delete the effect with the window still open.
    if (frame)
        close();
}

MyFrame* Editor::getMyFrame() const { return static_cast<MyFrame*>(frame); }

int Editor::meterMode() const
{
    if (stepIndex(connection.getParameter(kMeterType), 2) == 0)
        return kMeterPeak;
    return 1 + stepIndex(connection.getParameter(kScale), 3);
}

bool Editor::open(void* ptr)
{
    if (frame)
        close();
    // Without the host's window there is nothing to open in.
    if (!ptr)
        return false;
    GuiEditor::open(ptr);
    BitmapSet bitmap;
    auto skin = [&](Control control) {
        return bitmap(PanelLayout::placement(control).bitmap);
    };

    CBitmap* background = bitmap(128);
    MyFrame* myFrame = new MyFrame(CRect(0, 0, background->getWidth(), background->getHeight()), ptr, this);
    if (!myFrame->getPlatformWindow())
    {
        // No window could be made (no display, no parent): say so to the host.
        myFrame->forget();
        GuiEditor::close();
        return false;
    }
    frame = myFrame;
    frame->setBackground(background);

    auto value = [&](int index) {
        return connection.getParameter(index);
    };
    auto add = [&](CView* view) {
        frame->addView(view);
    };
    const int mode = meterMode();

    CBitmap* const inBitmaps[8] = {bitmap(128), bitmap(155), bitmap(130), bitmap(131),
                                   bitmap(132), bitmap(133), bitmap(129), bitmap(154)};
    CBitmap* const outBitmaps[8] = {bitmap(128), bitmap(155), bitmap(130), bitmap(134),
                                    bitmap(135), bitmap(136), bitmap(129), bitmap(154)};
    meterIn = new CMeterIn(toCRect(PanelLayout::kInputMeter), this, kTagMeter, inBitmaps);
    meterIn->setMode(mode);
    add(meterIn);
    meterOut = new CMeterOut(toCRect(PanelLayout::kOutputMeter), this, kTagMeter, outBitmaps);
    meterOut->setMode(mode);
    add(meterOut);
    meterGR = new CMeterGR(toCRect(PanelLayout::kReductionMeter), this, kTagMeter, bitmap(156), bitmap(167));
    meterGR->setZoom(value(kAttZoom));
    add(meterGR);
    readoutIn =
        new CMeterLCD(toCRect(PanelLayout::kInputReadout), this, kTagMeter, bitmap(128), bitmap(137), bitmap(138));
    readoutIn->setMode(mode);
    add(readoutIn);
    readoutOut =
        new CMeterLCD(toCRect(PanelLayout::kOutputReadout), this, kTagMeter, bitmap(128), bitmap(137), bitmap(138));
    readoutOut->setMode(mode);
    add(readoutOut);
    readoutGR = new CMeterLCDGR(toCRect(PanelLayout::kReductionReadout), this, kTagMeter, bitmap(128), bitmap(137));
    add(readoutGR);

    detectorOrder =
        new CZelvoButton(rectOf(Control::DetectorOrder), this, kDetectorOrder, skin(Control::DetectorOrder));
    detectorOrder->setValue(value(kDetectorOrder));
    add(detectorOrder);
    oversample = new COversamplingButton(rectOf(Control::Oversample), this, kOversample, skin(Control::Oversample));
    oversample->setValue(value(kOversample));
    add(oversample);
    modeButton = new CModeButton(rectOf(Control::MeterMode), this, kScale, skin(Control::MeterMode));
    modeButton->setMeterType(value(kMeterType));
    modeButton->setScale(value(kScale));
    add(modeButton);
    quantize = new CZelvoButton(rectOf(Control::Quantize), this, kQuantize, skin(Control::Quantize));
    quantize->setValue(value(kQuantize));
    add(quantize);
    autoBlack = new CAutoBlack(rectOf(Control::Autoblack), this, kAutoblack, skin(Control::Autoblack));
    autoBlack->setEnabled(value(kQuantize));
    autoBlack->setState(value(kAutoblack));
    add(autoBlack);
    bits = new CBits(rectOf(Control::Bits), this, kBits, skin(Control::Bits));
    bits->setEnabled(value(kQuantize));
    bits->setState(value(kBits));
    add(bits);
    noiseShape = new CNoiseShape(rectOf(Control::NoiseShape), this, kNoiseShape, skin(Control::NoiseShape));
    noiseShape->setState(value(kNoiseShape));
    noiseShape->setEnabled(value(kQuantize));
    add(noiseShape);
    calibrate = new CCalibButton(rectOf(Control::Calibrate), this, kCalibrate, skin(Control::Calibrate));
    calibrate->setValue(value(kCalibrate));
    add(calibrate);
    attZoom = new CZelvoButton(rectOf(Control::AttZoom), this, kAttZoom, skin(Control::AttZoom), true);
    attZoom->setValue(value(kAttZoom));
    add(attZoom);

    const int mask = stepIndex(value(kAttShow), 8);
    const Control attShowKeys[3] = {Control::AttShow1, Control::AttShow2, Control::AttShow4};
    for (int i = 0; i < 3; ++i)
    {
        attShow[i] = new CZelvoButton(rectOf(attShowKeys[i]), this, kTagAttShowBit1 + i, skin(attShowKeys[i]), true);
        attShow[i]->setValue(stepValue((mask >> i) & 1, 2));
        add(attShow[i]);
    }

    auto knob = [&](Control control, int index, float wheelStep) {
        const PanelLayout::Placement& place = PanelLayout::placement(control);
        CMyKnob* k = new CMyKnob(toCRect(place.rect), this, index, 101, place.frameHeight, bitmap(place.bitmap));
        k->setValue(value(index));
        k->setWheelInc(wheelStep);
        k->setDefaultValue(kParameterTable[index].defaultValue); // what a Control-click returns to
        add(k);
        return k;
    };
    transientKnob = knob(Control::Transient, kTransient, kWheelStepFine);
    releaseKnob = knob(Control::Release, kRelease, kWheelStepFine);
    levellerKnob = knob(Control::Leveller, kLeveller, kWheelStepDecibel);
    linkKnob = knob(Control::Link, kLink, kWheelStepFine);

    speedSwitch = new CSpeedSwitch(rectOf(Control::TransShape), this, kTransShape, skin(Control::TransShape));
    speedSwitch->setValue(value(kTransShape));
    add(speedSwitch);
    power = new CZelvoButton(rectOf(Control::Power), this, kPower, skin(Control::Power));
    power->setValue(value(kPower));
    add(power);
    driveKnob = knob(Control::Drive, kDrive, kWheelStepDrive);
    outputKnob = knob(Control::Output, kOutput, kWheelStepDecibel);
    autoOut = new CZelvoButton(rectOf(Control::AutoOut), this, kAutoOut, skin(Control::AutoOut));
    autoOut->setValue(value(kAutoOut));
    add(autoOut);
    postMeter = new CZelvoButton(rectOf(Control::PostMeter), this, kPostMeter, skin(Control::PostMeter), true);
    postMeter->setValue(value(kPostMeter));
    add(postMeter);

    info = new CInfo(toCRect(PanelLayout::kAboutButton), bitmap(157), bitmap(137), bitmap(158));
    latency = connection.getLatency();
    info->setLatency(latency);
    add(info);

    auto field = [&](PanelLayout::NumberField which, int index, const CColor& back, const CColor& font) {
        const PanelLayout::Field& place = PanelLayout::field(which);
        CMyTextEdit* f =
            new CMyTextEdit(toCRect(place.rect), this, index, bitmap(128), bitmap(137), bitmap(place.font));
        f->setBackColor(back);
        f->setFontColor(font);
        f->setValue(value(index));
        add(f);
        return f;
    };
    driveField = field(PanelLayout::NumberField::Drive, kDrive, kDarkFieldBack, kDarkFieldFont);
    outputField = field(PanelLayout::NumberField::Output, kOutput, kDarkFieldBack, kDarkFieldFont);
    transientField = field(PanelLayout::NumberField::Transient, kTransient, kLightFieldBack, kLightFieldFont);
    releaseField = field(PanelLayout::NumberField::Release, kRelease, kLightFieldBack, kLightFieldFont);
    levellerField = field(PanelLayout::NumberField::Leveller, kLeveller, kLightFieldBack, kLightFieldFont);
    linkField = field(PanelLayout::NumberField::Link, kLink, kLightFieldBack, kLightFieldFont);

    meterOvs = new CZelvoButton(rectOf(Control::MeterOvs), this, kMeterOvs, skin(Control::MeterOvs), true);
    meterOvs->setValue(value(kMeterOvs));
    add(meterOvs);
    // The true-peak guard's key sits in the free space under OVS.
    truePeakGuard =
        new CZelvoButton(rectOf(Control::TruePeakGuard), this, kTruePeakGuard, skin(Control::TruePeakGuard));
    truePeakGuard->setValue(value(kTruePeakGuard));
    add(truePeakGuard);

    CPresetSystemEditor::open(ptr);
    return true;
}

CTextEdit* Editor::makeNameField(const CRect& size, long tag, CBitmap* background, CBitmap* font,
                                 CBitmap* transparentFont)
{
    return new CMyTextEdit(size, this, tag, background, font, transparentFont);
}

void Editor::close()
{
    withdrawControls();
    CPresetSystemEditor::close();
    meterIn = meterOut = nullptr;
    meterGR = nullptr;
    readoutIn = readoutOut = nullptr;
    readoutGR = nullptr;
    detectorOrder = quantize = attZoom = power = autoOut = postMeter = meterOvs = truePeakGuard = nullptr;
    oversample = nullptr;
    modeButton = nullptr;
    autoBlack = nullptr;
    bits = nullptr;
    noiseShape = nullptr;
    calibrate = nullptr;
    for (auto*& button : attShow)
        button = nullptr;
    transientKnob = releaseKnob = levellerKnob = linkKnob = driveKnob = outputKnob = nullptr;
    speedSwitch = nullptr;
    info = nullptr;
    driveField = outputField = transientField = releaseField = levellerField = linkField = nullptr;
    if (frame)
    {
        CFrame* closing = frame;
        frame = nullptr;
        closing->forget();
    }
    GuiEditor::close();
}

void Editor::showLatency()
{
    // A rate change arrives on a host thread; the about panel takes the new
    // latency here, on the thread that draws it.
    const int now = connection.getLatency();
    if (now == latency)
        return;
    latency = now;
    if (info)
        info->setLatency(now);
}

void Editor::applyMeterMode()
{
    const int mode = meterMode();
    meterIn->setMode(mode);
    meterOut->setMode(mode);
    readoutIn->setMode(mode);
    readoutOut->setMode(mode);
}

void Editor::setParameter(int index, float value)
{
    if (!isHostVisible(index))
        return;
    // Any host thread, the audio thread included: only atomics here. The
    // value goes before its bit, so the idle that sees the bit sees it.
    pendingValues[index].store(value, std::memory_order_relaxed);
    pendingParameters.fetch_or(1u << index, std::memory_order_release);
}

void Editor::showPendingChanges()
{
    showLatency();
    uint32_t changed = pendingParameters.exchange(0, std::memory_order_acquire);
    for (int index = 0; changed; ++index, changed >>= 1)
        if (changed & 1u)
            showParameter(index, pendingValues[index].load(std::memory_order_relaxed));
}

void Editor::showParameter(int index, float value)
{
    switch (index)
    {
    case kOutput:
        outputKnob->setValue(value);
        outputField->setValue(value);
        break;
    case kDrive:
        driveKnob->setValue(value);
        driveField->setValue(value);
        break;
    case kTransient:
        transientKnob->setValue(value);
        transientField->setValue(value);
        break;
    case kRelease:
        releaseKnob->setValue(value);
        releaseField->setValue(value);
        break;
    case kLink:
        linkKnob->setValue(value);
        linkField->setValue(value);
        break;
    case kLeveller:
        levellerKnob->setValue(value);
        levellerField->setValue(value);
        break;
    case kTransShape: speedSwitch->setValue(value); break;
    case kOversample: oversample->setValue(value); break;
    case kDetectorOrder: detectorOrder->setValue(value); break;
    case kPower: power->setValue(value); break;
    case kCalibrate: calibrate->setValue(value); break;
    case kMeterOvs: meterOvs->setValue(value); break;
    case kAutoOut: autoOut->setValue(value); break;
    case kPostMeter: postMeter->setValue(value); break;
    case kTruePeakGuard: truePeakGuard->setValue(value); break;
    case kScale:
        modeButton->setScale(value);
        applyMeterMode();
        break;
    case kMeterType:
        modeButton->setMeterType(value);
        applyMeterMode();
        break;
    case kBits: bits->setState(value); break;
    case kNoiseShape: noiseShape->setState(value); break;
    case kQuantize:
        quantize->setValue(value);
        bits->setEnabled(value);
        noiseShape->setEnabled(value);
        autoBlack->setEnabled(value);
        break;
    case kAutoblack: autoBlack->setState(value); break;
    case kAttZoom:
        attZoom->setValue(value);
        meterGR->setZoom(value);
        break;
    case kAttShow:
    {
        meterGR->reset();
        readoutGR->reset();
        const int mask = stepIndex(value, 8);
        for (int i = 0; i < 3; ++i)
            attShow[i]->setValue(stepValue((mask >> i) & 1, 2));
        break;
    }
    default: break;
    }
}

void Editor::setParameterAutomated(int index, float value) { connection.setParameterAutomated(index, value); }

void Editor::valueChanged(CDrawContext* context, CControl* control)
{
    CPresetSystemEditor::valueChanged(context, control);
    if (!control)
        return;
    const long tag = control->getTag();
    const float value = control->getValue();
    switch (tag)
    {
    case kOversample:
    case kCalibrate:
    case kMeterOvs:
        resetMeters();
        setParameterAutomated(tag, value);
        break;
    case kAttZoom:
        if (meterGR)
            meterGR->reset();
        setParameterAutomated(tag, value);
        break;
    case kPostMeter:
        if (meterIn)
            meterIn->reset();
        if (readoutIn)
            readoutIn->reset();
        setParameterAutomated(tag, value);
        break;
    case kTagMeter: resetMeters(); break;
    case kTagAttShowBit1:
    case kTagAttShowBit2:
    case kTagAttShowBit4:
    {
        const int bit = 1 << (tag - kTagAttShowBit1);
        int mask = stepIndex(connection.getParameter(kAttShow), 8);
        mask = stepIndex(value, 2) == 1 ? (mask | bit) : (mask & (7 & ~bit));
        setParameterAutomated(kAttShow, stepValue(mask, 8));
        break;
    }
    case kScale:
    case kMeterType:
    case kAttShow: break;
    default:
        if (tag >= 0 && tag < kNumParams && isHostVisible(static_cast<int>(tag)))
            setParameterAutomated(tag, value);
        break;
    }
}

void Editor::setHighlights(bool state)
{
    for (CZelvoButton* button : attShow)
        if (button)
            button->setHighlight(state);
    if (attZoom)
        attZoom->setHighlight(state);
    if (meterOvs)
        meterOvs->setHighlight(state);
    if (modeButton)
        modeButton->setHighlight(state);
    if (postMeter)
        postMeter->setHighlight(state);
}

void Editor::storeMeteringPreferences()
{
    highlightTicks = platform::getTicks();
    setHighlights(true);
    meteringpreferences::store(connection);
}

void Editor::automateMeterScale(int scale) { setParameterAutomated(kScale, stepValue(scale, 3)); }

void Editor::automateMeterType(int type) { setParameterAutomated(kMeterType, stepValue(type, 2)); }

void Editor::resetMeters()
{
    if (meterIn)
        meterIn->reset();
    if (meterOut)
        meterOut->reset();
    if (meterGR)
        meterGR->reset();
    if (readoutIn)
        readoutIn->reset();
    if (readoutOut)
        readoutOut->reset();
    if (readoutGR)
        readoutGR->reset();
}

void Editor::idle()
{
    if (inIdleStuff)
        return;
    const uint32_t now = platform::getTicks();
    GuiEditor::idle();
    if (!frame)
        return;
    // Every idle, not only every 20 ms: a change (the user's own, coming
    // back through the effect) shows in the same pass that made it.
    showPendingChanges();
    if (static_cast<int32_t>(now - lastIdleTicks) < static_cast<int32_t>(kIdleInterval))
        return;
    CPresetSystemEditor::idle();
    if (getMyFrame()->hasInfoView())
        return;

    float meters[10] = {};
    connection.getMeterSnapshot(meters);
    meterIn->setLevels(now, meters[0], meters[1], meters[4], meters[5]);
    meterOut->setLevels(now, meters[2], meters[3], meters[6], meters[7]);
    meterGR->setLevels(now, meters[8], meters[9]);
    readoutIn->setLevels(meters[0], meters[1]);
    readoutOut->setLevels(meters[2], meters[3]);
    readoutGR->setLevels(meters[8], meters[9]);
    calibrate->setTicks(now);

    // Signed: a store inside this very idle pass (a click handled by the
    // toolkit's idle above) starts its half second after `now`.
    if (static_cast<int32_t>(now - highlightTicks) > static_cast<int32_t>(kHighlightTime))
        setHighlights(false);
    lastIdleTicks = now;
}
