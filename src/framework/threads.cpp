#include "framework/threads.h"

#include <system_error>

namespace framework {

TThread::TThread() {
    handle_ = CreateThread(nullptr, 0, &ThreadProc, this, CREATE_SUSPENDED, &id_);
    if (handle_ == nullptr) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "Cannot create a thread");
    }
}

TThread::~TThread() {
    TerminateAndWait();
    CloseHandle(handle_);
}

DWORD WINAPI TThread::ThreadProc(LPVOID parameter) {
    auto* self = static_cast<TThread*>(parameter);
    DWORD code = 0;
    if (!self->terminated_) {
        try {
            self->Execute();
            code = static_cast<DWORD>(self->returnValue_);
        } catch (...) {
            self->fatal_ = std::current_exception();
            detail::ThreadFatalEntry(self, &self->fatal_);
            code = 1;
        }
    }
    self->finished_ = true;
    return code;
}

void TThread::Start() {
    if (!started_) {
        started_ = true;
        ResumeThread(handle_);
    }
}

int TThread::WaitFor() {
    if (started_) {
        WaitForSingleObject(handle_, INFINITE);
    }
    return returnValue_;
}

void TThread::TerminateAndWait() {
    Terminate();
    Start();
    WaitFor();
}

void detail::ThreadFatalEntry(TThread*, const std::exception_ptr*) {
    // The thread keeps the exception in FatalException; nothing else here.
}

}  // namespace framework
