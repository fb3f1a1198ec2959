#include "Runtime.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

struct Value {
    air::Kind kind;
    int32_t integer;
    bool boolean;
    std::string text;
};

struct Context {
    const FRENamedFunction* functions = nullptr;
    uint32_t functionCount = 0;
};

// Space for a call's arguments whose end touches a page that may not be read, so an extension that reads
// a slot at or past the count faults at once instead of picking up whatever lies beyond.
class ArgumentWindow {
public:
    FREObject* place(const FREObject* arguments, uint32_t count) {
        if (base == nullptr) {
            reserve();
        }
        if (count > capacity()) {
            return nullptr;
        }
        FREObject* first = end() - count;
        std::copy_n(arguments, count, first);
        return first;
    }

    uint32_t capacity() const { return pageSize / sizeof(FREObject); }

private:
    void reserve() {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        pageSize = info.dwPageSize;
        base = static_cast<unsigned char*>(
            VirtualAlloc(nullptr, SIZE_T{2} * pageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD previous = 0;
        VirtualProtect(base + pageSize, pageSize, PAGE_NOACCESS, &previous);
    }
    FREObject* end() const { return reinterpret_cast<FREObject*>(base + pageSize); }

    unsigned char* base = nullptr;
    DWORD pageSize = 0;
};

struct Runtime {
    std::deque<Value> values;
    std::unordered_set<FREObject> madeHere;
    FREObject trueObject = nullptr;
    FREObject falseObject = nullptr;

    HMODULE module = nullptr;
    void* extensionData = nullptr;
    FREFinalizer finalizer = nullptr;
    FREContextInitializer contextInitializer = nullptr;
    FREContextFinalizer contextFinalizer = nullptr;
    std::vector<std::unique_ptr<Context>> contexts;

    ArgumentWindow argumentWindow;
    std::vector<air::Request> requests;
    bool insideCall = false;
    DWORD callingThread = 0;
    bool failNewBool = false;
    std::string lastError;
};

Runtime& runtime() {
    static Runtime instance;
    return instance;
}

FREObject make(Value value) {
    Runtime& rt = runtime();
    rt.values.push_back(std::move(value));
    FREObject handle = &rt.values.back();
    rt.madeHere.insert(handle);
    return handle;
}

const Value* find(FREObject object) {
    const Runtime& rt = runtime();
    if (object == nullptr || rt.madeHere.count(object) == 0) {
        return nullptr;
    }
    return static_cast<const Value*>(object);
}

Context* findContext(FREContext handle) {
    for (auto& context : runtime().contexts) {
        if (context.get() == handle) {
            return context.get();
        }
    }
    return nullptr;
}

// GetProcAddress's type says nothing of the export's real shape; going through void(*)() says so out loud.
template <typename Function>
Function exported(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

air::Status fail(air::Status status, std::string why) {
    runtime().lastError = std::move(why);
    return status;
}

// The system's own words for an error; some of them name the file, as %1.
std::string systemMessage(DWORD code, const std::string& file) {
    char* text = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length ? std::string(text, length) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    for (size_t at = message.find("%1"); at != std::string::npos; at = message.find("%1", at + file.size())) {
        message.replace(at, 2, file);
    }
    return message;
}

// The runtime's functions may only be used from inside a call it made, on its own thread.
bool callable() {
    const Runtime& rt = runtime();
    return rt.insideCall && GetCurrentThreadId() == rt.callingThread;
}

// Leaves a recognisable pattern where the called function's frame will lie, so that a local it reads
// before writing shows up as 0xA5A5A5A5 rather than as a lucky zero.
__attribute__((noinline)) void scribbleStack() {
    unsigned char area[1024];
    std::memset(area, 0xA5, sizeof area);
    asm volatile("" : : "r"(area) : "memory");
}

__attribute__((noinline)) FREObject invoke(FREFunction function, FREContext context, void* data, uint32_t count,
                                           FREObject* arguments) {
    scribbleStack();
    return function(context, data, count, arguments);
}

}  // namespace

extern "C" AIR_RUNTIME_API FREResult FREGetObjectAsInt32(FREObject object, int32_t* value) {
    Runtime& rt = runtime();
    FREResult result = FRE_OK;
    const Value* found = find(object);
    if (!callable()) {
        result = air::illegalState;
    } else if (value == nullptr) {
        result = air::invalidArgument;
    } else if (found == nullptr) {
        result = air::invalidObject;
    } else if (found->kind == air::Kind::integer) {
        *value = found->integer;
    } else if (found->kind == air::Kind::boolean) {
        // As the runtime documents it: a Boolean converts too, to 1 or 0.
        *value = found->boolean ? 1 : 0;
    } else {
        result = air::typeMismatch;
    }
    rt.requests.push_back({air::Request::Function::getObjectAsInt32, object, 0, result});
    return result;
}

extern "C" AIR_RUNTIME_API FREResult FRENewObjectFromBool(uint32_t value, FREObject* object) {
    Runtime& rt = runtime();
    FREResult result = FRE_OK;
    FREObject made = nullptr;
    if (!callable()) {
        result = air::illegalState;
    } else if (object == nullptr) {
        result = air::invalidArgument;
    } else if (rt.failNewBool) {
        result = air::insufficientMemory;
    } else {
        // As the runtime documents it: any value but 0 is true.
        made = air::newBool(value != 0);
        *object = made;
    }
    rt.requests.push_back({air::Request::Function::newObjectFromBool, made, value, result});
    return result;
}

namespace air {

// Booleans are values: one object each for true and false keeps a long run of calls from growing the heap.
FREObject newBool(bool value) {
    Runtime& rt = runtime();
    FREObject& interned = value ? rt.trueObject : rt.falseObject;
    if (interned == nullptr) {
        interned = make({Kind::boolean, 0, value, {}});
    }
    return interned;
}

FREObject newInt(int32_t value) { return make({Kind::integer, value, false, {}}); }

FREObject newString(const char* value) { return make({Kind::string, 0, false, value ? value : ""}); }

Kind kindOf(FREObject object) {
    const Value* found = find(object);
    return found ? found->kind : Kind::none;
}

int32_t intOf(FREObject object) {
    const Value* found = find(object);
    return found ? found->integer : 0;
}

bool boolOf(FREObject object) {
    const Value* found = find(object);
    return found && found->boolean;
}

Status loadExtension(const wchar_t* path, const char* initializerName, const char* finalizerName) {
    Runtime& rt = runtime();
    if (rt.module != nullptr) {
        return fail(Status::alreadyLoaded, "an extension is loaded already");
    }
    HMODULE module = LoadLibraryW(path);
    if (module == nullptr) {
        const DWORD error = GetLastError();
        char file[MAX_PATH * 3] = "";
        WideCharToMultiByte(CP_UTF8, 0, path, -1, file, sizeof file, nullptr, nullptr);
        return fail(Status::moduleNotLoadable, systemMessage(error, file));
    }
    auto initializer = exported<FREInitializer>(module, initializerName);
    auto finalizer = exported<FREFinalizer>(module, finalizerName);
    if (initializer == nullptr || finalizer == nullptr) {
        FreeLibrary(module);
        return fail(Status::entryPointMissing, std::string("the module exports no entry point named \"") +
                                                   (initializer == nullptr ? initializerName : finalizerName) + "\"");
    }
    rt.extensionData = nullptr;
    rt.contextInitializer = nullptr;
    rt.contextFinalizer = nullptr;
    initializer(&rt.extensionData, &rt.contextInitializer, &rt.contextFinalizer);
    rt.module = module;
    rt.finalizer = finalizer;
    rt.callingThread = GetCurrentThreadId();
    return Status::ok;
}

Status unloadExtension() {
    Runtime& rt = runtime();
    if (rt.module == nullptr) {
        return Status::ok;
    }
    Status status = Status::ok;
    while (!rt.contexts.empty()) {
        const Status disposed = disposeContext(rt.contexts.back().get());
        status = status == Status::ok ? disposed : status;
    }
    rt.finalizer(rt.extensionData);
    FreeLibrary(rt.module);
    rt.module = nullptr;
    rt.values.clear();
    rt.madeHere.clear();
    rt.trueObject = nullptr;
    rt.falseObject = nullptr;
    rt.requests.clear();
    return status;
}

HMODULE extensionModule() { return runtime().module; }

const char* lastError() { return runtime().lastError.c_str(); }

Status createContext(const char* contextType, FREContext* context) {
    Runtime& rt = runtime();
    if (rt.module == nullptr) {
        return fail(Status::noExtension, "no extension is loaded");
    }
    if (rt.contextInitializer == nullptr) {
        return fail(Status::entryPointMissing, "the extension's initializer handed over no context initializer");
    }
    auto created = std::make_unique<Context>();
    rt.contextInitializer(rt.extensionData, contextType ? contextType : "", created.get(), &created->functionCount,
                          &created->functions);
    if (created->functions == nullptr) {
        created->functionCount = 0;
    }
    *context = created.get();
    rt.contexts.push_back(std::move(created));
    return Status::ok;
}

Status disposeContext(FREContext context) {
    Runtime& rt = runtime();
    for (auto it = rt.contexts.begin(); it != rt.contexts.end(); ++it) {
        if (it->get() == context) {
            if (rt.contextFinalizer != nullptr) {
                rt.contextFinalizer(context);
            }
            rt.contexts.erase(it);
            return Status::ok;
        }
    }
    return fail(Status::noSuchContext, "no such context");
}

uint32_t functionCount(FREContext handle) {
    const Context* context = findContext(handle);
    return context ? context->functionCount : 0;
}

const char* functionName(FREContext handle, uint32_t index) {
    const Context* context = findContext(handle);
    return context && index < context->functionCount ? context->functions[index].name : nullptr;
}

void* functionData(FREContext handle, uint32_t index) {
    const Context* context = findContext(handle);
    return context && index < context->functionCount ? context->functions[index].functionData : nullptr;
}

Status call(FREContext handle, const char* name, uint32_t argumentCount, const FREObject* arguments,
            FREObject* result) {
    Runtime& rt = runtime();
    *result = nullptr;
    const Context* context = findContext(handle);
    if (context == nullptr) {
        return fail(Status::noSuchContext, "no such context");
    }
    const FRENamedFunction* row = nullptr;
    for (uint32_t i = 0; i < context->functionCount && row == nullptr; ++i) {
        if (context->functions[i].name != nullptr && std::strcmp(context->functions[i].name, name) == 0) {
            row = &context->functions[i];
        }
    }
    if (row == nullptr || row->function == nullptr) {
        return fail(Status::noSuchFunction, std::string("the context has no function named \"") + name + "\"");
    }
    FREObject* placed = nullptr;
    if (arguments != nullptr) {
        placed = rt.argumentWindow.place(arguments, argumentCount);
        if (placed == nullptr) {
            return fail(Status::tooManyArguments,
                        "too many arguments: at most " + std::to_string(rt.argumentWindow.capacity()));
        }
    }
    rt.requests.clear();
    rt.insideCall = true;
    const FREObject returned = invoke(row->function, handle, row->functionData, argumentCount, placed);
    rt.insideCall = false;
    if (returned != nullptr && find(returned) == nullptr) {
        return fail(Status::invalidResult, "the function returned a handle the runtime never made");
    }
    *result = returned;
    return Status::ok;
}

uint32_t requestCount() { return static_cast<uint32_t>(runtime().requests.size()); }

Request request(uint32_t index) { return runtime().requests.at(index); }

void failNewObjectFromBool(bool fail) { runtime().failNewBool = fail; }

}  // namespace air
