#pragma once
// The operating-system interface the service is written against: a small subset of the Win32 /
// Windows CE API, exactly the operations the subsystems call. On Linux it is implemented in this
// folder (see docs/platform.md); a Windows build would use the real API for the same code, so
// nothing outside platform/ may call the operating system directly.
//
// Strings are wide (wchar_t); on Linux they are converted to UTF-8 for file names.

#include <cstddef>
#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using LONGLONG = std::int64_t;
using UINT = unsigned int;
using WCHAR = wchar_t;
using LPVOID = void*;
using LPCVOID = const void*;
using LPWSTR = wchar_t*;
using LPCWSTR = const wchar_t*;
using LPDWORD = DWORD*;
using LPBYTE = BYTE*;
using SIZE_T = std::size_t;
using HANDLE = void*;
using HMODULE = void*;
using LSTATUS = LONG;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

// ---- Errors ------------------------------------------------------------------------------------
// Win32 error numbers, kept per thread by GetLastError / SetLastError.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_DATA = 13;
constexpr DWORD ERROR_OUTOFMEMORY = 14;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_BROKEN_PIPE = 109;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_BAD_PATHNAME = 161;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NOT_OWNER = 288;
constexpr DWORD ERROR_INVALID_ADDRESS = 487;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_FILE_INVALID = 1006;
constexpr DWORD ERROR_MAPPED_ALIGNMENT = 1132;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;
constexpr DWORD ERROR_TIMEOUT = 1460;

DWORD GetLastError();
void SetLastError(DWORD error);

// ---- Handles, events, mutexes, waits -----------------------------------------------------------
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED = 0x80;
constexpr DWORD WAIT_ABANDONED_0 = 0x80;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

constexpr DWORD EVENT_PULSE = 1;
constexpr DWORD EVENT_RESET = 2;
constexpr DWORD EVENT_SET = 3;

BOOL CloseHandle(HANDLE handle);

// Creates or opens an event. A named event that some live process holds is opened, and
// GetLastError() reports ERROR_ALREADY_EXISTS; otherwise a fresh one is created (last error 0).
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manual_reset, BOOL initial_state,
                    LPCWSTR name);
// Opens an existing named event; null with ERROR_FILE_NOT_FOUND when no live process holds it.
HANDLE OpenEventW(DWORD desired_access, BOOL inherit, LPCWSTR name);
BOOL EventModify(HANDLE event, DWORD function);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
BOOL PulseEvent(HANDLE event);

// Mutexes are owned by a thread and recursive. A waiter that receives a mutex whose owner died
// gets WAIT_ABANDONED (+ index) and owns the mutex.
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initial_owner, LPCWSTR name);
HANDLE OpenMutexW(DWORD desired_access, BOOL inherit, LPCWSTR name);
BOOL ReleaseMutex(HANDLE mutex);

constexpr DWORD SYNCHRONIZE = 0x00100000;
constexpr DWORD EVENT_ALL_ACCESS = 0x001F0003;
constexpr DWORD MUTEX_ALL_ACCESS = 0x001F0001;

// Waits on events (named or not), mutexes and thread handles. wait_all must be FALSE.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all, DWORD milliseconds);

// ---- Threads -----------------------------------------------------------------------------------
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);
constexpr DWORD CREATE_SUSPENDED = 0x00000004;
constexpr DWORD STACK_SIZE_PARAM_IS_A_RESERVATION = 0x00010000;
constexpr DWORD STILL_ACTIVE = 259;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stack_size,
                    LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD creation_flags,
                    LPDWORD thread_id);
DWORD ResumeThread(HANDLE thread);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exit_code);
DWORD GetCurrentThreadId();
void Sleep(DWORD milliseconds);

// Thread priorities. Only the calling thread's pseudo handle (GetCurrentThread) is accepted;
// any other handle fails with ERROR_NOT_SUPPORTED. TIME_CRITICAL is the lowest real-time
// priority (SCHED_FIFO 1) and needs CAP_SYS_NICE or an RLIMIT_RTPRIO of at least 1; the levels
// around NORMAL are nice values (see docs/platform.md). Threads and processes a raised thread
// creates start at NORMAL, as Windows' threads do.
constexpr int THREAD_PRIORITY_IDLE = -15;
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;
constexpr int THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF;

HANDLE GetCurrentThread();
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);

// ---- Critical sections and interlocked counters ------------------------------------------------
// Recursive, process-local lock. The storage is opaque and large enough for the Linux mutex.
struct CRITICAL_SECTION {
    alignas(16) unsigned char storage[64];
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);

LONG InterlockedIncrement(LONG volatile* value);
LONG InterlockedDecrement(LONG volatile* value);
LONG InterlockedExchange(LONG volatile* target, LONG value);
LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand);

// ---- Shared memory and files through mapping ---------------------------------------------------
constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD SEC_COMMIT = 0x08000000;
constexpr DWORD FILE_MAP_COPY = 0x0001;
constexpr DWORD FILE_MAP_WRITE = 0x0002;
constexpr DWORD FILE_MAP_READ = 0x0004;
constexpr DWORD FILE_MAP_ALL_ACCESS = 0x000F001F;

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

// file = INVALID_HANDLE_VALUE: named or unnamed shared memory of the given size. A named mapping
// that a live process holds is opened (ERROR_ALREADY_EXISTS) and keeps the creator's size.
// file = a handle from CreateFileForMappingW: maps that file; a size larger than the file
// extends it; a size of 0 means the file's size, and mapping an empty file that way fails.
HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect,
                          DWORD maximum_size_high, DWORD maximum_size_low, LPCWSTR name);
HANDLE OpenFileMappingW(DWORD desired_access, BOOL inherit, LPCWSTR name);
// Offsets must be multiples of the allocation granularity (GetSystemInfo); bytes 0 means all.
LPVOID MapViewOfFile(HANDLE mapping, DWORD desired_access, DWORD offset_high, DWORD offset_low,
                     SIZE_T bytes);
BOOL UnmapViewOfFile(LPCVOID base);

HANDLE CreateFileForMappingW(LPCWSTR path, DWORD desired_access, DWORD share_mode,
                             LPSECURITY_ATTRIBUTES attributes, DWORD creation_disposition,
                             DWORD flags_and_attributes, HANDLE template_file);
DWORD GetFileSize(HANDLE file, LPDWORD size_high);
BOOL DeleteFileW(LPCWSTR path);
// Fails (ERROR_ALREADY_EXISTS) when the target exists.
BOOL MoveFileW(LPCWSTR existing_path, LPCWSTR new_path);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);

struct SYSTEM_INFO {
    WORD wProcessorArchitecture;
    WORD wReserved;
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    std::uintptr_t dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};
void GetSystemInfo(SYSTEM_INFO* info);

// ---- Serial ports and device files -------------------------------------------------------------
// CreateFileW opens "COMn:" names through the namespace's port map (docs/platform.md).
HANDLE CreateFileW(LPCWSTR path, DWORD desired_access, DWORD share_mode,
                   LPSECURITY_ATTRIBUTES attributes, DWORD creation_disposition,
                   DWORD flags_and_attributes, HANDLE template_file);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes_to_read, LPDWORD bytes_read,
              LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes_to_write, LPDWORD bytes_written,
               LPOVERLAPPED overlapped);

constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;

struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};
using LPDCB = DCB*;

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};
using LPCOMMTIMEOUTS = COMMTIMEOUTS*;
// The time-out value that means "none" or, for reads, "return with what has arrived".
constexpr DWORD MAXDWORD = 0xFFFFFFFF;

constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;

BOOL GetCommState(HANDLE file, LPDCB dcb);
BOOL SetCommState(HANDLE file, LPDCB dcb);
BOOL GetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts);
BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts);
BOOL PurgeComm(HANDLE file, DWORD flags);

// Comm events. On this platform the event character is the line feed (GetCommState reports it as
// EvtChar; SetCommState leaves it so), and EV_RXFLAG in the mask also makes ReadFile wake only
// once a line ends there: see docs/platform.md.
constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD EV_RXFLAG = 0x0002;
BOOL SetCommMask(HANDLE file, DWORD mask);
BOOL GetCommMask(HANDLE file, LPDWORD mask);

// ---- Device enumeration ------------------------------------------------------------------------
// Fills `list` with the names of the loaded devices (the namespace's COMn: ports, then others),
// each terminated by NUL, the list by an empty name. `length` counts wide characters: on entry
// the buffer's size, on return the size needed. Returns ERROR_SUCCESS, or
// ERROR_INSUFFICIENT_BUFFER when `list` is null or too small.
DWORD EnumDevices(LPWSTR list, LPDWORD length);

// ---- Registry ----------------------------------------------------------------------------------
using HKEY = struct RegistryKey*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
inline HKEY const HKEY_CURRENT_USER =
    reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001));
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR sub_key, DWORD reserved, LPWSTR key_class, DWORD options,
                        REGSAM desired, LPSECURITY_ATTRIBUTES attributes, PHKEY result,
                        LPDWORD disposition);
LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR sub_key, DWORD options, REGSAM desired, PHKEY result);
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR value_name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD data_size);
LSTATUS RegSetValueExW(HKEY key, LPCWSTR value_name, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD data_size);
LSTATUS RegDeleteValueW(HKEY key, LPCWSTR value_name);
LSTATUS RegCloseKey(HKEY key);

// ---- Timing ------------------------------------------------------------------------------------
// Milliseconds since an arbitrary start, monotonic, wrapping at 32 bits.
DWORD GetTickCount();
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
BOOL QueryPerformanceCounter(LARGE_INTEGER* counter);
