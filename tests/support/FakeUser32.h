// Recording stand-ins for the three USER32 functions the extension imports, put into the loaded module's
// import table. They behave like a small display and keyboard: a mode change the system accepts becomes the
// current mode, and a keyboard speed that is set becomes the current speed.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdint>
#include <deque>
#include <vector>

struct DisplayQuery {
    const wchar_t* deviceName;
    DWORD modeNumber;
    DEVMODEW received;  // the record as the caller handed it in, before it was filled
};

struct DisplayChange {
    const wchar_t* deviceName;
    bool hasMode;
    DEVMODEW mode;
    HWND window;
    DWORD flags;
    void* parameter;
};

struct KeyboardCall {
    UINT action;
    UINT uiParam;
    bool hasValue;
    int32_t valueOnEntry;  // what pvParam pointed at when the call came in
    UINT winIni;
};

enum class SystemCall { displayQuery, displayChange, keyboard };

struct FakeUser32 {
    // How the system answers.
    DEVMODEW currentMode{};
    std::deque<BOOL> queryAnswers;   // the next queries' answers; TRUE once they run out
    std::deque<LONG> changeAnswers;  // the next changes' answers; DISP_CHANGE_SUCCESSFUL once they run out
    UINT keyboardSpeed = 31;
    std::deque<BOOL> keyboardQueryAnswers;  // the next speed queries' answers; TRUE once they run out

    // What reached the system: every call counted, and while `recording`, each call with its arguments.
    bool recording = true;
    long reached = 0;
    std::vector<SystemCall> calls;
    std::vector<DisplayQuery> queries;
    std::vector<DisplayChange> changes;
    std::vector<KeyboardCall> keyboardCalls;

    void forgetCalls();
};

// The instance the fakes answer from and record into.
FakeUser32& fakeUser32();

// Points the module's USER32 imports at the fakes; false if one of them is not imported.
bool installFakeUser32(HMODULE module);

// A 1024x768, 32 bpp, 60 Hz mode in which every other byte holds a distinct value, so that a copy of the
// record that drops or moves a single byte shows.
DEVMODEW distinctMode(DWORD width, DWORD height);
