// The DirectInput back end: as Wine has it (no controller), and against a
// fake DirectInput object for the paths only a controller can take.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "console/joystick-win32.h"
#include "console/joystick_lost.h"
#include "tests/support/child_process.h"
#include "tests/support/cout_capture.h"

namespace tavelund {
namespace {

using testing::CoutCapture;

TEST(DirectInputJoystick, NoControllerMeansKeyboardWithoutAWord) {
  std::atomic<char> cell{'u'};
  InputContext context{&cell};
  bool ready = false;
  std::string said;
  {
    CoutCapture out;
    openJoystick(context);
    ready = context.joystickReady;
    if (!ready) runJoystickPass(context);  // must be a no-op without a device
    said = out.text();
  }
  releaseJoystick(context);
  if (ready) GTEST_SKIP() << "a controller is attached to this machine";
  EXPECT_EQ(context.device, nullptr);
  EXPECT_EQ(said, "");
  EXPECT_EQ(cell.load(), 'u');
}

// What the fake device does and what was asked of it.
struct Script {
  HRESULT createResult = S_OK;
  HRESULT formatResult = S_OK;
  HRESULT cooperativeResult = S_OK;
  std::deque<HRESULT> acquireResults;  // S_OK once they run out
  HRESULT stateResult = S_OK;
  DIJOYSTATE2 state{};
  std::vector<std::string> calls;
  const DIDATAFORMAT* format = nullptr;
  HWND window = reinterpret_cast<HWND>(1);
  DWORD cooperativeFlags = 0;
  GUID deviceGuid{};
};

#define FAKE_UNUSED(name, ...) \
  HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return E_NOTIMPL; }

class FakeDevice final : public IDirectInputDevice8W {
 public:
  explicit FakeDevice(Script& script) : script_(script) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return log("device.Release"), 0; }
  HRESULT STDMETHODCALLTYPE Acquire() override {
    log("Acquire");
    if (script_.acquireResults.empty()) return S_OK;
    const HRESULT result = script_.acquireResults.front();
    script_.acquireResults.pop_front();
    return result;
  }
  HRESULT STDMETHODCALLTYPE Unacquire() override { return log("Unacquire"), S_OK; }
  HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) override {
    log("GetDeviceState");
    if (FAILED(script_.stateResult)) return script_.stateResult;
    if (size != sizeof(DIJOYSTATE2)) return DIERR_INVALIDPARAM;
    std::memcpy(data, &script_.state, sizeof(DIJOYSTATE2));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) override {
    log("SetDataFormat");
    script_.format = format;
    return script_.formatResult;
  }
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override {
    log("SetCooperativeLevel");
    script_.window = window;
    script_.cooperativeFlags = flags;
    return script_.cooperativeResult;
  }
  HRESULT STDMETHODCALLTYPE Poll() override { return log("Poll"), DI_NOEFFECT; }
  FAKE_UNUSED(GetCapabilities, LPDIDEVCAPS)
  FAKE_UNUSED(EnumObjects, LPDIENUMDEVICEOBJECTSCALLBACKW, LPVOID, DWORD)
  FAKE_UNUSED(GetProperty, REFGUID, LPDIPROPHEADER)
  FAKE_UNUSED(SetProperty, REFGUID, LPCDIPROPHEADER)
  FAKE_UNUSED(GetDeviceData, DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD)
  FAKE_UNUSED(SetEventNotification, HANDLE)
  FAKE_UNUSED(GetObjectInfo, LPDIDEVICEOBJECTINSTANCEW, DWORD, DWORD)
  FAKE_UNUSED(GetDeviceInfo, LPDIDEVICEINSTANCEW)
  FAKE_UNUSED(RunControlPanel, HWND, DWORD)
  FAKE_UNUSED(Initialize, HINSTANCE, DWORD, REFGUID)
  FAKE_UNUSED(CreateEffect, REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT*, LPUNKNOWN)
  FAKE_UNUSED(EnumEffects, LPDIENUMEFFECTSCALLBACKW, LPVOID, DWORD)
  FAKE_UNUSED(GetEffectInfo, LPDIEFFECTINFOW, REFGUID)
  FAKE_UNUSED(GetForceFeedbackState, LPDWORD)
  FAKE_UNUSED(SendForceFeedbackCommand, DWORD)
  FAKE_UNUSED(EnumCreatedEffectObjects, LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD)
  FAKE_UNUSED(Escape, LPDIEFFESCAPE)
  FAKE_UNUSED(SendDeviceData, DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD)
  FAKE_UNUSED(EnumEffectsInFile, LPCWSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD)
  FAKE_UNUSED(WriteEffectToFile, LPCWSTR, DWORD, LPDIFILEEFFECT, DWORD)
  FAKE_UNUSED(BuildActionMap, LPDIACTIONFORMATW, LPCWSTR, DWORD)
  FAKE_UNUSED(SetActionMap, LPDIACTIONFORMATW, LPCWSTR, DWORD)
  FAKE_UNUSED(GetImageInfo, LPDIDEVICEIMAGEINFOHEADERW)

 private:
  int log(const char* call) {
    script_.calls.push_back(call);
    return 0;
  }
  Script& script_;
};

class FakeDirectInput final : public IDirectInput8W {
 public:
  explicit FakeDirectInput(Script& script) : script_(script), device_(script) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override {
    script_.calls.push_back("input.Release");
    return 0;
  }
  HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8W* device,
                                         LPUNKNOWN) override {
    script_.calls.push_back("CreateDevice");
    script_.deviceGuid = guid;
    if (FAILED(script_.createResult)) return script_.createResult;
    *device = &device_;
    return S_OK;
  }
  FAKE_UNUSED(EnumDevices, DWORD, LPDIENUMDEVICESCALLBACKW, LPVOID, DWORD)
  FAKE_UNUSED(GetDeviceStatus, REFGUID)
  FAKE_UNUSED(RunControlPanel, HWND, DWORD)
  FAKE_UNUSED(Initialize, HINSTANCE, DWORD)
  FAKE_UNUSED(FindDevice, REFGUID, LPCWSTR, LPGUID)
  FAKE_UNUSED(EnumDevicesBySemantics, LPCWSTR, LPDIACTIONFORMATW, LPDIENUMDEVICESBYSEMANTICSCBW,
              LPVOID, DWORD)
  FAKE_UNUSED(ConfigureDevices, LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSW, DWORD,
              LPVOID)

 private:
  Script& script_;
  FakeDevice device_;
};

using Calls = std::vector<std::string>;

TEST(DirectInputJoystick, OpenSetsTheFormatAndBackgroundAccessAndReleaseUndoesIt) {
  Script script;
  FakeDirectInput input(script);
  std::atomic<char> cell{'u'};
  InputContext context{&cell};
  CoutCapture out;
  openJoystickWith(context, &input);
  ASSERT_TRUE(context.joystickReady);
  EXPECT_TRUE(IsEqualGUID(script.deviceGuid, GUID_Joystick));
  EXPECT_EQ(script.format, &c_dfDIJoystick2);
  EXPECT_EQ(script.window, nullptr);
  EXPECT_EQ(script.cooperativeFlags, 10u);
  EXPECT_EQ(script.calls,
            (Calls{"CreateDevice", "SetDataFormat", "SetCooperativeLevel", "Acquire"}));
  script.calls.clear();
  releaseJoystick(context);
  EXPECT_FALSE(context.joystickReady);
  EXPECT_EQ(script.calls, (Calls{"Unacquire", "device.Release", "input.Release"}));
  EXPECT_EQ(out.text(), "");
}

TEST(DirectInputJoystick, AFailedStepSaysWhichAndLeavesTheKeyboard) {
  struct Case {
    void (*fail)(Script&);
    const char* message;
    Calls calls;
  };
  const Case cases[] = {
      {[](Script& s) { s.createResult = REGDB_E_CLASSNOTREG; },
       "",
       {"CreateDevice", "input.Release"}},
      {[](Script& s) { s.formatResult = DIERR_INVALIDPARAM; },
       "Failed to set joystick data format.\n",
       {"CreateDevice", "SetDataFormat", "device.Release", "input.Release"}},
      {[](Script& s) { s.cooperativeResult = E_HANDLE; },
       "Failed to set cooperative level.\n",
       {"CreateDevice", "SetDataFormat", "SetCooperativeLevel", "device.Release", "input.Release"}},
      {[](Script& s) { s.acquireResults = {DIERR_OTHERAPPHASPRIO}; },
       "Failed to acquire joystick.\n",
       {"CreateDevice", "SetDataFormat", "SetCooperativeLevel", "Acquire", "device.Release",
        "input.Release"}},
  };
  for (const Case& c : cases) {
    Script script;
    c.fail(script);
    FakeDirectInput input(script);
    std::atomic<char> cell{'u'};
    InputContext context{&cell};
    std::string said;
    {
      CoutCapture out;
      openJoystickWith(context, &input);
      said = out.text();
    }
    EXPECT_FALSE(context.joystickReady) << c.message;
    EXPECT_EQ(context.device, nullptr);
    EXPECT_EQ(said, c.message);
    EXPECT_EQ(script.calls, c.calls) << c.message;
    script.calls.clear();
    releaseJoystick(context);  // nothing left to release
    EXPECT_TRUE(script.calls.empty());
  }
}

TEST(DirectInputJoystick, PassReadsTheStateOrTakesTheDeviceBack) {
  Script script;
  FakeDirectInput input(script);
  std::atomic<char> cell{'u'};
  InputContext context{&cell};
  openJoystickWith(context, &input);
  ASSERT_TRUE(context.joystickReady);

  script.state.lX = 0;
  script.state.lY = 32767;
  runJoystickPass(context);
  EXPECT_EQ(cell.load(), 'L');
  script.state.lX = 32767;
  script.state.rgbButtons[1] = 0x80;
  script.state.rgbButtons[2] = 0x80;
  runJoystickPass(context);
  EXPECT_EQ(cell.load(), 'Z');

  // Unreadable, but taken back: this pass stores nothing.
  script.calls.clear();
  script.stateResult = DIERR_INPUTLOST;
  script.acquireResults = {S_OK};
  cell.exchange('u');
  runJoystickPass(context);
  EXPECT_EQ(cell.load(), 'u');
  EXPECT_EQ(script.calls, (Calls{"Poll", "GetDeviceState", "Acquire"}));
  releaseJoystick(context);
}

// Run in a child process: a device that can neither be read nor acquired.
int lostDeviceChild() {
  Script script;
  script.acquireResults = {S_OK, static_cast<HRESULT>(DIERR_UNPLUGGED)};
  FakeDirectInput input(script);
  std::atomic<char> cell{'n'};
  InputContext context{&cell};
  openJoystickWith(context, &input);
  if (!context.joystickReady) return 3;
  script.stateResult = DIERR_INPUTLOST;
  runJoystickPass(context);
  return 4;  // the pass should have ended the process
}

TEST(DirectInputJoystick, UnpluggedEndsTheRunWithOneAndTheMessage) {
  const std::filesystem::path output =
      std::filesystem::temp_directory_path() /
      ("joystick_lost_" + std::to_string(GetCurrentProcessId()) + ".txt");
  int exitCode = -1;
  {
    testing::ChildProcess child(testing::ownProgramPath(), {"--lost-device-child"},
                                output.string());
    ASSERT_TRUE(child.started());
    const auto ended = child.waitExit(std::chrono::seconds(60));
    ASSERT_TRUE(ended.has_value()) << "the child did not end in time";
    exitCode = *ended;
  }
  std::ifstream file(output, std::ios::binary);
  const std::string said((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  file.close();
  std::filesystem::remove(output);
  EXPECT_EQ(exitCode, 1);
  // Standard output is in text mode: each line end is written as CR LF.
  EXPECT_EQ(said,
            "restored\r\n"
            "Failed to reacquire joystick. Error code: -2147220983\r\n"
            "Exit...\r\n");
}

}  // namespace
}  // namespace tavelund

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--lost-device-child") == 0) {
    return tavelund::lostDeviceChild();
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
