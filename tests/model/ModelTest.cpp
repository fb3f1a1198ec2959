// Drives the shipped DLL through long seeded random sequences of calls over several contexts, with the fake
// system and the runtime injecting every failure the extension has to live with, and checks every result and
// every system call against a small reference model of both controls.
//
// A failure prints the seed and the shortest prefix of the sequence that shows it; VELMORANT_MODEL_SEED=<n>
// runs that one seed alone.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "FakeUser32.h"
#include "Harness.h"

namespace {

// What the module must remember between calls, and nothing more.
struct ReferenceModel {
    bool displayModeSaved = false;
    DEVMODEW savedDisplayMode{};
    bool keyboardSpeedSaved = false;
    uint32_t savedKeyboardSpeed = 0;
};

enum class Argument { integer, string, boolean, nullHandle };

struct Step {
    enum class Kind { setScreen, restoreScreen, setKeyboard, restoreKeyboard, openContext, disposeContext, userChange };
    Kind kind = Kind::restoreScreen;
    size_t context = 0;
    // Arguments as handed over: a null array, or `count` slots of these kinds and values.
    bool nullArray = false;
    uint32_t count = 0;
    Argument kinds[3] = {};
    int32_t values[3] = {};
    // What the system and the runtime do during this step.
    bool queryFails = false;
    LONG changeAnswer = DISP_CHANGE_SUCCESSFUL;
    bool keyboardQueryFails = false;
    bool newBoolFails = false;
    std::string text;
};

// What each kind of step is called in a report; the first four are also the table names the steps call.
const char* const stepNames[] = {
    "as_setScreenResolution", "as_restoreScreenResolution", "as_setKeyboardSpeed",           "as_restoreKeyboardSpeed",
    "open a context",         "dispose a context",          "the user changes both settings"};

const char* kindName(Argument kind) {
    switch (kind) {
        case Argument::integer:
            return "int";
        case Argument::string:
            return "string";
        case Argument::boolean:
            return "bool";
        case Argument::nullHandle:
            return "null";
    }
    return "?";
}

class StepGenerator {
public:
    explicit StepGenerator(uint32_t seed) : random(seed) {}

    Step next(size_t contextCount) {
        Step step;
        const int roll = below(100);
        step.kind = roll < 30   ? Step::Kind::setScreen
                    : roll < 45 ? Step::Kind::restoreScreen
                    : roll < 70 ? Step::Kind::setKeyboard
                    : roll < 85 ? Step::Kind::restoreKeyboard
                    : roll < 90 ? Step::Kind::openContext
                    : roll < 94 ? Step::Kind::disposeContext
                                : Step::Kind::userChange;
        step.context = below(static_cast<int>(contextCount));
        const uint32_t wanted = step.kind == Step::Kind::setScreen ? 2 : step.kind == Step::Kind::setKeyboard ? 1 : 0;
        if (wanted > 0) {
            chooseArguments(&step, wanted);
        }
        step.queryFails = below(8) == 0;
        const LONG answers[] = {DISP_CHANGE_SUCCESSFUL, DISP_CHANGE_SUCCESSFUL, DISP_CHANGE_SUCCESSFUL,
                                DISP_CHANGE_RESTART,    DISP_CHANGE_FAILED,     DISP_CHANGE_BADMODE,
                                DISP_CHANGE_NOTUPDATED, DISP_CHANGE_BADPARAM,   LONG_MIN};
        step.changeAnswer = answers[below(sizeof answers / sizeof answers[0])];
        step.keyboardQueryFails = below(6) == 0;
        step.newBoolFails = below(8) == 0;
        step.text = describe(step);
        return step;
    }

    int32_t size() {
        const int32_t edges[] = {0, -1, 1, 640, 800, 1024, 1234, INT32_MIN, INT32_MAX, 65536};
        return below(3) == 0 ? static_cast<int32_t>(random()) : edges[below(sizeof edges / sizeof edges[0])];
    }

    int below(int bound) { return static_cast<int>(random() % static_cast<uint32_t>(bound)); }

private:
    void chooseArguments(Step* step, uint32_t wanted) {
        const int shape = below(12);
        step->nullArray = shape == 0;
        step->count = shape == 1 ? wanted - 1 : shape == 2 ? wanted + 1 : wanted;
        for (uint32_t i = 0; i < 3; ++i) {
            const int which = below(14);
            step->kinds[i] = which == 0   ? Argument::string
                             : which == 1 ? Argument::boolean
                             : which == 2 ? Argument::nullHandle
                                          : Argument::integer;
            // A screen switch's third argument, when there is one, is 0 or 1 half the time.
            step->values[i] = wanted == 1 && below(2) ? below(40) - 4 : i == 2 && below(2) ? below(2) : size();
        }
    }

    std::string describe(const Step& step) const {
        std::ostringstream out;
        out << stepNames[static_cast<int>(step.kind)] << " [context " << step.context << "]";
        if (step.nullArray) {
            out << " (null argument array, count " << step.count << ")";
        } else if (step.kind == Step::Kind::setScreen || step.kind == Step::Kind::setKeyboard) {
            out << " (";
            for (uint32_t i = 0; i < step.count; ++i) {
                out << (i ? ", " : "") << kindName(step.kinds[i]) << " " << step.values[i];
            }
            out << ")";
        }
        if (step.kind == Step::Kind::setScreen) {
            out << " | mode query " << (step.queryFails ? "fails" : "answers") << ", change answers "
                << step.changeAnswer << ", Boolean " << (step.newBoolFails ? "cannot be made" : "made");
        } else if (step.kind == Step::Kind::restoreScreen) {
            out << " | change answers " << step.changeAnswer;
        } else if (step.kind == Step::Kind::setKeyboard && step.keyboardQueryFails) {
            out << " | speed query fails";
        }
        return out.str();
    }

    std::mt19937 random;
};

struct ExpectedKeyboard {
    UINT action;
    UINT uiParam;
};

struct Expectation {
    enum class Result { null, trueValue, falseValue } result = Result::null;
    std::vector<SystemCall> calls;
    std::vector<DEVMODEW> changes;
    DWORD flags = 0;  // of the display change: CDS_FULLSCREEN for a temporary switch
    std::vector<ExpectedKeyboard> keyboard;
};

// The integer the runtime converts an argument to; a Boolean converts as 1 or 0.
int32_t converted(const Step& step, uint32_t i) {
    return step.kinds[i] == Argument::boolean ? step.values[i] & 1 : step.values[i];
}

// Whether the call's arguments reach the extension's conversions whole and all convert to integers.
bool argumentsConvert(const Step& step, uint32_t needed) {
    if (step.nullArray || step.count < needed) {
        return false;
    }
    for (uint32_t i = 0; i < needed; ++i) {
        if (step.kinds[i] != Argument::integer && step.kinds[i] != Argument::boolean) {
            return false;
        }
    }
    return true;
}

// Advances the model by one call and says what the call must return and send to the system, given what the
// system reports just before it.
Expectation expect(ReferenceModel& model, const Step& step, const FakeUser32& systemBefore) {
    Expectation expected;
    switch (step.kind) {
        case Step::Kind::setScreen: {
            if (!argumentsConvert(step, 2) ||
                (step.count > 2 && (!argumentsConvert(step, 3) || static_cast<uint32_t>(converted(step, 2)) > 1))) {
                break;
            }
            expected.flags = step.count > 2 && converted(step, 2) == 1 ? CDS_FULLSCREEN : 0;
            expected.calls.push_back(SystemCall::displayQuery);
            if (step.queryFails) {
                break;
            }
            if (!model.displayModeSaved) {
                model.displayModeSaved = true;
                model.savedDisplayMode = systemBefore.currentMode;
            }
            DEVMODEW requested = systemBefore.currentMode;
            requested.dmPelsWidth = static_cast<DWORD>(converted(step, 0));
            requested.dmPelsHeight = static_cast<DWORD>(converted(step, 1));
            expected.calls.push_back(SystemCall::displayChange);
            expected.changes.push_back(requested);
            if (!step.newBoolFails) {
                expected.result = step.changeAnswer == DISP_CHANGE_SUCCESSFUL ? Expectation::Result::trueValue
                                                                              : Expectation::Result::falseValue;
            }
            break;
        }
        case Step::Kind::restoreScreen:
            if (model.displayModeSaved) {
                expected.calls.push_back(SystemCall::displayChange);
                expected.changes.push_back(model.savedDisplayMode);
            }
            break;
        case Step::Kind::setKeyboard:
            if (!argumentsConvert(step, 1)) {
                break;
            }
            if (!model.keyboardSpeedSaved) {
                expected.calls.push_back(SystemCall::keyboard);
                expected.keyboard.push_back({SPI_GETKEYBOARDSPEED, 0});
                // A speed the system did not report is neither captured nor followed by a set.
                if (step.keyboardQueryFails) {
                    break;
                }
                model.keyboardSpeedSaved = true;
                model.savedKeyboardSpeed = systemBefore.keyboardSpeed;
            }
            expected.calls.push_back(SystemCall::keyboard);
            expected.keyboard.push_back({SPI_SETKEYBOARDSPEED, static_cast<UINT>(converted(step, 0))});
            break;
        case Step::Kind::restoreKeyboard:
            if (model.keyboardSpeedSaved) {
                expected.calls.push_back(SystemCall::keyboard);
                expected.keyboard.push_back({SPI_SETKEYBOARDSPEED, model.savedKeyboardSpeed});
            }
            break;
        default:
            break;
    }
    return expected;
}

FREObject makeArgument(Argument kind, int32_t value) {
    switch (kind) {
        case Argument::integer:
            return air::newInt(value);
        case Argument::string:
            return air::newString(std::to_string(value).c_str());
        case Argument::boolean:
            return air::newBool(value & 1);
        case Argument::nullHandle:
            return nullptr;
    }
    return nullptr;
}

// Runs one call on the DLL; returns what went wrong, or an empty string.
std::string runAndCompare(ReferenceModel& model, const Step& step, std::vector<FREContext>& contexts,
                          LoadedExtension& extension, StepGenerator& generator) {
    FakeUser32& system = fakeUser32();
    system.forgetCalls();
    if (step.kind == Step::Kind::openContext) {
        contexts.push_back(extension.open(generator.below(2) ? "" : "second"));
        return contexts.back() ? "" : "a context could not be opened";
    }
    if (step.kind == Step::Kind::disposeContext) {
        if (contexts.size() > 1) {
            const bool disposed = air::disposeContext(contexts[step.context]) == air::Status::ok;
            contexts.erase(contexts.begin() + static_cast<long>(step.context));
            if (!disposed) {
                return "a context could not be disposed";
            }
        }
        return system.calls.empty() ? "" : "disposing a context reached the system";
    }
    if (step.kind == Step::Kind::userChange) {
        system.currentMode = distinctMode(static_cast<DWORD>(generator.size()), static_cast<DWORD>(generator.size()));
        system.keyboardSpeed = static_cast<UINT>(generator.below(32));
        return "";
    }

    const Expectation expected = expect(model, step, system);
    system.queryAnswers = {step.queryFails ? FALSE : TRUE};
    system.changeAnswers = {step.changeAnswer};
    system.keyboardQueryAnswers = {step.keyboardQueryFails ? FALSE : TRUE};
    air::failNewObjectFromBool(step.newBoolFails);

    FREObject arguments[3];
    for (uint32_t i = 0; i < step.count; ++i) {
        arguments[i] = makeArgument(step.kinds[i], step.values[i]);
    }
    const Outcome outcome = callWithObjects(contexts[step.context], stepNames[static_cast<int>(step.kind)], step.count,
                                            step.nullArray ? nullptr : arguments);
    air::failNewObjectFromBool(false);

    if (outcome.status != air::Status::ok) {
        return std::string("the runtime rejected the call: ") + air::lastError();
    }
    const bool resultMatches = expected.result == Expectation::Result::null        ? outcome.result == nullptr
                               : expected.result == Expectation::Result::trueValue ? isTrue(outcome.result)
                                                                                   : isFalse(outcome.result);
    if (!resultMatches) {
        return "wrong result";
    }
    if (system.calls != expected.calls) {
        return "wrong sequence of system calls (" + std::to_string(system.calls.size()) + " made, " +
               std::to_string(expected.calls.size()) + " expected)";
    }
    for (const DisplayQuery& query : system.queries) {
        DEVMODEW fresh{};
        fresh.dmSize = sizeof fresh;
        if (query.deviceName != nullptr || query.modeNumber != ENUM_CURRENT_SETTINGS ||
            std::memcmp(&query.received, &fresh, sizeof fresh) != 0) {
            return "display query with the wrong arguments";
        }
    }
    for (size_t i = 0; i < system.changes.size(); ++i) {
        const DisplayChange& change = system.changes[i];
        if (change.deviceName != nullptr || change.window != nullptr || change.flags != expected.flags ||
            change.parameter != nullptr || !change.hasMode) {
            return "display change with the wrong arguments";
        }
        if (std::memcmp(&change.mode, &expected.changes[i], sizeof change.mode) != 0) {
            return "display change with the wrong record (width " + std::to_string(change.mode.dmPelsWidth) +
                   ", expected " + std::to_string(expected.changes[i].dmPelsWidth) + ")";
        }
    }
    for (size_t i = 0; i < system.keyboardCalls.size(); ++i) {
        const KeyboardCall& call = system.keyboardCalls[i];
        if (call.action != expected.keyboard[i].action || call.uiParam != expected.keyboard[i].uiParam ||
            !call.hasValue || call.valueOnEntry != 0 || call.winIni != SPIF_UPDATEINIFILE) {
            return "keyboard call " + std::to_string(call.action) + " with uiParam " + std::to_string(call.uiParam) +
                   ", expected " + std::to_string(expected.keyboard[i].action) + " with " +
                   std::to_string(expected.keyboard[i].uiParam);
        }
    }
    return "";
}

// Returns an empty string when the whole sequence matches the model, or the report of its first divergence.
std::string runSequence(uint32_t seed, int length) {
    FakeUser32& system = fakeUser32();
    system = FakeUser32{};
    system.currentMode = distinctMode(1024, 768);
    system.keyboardSpeed = 31;
    LoadedExtension extension(true);
    if (!extension.loaded()) {
        return std::string("the extension did not load: ") + air::lastError();
    }
    ReferenceModel model;
    std::vector<FREContext> contexts = {extension.open()};
    StepGenerator generator(seed);
    std::vector<std::string> steps;
    for (int i = 0; i < length; ++i) {
        const Step step = generator.next(contexts.size());
        steps.push_back(step.text);
        const std::string problem = runAndCompare(model, step, contexts, extension, generator);
        if (!problem.empty()) {
            // Every shorter prefix matched the model, so this one is the shortest that shows the fault.
            std::ostringstream report;
            report << "seed " << seed << ": step " << i + 1 << ": " << problem << "\nshortest failing prefix ("
                   << steps.size() << " steps; rerun with VELMORANT_MODEL_SEED=" << seed << "):\n";
            for (size_t n = 0; n < steps.size(); ++n) {
                report << "  " << n + 1 << ". " << steps[n] << "\n";
            }
            return report.str();
        }
    }
    return "";
}

TEST(Model, RandomSequencesMatchTheReferenceModel) {
    std::vector<uint32_t> seeds;
    if (const char* chosen = std::getenv("VELMORANT_MODEL_SEED")) {
        seeds.push_back(static_cast<uint32_t>(std::strtoul(chosen, nullptr, 10)));
    } else {
        for (uint32_t seed = 1; seed <= 100; ++seed) {
            seeds.push_back(seed);
        }
    }
    for (const uint32_t seed : seeds) {
        const std::string report = runSequence(seed, 1000);
        ASSERT_TRUE(report.empty()) << report;
    }
}

}  // namespace
