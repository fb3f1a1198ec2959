#include "FakeUser32.h"

#include "ImportPatch.h"

namespace {

FakeUser32 instance;

template <typename T>
T takeFront(std::deque<T>& answers, T otherwise) {
    if (answers.empty()) {
        return otherwise;
    }
    T answer = answers.front();
    answers.pop_front();
    return answer;
}

// Counts the call, and says whether to record it.
bool record(FakeUser32& fake, SystemCall call) {
    ++fake.reached;
    if (fake.recording) {
        fake.calls.push_back(call);
    }
    return fake.recording;
}

BOOL WINAPI fakeEnumDisplaySettingsW(LPCWSTR deviceName, DWORD modeNumber, DEVMODEW* mode) {
    FakeUser32& fake = fakeUser32();
    if (record(fake, SystemCall::displayQuery)) {
        fake.queries.push_back({deviceName, modeNumber, mode ? *mode : DEVMODEW{}});
    }
    const BOOL answer = takeFront(fake.queryAnswers, TRUE);
    if (answer && mode != nullptr) {
        *mode = fake.currentMode;
    }
    return answer;
}

LONG WINAPI fakeChangeDisplaySettingsExW(LPCWSTR deviceName, DEVMODEW* mode, HWND window, DWORD flags,
                                         LPVOID parameter) {
    FakeUser32& fake = fakeUser32();
    if (record(fake, SystemCall::displayChange)) {
        fake.changes.push_back({deviceName, mode != nullptr, mode ? *mode : DEVMODEW{}, window, flags, parameter});
    }
    const LONG answer = takeFront(fake.changeAnswers, static_cast<LONG>(DISP_CHANGE_SUCCESSFUL));
    if (answer == DISP_CHANGE_SUCCESSFUL && mode != nullptr) {
        fake.currentMode = *mode;
    }
    return answer;
}

BOOL WINAPI fakeSystemParametersInfoW(UINT action, UINT uiParam, PVOID pvParam, UINT winIni) {
    FakeUser32& fake = fakeUser32();
    if (record(fake, SystemCall::keyboard)) {
        const auto* value = static_cast<const int32_t*>(pvParam);
        fake.keyboardCalls.push_back({action, uiParam, value != nullptr, value ? *value : 0, winIni});
    }
    if (action == SPI_GETKEYBOARDSPEED) {
        if (!takeFront(fake.keyboardQueryAnswers, TRUE) || pvParam == nullptr) {
            return FALSE;
        }
        *static_cast<UINT*>(pvParam) = fake.keyboardSpeed;
        return TRUE;
    }
    if (action == SPI_SETKEYBOARDSPEED) {
        fake.keyboardSpeed = uiParam;
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void FakeUser32::forgetCalls() {
    calls.clear();
    queries.clear();
    changes.clear();
    keyboardCalls.clear();
}

FakeUser32& fakeUser32() { return instance; }

bool installFakeUser32(HMODULE module) {
    const bool query = patchImport(module, "USER32.dll", "EnumDisplaySettingsW",
                                   reinterpret_cast<void*>(&fakeEnumDisplaySettingsW)) != nullptr;
    const bool change = patchImport(module, "USER32.dll", "ChangeDisplaySettingsExW",
                                    reinterpret_cast<void*>(&fakeChangeDisplaySettingsExW)) != nullptr;
    const bool keyboard = patchImport(module, "USER32.dll", "SystemParametersInfoW",
                                      reinterpret_cast<void*>(&fakeSystemParametersInfoW)) != nullptr;
    return query && change && keyboard;
}

DEVMODEW distinctMode(DWORD width, DWORD height) {
    DEVMODEW mode;
    auto* bytes = reinterpret_cast<unsigned char*>(&mode);
    for (size_t i = 0; i < sizeof mode; ++i) {
        bytes[i] = static_cast<unsigned char>(i * 37 + 11);
    }
    mode.dmSize = sizeof mode;
    mode.dmDriverExtra = 0;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFLAGS | DM_DISPLAYFREQUENCY | DM_POSITION;
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    mode.dmBitsPerPel = 32;
    mode.dmDisplayFrequency = 60;
    return mode;
}
