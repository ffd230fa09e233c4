// The record of a throw: made for every throw of the program (also the
// library's own), holding the throw's place and stack, found by the thrown
// object, gone with it, and invisible to the thrower (last error, errno).

#include "exceptions/win32/raise_record.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

#include "own_debug_data.h"

namespace exceptions {
namespace {

constexpr char kThisFile[] = "tests/exceptions/raise_record_test.cpp";

class RaiseRecords : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { EnableRaiseRecords(true); }
    static void TearDownTestSuite() { EnableRaiseRecords(false); }
};

uint32_t throwLine = 0;

[[gnu::noinline, gnu::noipa]] void ThrowHere(int value) {
    throwLine = __LINE__ + 1;
    throw std::runtime_error("thrown at " + std::to_string(value));
}

volatile int afterCall = 0;

// Not a tail call: the return address into this procedure stays on the
// stack.
[[gnu::noinline, gnu::noipa]] void CallThrowHere() {
    ThrowHere(7);
    afterCall = 1;
}

TEST_F(RaiseRecords, ARecordNamesTheThrowAndHoldsTheStack) {
    const TOwnDebugData debug;
    ASSERT_TRUE(debug.Valid());
    try {
        CallThrowHere();
    } catch (const std::runtime_error& error) {
        TRaiseRecord record;
        ASSERT_TRUE(FindRaiseRecord(&error, record));
        EXPECT_EQ(record.thread_id, GetCurrentThreadId());
        EXPECT_EQ(record.type, &typeid(std::runtime_error));
        const auto place = debug.At(record.address);
        ASSERT_TRUE(place.has_value());
        EXPECT_EQ(place->unit, kThisFile);
        EXPECT_EQ(place->line, throwLine);
#if defined(__x86_64__)
        EXPECT_EQ(record.context.Rip, record.address);
        EXPECT_EQ(record.context.Rsp, record.stack_pointer);
#else
        EXPECT_EQ(record.context.Eip, record.address);
        EXPECT_EQ(record.context.Esp, record.stack_pointer);
#endif
        // The copy starts at the thrower's stack pointer and shows who called
        // it.
        ASSERT_FALSE(record.stack.empty());
        EXPECT_LE(record.stack.size(), kRaiseStackLimit);
        EXPECT_LE(record.stack_pointer + record.stack.size(), record.stack_top);
        bool caller = false;
        for (const TDebugLocation& site :
             debug.CallSites(record.stack.data(), record.stack.size())) {
            caller = caller || site.procedure == "CallThrowHere";
        }
        EXPECT_TRUE(caller);
    }
    EXPECT_EQ(RaiseRecordCount(), 0u);
}

TEST_F(RaiseRecords, TheThrowerKeepsItsLastErrorAndErrno) {
    try {
        SetLastError(1234);
        errno = ERANGE;
        throw std::logic_error("quiet");
    } catch (const std::logic_error&) {
        EXPECT_EQ(GetLastError(), 1234u);
        EXPECT_EQ(errno, ERANGE);
    }
}

TEST_F(RaiseRecords, TheLibrarysOwnThrowsAreRecordedAndRecordsGoWithTheirObjects) {
    std::vector<int> values(3);
    try {
        (void)values.at(10);
    } catch (const std::out_of_range& error) {
        TRaiseRecord record;
        EXPECT_TRUE(FindRaiseRecord(&error, record));
    }
    for (int i = 0; i < 10000; ++i) {
        try {
            throw std::runtime_error("again");
        } catch (const std::exception&) {
        }
    }
    EXPECT_EQ(RaiseRecordCount(), 0u);

    // An exception made without a throw has no record; a stored one keeps its
    // record until it is freed.
    std::exception_ptr made = std::make_exception_ptr(std::runtime_error("made"));
    TRaiseRecord record;
    EXPECT_FALSE(FindRaiseRecord(ExceptionObjectOf(made), record));
    std::exception_ptr kept;
    try {
        ThrowHere(1);
    } catch (...) {
        kept = std::current_exception();
    }
    EXPECT_TRUE(FindRaiseRecord(ExceptionObjectOf(kept), record));
    try {
        std::rethrow_exception(kept);
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(&error, ExceptionObjectOf(kept));
    }
    kept = nullptr;
    EXPECT_EQ(RaiseRecordCount(), 0u);
}

// Throws and catches an exception of its own while the outer one unwinds.
struct ThrowsWhileUnwinding {
    ~ThrowsWhileUnwinding() {
        try {
            throw std::logic_error("inner");
        } catch (const std::logic_error&) {
        }
    }
};

TEST_F(RaiseRecords, AThrowDuringUnwindingDoesNotTakeTheOuterRecord) {
    try {
        const ThrowsWhileUnwinding guard;
        ThrowHere(2);
    } catch (const std::runtime_error& error) {
        TRaiseRecord record;
        ASSERT_TRUE(FindRaiseRecord(&error, record));
        EXPECT_EQ(record.type, &typeid(std::runtime_error));
        const TOwnDebugData debug;
        const auto place = debug.At(record.address);
        ASSERT_TRUE(place.has_value());
        EXPECT_EQ(place->line, throwLine);
    }
}

}  // namespace
}  // namespace exceptions
