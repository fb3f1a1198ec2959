// velmorant-bench: what VelmorantUtils.dll costs on top of the system work it asks for, under Wine.
//
// Every figure compares two sides that take turns, call by call where a call is slow enough to time alone and
// block by block where it is not, so that whatever the machine drifts by falls on both alike; each round gives
// one figure per side, and the report shows the median and the range over the rounds. The program checks that
// both sides did the work they were meant to (every mode change accepted, the system as expected after each
// comparison, every stand-in reached as often as expected), since a comparison of unequal work would mean
// nothing, and exits with 1 when they did not.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ImportPatch.h"
#include "Runtime.h"

namespace {

// Both found beside this program first, by the loader's own search order.
const wchar_t productFile[] = L"VelmorantUtils.dll";
const wchar_t emptyFile[] = L"bench-empty-extension.dll";

enum Function { setKeyboardSpeed, restoreKeyboardSpeed, setScreenResolution, restoreScreenResolution, functionTotal };
const char* const functionNames[functionTotal] = {"as_setKeyboardSpeed", "as_restoreKeyboardSpeed",
                                                  "as_setScreenResolution", "as_restoreScreenResolution"};

struct Settings {
    int rounds = 15;
    // Against Wine's USER32 each function is called in pairs, one call of each side per pair, until the timed
    // calls add up to this per function and round: a keyboard speed takes from tens to hundreds of
    // microseconds there, a mode change from a few to tens of milliseconds, and both move in phases.
    double keyboardSeconds = 0.15;
    double displaySeconds = 0.8;
    // Against the stand-ins a call takes nanoseconds, so calls are timed in blocks, short enough that most
    // blocks run undisturbed; each side's figure for a round is its fastest block.
    int fakeBlocks = 20;
    int fakeBlockCalls = 1000;
    double loadSeconds = 0.1;  // per round, cycles in pairs as above
};

// --- The machine's state, put back however the program ends. ---

struct SystemState {
    bool captured = false;
    UINT keyboardSpeed = 0;
};
SystemState original;

void putSystemBack() {
    if (original.captured) {
        SystemParametersInfoW(SPI_SETKEYBOARDSPEED, original.keyboardSpeed, nullptr, SPIF_UPDATEINIFILE);
        // The mode in the stored settings: the program never writes them, so this is the mode it found.
        ChangeDisplaySettingsExW(nullptr, nullptr, nullptr, 0, nullptr);
    }
}

[[noreturn]] __attribute__((format(printf, 1, 2))) void fail(const char* format, ...) {
    air::unloadExtension();
    putSystemBack();
    std::fflush(stdout);
    std::fputs("velmorant-bench: ", stderr);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
    std::exit(1);
}

DEVMODEW currentMode() {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) {
        fail("the current display mode cannot be read");
    }
    return mode;
}

UINT currentKeyboardSpeed() {
    UINT speed = 0;
    SystemParametersInfoW(SPI_GETKEYBOARDSPEED, 0, &speed, 0);
    return speed;
}

// --- Time. ---

double nsPerTick = 0;

// Set for a short run that reads the system back after every call, to show that both sides of a comparison
// changed it alike; too slow for a run that measures.
bool checkEveryCall = false;

int64_t ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

template <typename Operation>
double nsPerCall(int calls, Operation operation) {
    const int64_t start = ticks();
    for (int i = 0; i < calls; ++i) {
        operation(i);
    }
    return static_cast<double>(ticks() - start) * nsPerTick / calls;
}

// --- Figures over rounds. ---

struct Range {
    double median;
    double lowest;
    double highest;
};

Range rangeOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    const double median = values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    return {median, values.front(), values.back()};
}

// One comparison's figures, one of each per round: the measured side, the side it is compared with, and
// their ratio and difference.
struct Comparison {
    std::vector<double> measured;
    std::vector<double> baseline;
    std::vector<double> ratio;
    std::vector<double> difference;
    std::vector<double> pairs;  // for comparisons made call by call

    void add(double measuredValue, double baselineValue, double ratioValue, double differenceValue) {
        measured.push_back(measuredValue);
        baseline.push_back(baselineValue);
        ratio.push_back(ratioValue);
        difference.push_back(differenceValue);
    }
    void add(double measuredValue, double baselineValue) {
        add(measuredValue, baselineValue, measuredValue / baselineValue, measuredValue - baselineValue);
    }
};

// One round of a comparison whose calls are slow enough to time one by one: pairs of calls, one of each side,
// the side that goes first changing from pair to pair, until the timed calls add up to `seconds`, and at least
// 4 pairs, so that a function whose calls need preparing gets as many pairs as one whose do not. Under Wine a system
// call's cost moves in phases many calls long, between levels tens of percent apart, so the two calls of a pair
// nearly always meet the same phase: the round's ratio and difference are the medians of the pairs' own, and
// each side's figure is the median of its calls. Every call gets the number of its turn in the pair, 0 or 1,
// and `prepare` runs untimed before it with the same number, `check` untimed after it when every call is checked.
template <typename Prepare, typename Measured, typename Baseline, typename Check>
void compareCallByCall(double seconds, Comparison& into, Prepare prepare, Measured measured, Baseline baseline,
                       Check check) {
    std::vector<double> measuredNs;
    std::vector<double> baselineNs;
    std::vector<double> ratios;
    std::vector<double> differences;
    const double budgetNs = seconds * 1e9;
    double timedNs = 0;
    for (int pair = 0; pair < 4 || timedNs < budgetNs; ++pair) {
        double ns[2] = {};  // [0] measured, [1] baseline
        for (int turn = 0; turn < 2; ++turn) {
            const bool measuredTurn = (turn == 0) == (pair % 2 == 0);
            prepare(turn);
            const int64_t start = ticks();
            if (measuredTurn) {
                measured(turn);
            } else {
                baseline(turn);
            }
            ns[measuredTurn ? 0 : 1] = static_cast<double>(ticks() - start) * nsPerTick;
            if (checkEveryCall) {
                check(turn);
            }
        }
        timedNs += ns[0] + ns[1];
        measuredNs.push_back(ns[0]);
        baselineNs.push_back(ns[1]);
        ratios.push_back(ns[0] / ns[1]);
        differences.push_back(ns[0] - ns[1]);
    }
    into.add(rangeOf(measuredNs).median, rangeOf(baselineNs).median, rangeOf(ratios).median,
             rangeOf(differences).median);
    into.pairs.push_back(static_cast<double>(ratios.size()));
}

const auto nothing = [](int) {};

std::string shown(const Range& range, double scale, int decimals) {
    char text[96];
    std::snprintf(text, sizeof text, "%.*f [%.*f..%.*f]", decimals, range.median * scale, decimals,
                  range.lowest * scale, decimals, range.highest * scale);
    return text;
}

// --- The extension through the stand-in runtime. ---

class Extension {
public:
    explicit Extension(const wchar_t* file) {
        if (air::loadExtension(file, "ExtensionInitializer", "ExtensionFinalizer") != air::Status::ok ||
            air::createContext("", &context_) != air::Status::ok) {
            fail("%s", air::lastError());
        }
    }
    ~Extension() { air::unloadExtension(); }
    Extension(const Extension&) = delete;
    Extension& operator=(const Extension&) = delete;

    FREObject call(Function function, uint32_t count, FREObject* arguments) {
        FREObject result = nullptr;
        if (air::call(context_, functionNames[function], count, arguments, &result) != air::Status::ok) {
            fail("%s: %s", functionNames[function], air::lastError());
        }
        return result;
    }

    HMODULE module() const { return air::extensionModule(); }

private:
    FREContext context_ = nullptr;
};

// The arguments the benchmark passes, made anew for every load since an unload frees the runtime's objects.
struct Arguments {
    Arguments(const UINT (&speeds)[2], const DEVMODEW (&sizes)[2]) {
        for (int i = 0; i < 2; ++i) {
            speed[i] = air::newInt(static_cast<int32_t>(speeds[i]));
            size[i][0] = air::newInt(static_cast<int32_t>(sizes[i].dmPelsWidth));
            size[i][1] = air::newInt(static_cast<int32_t>(sizes[i].dmPelsHeight));
        }
    }
    FREObject speed[2];
    FREObject size[2][2];
    // A call without arguments still hands over an array, as a runtime does; it just has no slot to read.
    FREObject none[1] = {nullptr};
};

// --- The same system calls the module makes, with the same captured state, made directly. ---

struct DirectCalls {
    bool speedSaved = false;
    int32_t savedSpeed = 0;
    bool modeSaved = false;
    DEVMODEW savedMode{};

    void applySpeed(int32_t speed) {
        int32_t unused = 0;
        SystemParametersInfoW(SPI_SETKEYBOARDSPEED, static_cast<UINT>(speed), &unused, SPIF_UPDATEINIFILE);
    }
    void setKeyboardSpeed(int32_t speed) {
        if (!speedSaved) {
            int32_t current = 0;
            SystemParametersInfoW(SPI_GETKEYBOARDSPEED, 0, &current, SPIF_UPDATEINIFILE);
            savedSpeed = current;
            speedSaved = true;
        }
        applySpeed(speed);
    }
    void restoreKeyboardSpeed() {
        if (speedSaved) {
            applySpeed(savedSpeed);
        }
    }
    bool setScreenResolution(DWORD width, DWORD height) {
        DEVMODEW mode{};
        mode.dmSize = sizeof mode;
        if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) {
            return false;
        }
        if (!modeSaved) {
            modeSaved = true;
            savedMode = mode;
        }
        mode.dmPelsWidth = width;
        mode.dmPelsHeight = height;
        return ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr) == DISP_CHANGE_SUCCESSFUL;
    }
    void restoreScreenResolution() {
        if (modeSaved) {
            ChangeDisplaySettingsExW(nullptr, &savedMode, nullptr, 0, nullptr);
        }
    }
};

// --- USER32 stand-ins that do nothing but count, so that the count can prove the module reached them. ---

long standInCalls;

BOOL WINAPI noEnumDisplaySettingsW(LPCWSTR, DWORD, DEVMODEW*) {
    ++standInCalls;
    return TRUE;
}

LONG WINAPI noChangeDisplaySettingsExW(LPCWSTR, DEVMODEW*, HWND, DWORD, LPVOID) {
    ++standInCalls;
    return DISP_CHANGE_SUCCESSFUL;
}

BOOL WINAPI noSystemParametersInfoW(UINT, UINT, PVOID, UINT) {
    ++standInCalls;
    return TRUE;
}

void installStandIns(HMODULE module) {
    const struct {
        const char* name;
        void* standIn;
    } imports[] = {
        {"EnumDisplaySettingsW", reinterpret_cast<void*>(&noEnumDisplaySettingsW)},
        {"ChangeDisplaySettingsExW", reinterpret_cast<void*>(&noChangeDisplaySettingsExW)},
        {"SystemParametersInfoW", reinterpret_cast<void*>(&noSystemParametersInfoW)},
    };
    for (const auto& import : imports) {
        if (patchImport(module, "USER32.dll", import.name, import.standIn) == nullptr) {
            fail("the module does not import %s from USER32.dll", import.name);
        }
    }
}

// --- The three parts. ---

struct Setup {
    Settings settings;
    UINT speeds[2];     // two speeds, both other than the one found, so that every set and restore changes it
    DEVMODEW sizes[2];  // [0] the other size, [1] the size found
};

void requireMode(const DEVMODEW& expected, const char* when) {
    const DEVMODEW now = currentMode();
    if (now.dmPelsWidth != expected.dmPelsWidth || now.dmPelsHeight != expected.dmPelsHeight) {
        fail("%s the display is %lux%lu, not %lux%lu", when, now.dmPelsWidth, now.dmPelsHeight, expected.dmPelsWidth,
             expected.dmPelsHeight);
    }
}

void requireSpeed(UINT expected, const char* when) {
    const UINT now = currentKeyboardSpeed();
    if (now != expected) {
        fail("%s the keyboard speed is %u, not %u", when, now, expected);
    }
}

void requireAccepted(int accepted, int calls, const char* who) {
    if (accepted != calls) {
        fail("%s: the system accepted %d of %d mode changes", who, accepted, calls);
    }
}

// Each function through the runtime against Wine's USER32, beside the same system calls made directly.
// In every pair the first call sets one value and the second the other, and every restore follows a direct
// change away from the captured value, so that each call, on either side, really changes what the system holds.
//
// With the empty extension instead of the product, and for the keyboard only, the measured side makes the
// direct system calls itself and then calls the empty function by the same name: the runtime's path alone, in
// the same surroundings, where a call that follows a trip to the wineserver finds the caches cold and costs far
// more than in a tight loop.
void againstTheSystem(const Setup& setup, const wchar_t* file, Comparison (&results)[functionTotal]) {
    const bool product = file == productFile;
    Extension extension(file);
    Arguments arguments(setup.speeds, setup.sizes);
    DirectCalls direct;
    DirectCalls beside;  // the empty extension's side's own system calls, with their own captured state
    const DEVMODEW& other = setup.sizes[0];
    const DEVMODEW& home = setup.sizes[1];

    // The first set on each side captures what it finds, so both must find the same: the speed and mode of
    // the start, put back before the other side's first set.
    FREObject trueObject = nullptr;
    if (product) {
        extension.call(setKeyboardSpeed, 1, &arguments.speed[0]);
        requireSpeed(setup.speeds[0], "after the module set it,");
        extension.call(restoreKeyboardSpeed, 0, arguments.none);
        requireSpeed(original.keyboardSpeed, "after the module restored it,");
        trueObject = extension.call(setScreenResolution, 2, arguments.size[0]);
        if (air::kindOf(trueObject) != air::Kind::boolean || !air::boolOf(trueObject)) {
            fail("the module's first switch to %lux%lu was not accepted", other.dmPelsWidth, other.dmPelsHeight);
        }
        requireMode(other, "after the module switched it,");
        extension.call(restoreScreenResolution, 0, arguments.none);
        requireMode(home, "after the module restored it,");
    }
    for (DirectCalls* side : {&direct, &beside}) {
        side->setKeyboardSpeed(static_cast<int32_t>(setup.speeds[0]));
        side->restoreKeyboardSpeed();
        requireSpeed(original.keyboardSpeed, "after a direct restore,");
        side->setScreenResolution(other.dmPelsWidth, other.dmPelsHeight);
        side->restoreScreenResolution();
        requireMode(home, "after a direct restore,");
    }

    const auto speedAway = [&](int) {
        direct.applySpeed(static_cast<int32_t>(setup.speeds[0]));
        if (checkEveryCall) {
            requireSpeed(setup.speeds[0], "before a restore,");
        }
    };
    const auto modeAway = [&](int) {
        direct.setScreenResolution(other.dmPelsWidth, other.dmPelsHeight);
        if (checkEveryCall) {
            requireMode(other, "before a restore,");
        }
    };
    const auto speedSet = [&](int turn) { requireSpeed(setup.speeds[turn], "after a set,"); };
    const auto speedRestored = [&](int) { requireSpeed(original.keyboardSpeed, "after a restore,"); };
    const auto modeSet = [&](int turn) { requireMode(setup.sizes[turn], "after a switch,"); };
    const auto modeRestored = [&](int) { requireMode(home, "after a restore,"); };
    const double keyboardSeconds = setup.settings.keyboardSeconds;
    const double displaySeconds = setup.settings.displaySeconds;
    for (int round = 0; round < setup.settings.rounds; ++round) {
        compareCallByCall(
            keyboardSeconds, results[setKeyboardSpeed], nothing,
            [&](int turn) {
                if (!product) {
                    beside.setKeyboardSpeed(static_cast<int32_t>(setup.speeds[turn]));
                }
                extension.call(setKeyboardSpeed, 1, &arguments.speed[turn]);
            },
            [&](int turn) { direct.setKeyboardSpeed(static_cast<int32_t>(setup.speeds[turn])); }, speedSet);
        requireSpeed(setup.speeds[1], "after the sets,");

        compareCallByCall(
            keyboardSeconds, results[restoreKeyboardSpeed], speedAway,
            [&](int) {
                if (!product) {
                    beside.restoreKeyboardSpeed();
                }
                extension.call(restoreKeyboardSpeed, 0, arguments.none);
            },
            [&](int) { direct.restoreKeyboardSpeed(); }, speedRestored);
        requireSpeed(original.keyboardSpeed, "after the restores,");
        // A mode change's own cost moves by a tenth from call to call, which hides the runtime's path at any
        // number of calls this program has time for.
        if (!product) {
            continue;
        }

        int measuredAccepted = 0;
        int directAccepted = 0;
        compareCallByCall(
            displaySeconds, results[setScreenResolution], nothing,
            [&](int turn) {
                if (product) {
                    measuredAccepted += extension.call(setScreenResolution, 2, arguments.size[turn]) == trueObject;
                } else {
                    measuredAccepted +=
                        beside.setScreenResolution(setup.sizes[turn].dmPelsWidth, setup.sizes[turn].dmPelsHeight);
                    extension.call(setScreenResolution, 2, arguments.size[turn]);
                }
            },
            [&](int turn) {
                directAccepted +=
                    direct.setScreenResolution(setup.sizes[turn].dmPelsWidth, setup.sizes[turn].dmPelsHeight);
            },
            modeSet);
        const int switches = static_cast<int>(results[setScreenResolution].pairs.back());
        requireAccepted(measuredAccepted, switches, "as_setScreenResolution");
        requireAccepted(directAccepted, switches, "the direct switch");
        requireMode(home, "after the switches,");

        compareCallByCall(
            displaySeconds, results[restoreScreenResolution], modeAway,
            [&](int) {
                if (!product) {
                    beside.restoreScreenResolution();
                }
                extension.call(restoreScreenResolution, 0, arguments.none);
            },
            [&](int) { direct.restoreScreenResolution(); }, modeRestored);
        requireMode(home, "after the restores,");
    }
}

// One block of calls to each of the four functions in a freshly loaded module, ns per call each. With
// `standIns` the module's USER32 imports are the do-nothing stand-ins, and the count they keep must show that
// every call reached them.
void timeFunctions(const wchar_t* file, bool standIns, const Setup& setup, double (&nsPer)[functionTotal]) {
    Extension extension(file);
    if (standIns) {
        installStandIns(extension.module());
    }
    Arguments arguments(setup.speeds, setup.sizes);
    const int calls = setup.settings.fakeBlockCalls;
    // The stand-ins each function reaches per call once the first set has captured; none for the empty module.
    const long reached[functionTotal] = {1, 1, 2, 1};
    const auto block = [&](Function function, int count) {
        switch (function) {
            case setKeyboardSpeed:
                return nsPerCall(count, [&](int i) { extension.call(setKeyboardSpeed, 1, &arguments.speed[i & 1]); });
            case setScreenResolution:
                return nsPerCall(count, [&](int i) { extension.call(setScreenResolution, 2, arguments.size[i & 1]); });
            default:
                return nsPerCall(count, [&](int) { extension.call(function, 0, arguments.none); });
        }
    };
    for (int function = 0; function < functionTotal; ++function) {
        block(static_cast<Function>(function), calls / 10 + 1);
    }
    for (int function = 0; function < functionTotal; ++function) {
        standInCalls = 0;
        nsPer[function] = block(static_cast<Function>(function), calls);
        const long expected = standIns ? reached[function] * calls : 0;
        if (standInCalls != expected) {
            fail("%ls, %s: the stand-ins were reached %ld times, not %ld", file, functionNames[function], standInCalls,
                 expected);
        }
    }
}

// Only one extension can be loaded at a time, so the two modules take turns block by block, each loaded anew
// for its block; the machine's speed drifts in phases, and each side's fastest block of a round then comes
// from the same phase as the other's.
void againstStandIns(const Setup& setup, Comparison (&results)[functionTotal]) {
    for (int round = 0; round < setup.settings.rounds; ++round) {
        double product[functionTotal];
        double empty[functionTotal];
        std::fill(std::begin(product), std::end(product), 1e300);
        std::fill(std::begin(empty), std::end(empty), 1e300);
        for (int block = 0; block < setup.settings.fakeBlocks; ++block) {
            double productBlock[functionTotal];
            double emptyBlock[functionTotal];
            if ((round + block) % 2 == 0) {
                timeFunctions(productFile, true, setup, productBlock);
                timeFunctions(emptyFile, false, setup, emptyBlock);
            } else {
                timeFunctions(emptyFile, false, setup, emptyBlock);
                timeFunctions(productFile, true, setup, productBlock);
            }
            for (int function = 0; function < functionTotal; ++function) {
                product[function] = std::min(product[function], productBlock[function]);
                empty[function] = std::min(empty[function], emptyBlock[function]);
            }
        }
        for (int function = 0; function < functionTotal; ++function) {
            results[function].add(product[function], empty[function]);
        }
    }
}

void loading(const Setup& setup, Comparison& result) {
    const auto cycle = [](const wchar_t* file) { return [file](int) { Extension loaded(file); }; };
    // The first loads read the files from disk.
    cycle(productFile)(0);
    cycle(emptyFile)(0);
    for (int round = 0; round < setup.settings.rounds; ++round) {
        compareCallByCall(setup.settings.loadSeconds, result, nothing, cycle(productFile), cycle(emptyFile), nothing);
    }
}

// --- The report. ---

const char* wineVersion() {
    using Version = const char*(__cdecl*)();
    const auto version = reinterpret_cast<Version>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    return version ? version() : nullptr;
}

int readCount(const char* text, int* into) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < 1 || value > 1000000) {
        return 0;
    }
    *into = static_cast<int>(value);
    return 1;
}

const char usage[] =
    "usage: velmorant-bench [--rounds N] [--quick]\n"
    "\n"
    "Measures VelmorantUtils.dll beside this program, through the stand-in runtime beside it: each function\n"
    "against the system's USER32 beside the same system calls made directly, against do-nothing USER32\n"
    "stand-ins beside an empty extension, and the cost of loading it. It changes the display mode and the\n"
    "keyboard speed while it runs and puts both back. Exit status 1 when the two sides of a comparison did\n"
    "not do the same work.\n"
    "\n"
    "  --rounds N   rounds per comparison (default 15)\n"
    "  --quick      one round of a few calls each, reading the system back after every call: shows that\n"
    "               everything runs and that both sides do the same work, not what it costs\n";

}  // namespace

int main(int argc, char** argv) {
    Setup setup;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc && readCount(argv[i + 1], &setup.settings.rounds)) {
            ++i;
        } else if (std::strcmp(argv[i], "--quick") == 0) {
            setup.settings = {1, 0, 0, 2, 100, 0};
            checkEveryCall = true;
        } else {
            std::fputs(usage, std::strcmp(argv[i], "--help") == 0 ? stdout : stderr);
            return std::strcmp(argv[i], "--help") == 0 ? 0 : 2;
        }
    }

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    nsPerTick = 1e9 / static_cast<double>(frequency.QuadPart);

    // Start from the stored mode, whatever an interrupted run may have left, and compare against it.
    ChangeDisplaySettingsExW(nullptr, nullptr, nullptr, 0, nullptr);
    original.keyboardSpeed = currentKeyboardSpeed();
    original.captured = true;
    setup.speeds[0] = (original.keyboardSpeed + 10) % 32;
    setup.speeds[1] = (original.keyboardSpeed + 20) % 32;
    setup.sizes[1] = currentMode();
    setup.sizes[0] = setup.sizes[1];
    setup.sizes[0].dmPelsWidth = 800;
    setup.sizes[0].dmPelsHeight = 600;
    if (setup.sizes[1].dmPelsWidth == 800 && setup.sizes[1].dmPelsHeight == 600) {
        setup.sizes[0].dmPelsWidth = 1024;
        setup.sizes[0].dmPelsHeight = 768;
    }

    const char* wine = wineVersion();
    const DEVMODEW& home = setup.sizes[1];
    std::printf("VelmorantUtils.dll, %d-bit build, under %s%s\n", static_cast<int>(sizeof(void*) * 8),
                wine ? "Wine " : "Windows", wine ? wine : "");
    std::printf(
        "Display %lux%lu, %lu bpp, %lu Hz, switched to and from %lux%lu; keyboard speed %u, set to %u and %u.\n",
        home.dmPelsWidth, home.dmPelsHeight, home.dmBitsPerPel, home.dmDisplayFrequency, setup.sizes[0].dmPelsWidth,
        setup.sizes[0].dmPelsHeight, original.keyboardSpeed, setup.speeds[0], setup.speeds[1]);
    std::printf(
        "%d rounds; in each the two sides of a comparison take turns, and each figure below is the median\n"
        "over the rounds, [lowest..highest] beside it. Timer: QueryPerformanceCounter at %.0f MHz.\n",
        setup.settings.rounds, static_cast<double>(frequency.QuadPart) / 1e6);
    std::fflush(stdout);

    const int64_t start = ticks();
    Comparison standIns[functionTotal];
    againstStandIns(setup, standIns);
    Comparison system[functionTotal];
    againstTheSystem(setup, productFile, system);
    Comparison runtimeAlone[functionTotal];
    againstTheSystem(setup, emptyFile, runtimeAlone);
    Comparison load;
    loading(setup, load);
    const double seconds = static_cast<double>(ticks() - start) * nsPerTick * 1e-9;

    std::printf(
        "\n1. Against the system's USER32, microseconds per call. Per function and round, pairs of calls, one\n"
        "   of each side, timed calls adding up to %.2f s for the keyboard, %.2f s for the display; per round\n"
        "   a side's figure is the median of its calls, the ratio the median of the pairs' ratios.\n"
        "   Goal for the ratio: 1.02 or less.\n",
        setup.settings.keyboardSeconds, setup.settings.displaySeconds);
    std::printf("%-27s %-22s %-22s %-21s %-21s %-12s %s\n", "function", "through the runtime", "same calls, direct",
                "ratio", "runtime alone (a)", "from 2. (b)", "pairs");
    bool overTheGoal = false;
    for (int function = 0; function < functionTotal; ++function) {
        const Range measured = rangeOf(system[function].measured);
        const Range direct = rangeOf(system[function].baseline);
        const int decimals = direct.median < 1e6 ? 1 : 0;
        // The system calls are the same on both sides, so the library's whole cost beyond them is what part 2
        // measures without them: the runtime's path and the library's own work, in a tight loop.
        const double derived = (direct.median + rangeOf(standIns[function].measured).median) / direct.median;
        const Range ratio = rangeOf(system[function].ratio);
        overTheGoal = overTheGoal || ratio.median > 1.02;
        const std::string alone =
            runtimeAlone[function].ratio.empty() ? "-" : shown(rangeOf(runtimeAlone[function].ratio), 1, 3);
        std::printf("%-27s %-22s %-22s %-21s %-21s %-12.5f %.0f\n", functionNames[function],
                    shown(measured, 1e-3, decimals).c_str(), shown(direct, 1e-3, decimals).c_str(),
                    (shown(ratio, 1, 3) + (ratio.median > 1.02 ? "!" : "")).c_str(), alone.c_str(), derived,
                    rangeOf(system[function].pairs).median);
    }
    if (overTheGoal) {
        std::printf("!   over the goal\n");
    }
    std::printf(
        "(a) the same system calls made directly and then the empty function called through the runtime,\n"
        "    over the same calls alone: the share of the ratio that is the runtime's and not the library's\n"
        "    (keyboard only: a mode change's cost varies too much from call to call to show it).\n"
        "(b) the system's time plus the library's whole time with the stand-ins of part 2, over the system's.\n");

    std::printf(
        "\n2. Against do-nothing USER32 stand-ins, nanoseconds per call. Per side and round the fastest of %d\n"
        "   blocks of %d calls, the modules loaded in turns. The empty function is reached by the same name\n"
        "   with the same arguments. The library's own work includes the runtime functions it calls.\n",
        setup.settings.fakeBlocks, setup.settings.fakeBlockCalls);
    std::printf("%-27s %-27s %-27s %s\n", "function", "VelmorantUtils.dll", "empty function", "the library's own work");
    for (int function = 0; function < functionTotal; ++function) {
        std::printf("%-27s %-27s %-27s %s\n", functionNames[function],
                    shown(rangeOf(standIns[function].measured), 1, 1).c_str(),
                    shown(rangeOf(standIns[function].baseline), 1, 1).c_str(),
                    shown(rangeOf(standIns[function].difference), 1, 1).c_str());
    }

    std::printf(
        "\n3. loadExtension + createContext + unloadExtension, microseconds per cycle. Per round, pairs of\n"
        "   cycles, one of each module, timed cycles adding up to %.2f s, figures taken as in 1.\n",
        setup.settings.loadSeconds);
    std::printf("%-27s %-27s %-27s %-24s %s\n", "", "VelmorantUtils.dll", "bench-empty-extension.dll", "difference",
                "pairs");
    std::printf("%-27s %-27s %-27s %-24s %.0f\n", "one cycle", shown(rangeOf(load.measured), 1e-3, 1).c_str(),
                shown(rangeOf(load.baseline), 1e-3, 1).c_str(), shown(rangeOf(load.difference), 1e-3, 1).c_str(),
                rangeOf(load.pairs).median);
    std::printf("\nMeasured in %.0f s.\n", seconds);

    putSystemBack();
    requireMode(home, "at the end,");
    requireSpeed(original.keyboardSpeed, "at the end,");
    return 0;
}
