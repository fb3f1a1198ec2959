// velmorant-host: loads an extension module through the stand-in runtime and runs a sequence of calls in one
// process, so that the module's state carries from call to call, printing every result and, on request,
// what the system reports around each call.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "Runtime.h"
#include "SystemReport.h"

namespace {

constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

const char usage[] =
    "usage: velmorant-host [options] MODULE [STEP...]\n"
    "\n"
    "Loads the extension MODULE, opens one context and runs the steps in order, in one process,\n"
    "so the module's state carries from step to step.\n"
    "\n"
    "Steps:\n"
    "  NAME[:ARG[,ARG...]]   call the table function NAME with 32-bit integer arguments,\n"
    "                        e.g. as_setScreenResolution:800,600; the arguments are passed on as\n"
    "                        given, fewer than the function reads included;\n"
    "                        as_setScreenResolution:800,600,1 is a temporary switch, which Windows\n"
    "                        is seen to undo by itself when the host exits (not documented)\n"
    "  system                print what the system reports: the default display's current mode\n"
    "                        and the keyboard repeat speed\n"
    "\n"
    "Options:\n"
    "  --context-type TYPE   the context type to open (default: empty)\n"
    "  --initializer NAME    the extension initializer's export (default: ExtensionInitializer)\n"
    "  --finalizer NAME      the extension finalizer's export (default: ExtensionFinalizer)\n"
    "  --list                print the context's function names, in table order, one per line\n"
    "  --trace               print what the system reports before and after every call\n"
    "  --help                print this text\n"
    "  --version             print the version\n"
    "\n"
    "Example session:\n"
    "  velmorant-host VelmorantUtils.dll system as_setScreenResolution:800,600 system \\\n"
    "      as_setScreenResolution:1234,567 as_restoreScreenResolution system\n"
    "\n"
    "  system: display 1024x768, 32 bpp, 60 Hz; keyboard speed 31\n"
    "  as_setScreenResolution(800, 600) -> true\n"
    "  system: display 800x600, 32 bpp, 60 Hz; keyboard speed 31\n"
    "  as_setScreenResolution(1234, 567) -> false\n"
    "  as_restoreScreenResolution() -> null\n"
    "  system: display 1024x768, 32 bpp, 60 Hz; keyboard speed 31\n"
    "\n"
    "Exit status: 0 when every step ran, whatever the functions returned; 1 when the module, an entry\n"
    "point or a named function is missing, or a function returned a handle the runtime never made;\n"
    "2 for a malformed command line.\n";

struct Step {
    bool isSystemQuery = false;
    std::string name;
    std::vector<int32_t> arguments;
};

struct Options {
    std::string contextType;
    std::string initializer = "ExtensionInitializer";
    std::string finalizer = "ExtensionFinalizer";
    bool list = false;
    bool trace = false;
    std::wstring module;
    std::vector<Step> steps;
};

std::string narrow(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    return result;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "velmorant-host: %s\nTry 'velmorant-host --help'.\n", message.c_str());
    return exitUsage;
}

bool parseInt32(const std::string& text, int32_t* value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) {
        return false;
    }
    *value = static_cast<int32_t>(parsed);
    return true;
}

// Returns an empty string on success, or what is wrong with the step.
std::string parseStep(const std::string& text, Step* step) {
    if (text == "system") {
        step->isSystemQuery = true;
        return {};
    }
    const size_t colon = text.find(':');
    step->name = text.substr(0, colon);
    if (step->name.empty()) {
        return "step '" + text + "' names no function";
    }
    if (colon == std::string::npos || colon + 1 == text.size()) {
        return {};
    }
    const std::string list = text.substr(colon + 1);
    size_t start = 0;
    while (true) {
        const size_t comma = list.find(',', start);
        const std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        int32_t value = 0;
        if (!parseInt32(item, &value)) {
            return "argument '" + item + "' of " + step->name + " is not a 32-bit integer";
        }
        step->arguments.push_back(value);
        if (comma == std::string::npos) {
            return {};
        }
        start = comma + 1;
    }
}

// Returns -1 when the command line is complete, or the exit status to stop with.
int parseCommandLine(int argc, wchar_t** argv, Options* options) {
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = narrow(argv[i]);
        if (arg.rfind("--", 0) != 0) {
            break;
        }
        auto value = [&](std::string* target) {
            if (i + 1 >= argc) {
                return false;
            }
            *target = narrow(argv[++i]);
            return true;
        };
        if (arg == "--help") {
            std::fputs(usage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::puts("velmorant-host " VELMORANT_VERSION);
            return 0;
        } else if (arg == "--list") {
            options->list = true;
        } else if (arg == "--trace") {
            options->trace = true;
        } else if (arg == "--context-type" || arg == "--initializer" || arg == "--finalizer") {
            std::string* target = arg == "--context-type"  ? &options->contextType
                                  : arg == "--initializer" ? &options->initializer
                                                           : &options->finalizer;
            if (!value(target)) {
                return usageError(arg + " needs a value");
            }
        } else {
            return usageError("unknown option " + arg);
        }
    }
    if (i >= argc) {
        return usageError("no module given");
    }
    options->module = argv[i++];
    for (; i < argc; ++i) {
        Step step;
        const std::string problem = parseStep(narrow(argv[i]), &step);
        if (!problem.empty()) {
            return usageError(problem);
        }
        options->steps.push_back(step);
    }
    return -1;
}

// Under Wine a Unix path such as /home/me/VelmorantUtils.dll is not a Windows path; Wine's own kernel32
// can turn it into one, and on Windows the export does not exist and the path is used as given.
std::wstring windowsPath(const std::wstring& path) {
    if (path.empty() || path[0] != L'/') {
        return path;
    }
    using ToDos = wchar_t* (*)(const char*);
    auto toDos = reinterpret_cast<ToDos>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (toDos == nullptr) {
        return path;
    }
    wchar_t* converted = toDos(narrow(path.c_str()).c_str());
    if (converted == nullptr) {
        return path;
    }
    std::wstring result = converted;
    HeapFree(GetProcessHeap(), 0, converted);
    return result;
}

std::string describe(FREObject object) {
    switch (air::kindOf(object)) {
        case air::Kind::none:
            return "null";
        case air::Kind::boolean:
            return air::boolOf(object) ? "true" : "false";
        case air::Kind::integer:
            return std::to_string(air::intOf(object));
        case air::Kind::string:
            return "a string";
    }
    return "null";
}

std::string tableNames(FREContext context) {
    std::string names;
    for (uint32_t i = 0; i < air::functionCount(context); ++i) {
        names += (i ? ", " : "") + std::string(air::functionName(context, i));
    }
    return names.empty() ? "(none)" : names;
}

bool inTable(FREContext context, const std::string& name) {
    for (uint32_t i = 0; i < air::functionCount(context); ++i) {
        if (name == air::functionName(context, i)) {
            return true;
        }
    }
    return false;
}

void printSystem(const char* label) { std::printf("%s: %s\n", label, describeSystem().c_str()); }

// Prints the runtime's account of a failure.
int reportRuntimeError(const std::string& doing) {
    (void)std::fprintf(stderr, "velmorant-host: %s: %s\n", doing.c_str(), air::lastError());
    return exitFailure;
}

// Runs one call; returns false when the runtime could not make it or the function broke its contract.
bool runCall(FREContext context, const Step& step, bool trace) {
    std::string shown = step.name + "(";
    std::vector<FREObject> arguments;
    for (size_t i = 0; i < step.arguments.size(); ++i) {
        arguments.push_back(air::newInt(step.arguments[i]));
        shown += (i ? ", " : "") + std::to_string(step.arguments[i]);
    }
    shown += ")";
    if (trace) {
        printSystem("before");
    }
    FREObject result = nullptr;
    const air::Status status =
        air::call(context, step.name.c_str(), static_cast<uint32_t>(arguments.size()), arguments.data(), &result);
    if (status != air::Status::ok) {
        std::printf("%s -> error\n", shown.c_str());
        reportRuntimeError(step.name);
        return false;
    }
    std::printf("%s -> %s\n", shown.c_str(), describe(result).c_str());
    if (trace) {
        printSystem("after");
    }
    return true;
}

int run(const Options& options) {
    const std::string moduleName = narrow(options.module.c_str());
    const air::Status loaded =
        air::loadExtension(windowsPath(options.module).c_str(), options.initializer.c_str(), options.finalizer.c_str());
    if (loaded != air::Status::ok) {
        return reportRuntimeError("cannot load " + moduleName);
    }
    FREContext context = nullptr;
    const air::Status opened = air::createContext(options.contextType.c_str(), &context);
    if (opened != air::Status::ok) {
        reportRuntimeError("cannot open a context");
        air::unloadExtension();
        return exitFailure;
    }
    if (options.list) {
        for (uint32_t i = 0; i < air::functionCount(context); ++i) {
            std::printf("%s\n", air::functionName(context, i));
        }
    }
    // Every name is checked before the first call, so a typo late in a session cannot leave the
    // display switched by the steps before it.
    for (const Step& step : options.steps) {
        if (!step.isSystemQuery && !inTable(context, step.name)) {
            std::fprintf(stderr, "velmorant-host: %s has no function named \"%s\"; its table holds: %s\n",
                         moduleName.c_str(), step.name.c_str(), tableNames(context).c_str());
            air::unloadExtension();
            return exitFailure;
        }
    }
    int status = 0;
    for (const Step& step : options.steps) {
        if (step.isSystemQuery) {
            printSystem("system");
        } else if (!runCall(context, step, options.trace)) {
            status = exitFailure;
        }
    }
    std::fflush(stdout);
    const air::Status unloaded = air::unloadExtension();
    if (unloaded != air::Status::ok) {
        status = reportRuntimeError("unloading " + moduleName);
    }
    return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    const int parsed = parseCommandLine(argc, argv, &options);
    if (parsed >= 0) {
        return parsed;
    }
    return run(options);
}
