#pragma once

// TThread: a thread of the program in the framework's shape. A subclass
// overrides Execute, which runs on a thread of its own; the thread is made
// with CreateThread through one start procedure shared by every TThread
// (StartProcedure), with the TThread as its parameter, so that code watching
// the process's threads can tell these threads and their objects apart.

#include "base/hookable.h"
#include "framework/win32_api.h"

#include <atomic>
#include <exception>

namespace framework {

class TThread {
  public:
    // Made suspended: Start runs it. A thread cannot start from here, since
    // Execute belongs to a subclass that is not made yet; a subclass that
    // wants to run at once calls Start at the end of its own constructor.
    TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;
    // Asks the thread to end, starts it if it never ran, waits for it and
    // closes its handle. A subclass whose Execute uses its own members calls
    // TerminateAndWait in its destructor: the base destructor runs after the
    // subclass's members are gone.
    virtual ~TThread();

    // Runs a thread made suspended; a running thread is left alone.
    void Start();
    // Sets Terminated; Execute is expected to look at it and return.
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    // Waits until Execute has returned, and gives ReturnValue.
    int WaitFor();
    // Terminate, Start (a thread that never ran returns at once from the
    // start procedure), WaitFor.
    void TerminateAndWait();
    bool Finished() const { return finished_; }

    // An exception that escaped Execute, or null. The thread then ends with
    // exit code 1.
    std::exception_ptr FatalException() const { return fatal_; }
    int ReturnValue() const { return returnValue_; }
    DWORD ThreadID() const { return id_; }
    HANDLE Handle() const { return handle_; }

    // The start procedure of every TThread; its parameter is the TThread.
    static LPTHREAD_START_ROUTINE StartProcedure() { return &ThreadProc; }

  protected:
    virtual void Execute() = 0;
    void SetReturnValue(int value) { returnValue_ = value; }

  private:
    static DWORD WINAPI ThreadProc(LPVOID parameter);

    HANDLE handle_ = nullptr;
    DWORD id_ = 0;
    bool started_ = false;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::exception_ptr fatal_;
    int returnValue_ = 0;
};

namespace detail {
// Called on the thread with the exception that escaped Execute, before the
// thread ends; an exception reporter redirects it to report the exception.
UPDATER_HOOKABLE void ThreadFatalEntry(TThread* thread, const std::exception_ptr* error);
}  // namespace detail

}  // namespace framework
