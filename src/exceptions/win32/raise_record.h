#pragma once

// What was known when a C++ exception was thrown: the registers at the
// throw, a copy of the throwing thread's stack and the thread, kept until the
// exception object is freed. A report made where the exception turns out to
// be unhandled (a framework's handler, a thread's end, the terminate handler)
// can then name the place of the throw, not the place where it was found.
//
// Recording needs the program linked with the exceptions_raise library,
// whose link options redirect __cxa_throw and __cxa_free_exception through
// the recorder. Recording costs a register capture and one stack copy per
// throw; it allocates nothing on the throw path (the copies go to buffers
// set aside when recording is switched on) and never changes the thread's
// last error or errno.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <typeinfo>
#include <vector>

namespace exceptions {

// The most bytes of stack a record copies.
inline constexpr size_t kRaiseStackLimit = 256 * 1024;

struct TRaiseRecord {
    const void* object = nullptr;  // the thrown object
    const std::type_info* type = nullptr;
    uintptr_t address = 0;  // the call that threw (its return address - 5)
    DWORD thread_id = 0;
    CONTEXT context{};  // the thrower's registers: IP = address, SP = stack_pointer
    uintptr_t stack_pointer = 0;
    uintptr_t stack_top = 0;
    // The thrower's stack from stack_pointer on (empty when no buffer was
    // free at the throw).
    std::vector<uint8_t> stack;
};

// Switches recording on (setting aside the buffers) or off. Off at start.
void EnableRaiseRecords(bool on);

// A copy of the record of the thrown object `object`; false when there is
// none (thrown while recording was off, made without a throw, or evicted by
// newer throws).
bool FindRaiseRecord(const void* object, TRaiseRecord& record);

// The records kept now.
size_t RaiseRecordCount();

// The thrown object an exception_ptr holds (null for an empty one).
const void* ExceptionObjectOf(const std::exception_ptr& error);

}  // namespace exceptions
