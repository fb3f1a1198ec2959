#include <string>

#include "ExtensionTest.h"
#include "Table.h"

namespace {

using Frame = ExtensionTest;

TEST_F(Frame, EveryContextTypeGetsTheSameFourRowsWithNoFunctionData) {
    const std::string longType(4000, 'x');
    for (const char* type : {"", "display", "keyboard", longType.c_str()}) {
        const FREContext opened = extension.open(type);
        ASSERT_NE(opened, nullptr);
        ASSERT_EQ(air::functionCount(opened), 4u) << "context type '" << type << "'";
        for (uint32_t row = 0; row < 4; ++row) {
            EXPECT_STREQ(air::functionName(opened, row), tableNames[row]);
            EXPECT_EQ(air::functionData(opened, row), nullptr);
        }
    }
}

TEST_F(Frame, InitializerHandsOverBothCallbacksAndLeavesExtensionDataAlone) {
    auto initializer = reinterpret_cast<FREInitializer>(
        reinterpret_cast<void (*)()>(GetProcAddress(air::extensionModule(), "ExtensionInitializer")));
    ASSERT_NE(initializer, nullptr);
    int marker = 0;
    void* extensionData = &marker;
    FREContextInitializer contextInitializer = nullptr;
    FREContextFinalizer contextFinalizer = nullptr;

    initializer(&extensionData, &contextInitializer, &contextFinalizer);

    EXPECT_EQ(extensionData, &marker);
    ASSERT_NE(contextInitializer, nullptr);
    EXPECT_NE(contextFinalizer, nullptr);
    uint32_t count = 0;
    const FRENamedFunction* first = nullptr;
    contextInitializer(nullptr, nullptr, nullptr, &count, &first);
    EXPECT_EQ(count, 4u);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first[0].name, tableNames[0]);
}

TEST_F(Frame, ContextsShareTheCapturedValues) {
    const FREContext other = extension.open("other");
    system.keyboardSpeed = 9;
    const DEVMODEW original = system.currentMode;

    setScreenResolution(800, 600);
    setKeyboardSpeed(30);
    system.forgetCalls();
    EXPECT_NULL_RESULT(callWithInts(other, "as_restoreScreenResolution", {}));
    EXPECT_NULL_RESULT(callWithInts(other, "as_restoreKeyboardSpeed", {}));

    ASSERT_EQ(system.changes.size(), 1u);
    EXPECT_TRUE(sameRecord(system.changes[0].mode, original));
    EXPECT_EQ(system.keyboardSpeed, 9u);

    // A switch through the second context does not capture again either.
    system.forgetCalls();
    callWithInts(other, "as_setScreenResolution", {640, 480});
    EXPECT_EQ(system.queries.size(), 1u);
    callWithInts(other, "as_setKeyboardSpeed", {4});
    EXPECT_EQ(system.keyboardCalls.size(), 1u) << "no second keyboard query";
}

TEST_F(Frame, DisposingContextsAndUnloadingRestoreNothing) {
    const FREContext other = extension.open("other");
    setScreenResolution(800, 600);
    setKeyboardSpeed(3);
    system.forgetCalls();

    EXPECT_EQ(air::disposeContext(other), air::Status::ok);
    EXPECT_EQ(air::disposeContext(context), air::Status::ok);
    extension.unload();

    EXPECT_TRUE(system.calls.empty());
    EXPECT_EQ(system.currentMode.dmPelsWidth, 800u);
    EXPECT_EQ(system.keyboardSpeed, 3u);
}

TEST_F(Frame, UnloadingForgetsTheCaptureWithTheModule) {
    setScreenResolution(800, 600);
    extension.unload();

    LoadedExtension reloaded(true);
    ASSERT_TRUE(reloaded.loaded());
    const FREContext fresh = reloaded.open();
    system.forgetCalls();
    EXPECT_NULL_RESULT(callWithInts(fresh, "as_restoreScreenResolution", {}));
    EXPECT_TRUE(system.calls.empty()) << "a freshly loaded module starts with nothing captured";
}

}  // namespace
