// The shipped DLL against Wine's own USER32: what an application sees on a real system.
#include <gtest/gtest.h>

#include "Harness.h"

namespace {

DEVMODEW currentMode() {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    return mode;
}

UINT currentKeyboardSpeed() {
    UINT speed = 0;
    SystemParametersInfoW(SPI_GETKEYBOARDSPEED, 0, &speed, 0);
    return speed;
}

class RealSystem : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(extension.loaded()) << air::lastError();
        context = extension.open();
        original = currentMode();
        originalSpeed = currentKeyboardSpeed();
        ASSERT_EQ(original.dmPelsWidth, 1024u) << "Wine's null display driver starts at 1024x768";
        ASSERT_EQ(original.dmPelsHeight, 768u);
    }

    // Whatever a failed check left behind, the next test starts from the default mode and speed.
    void TearDown() override {
        ChangeDisplaySettingsExW(nullptr, nullptr, nullptr, 0, nullptr);
        SystemParametersInfoW(SPI_SETKEYBOARDSPEED, originalSpeed, nullptr, SPIF_UPDATEINIFILE);
    }

    LoadedExtension extension{false};
    FREContext context = nullptr;
    DEVMODEW original{};
    UINT originalSpeed = 0;
};

// As a lasting switch and as a temporary one (a third argument of 1): the system must take both.
TEST_F(RealSystem, SwitchKeepsDepthAndFrequencyAndRestoreGoesBack) {
    for (const auto arguments : {std::initializer_list<int32_t>{800, 600}, {800, 600, 1}}) {
        SCOPED_TRACE(arguments.size() == 3 ? "temporary switch" : "lasting switch");
        const Outcome switched = callWithInts(context, "as_setScreenResolution", arguments);
        EXPECT_TRUE(isTrue(switched.result));
        const DEVMODEW during = currentMode();
        EXPECT_EQ(during.dmPelsWidth, 800u);
        EXPECT_EQ(during.dmPelsHeight, 600u);
        EXPECT_EQ(during.dmBitsPerPel, original.dmBitsPerPel);
        EXPECT_EQ(during.dmDisplayFrequency, original.dmDisplayFrequency);

        EXPECT_EQ(callWithInts(context, "as_restoreScreenResolution", {}).result, nullptr);
        const DEVMODEW after = currentMode();
        EXPECT_EQ(after.dmPelsWidth, 1024u);
        EXPECT_EQ(after.dmPelsHeight, 768u);
        EXPECT_EQ(after.dmBitsPerPel, original.dmBitsPerPel);
    }
}

TEST_F(RealSystem, RefusedSizeReturnsFalseAndLeavesTheModeAlone) {
    const Outcome refused = callWithInts(context, "as_setScreenResolution", {1234, 567});
    EXPECT_TRUE(isFalse(refused.result));
    EXPECT_EQ(currentMode().dmPelsWidth, 1024u);

    // The refused attempt captured 1024x768, so a later switch still restores to it.
    callWithInts(context, "as_setScreenResolution", {640, 480});
    EXPECT_EQ(currentMode().dmPelsWidth, 640u);
    callWithInts(context, "as_restoreScreenResolution", {});
    EXPECT_EQ(currentMode().dmPelsWidth, 1024u);
}

TEST_F(RealSystem, KeyboardSpeedIsSetAndRestored) {
    const UINT changed = originalSpeed == 5 ? 6 : 5;
    EXPECT_EQ(callWithInts(context, "as_setKeyboardSpeed", {static_cast<int32_t>(changed)}).result, nullptr);
    EXPECT_EQ(currentKeyboardSpeed(), changed);
    callWithInts(context, "as_setKeyboardSpeed", {17});
    EXPECT_EQ(currentKeyboardSpeed(), 17u);

    EXPECT_EQ(callWithInts(context, "as_restoreKeyboardSpeed", {}).result, nullptr);
    EXPECT_EQ(currentKeyboardSpeed(), originalSpeed);
}

}  // namespace
