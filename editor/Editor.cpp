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
#include "effect/Plugin.h"
#include "gui/cbitmap.h"
#include "platform/SystemTime.h"

#include <cstring>
#include <map>

using namespace VSTGUI;

namespace {

// The knobs' wheel and arrow-key steps, as the exact single-precision bit patterns.
float fromBits(uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
const float kWheelStepFine = fromBits(0x3D000000);       // 0.03125
const float kWheelStepDecibel = fromBits(0x3D55555C);    // 0.0520833582
const float kWheelStepDrive = fromBits(0x3C55555C);      // 0.0130208395

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

} // namespace

Editor::Editor(AudioEffect* effect)
    : CPresetSystemEditor(effect),
      plugin(dynamic_cast<Plugin*>(effect)),
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
    if (!effect || stepIndex(effect->getParameter(kMeterType), 2) == 0)
        return kMeterPeak;
    return 1 + stepIndex(effect->getParameter(kScale), 3);
}

bool Editor::open(void* ptr)
{
    if (frame)
        close();
    // Without the host's window there is nothing to open in.
    if (!ptr)
        return false;
    AEffGUIEditor::open(ptr);
    BitmapSet bitmap;

    CBitmap* background = bitmap(128);
    MyFrame* myFrame = new MyFrame(CRect(0, 0, background->getWidth(), background->getHeight()), ptr, this);
    if (!myFrame->getPlatformWindow()) {
        // No window could be made (no display, no parent): say so to the host.
        myFrame->forget();
        AEffGUIEditor::close();
        return false;
    }
    frame = myFrame;
    frame->setBackground(background);

    auto value = [&](int index) { return effect->getParameter(index); };
    auto add = [&](CView* view) { frame->addView(view); };
    const int mode = meterMode();

    CBitmap* const inBitmaps[8] = {bitmap(128), bitmap(155), bitmap(130), bitmap(131),
                                   bitmap(132), bitmap(133), bitmap(129), bitmap(154)};
    CBitmap* const outBitmaps[8] = {bitmap(128), bitmap(155), bitmap(130), bitmap(134),
                                    bitmap(135), bitmap(136), bitmap(129), bitmap(154)};
    meterIn = new CMeterIn(CRect(147, 38, 207, 408), this, kTagMeter, inBitmaps);
    meterIn->setMode(mode);
    add(meterIn);
    meterOut = new CMeterOut(CRect(319, 38, 379, 406), this, kTagMeter, outBitmaps);
    meterOut->setMode(mode);
    add(meterOut);
    meterGR = new CMeterGR(CRect(233, 39, 291, 192), this, kTagMeter, bitmap(156), bitmap(167));
    meterGR->setZoom(value(kAttZoom));
    add(meterGR);
    readoutIn = new CMeterLCD(CRect(131, 415, 224, 426), this, kTagMeter, bitmap(128), bitmap(137), bitmap(138));
    readoutIn->setMode(mode);
    add(readoutIn);
    readoutOut = new CMeterLCD(CRect(303, 415, 396, 426), this, kTagMeter, bitmap(128), bitmap(137), bitmap(138));
    readoutOut->setMode(mode);
    add(readoutOut);
    readoutGR = new CMeterLCDGR(CRect(217, 199, 310, 210), this, kTagMeter, bitmap(128), bitmap(137));
    add(readoutGR);

    detectorOrder = new CZelvoButton(CRect(44, 40, 77, 59), this, kDetectorOrder, bitmap(139));
    detectorOrder->setValue(value(kDetectorOrder));
    add(detectorOrder);
    oversample = new COversamplingButton(CRect(81, 40, 114, 59), this, kOversample, bitmap(140));
    oversample->setValue(value(kOversample));
    add(oversample);
    modeButton = new CModeButton(CRect(223, 305, 258, 361), this, kScale, bitmap(141));
    modeButton->setMeterType(value(kMeterType));
    modeButton->setScale(value(kScale));
    add(modeButton);
    quantize = new CZelvoButton(CRect(412, 40, 445, 59), this, kQuantize, bitmap(162));
    quantize->setValue(value(kQuantize));
    add(quantize);
    autoBlack = new CAutoBlack(CRect(449, 40, 482, 59), this, kAutoblack, bitmap(163));
    autoBlack->setEnabled(value(kQuantize));
    autoBlack->setState(value(kAutoblack));
    add(autoBlack);
    bits = new CBits(CRect(412, 78, 445, 97), this, kBits, bitmap(142));
    bits->setEnabled(value(kQuantize));
    bits->setState(value(kBits));
    add(bits);
    noiseShape = new CNoiseShape(CRect(449, 78, 482, 97), this, kNoiseShape, bitmap(143));
    noiseShape->setState(value(kNoiseShape));
    noiseShape->setEnabled(value(kQuantize));
    add(noiseShape);
    calibrate = new CCalibButton(CRect(269, 341, 302, 360), this, kCalibrate, bitmap(145));
    calibrate->setValue(value(kCalibrate));
    add(calibrate);
    attZoom = new CZelvoButton(CRect(269, 265, 302, 284), this, kAttZoom, bitmap(144), true);
    attZoom->setValue(value(kAttZoom));
    add(attZoom);

    const int mask = stepIndex(value(kAttShow), 8);
    const CRect attShowRects[3] = {CRect(224, 265, 257, 284), CRect(224, 230, 257, 249), CRect(269, 230, 302, 249)};
    const int attShowBitmaps[3] = {164, 165, 166};
    for (int i = 0; i < 3; ++i) {
        attShow[i] = new CZelvoButton(attShowRects[i], this, kTagAttShowBit1 + i, bitmap(attShowBitmaps[i]), true);
        attShow[i]->setValue(stepValue((mask >> i) & 1, 2));
        add(attShow[i]);
    }

    auto knob = [&](const CRect& r, int index, int bitmapId, int frameHeight, float wheelStep) {
        CMyKnob* k = new CMyKnob(r, this, index, 101, frameHeight, bitmap(bitmapId));
        k->setValue(value(index));
        k->setWheelInc(wheelStep);
        k->setDefaultValue(kParameterTable[index].defaultValue); // what a Control-click returns to
        add(k);
        return k;
    };
    transientKnob = knob(CRect(55, 169, 105, 217), kTransient, 152, 48, kWheelStepFine);
    releaseKnob = knob(CRect(56, 267, 105, 314), kRelease, 153, 47, kWheelStepFine);
    levellerKnob = knob(CRect(421, 169, 469, 216), kLeveller, 147, 47, kWheelStepDecibel);
    linkKnob = knob(CRect(421, 267, 469, 314), kLink, 148, 47, kWheelStepFine);

    speedSwitch = new CSpeedSwitch(CRect(38, 121, 128, 146), this, kTransShape, bitmap(146));
    speedSwitch->setValue(value(kTransShape));
    add(speedSwitch);
    power = new CZelvoButton(CRect(245, 400, 280, 435), this, kPower, bitmap(149));
    power->setValue(value(kPower));
    add(power);
    driveKnob = knob(CRect(52, 349, 108, 404), kDrive, 150, 55, kWheelStepDrive);
    outputKnob = knob(CRect(417, 349, 475, 405), kOutput, 151, 56, kWheelStepDecibel);
    autoOut = new CZelvoButton(CRect(394, 368, 412, 392), this, kAutoOut, bitmap(161));
    autoOut->setValue(value(kAutoOut));
    add(autoOut);
    postMeter = new CZelvoButton(CRect(116, 368, 134, 392), this, kPostMeter, bitmap(161), true);
    postMeter->setValue(value(kPostMeter));
    add(postMeter);

    info = new CInfo(CRect(224, 370, 301, 401), bitmap(157), bitmap(137), bitmap(158));
    info->setLatency(latency);
    add(info);

    auto field = [&](const CRect& r, int index, int fontId, const CColor& back, const CColor& font) {
        CMyTextEdit* f = new CMyTextEdit(r, this, index, bitmap(128), bitmap(137), bitmap(fontId));
        f->setBackColor(back);
        f->setFontColor(font);
        f->setValue(value(index));
        add(f);
        return f;
    };
    driveField = field(CRect(43, 411, 117, 424), kDrive, 159, kDarkFieldBack, kDarkFieldFont);
    outputField = field(CRect(410, 411, 484, 424), kOutput, 159, kDarkFieldBack, kDarkFieldFont);
    transientField = field(CRect(45, 220, 119, 233), kTransient, 158, kLightFieldBack, kLightFieldFont);
    releaseField = field(CRect(45, 318, 119, 331), kRelease, 158, kLightFieldBack, kLightFieldFont);
    levellerField = field(CRect(411, 220, 485, 233), kLeveller, 158, kLightFieldBack, kLightFieldFont);
    linkField = field(CRect(411, 318, 485, 331), kLink, 158, kLightFieldBack, kLightFieldFont);

    meterOvs = new CZelvoButton(CRect(269, 307, 302, 326), this, kMeterOvs, bitmap(160), true);
    meterOvs->setValue(value(kMeterOvs));
    add(meterOvs);
    // The true-peak guard's key sits in the free space under OVS.
    truePeakGuard = new CZelvoButton(CRect(81, 74, 114, 93), this, kTruePeakGuard, bitmap(168));
    truePeakGuard->setValue(value(kTruePeakGuard));
    add(truePeakGuard);

    CPresetSystemEditor::open(ptr);
    return true;
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
    if (frame) {
        CFrame* closing = frame;
        frame = nullptr;
        closing->forget();
    }
    AEffGUIEditor::close();
}

void Editor::setLatency(int samples)
{
    latency = samples;
    // A rate change arrives on a host thread: the about panel stays while
    // this call uses it, as for parameter changes.
    ControlAccess access(*this);
    if (access && info)
        info->setLatency(samples);
}

void Editor::applyMeterMode()
{
    const int mode = meterMode();
    meterIn->setMode(mode);
    meterOut->setMode(mode);
    readoutIn->setMode(mode);
    readoutOut->setMode(mode);
}

void Editor::setParameter(VstInt32 index, float value)
{
    if (index < 0 || index > kTruePeakGuard)
        return;
    // Any host thread: the controls stay while this call uses them.
    ControlAccess access(*this);
    if (!access)
        return;
    switch (index) {
    case kOutput: outputKnob->setValue(value); outputField->setValue(value); break;
    case kDrive: driveKnob->setValue(value); driveField->setValue(value); break;
    case kTransient: transientKnob->setValue(value); transientField->setValue(value); break;
    case kRelease: releaseKnob->setValue(value); releaseField->setValue(value); break;
    case kLink: linkKnob->setValue(value); linkField->setValue(value); break;
    case kLeveller: levellerKnob->setValue(value); levellerField->setValue(value); break;
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
    case kAttShow: {
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

void Editor::setParameterAutomated(int index, float value)
{
    if (effect)
        effect->setParameterAutomated(index, value);
}

void Editor::valueChanged(CDrawContext* context, CControl* control)
{
    CPresetSystemEditor::valueChanged(context, control);
    if (!control)
        return;
    const long tag = control->getTag();
    const float value = control->getValue();
    switch (tag) {
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
    case kTagAttShowBit4: {
        const int bit = 1 << (tag - kTagAttShowBit1);
        int mask = stepIndex(effect ? effect->getParameter(kAttShow) : 0.0f, 8);
        mask = stepIndex(value, 2) == 1 ? (mask | bit) : (mask & (7 & ~bit));
        setParameterAutomated(kAttShow, stepValue(mask, 8));
        break;
    }
    case kScale:
    case kMeterType:
    case kAttShow:
        break;
    default:
        if (tag >= 0 && tag <= kTruePeakGuard)
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
    if (effect)
        meteringpreferences::store(*effect);
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
    AEffGUIEditor::idle();
    if (!frame || static_cast<int32_t>(now - lastIdleTicks) < static_cast<int32_t>(kIdleInterval))
        return;
    CPresetSystemEditor::idle();
    if (getMyFrame()->hasInfoView())
        return;

    float meters[10] = {};
    if (plugin)
        plugin->getMeterSnapshot(meters);
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
