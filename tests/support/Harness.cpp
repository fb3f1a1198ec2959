#include "Harness.h"

#include <vector>

#include "FakeUser32.h"

std::wstring besideThisProgram(const wchar_t* fileName) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length);
    directory.erase(directory.find_last_of(L"\\/") + 1);
    return directory + fileName;
}

std::string narrowPath(const std::wstring& path) {
    const int size = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, narrow.data(), size, nullptr, nullptr);
    return narrow;
}

LoadedExtension::LoadedExtension(bool fakeSystem, const wchar_t* fileName) {
    const std::wstring path = besideThisProgram(fileName);
    if (air::loadExtension(path.c_str(), "ExtensionInitializer", "ExtensionFinalizer") != air::Status::ok) {
        return;
    }
    loaded_ = !fakeSystem || installFakeUser32(air::extensionModule());
}

LoadedExtension::~LoadedExtension() { unload(); }

FREContext LoadedExtension::open(const char* contextType) {
    FREContext context = nullptr;
    air::createContext(contextType, &context);
    return context;
}

void LoadedExtension::unload() {
    air::unloadExtension();
    air::failNewObjectFromBool(false);
    loaded_ = false;
}

Outcome callWithObjects(FREContext context, const char* name, uint32_t count, const FREObject* arguments) {
    Outcome outcome{};
    outcome.status = air::call(context, name, count, arguments, &outcome.result);
    return outcome;
}

Outcome callWithInts(FREContext context, const char* name, std::initializer_list<int32_t> arguments) {
    std::vector<FREObject> objects;
    for (int32_t value : arguments) {
        objects.push_back(air::newInt(value));
    }
    // An empty call still hands over an array, as a runtime would; it just has no slot to read.
    FREObject noSlot = nullptr;
    return callWithObjects(context, name, static_cast<uint32_t>(objects.size()),
                           objects.empty() ? &noSlot : objects.data());
}

bool isTrue(FREObject object) { return air::kindOf(object) == air::Kind::boolean && air::boolOf(object); }

bool isFalse(FREObject object) { return air::kindOf(object) == air::Kind::boolean && !air::boolOf(object); }
