#include <climits>

#include "ExtensionTest.h"

namespace {

using ScreenResolution = ExtensionTest;

TEST_F(ScreenResolution, SwitchAppliesTheQueriedModeWithOnlyTheSizeChanged) {
    const DEVMODEW before = system.currentMode;

    const Outcome outcome = setScreenResolution(800, 600);

    EXPECT_EQ(outcome.status, air::Status::ok);
    EXPECT_TRUE(isTrue(outcome.result));
    ASSERT_EQ(system.calls, (std::vector{SystemCall::displayQuery, SystemCall::displayChange}));

    const DisplayQuery& query = system.queries[0];
    EXPECT_EQ(query.deviceName, nullptr);
    EXPECT_EQ(query.modeNumber, 0xFFFFFFFFu);
    DEVMODEW fresh{};
    fresh.dmSize = 220;
    EXPECT_TRUE(sameRecord(query.received, fresh)) << "the working record must be all zero but for dmSize";

    const DisplayChange& change = system.changes[0];
    EXPECT_EQ(change.deviceName, nullptr);
    EXPECT_EQ(change.window, nullptr);
    EXPECT_EQ(change.flags, 0u);
    EXPECT_EQ(change.parameter, nullptr);
    ASSERT_TRUE(change.hasMode);
    DEVMODEW expected = before;
    expected.dmPelsWidth = 800;
    expected.dmPelsHeight = 600;
    EXPECT_TRUE(sameRecord(change.mode, expected)) << "every field but the size must be requested as queried";

    // Both arguments read once each, in order, and the Boolean made from exactly 1.
    ASSERT_EQ(air::requestCount(), 3u);
    EXPECT_EQ(air::request(0).function, air::Request::Function::getObjectAsInt32);
    EXPECT_EQ(air::request(1).function, air::Request::Function::getObjectAsInt32);
    EXPECT_EQ(air::request(2).function, air::Request::Function::newObjectFromBool);
    EXPECT_EQ(air::request(2).value, 1u);
}

TEST_F(ScreenResolution, OnlySuccessfulAnswerReadsAsTrue) {
    const struct {
        LONG answer;
        bool accepted;
    } cases[] = {
        {DISP_CHANGE_SUCCESSFUL, true},
        {DISP_CHANGE_RESTART, false},
        {DISP_CHANGE_FAILED, false},
        {DISP_CHANGE_BADMODE, false},
        {DISP_CHANGE_NOTUPDATED, false},
        {DISP_CHANGE_BADDUALVIEW, false},
        {LONG_MIN, false},
        {2, false},
    };
    for (const auto& c : cases) {
        system.changeAnswers = {c.answer};
        const Outcome outcome = setScreenResolution(800, 600);
        EXPECT_EQ(outcome.status, air::Status::ok);
        EXPECT_EQ(isTrue(outcome.result), c.accepted) << "answer " << c.answer;
        EXPECT_EQ(isFalse(outcome.result), !c.accepted) << "answer " << c.answer;
        ASSERT_EQ(air::requestCount(), 3u);
        EXPECT_EQ(air::request(2).value, c.accepted ? 1u : 0u);
    }
}

TEST_F(ScreenResolution, RestoreBeforeAnySwitchDoesNothing) {
    EXPECT_NULL_RESULT(restoreScreenResolution());
    EXPECT_NULL_RESULT(restoreScreenResolution());
    EXPECT_TRUE(system.calls.empty());
}

TEST_F(ScreenResolution, RestoreBringsBackTheModeFromBeforeTheFirstSwitch) {
    const DEVMODEW original = system.currentMode;
    setScreenResolution(800, 600);
    setScreenResolution(640, 480);
    system.forgetCalls();

    EXPECT_NULL_RESULT(restoreScreenResolution());
    EXPECT_NULL_RESULT(restoreScreenResolution());

    ASSERT_EQ(system.calls, (std::vector{SystemCall::displayChange, SystemCall::displayChange}));
    for (const DisplayChange& change : system.changes) {
        EXPECT_TRUE(sameRecord(change.mode, original));
        EXPECT_EQ(change.deviceName, nullptr);
        EXPECT_EQ(change.window, nullptr);
        EXPECT_EQ(change.flags, 0u);
        EXPECT_EQ(change.parameter, nullptr);
    }
}

TEST_F(ScreenResolution, CaptureIsNeverTakenAgainNotEvenAfterARestore) {
    const DEVMODEW original = system.currentMode;
    setScreenResolution(800, 600);
    restoreScreenResolution();
    // The user picks another mode in between; it must not become the one restores return to.
    system.currentMode = distinctMode(1280, 1024);
    setScreenResolution(640, 480);
    system.forgetCalls();

    restoreScreenResolution();

    ASSERT_EQ(system.changes.size(), 1u);
    EXPECT_TRUE(sameRecord(system.changes[0].mode, original));
}

TEST_F(ScreenResolution, RefusedSwitchReturnsFalseButItsCaptureStands) {
    const DEVMODEW original = system.currentMode;
    system.changeAnswers = {DISP_CHANGE_BADMODE};

    EXPECT_TRUE(isFalse(setScreenResolution(1234, 567).result));
    system.currentMode = distinctMode(1600, 1200);
    setScreenResolution(800, 600);
    system.forgetCalls();
    restoreScreenResolution();

    ASSERT_EQ(system.changes.size(), 1u);
    EXPECT_TRUE(sameRecord(system.changes[0].mode, original));
}

TEST_F(ScreenResolution, FailingQueryCapturesNothingAndTheNextGoodQueryDoes) {
    system.queryAnswers = {FALSE};
    EXPECT_NULL_RESULT(setScreenResolution(800, 600));
    EXPECT_EQ(system.calls, (std::vector{SystemCall::displayQuery}));
    EXPECT_EQ(air::requestCount(), 2u) << "no Boolean is made when the mode cannot be read";

    system.forgetCalls();
    EXPECT_NULL_RESULT(restoreScreenResolution());
    EXPECT_TRUE(system.calls.empty());

    const DEVMODEW later = distinctMode(1280, 720);
    system.currentMode = later;
    EXPECT_TRUE(isTrue(setScreenResolution(800, 600).result));
    system.forgetCalls();
    restoreScreenResolution();
    ASSERT_EQ(system.changes.size(), 1u);
    EXPECT_TRUE(sameRecord(system.changes[0].mode, later));
}

TEST_F(ScreenResolution, SizesReachTheSystemAsTheirBitPatterns) {
    const struct { int32_t width, height; } sizes[] = {{0, 0}, {-1, -768}, {INT32_MIN, INT32_MAX}, {100000, 1}};
    for (const auto& size : sizes) {
        system.forgetCalls();
        system.changeAnswers = {DISP_CHANGE_BADMODE};
        EXPECT_TRUE(isFalse(setScreenResolution(size.width, size.height).result));
        ASSERT_EQ(system.changes.size(), 1u);
        EXPECT_EQ(system.changes[0].mode.dmPelsWidth, static_cast<DWORD>(size.width));
        EXPECT_EQ(system.changes[0].mode.dmPelsHeight, static_cast<DWORD>(size.height));
    }
    system.forgetCalls();
    EXPECT_TRUE(isTrue(setScreenResolution(0, 0).result)) << "the system's answer alone decides";
}

// The runtime puts the argument array right before a page that cannot be read, so a read past the
// count would end this test program rather than pass unnoticed.
TEST_F(ScreenResolution, MalformedCallsReturnNullCaptureNothingAndTouchNothing) {
    const FREObject width = air::newInt(800);
    const FREObject text = air::newString("600");
    const FREObject oneArgument[] = {width};
    const FREObject textHeight[] = {width, text};
    const FREObject textWidth[] = {text, width};
    const FREObject nullHeight[] = {width, nullptr};
    const struct {
        const char* what;
        uint32_t count;
        const FREObject* arguments;
        bool readsArguments;
    } calls[] = {
        {"no argument", 0, oneArgument, false},
        {"one argument", 1, oneArgument, false},
        {"null array", 2, nullptr, false},
        {"height is a string", 2, textHeight, true},
        {"width is a string", 2, textWidth, true},
        {"height is the null handle", 2, nullHeight, true},
    };
    for (const auto& c : calls) {
        const Outcome outcome = callWithObjects(context, "as_setScreenResolution", c.count, c.arguments);
        EXPECT_EQ(outcome.status, air::Status::ok) << c.what;
        EXPECT_EQ(outcome.result, nullptr) << c.what;
        if (!c.readsArguments) {
            EXPECT_EQ(air::requestCount(), 0u) << c.what;
        }
        for (uint32_t i = 0; i < air::requestCount(); ++i) {
            EXPECT_EQ(air::request(i).function, air::Request::Function::getObjectAsInt32) << c.what;
        }
    }
    EXPECT_TRUE(system.calls.empty());

    EXPECT_NULL_RESULT(restoreScreenResolution());
    EXPECT_TRUE(system.calls.empty()) << "a malformed call must not have captured";
}

// The optional third argument: 1 switches temporarily, none or 0 as before, anything else reaches nothing.
// The malformed rows come first, so that the restore after each shows whether one of them captured.
TEST_F(ScreenResolution, ThirdArgumentMakesTheSwitchTemporaryOrTheCallMalformed) {
    const struct {
        const char* what;
        std::vector<FREObject> extra;  // after the width and the height
        bool switches;
        DWORD flags;
    } cases[] = {
        {"2", {air::newInt(2)}, false, 0},
        {"-1", {air::newInt(-1)}, false, 0},
        {"a string", {air::newString("1")}, false, 0},
        {"the null handle", {nullptr}, false, 0},
        {"none", {}, true, 0},
        {"0", {air::newInt(0)}, true, 0},
        {"1", {air::newInt(1)}, true, CDS_FULLSCREEN},
        {"false, which the runtime converts to 0", {air::newBool(false)}, true, 0},
        {"true, which the runtime converts to 1", {air::newBool(true)}, true, CDS_FULLSCREEN},
        {"1, then a fourth that is never read", {air::newInt(1), air::newString("x")}, true, CDS_FULLSCREEN},
    };
    for (const auto& c : cases) {
        system.forgetCalls();
        std::vector<FREObject> arguments = {air::newInt(800), air::newInt(600)};
        arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        const Outcome outcome = callWithObjects(context, "as_setScreenResolution",
                                                static_cast<uint32_t>(arguments.size()), arguments.data());
        EXPECT_EQ(outcome.result != nullptr, c.switches) << c.what;
        const uint32_t reads = c.extra.empty() ? 2 : 3;
        EXPECT_EQ(air::requestCount(), c.switches ? reads + 1 : reads) << c.what << ": reads, and the Boolean";
        restoreScreenResolution();
        if (!c.switches) {
            EXPECT_TRUE(system.calls.empty()) << c.what << ": nothing reaches the system, nor is captured";
            continue;
        }
        ASSERT_EQ(system.changes.size(), 2u) << c.what;
        EXPECT_EQ(system.changes[0].flags, c.flags) << c.what;
        EXPECT_EQ(system.changes[1].flags, 0u) << c.what << ": the restore";
    }
}

// The runtime hands a Boolean over as 1 or 0, so a Boolean size is a size of 1 or 0, not a malformed call.
TEST_F(ScreenResolution, BooleanSizesReachTheSystemAsOneAndZero) {
    const FREObject booleans[] = {air::newBool(true), air::newBool(false)};
    EXPECT_EQ(callWithObjects(context, "as_setScreenResolution", 2, booleans).status, air::Status::ok);
    ASSERT_EQ(system.changes.size(), 1u);
    EXPECT_EQ(system.changes[0].mode.dmPelsWidth, 1u);
    EXPECT_EQ(system.changes[0].mode.dmPelsHeight, 0u);
}

TEST_F(ScreenResolution, ResultThatCannotBeMadeReadsAsNull) {
    air::failNewObjectFromBool(true);

    // A returned handle that the runtime never wrote would come back as invalidResult.
    EXPECT_NULL_RESULT(setScreenResolution(800, 600));
    EXPECT_EQ(system.changes.size(), 1u) << "the switch itself was still made";

    air::failNewObjectFromBool(false);
    system.forgetCalls();
    restoreScreenResolution();
    ASSERT_EQ(system.changes.size(), 1u);
    EXPECT_EQ(system.changes[0].mode.dmPelsWidth, 1024u) << "and its capture stands";
}

}  // namespace
