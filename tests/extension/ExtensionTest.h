// A freshly loaded extension whose USER32 imports answer from recording fakes, with one context open.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "FakeUser32.h"
#include "Harness.h"

class ExtensionTest : public testing::Test {
protected:
    void SetUp() override {
        system = FakeUser32{};
        system.currentMode = distinctMode(1024, 768);
        ASSERT_TRUE(extension.loaded()) << air::lastError();
        context = extension.open();
        ASSERT_NE(context, nullptr);
    }

    Outcome setScreenResolution(int32_t width, int32_t height) {
        return callWithInts(context, "as_setScreenResolution", {width, height});
    }
    Outcome restoreScreenResolution() { return callWithInts(context, "as_restoreScreenResolution", {}); }
    Outcome setKeyboardSpeed(int32_t speed) { return callWithInts(context, "as_setKeyboardSpeed", {speed}); }
    Outcome restoreKeyboardSpeed() { return callWithInts(context, "as_restoreKeyboardSpeed", {}); }

    static bool sameRecord(const DEVMODEW& a, const DEVMODEW& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

    LoadedExtension extension{true};
    FakeUser32& system = fakeUser32();
    FREContext context = nullptr;
};

// Null handle, and the runtime accepted it as a well-formed result.
#define EXPECT_NULL_RESULT(outcome)                 \
    do {                                            \
        const Outcome checked = (outcome);          \
        EXPECT_EQ(checked.status, air::Status::ok); \
        EXPECT_EQ(checked.result, nullptr);         \
    } while (0)
