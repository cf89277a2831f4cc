// Kernel objects, waits, threads, critical sections, last error and the process heap.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED_0 = 0x80;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID);

// Error code of the calling thread.
DWORD GetLastError();
void SetLastError(DWORD code);

// Closes any handle of the layer: events, mutexes, threads, files. Waits in progress keep the object.
BOOL CloseHandle(HANDLE handle);

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Recursive, owned by the thread that acquires it. A name makes it visible to other processes
// (see named_mutex.cpp): ERROR_ALREADY_EXISTS while another holder of the name lives.
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name);
BOOL ReleaseMutex(HANDLE mutex);

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// Waits for any one object (waitAll must be FALSE); when several are signalled the lowest index
// wins. Pending serial waits whose completion signals one of the events are part of the wait.
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

// A POSIX thread; its handle is signalled when the thread has ended. Creation flags must be 0.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId);
// Identifier of the calling thread, never 0.
DWORD GetCurrentThreadId();
void Sleep(DWORD milliseconds);
DWORD GetCurrentProcessId();
// Ends the process at once with the code: standard streams are flushed, static objects are not
// destroyed and no other thread is asked.
[[noreturn]] void ExitProcess(UINT exitCode);

struct CRITICAL_SECTION {
    alignas(8) unsigned char opaque[64];   // holds a recursive mutex
};
typedef CRITICAL_SECTION* LPCRITICAL_SECTION;
void InitializeCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);

// The process heap is the C library's heap.
constexpr DWORD HEAP_ZERO_MEMORY = 0x00000008;
HANDLE GetProcessHeap();
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);

}  // namespace win32

// The C run-time's thread creation: the same thread as CreateThread, with the run-time's signature.
std::uintptr_t _beginthreadex(void* security, unsigned stackSize, unsigned(__stdcall* start)(void*),
                              void* argument, unsigned initFlag, unsigned* threadId);
