// velmorant-bench: what VelmorantUtils.dll costs under Wine, in three figures, each the median over rounds:
//   1. each function's own work: through the stand-in runtime with do-nothing USER32 fakes, against the empty
//      extension's function of the same name;
//   2. each function's whole cost: through the runtime against Wine's USER32, against the same system calls
//      made directly, the two sides taking turns call by call;
//   3. loading, opening a context and unloading, against the same for the empty extension.
// Every comparison checks that both sides did the same work, and the program exits 1 when they did not.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "FakeUser32.h"
#include "Harness.h"
#include "Table.h"

namespace {

constexpr int functionTotal = sizeof tableNames / sizeof tableNames[0];
const wchar_t emptyFile[] = L"bench-empty-extension.dll";

int rounds = 15;
int blockCalls = 2000;  // calls per timed block against the fakes
int systemPairs = 40;   // pairs of calls per function and round against Wine's USER32

[[noreturn]] void fail(const char* what) {
    air::unloadExtension();
    std::fprintf(stderr, "velmorant-bench: %s\n", what);
    std::exit(1);
}

double nowNs() {
    static const double nsPerTick = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return 1e9 / static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * nsPerTick;
}

double timeNs(const std::function<void()>& work) {
    const double start = nowNs();
    work();
    return nowNs() - start;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// What a function does, read from its name in the table: a screen or a keyboard function, a set or a restore.
struct Kind {
    bool screen;
    bool restore;
};
Kind kindOf(int function) {
    const char* name = tableNames[function];
    return {std::strstr(name, "Screen") != nullptr, std::strncmp(name, "as_restore", 10) == 0};
}

struct Setup {
    UINT speedFound;
    UINT speeds[2];     // two speeds other than the one found
    DEVMODEW sizes[2];  // the other size, and the size found
};

// The arguments each function is called with, made in the loaded runtime: a speed and a size, two of each, so
// that every call changes what the system holds.
struct Arguments {
    FREObject speed[2];
    FREObject size[2][2];
    FREObject none[1] = {nullptr};

    explicit Arguments(const Setup& setup) {
        for (int i = 0; i < 2; ++i) {
            speed[i] = air::newInt(static_cast<int32_t>(setup.speeds[i]));
            size[i][0] = air::newInt(static_cast<int32_t>(setup.sizes[i].dmPelsWidth));
            size[i][1] = air::newInt(static_cast<int32_t>(setup.sizes[i].dmPelsHeight));
        }
    }
    // Calls table function `function` with its `turn`th arguments; a switch must be accepted.
    void call(FREContext context, int function, int turn) {
        const Kind kind = kindOf(function);
        const Outcome outcome = kind.restore ? callWithObjects(context, tableNames[function], 0, none)
                                : kind.screen ? callWithObjects(context, tableNames[function], 2, size[turn])
                                              : callWithObjects(context, tableNames[function], 1, &speed[turn]);
        if (outcome.status != air::Status::ok || (kind.screen && !kind.restore && outcome.result != nullptr &&
                                                  !isTrue(outcome.result))) {
            fail("a call through the runtime failed, or a switch was refused");
        }
    }
};

// 1. The fastest block of each module's calls per round, the modules loaded in turns; ns per call.
void ownWork(const Setup& setup, std::vector<double> (&difference)[functionTotal]) {
    for (int round = 0; round < rounds; ++round) {
        double fastest[2][functionTotal];
        std::fill(&fastest[0][0], &fastest[0][0] + 2 * functionTotal, 1e300);
        for (int block = 0; block < 10; ++block) {
            for (int side = 0; side < 2; ++side) {
                const bool product = (side + block) % 2 == 0;
                LoadedExtension extension(product, product ? L"VelmorantUtils.dll" : emptyFile);
                const FREContext context = extension.open();
                fakeUser32() = FakeUser32{};
                fakeUser32().recording = false;
                Arguments arguments(setup);
                for (int function = 0; function < functionTotal; ++function) {
                    arguments.call(context, function, 0);  // the first sets capture
                }
                for (int function = 0; function < functionTotal; ++function) {
                    fakeUser32().reached = 0;
                    const double ns = timeNs([&] {
                        for (int i = 0; i < blockCalls; ++i) {
                            arguments.call(context, function, i & 1);
                        }
                    });
                    // Once the first set has captured, a switch queries and changes; every other call makes one call.
                    const Kind kind = kindOf(function);
                    const long reached = kind.screen && !kind.restore ? 2 : 1;
                    if (fakeUser32().reached != (product ? reached * blockCalls : 0)) {
                        fail("a function did not reach the system stand-ins as often as it should");
                    }
                    double& best = fastest[product ? 0 : 1][function];
                    best = std::min(best, ns / blockCalls);
                }
            }
        }
        for (int function = 0; function < functionTotal; ++function) {
            difference[function].push_back(fastest[0][function] - fastest[1][function]);
        }
    }
}

// 2. The same system calls the module makes once it has captured, made directly.
void direct(int function, const Setup& setup, int turn) {
    const Kind kind = kindOf(function);
    if (!kind.screen) {
        const UINT speed = kind.restore ? setup.speedFound : setup.speeds[turn];
        SystemParametersInfoW(SPI_SETKEYBOARDSPEED, speed, nullptr, SPIF_UPDATEINIFILE);
        return;
    }
    DEVMODEW mode = setup.sizes[1];
    if (!kind.restore) {
        EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode);
        mode.dmPelsWidth = setup.sizes[turn].dmPelsWidth;
        mode.dmPelsHeight = setup.sizes[turn].dmPelsHeight;
    }
    if (ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr) != DISP_CHANGE_SUCCESSFUL) {
        fail("Wine refused a mode change");
    }
}

// Per round the median of the pairs' ratios; in each pair one call through the runtime and one direct, the
// first going first in every other pair. A restore follows a direct change away from the captured value.
void wholeCost(const Setup& setup, std::vector<double> (&ratio)[functionTotal], double (&directUs)[functionTotal]) {
    LoadedExtension extension(false);
    const FREContext context = extension.open();
    Arguments arguments(setup);
    for (int function = 0; function < functionTotal; ++function) {
        if (!kindOf(function).restore) {
            arguments.call(context, function, 1);  // captures the speed and mode found
        }
    }
    // For each restore, the set of the same setting.
    int away[functionTotal] = {};
    for (int function = 0; function < functionTotal; ++function) {
        for (int other = 0; other < functionTotal; ++other) {
            if (kindOf(other).screen == kindOf(function).screen && !kindOf(other).restore) {
                away[function] = other;
            }
        }
    }
    std::vector<double> directNs[functionTotal];
    for (int round = 0; round < rounds; ++round) {
        for (int function = 0; function < functionTotal; ++function) {
            const bool restore = kindOf(function).restore;
            std::vector<double> pairs;
            for (int pair = 0; pair < systemPairs; ++pair) {
                double ns[2];
                for (int turn = 0; turn < 2; ++turn) {
                    const bool throughRuntime = (turn + pair) % 2 == 0;
                    if (restore) {
                        direct(away[function], setup, 0);  // away from the captured value
                    }
                    ns[throughRuntime ? 0 : 1] = timeNs([&] {
                        if (throughRuntime) {
                            arguments.call(context, function, turn);
                        } else {
                            direct(function, setup, turn);
                        }
                    });
                }
                pairs.push_back(ns[0] / ns[1]);
                directNs[function].push_back(ns[1]);
            }
            ratio[function].push_back(median(pairs));
        }
    }
    for (int function = 0; function < functionTotal; ++function) {
        directUs[function] = median(directNs[function]) / 1000;
    }
}

// 3. Cycles of both modules in turns; µs per cycle, the median of the pairs' differences per round.
void loading(std::vector<double>& product, std::vector<double>& empty) {
    const auto cycle = [](const wchar_t* file) {
        return timeNs([file] {
            LoadedExtension extension(false, file);
            if (!extension.loaded() || extension.open() == nullptr) {
                fail("a module did not load");
            }
        });
    };
    for (int round = 0; round < rounds; ++round) {
        std::vector<double> ours;
        std::vector<double> theirs;
        for (int pair = 0; pair < 40; ++pair) {
            const bool first = pair % 2 == 0;
            const double a = first ? cycle(L"VelmorantUtils.dll") : cycle(emptyFile);
            const double b = first ? cycle(emptyFile) : cycle(L"VelmorantUtils.dll");
            ours.push_back((first ? a : b) / 1000);
            theirs.push_back((first ? b : a) / 1000);
        }
        product.push_back(median(ours));
        empty.push_back(median(theirs));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--quick") == 0) {
        rounds = 1, blockCalls = 20, systemPairs = 2;  // shows that everything runs, not what it costs
    } else if (argc != 1) {
        std::fputs("usage: velmorant-bench [--quick]\n", stderr);
        return 2;
    }
    Setup setup{};
    SystemParametersInfoW(SPI_GETKEYBOARDSPEED, 0, &setup.speedFound, 0);
    setup.speeds[0] = (setup.speedFound + 10) % 32;
    setup.speeds[1] = (setup.speedFound + 20) % 32;
    setup.sizes[1].dmSize = sizeof(DEVMODEW);
    if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &setup.sizes[1])) {
        fail("the current display mode cannot be read");
    }
    setup.sizes[0] = setup.sizes[1];
    setup.sizes[0].dmPelsWidth = setup.sizes[1].dmPelsWidth == 800 ? 1024 : 800;
    setup.sizes[0].dmPelsHeight = setup.sizes[1].dmPelsWidth == 800 ? 768 : 600;

    std::vector<double> own[functionTotal];
    ownWork(setup, own);
    std::vector<double> ratio[functionTotal];
    double directUs[functionTotal];
    wholeCost(setup, ratio, directUs);
    std::vector<double> loadProduct;
    std::vector<double> loadEmpty;
    loading(loadProduct, loadEmpty);

    // The module restored both on its last calls; the program checks they are back as found.
    UINT speedNow = 0;
    SystemParametersInfoW(SPI_GETKEYBOARDSPEED, 0, &speedNow, 0);
    DEVMODEW modeNow{};
    modeNow.dmSize = sizeof modeNow;
    EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &modeNow);
    if (modeNow.dmPelsWidth != setup.sizes[1].dmPelsWidth || speedNow != setup.speedFound) {
        fail("the display mode or keyboard speed is not back as found");
    }

    std::printf("VelmorantUtils.dll, %d-bit build; %d rounds, medians over the rounds\n\n",
                static_cast<int>(sizeof(void*) * 8), rounds);
    std::printf("| Function | Direct system calls, us | Ratio through the runtime | Library's own work, ns |\n"
                "|---|---:|---:|---:|\n");
    for (int function = 0; function < functionTotal; ++function) {
        std::printf("| `%s` | %.0f | %.3f | %.1f |\n", tableNames[function], directUs[function],
                    median(ratio[function]), median(own[function]));
    }
    std::printf("\nLoading, opening a context and unloading: %.0f us; the empty extension: %.0f us.\n",
                median(loadProduct), median(loadEmpty));
    return 0;
}
