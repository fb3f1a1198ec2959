// The runtime's check of the calling convention at every kind of call into an extension, against a test
// extension with one __stdcall function of each kind. On 32-bit x86 each must be reported, with the bytes it
// removed; on x64 __stdcall means nothing, and every call must simply go through.
#include <gtest/gtest.h>

#include <string>

#include "Harness.h"

namespace {

air::Status load(const char* initializer, const char* finalizer) {
    return air::loadExtension(besideThisProgram(L"convention-extension.dll").c_str(), initializer, finalizer);
}

// A function removes 4 bytes for each of its arguments when it is built __stdcall.
void expectCalleeCleans(air::Status status, [[maybe_unused]] const std::string& callee,
                        [[maybe_unused]] int argumentCount) {
#ifdef _WIN64
    EXPECT_EQ(status, air::Status::ok) << air::lastError();
#else
    EXPECT_EQ(status, air::Status::wrongCallingConvention);
    const std::string words = callee + " moved its caller's stack pointer by " + std::to_string(4 * argumentCount);
    EXPECT_NE(std::string(air::lastError()).find(words), std::string::npos) << air::lastError();
#endif
}

class CallingConvention : public testing::Test {
protected:
    void TearDown() override { air::unloadExtension(); }
    FREContext context = nullptr;
    FREObject result = nullptr;
};

TEST_F(CallingConvention, TableRowThatRemovesItsOwnArgumentsIsReported) {
    ASSERT_EQ(load("ExtensionInitializer", "ExtensionFinalizer"), air::Status::ok) << air::lastError();
    ASSERT_EQ(air::createContext("", &context), air::Status::ok);
    EXPECT_EQ(air::call(context, "callerCleans", 0, nullptr, &result), air::Status::ok);
    expectCalleeCleans(air::call(context, "calleeCleans", 0, nullptr, &result), "calleeCleans", 4);
    EXPECT_EQ(air::call(context, "callerCleans", 0, nullptr, &result), air::Status::ok) << "the runtime carries on";
    EXPECT_EQ(air::unloadExtension(), air::Status::ok);
}

TEST_F(CallingConvention, EntryPointsThatRemoveTheirOwnArgumentsAreReported) {
    expectCalleeCleans(load("CalleeCleansInitializer", "ExtensionFinalizer"), "CalleeCleansInitializer", 3);
    air::unloadExtension();

    ASSERT_EQ(load("ExtensionInitializer", "CalleeCleansFinalizer"), air::Status::ok);
    expectCalleeCleans(air::unloadExtension(), "the extension finalizer", 1);
}

TEST_F(CallingConvention, ContextCallbacksThatRemoveTheirOwnArgumentsAreReported) {
    ASSERT_EQ(load("InitializerOfCalleeCleansContextInitializer", "ExtensionFinalizer"), air::Status::ok);
    expectCalleeCleans(air::createContext("", &context), "the context initializer", 5);
    air::unloadExtension();

    ASSERT_EQ(load("InitializerOfCalleeCleansContextFinalizer", "ExtensionFinalizer"), air::Status::ok);
    ASSERT_EQ(air::createContext("", &context), air::Status::ok);
    expectCalleeCleans(air::disposeContext(context), "the context finalizer", 1);
    ASSERT_EQ(air::createContext("", &context), air::Status::ok);
    expectCalleeCleans(air::unloadExtension(), "the context finalizer", 1);
}

}  // namespace
