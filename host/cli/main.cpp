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
    "       velmorant-host [options] MODULE -\n"
    "\n"
    "Loads the extension MODULE, opens one context and runs the steps in order, in one process,\n"
    "so the module's state carries from step to step.\n"
    "\n"
    "Steps:\n"
    "  NAME[:ARG[,ARG...]]   call the table function NAME with these arguments, each made as the\n"
    "                        ActionScript value it stands for: a 32-bit integer, true, false, null\n"
    "                        or a \"quoted string\"; e.g. as_setScreenResolution:800,600. They are\n"
    "                        passed on as given, fewer than the function reads included;\n"
    "                        as_setScreenResolution:800,600,true is a temporary switch, which\n"
    "                        Windows is seen to undo by itself when the host exits (not documented)\n"
    "  system                print what the system reports: the default display's current mode\n"
    "                        and the keyboard repeat speed\n"
    "  -                     alone: read the steps from standard input, one a line, and answer\n"
    "                        each with one line as soon as it has run; the module stays loaded\n"
    "                        and its context open until the input ends. A line that is malformed,\n"
    "                        too long, cut off by the end of the input or names no function of\n"
    "                        the table is answered with an error line, and the session goes on\n"
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
    "Trying it by hand: velmorant-host VelmorantUtils.dll -, then type a step and Enter, e.g.\n"
    "  as_setScreenResolution:800,600,true\n"
    "  as_setScreenResolution(800, 600, true) -> true\n"
    "and end the input with Ctrl+Z, Enter (Ctrl+D on Unix).\n"
    "\n"
    "Exit status: 0 when every step ran, whatever the functions returned; 1 when the module, an entry\n"
    "point or a named function is missing, or a function returned a handle the runtime never made;\n"
    "2 for a malformed command line. From standard input, every step runs that can, and the status is\n"
    "the one the first failing line would have given on the command line.\n";

// One argument of a call, as the ActionScript value it stands for.
struct Argument {
    enum class Kind : uint8_t { integer, boolean, null, string } kind = Kind::null;
    int32_t integer = 0;
    bool boolean = false;
    std::string text;
};

struct Step {
    bool isSystemQuery = false;
    std::string name;
    std::vector<Argument> arguments;
};

// A step line longer than this is refused whole: no step comes anywhere near it.
constexpr size_t longestLine = 1024;

struct Options {
    std::string contextType;
    std::string initializer = "ExtensionInitializer";
    std::string finalizer = "ExtensionFinalizer";
    bool list = false;
    bool trace = false;
    bool fromInput = false;  // the steps come from standard input
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

bool parseArgument(const std::string& text, Argument* argument) {
    if (text == "true" || text == "false") {
        argument->kind = Argument::Kind::boolean;
        argument->boolean = text == "true";
        return true;
    }
    if (text == "null") {
        argument->kind = Argument::Kind::null;
        return true;
    }
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        argument->kind = Argument::Kind::string;
        argument->text = text.substr(1, text.size() - 2);
        return argument->text.find('"') == std::string::npos;
    }
    argument->kind = Argument::Kind::integer;
    return parseInt32(text, &argument->integer);
}

// Returns an empty string on success, or what is wrong with the step. Arguments are split at the commas
// outside quotes, so a quoted string may hold commas.
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
    std::string item;
    bool quoted = false;
    for (size_t i = 0; i <= list.size(); ++i) {
        if (i < list.size() && (list[i] != ',' || quoted)) {
            quoted = list[i] == '"' ? !quoted : quoted;
            item += list[i];
            continue;
        }
        Argument argument;
        if (!parseArgument(item, &argument)) {
            return "argument '" + item + "' of " + step->name +
                   " is not a 32-bit integer, true, false, null or a \"quoted string\"";
        }
        step->arguments.push_back(argument);
        item.clear();
    }
    return {};
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
    if (i + 1 == argc && narrow(argv[i]) == "-") {
        options->fromInput = true;
        return -1;
    }
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

// Why a step cannot run on the context: a function name its table does not hold. Empty when it can run.
std::string missingFunction(FREContext context, const std::string& moduleName, const Step& step) {
    if (step.isSystemQuery) {
        return {};
    }
    for (uint32_t i = 0; i < air::functionCount(context); ++i) {
        if (step.name == air::functionName(context, i)) {
            return {};
        }
    }
    return moduleName + " has no function named \"" + step.name + "\"; its table holds: " + tableNames(context);
}

void printSystem(const char* label) { std::printf("%s: %s\n", label, describeSystem().c_str()); }

// Prints the runtime's account of a failure.
int reportRuntimeError(const std::string& doing) {
    (void)std::fprintf(stderr, "velmorant-host: %s: %s\n", doing.c_str(), air::lastError());
    return exitFailure;
}

// The runtime's object for an argument, made as the type it stands for, and how it is shown.
FREObject makeArgument(const Argument& argument, std::string* shown) {
    switch (argument.kind) {
        case Argument::Kind::integer:
            *shown += std::to_string(argument.integer);
            return air::newInt(argument.integer);
        case Argument::Kind::boolean:
            *shown += argument.boolean ? "true" : "false";
            return air::newBool(argument.boolean);
        case Argument::Kind::string:
            *shown += '"' + argument.text + '"';
            return air::newString(argument.text.c_str());
        case Argument::Kind::null:
            break;
    }
    *shown += "null";
    return nullptr;
}

// Runs one call; returns false when the runtime could not make it or the function broke its contract.
bool runCall(FREContext context, const Step& step, bool trace) {
    std::string shown = step.name + "(";
    std::vector<FREObject> arguments;
    for (size_t i = 0; i < step.arguments.size(); ++i) {
        shown += i ? ", " : "";
        arguments.push_back(makeArgument(step.arguments[i], &shown));
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

// Runs one step; returns false as runCall does.
bool runStep(FREContext context, const Step& step, bool trace) {
    if (step.isSystemQuery) {
        printSystem("system");
        return true;
    }
    return runCall(context, step, trace);
}

enum class LineRead : uint8_t { complete, tooLong, cutOff, end };

// Reads one line of standard input without its line break (LF or CR LF).
LineRead readLine(std::string* line) {
    line->clear();
    bool tooLong = false;
    for (int c = std::getchar(); c != EOF; c = std::getchar()) {
        if (c == '\n') {
            if (!line->empty() && line->back() == '\r') {
                line->pop_back();
            }
            return tooLong ? LineRead::tooLong : LineRead::complete;
        }
        if (line->size() < longestLine) {
            line->push_back(static_cast<char>(c));
        } else {
            tooLong = true;
        }
    }
    return line->empty() && !tooLong ? LineRead::end : LineRead::cutOff;
}

// One answer line, seen by whoever waits on the other end of a pipe at once.
void answerError(const std::string& problem) {
    std::printf("error: %s\n", problem.c_str());
    std::fflush(stdout);
}

// Runs the steps of standard input as they come. A line that cannot run is answered with an error line and
// leaves the status the command line would have ended with; nothing that was not asked for is ever called.
int runInput(FREContext context, const Options& options, const std::string& moduleName) {
    int status = 0;
    auto failed = [&status](int why) { status = status != 0 ? status : why; };
    std::string line;
    for (LineRead read = readLine(&line); read != LineRead::end; read = readLine(&line)) {
        if (read == LineRead::tooLong) {
            answerError("the line is longer than " + std::to_string(longestLine) + " characters; not run");
            failed(exitUsage);
            continue;
        }
        if (read == LineRead::cutOff) {
            answerError("the input ended in the middle of the line '" + line + "'; not run");
            failed(exitUsage);
            break;
        }
        Step step;
        std::string problem = parseStep(line, &step);
        if (!problem.empty()) {
            answerError(problem);
            failed(exitUsage);
        } else if (problem = missingFunction(context, moduleName, step); !problem.empty()) {
            answerError(problem);
            failed(exitFailure);
        } else if (!runStep(context, step, options.trace)) {
            failed(exitFailure);
        }
        std::fflush(stdout);
    }
    return status;
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
        const std::string problem = missingFunction(context, moduleName, step);
        if (!problem.empty()) {
            std::fprintf(stderr, "velmorant-host: %s\n", problem.c_str());
            air::unloadExtension();
            return exitFailure;
        }
    }
    std::fflush(stdout);
    int status = options.fromInput ? runInput(context, options, moduleName) : 0;
    for (const Step& step : options.steps) {
        if (!runStep(context, step, options.trace)) {
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
