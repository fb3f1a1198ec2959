#include "ExtensionTest.h"

namespace {

using KeyboardSpeed = ExtensionTest;

void expectSet(const KeyboardCall& call, UINT speed) {
    EXPECT_EQ(call.action, static_cast<UINT>(SPI_SETKEYBOARDSPEED));
    EXPECT_EQ(call.uiParam, speed);
    EXPECT_TRUE(call.hasValue);
    EXPECT_EQ(call.valueOnEntry, 0);
    EXPECT_EQ(call.winIni, static_cast<UINT>(SPIF_UPDATEINIFILE)) << "written to the profile, no broadcast";
}

TEST_F(KeyboardSpeed, FirstSetQueriesThenSetsAndLaterSetsOnlySet) {
    system.keyboardSpeed = 7;

    EXPECT_NULL_RESULT(setKeyboardSpeed(20));
    ASSERT_EQ(system.keyboardCalls.size(), 2u);
    const KeyboardCall& query = system.keyboardCalls[0];
    EXPECT_EQ(query.action, static_cast<UINT>(SPI_GETKEYBOARDSPEED));
    EXPECT_EQ(query.uiParam, 0u);
    EXPECT_TRUE(query.hasValue);
    EXPECT_EQ(query.valueOnEntry, 0) << "the query's integer must be preset to 0";
    EXPECT_EQ(query.winIni, 1u);
    expectSet(system.keyboardCalls[1], 20);
    EXPECT_EQ(air::requestCount(), 1u) << "one argument read, no object made";

    system.forgetCalls();
    EXPECT_NULL_RESULT(setKeyboardSpeed(25));
    ASSERT_EQ(system.keyboardCalls.size(), 1u);
    expectSet(system.keyboardCalls[0], 25);
}

TEST_F(KeyboardSpeed, RestoreBeforeAnySetDoesNothing) {
    EXPECT_NULL_RESULT(restoreKeyboardSpeed());
    EXPECT_TRUE(system.calls.empty());
}

TEST_F(KeyboardSpeed, EveryRestoreReturnsToTheSpeedFromBeforeTheFirstSet) {
    system.keyboardSpeed = 7;
    setKeyboardSpeed(31);
    setKeyboardSpeed(10);
    restoreKeyboardSpeed();
    EXPECT_EQ(system.keyboardSpeed, 7u);

    setKeyboardSpeed(3);
    system.forgetCalls();
    EXPECT_NULL_RESULT(restoreKeyboardSpeed());
    EXPECT_NULL_RESULT(restoreKeyboardSpeed());
    ASSERT_EQ(system.keyboardCalls.size(), 2u);
    expectSet(system.keyboardCalls[0], 7);
    expectSet(system.keyboardCalls[1], 7);
}

// A speed the system did not report must never reach the user's profile through a restore.
TEST_F(KeyboardSpeed, FailingQueryCapturesAndSetsNothingAndTheNextGoodQueryCaptures) {
    system.keyboardSpeed = 12;
    system.keyboardQueryAnswers = {FALSE};
    EXPECT_NULL_RESULT(setKeyboardSpeed(20));
    ASSERT_EQ(system.keyboardCalls.size(), 1u) << "the query alone: no speed is set without a capture";
    EXPECT_EQ(system.keyboardCalls[0].action, static_cast<UINT>(SPI_GETKEYBOARDSPEED));
    system.forgetCalls();
    EXPECT_NULL_RESULT(restoreKeyboardSpeed());
    EXPECT_TRUE(system.calls.empty()) << "nothing was captured";

    system.keyboardSpeed = 9;
    setKeyboardSpeed(20);
    EXPECT_EQ(system.keyboardCalls.size(), 2u) << "the next call queries again and sets";
    system.forgetCalls();
    restoreKeyboardSpeed();
    ASSERT_EQ(system.keyboardCalls.size(), 1u);
    expectSet(system.keyboardCalls[0], 9);
}

TEST_F(KeyboardSpeed, SpeedsReachTheSystemUncheckedAsTheirBitPatterns) {
    for (const int32_t speed : {0, 31, 32, 1000, -1, INT32_MIN}) {
        system.forgetCalls();
        setKeyboardSpeed(speed);
        ASSERT_FALSE(system.keyboardCalls.empty());
        expectSet(system.keyboardCalls.back(), static_cast<UINT>(speed));
    }
    // The runtime converts a Boolean as 1 or 0.
    const FREObject flag[] = {air::newBool(true)};
    callWithObjects(context, "as_setKeyboardSpeed", 1, flag);
    expectSet(system.keyboardCalls.back(), 1);
}

TEST_F(KeyboardSpeed, MalformedCallsChangeNothingAndLeaveTheCaptureToTheNextGoodSet) {
    const FREObject text = air::newString("5");
    const FREObject speed = air::newInt(9);
    const FREObject textArgument[] = {text};
    const FREObject nullArgument[] = {nullptr};
    EXPECT_NULL_RESULT(callWithObjects(context, "as_setKeyboardSpeed", 0, &speed));
    EXPECT_EQ(air::requestCount(), 0u) << "an empty call must not read a slot";
    EXPECT_NULL_RESULT(callWithObjects(context, "as_setKeyboardSpeed", 1, nullptr));
    EXPECT_EQ(air::requestCount(), 0u);
    EXPECT_NULL_RESULT(callWithObjects(context, "as_setKeyboardSpeed", 1, textArgument));
    EXPECT_NULL_RESULT(callWithObjects(context, "as_setKeyboardSpeed", 1, nullArgument));
    EXPECT_TRUE(system.calls.empty());
    restoreKeyboardSpeed();
    EXPECT_TRUE(system.calls.empty()) << "nothing was captured";

    system.keyboardSpeed = 14;
    setKeyboardSpeed(2);
    EXPECT_EQ(system.keyboardCalls.size(), 2u) << "the first good set is the one that captures";
    restoreKeyboardSpeed();
    EXPECT_EQ(system.keyboardSpeed, 14u);
}

}  // namespace
