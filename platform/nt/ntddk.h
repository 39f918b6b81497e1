// Kernel services as the driver sees them: the types, status values and
// routines of the Windows kernel that the camera driver calls, reduced to what
// it uses, with the same names and contracts. A Windows build replaces this
// header with the driver kit's.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- basic types ----------------------------------------------------------
typedef void VOID;
typedef void* PVOID;
typedef void* HANDLE;
typedef HANDLE* PHANDLE;
typedef uint8_t UCHAR;
typedef UCHAR* PUCHAR;
typedef uint8_t BOOLEAN;
typedef BOOLEAN* PBOOLEAN;
typedef char CHAR;
typedef CHAR* PCHAR;
typedef const CHAR* PCSTR;
typedef uint16_t USHORT;
typedef USHORT* PUSHORT;
typedef int16_t SHORT;
typedef uint32_t ULONG;
typedef ULONG* PULONG;
typedef int32_t LONG;
typedef LONG* PLONG;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef uintptr_t ULONG_PTR;
typedef ULONG ACCESS_MASK;
typedef char16_t WCHAR;  // UTF-16 code unit, as on Windows
typedef WCHAR* PWCHAR;
typedef WCHAR* PWSTR;
typedef const WCHAR* PCWSTR;
typedef LONG NTSTATUS;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

typedef union _LARGE_INTEGER {
  struct {
    ULONG LowPart;
    LONG HighPart;
  } u;
  LONGLONG QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;
static_assert(sizeof(LARGE_INTEGER) == 8, "LARGE_INTEGER is 64 bits");

typedef struct _GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;
static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");
typedef const GUID& REFGUID;
inline bool IsEqualGUID(const GUID& a, const GUID& b) {
  const uint8_t* x = reinterpret_cast<const uint8_t*>(&a);
  const uint8_t* y = reinterpret_cast<const uint8_t*>(&b);
  for (int i = 0; i < 16; ++i)
    if (x[i] != y[i]) return false;
  return true;
}
inline bool operator==(const GUID& a, const GUID& b) { return IsEqualGUID(a, b); }
inline bool operator!=(const GUID& a, const GUID& b) { return !IsEqualGUID(a, b); }

// ---- status values --------------------------------------------------------
#define NT_SUCCESS(s) (((NTSTATUS)(s)) >= 0)
constexpr NTSTATUS STATUS_SUCCESS = 0x00000000;
constexpr NTSTATUS STATUS_PENDING = 0x00000103;
constexpr NTSTATUS STATUS_BUFFER_OVERFLOW = (NTSTATUS)0x80000005;
constexpr NTSTATUS STATUS_NO_MORE_ENTRIES = (NTSTATUS)0x8000001A;
constexpr NTSTATUS STATUS_UNSUCCESSFUL = (NTSTATUS)0xC0000001;
constexpr NTSTATUS STATUS_NOT_IMPLEMENTED = (NTSTATUS)0xC0000002;
constexpr NTSTATUS STATUS_INVALID_HANDLE = (NTSTATUS)0xC0000008;
constexpr NTSTATUS STATUS_INVALID_PARAMETER = (NTSTATUS)0xC000000D;
constexpr NTSTATUS STATUS_END_OF_FILE = (NTSTATUS)0xC0000011;
constexpr NTSTATUS STATUS_ACCESS_DENIED = (NTSTATUS)0xC0000022;
constexpr NTSTATUS STATUS_BUFFER_TOO_SMALL = (NTSTATUS)0xC0000023;
constexpr NTSTATUS STATUS_OBJECT_TYPE_MISMATCH = (NTSTATUS)0xC0000024;
constexpr NTSTATUS STATUS_OBJECT_NAME_INVALID = (NTSTATUS)0xC0000033;
constexpr NTSTATUS STATUS_OBJECT_NAME_NOT_FOUND = (NTSTATUS)0xC0000034;
constexpr NTSTATUS STATUS_OBJECT_NAME_COLLISION = (NTSTATUS)0xC0000035;
constexpr NTSTATUS STATUS_OBJECT_PATH_NOT_FOUND = (NTSTATUS)0xC000003A;
constexpr NTSTATUS STATUS_DATA_ERROR = (NTSTATUS)0xC000003E;
constexpr NTSTATUS STATUS_INSUFFICIENT_RESOURCES = (NTSTATUS)0xC000009A;
constexpr NTSTATUS STATUS_FILE_IS_A_DIRECTORY = (NTSTATUS)0xC00000BA;
constexpr NTSTATUS STATUS_NOT_SUPPORTED = (NTSTATUS)0xC00000BB;
constexpr NTSTATUS STATUS_IO_DEVICE_ERROR = (NTSTATUS)0xC0000185;
constexpr NTSTATUS STATUS_NO_MATCH = (NTSTATUS)0xC0000272;
constexpr NTSTATUS STATUS_DEVICE_NOT_CONNECTED = (NTSTATUS)0xC000009D;
constexpr NTSTATUS STATUS_INVALID_DEVICE_REQUEST = (NTSTATUS)0xC0000010;

// ---- counted strings ------------------------------------------------------
typedef struct _UNICODE_STRING {
  USHORT Length;         // bytes, without a terminator
  USHORT MaximumLength;  // bytes
  PWSTR Buffer;
} UNICODE_STRING, *PUNICODE_STRING;
typedef const UNICODE_STRING* PCUNICODE_STRING;

typedef struct _STRING {
  USHORT Length;
  USHORT MaximumLength;
  PCHAR Buffer;
} STRING, ANSI_STRING, *PANSI_STRING;

VOID RtlInitAnsiString(PANSI_STRING Destination, PCSTR Source);
VOID RtlInitUnicodeString(PUNICODE_STRING Destination, PCWSTR Source);
// AllocateDestinationString: the buffer comes from pool and is released with
// RtlFreeUnicodeString / RtlFreeAnsiString.
NTSTATUS RtlAnsiStringToUnicodeString(PUNICODE_STRING Destination, const ANSI_STRING* Source,
                                      BOOLEAN AllocateDestinationString);
NTSTATUS RtlUnicodeStringToAnsiString(PANSI_STRING Destination, PCUNICODE_STRING Source,
                                      BOOLEAN AllocateDestinationString);
VOID RtlFreeUnicodeString(PUNICODE_STRING UnicodeString);
VOID RtlFreeAnsiString(PANSI_STRING AnsiString);

// ---- memory ---------------------------------------------------------------
typedef enum _POOL_TYPE { NonPagedPool = 0, PagedPool = 1 } POOL_TYPE;
// Returns null when the pool is exhausted (see platform::PoolFailAfter).
// ExFreePool of anything but a live block (a double free, a foreign pointer)
// stops the machine with a message, as the real pool does; null is ignored.
PVOID ExAllocatePool(POOL_TYPE PoolType, size_t NumberOfBytes);
PVOID ExAllocatePoolWithTag(POOL_TYPE PoolType, size_t NumberOfBytes, ULONG Tag);
VOID ExFreePool(PVOID P);
#define RtlZeroMemory(d, n) memset((d), 0, (n))
#define RtlCopyMemory(d, s, n) memcpy((d), (s), (n))
#define RtlMoveMemory(d, s, n) memmove((d), (s), (n))
#define RtlFillMemory(d, n, v) memset((d), (v), (n))
#define RtlEqualMemory(a, b, n) (memcmp((a), (b), (n)) == 0)

// ---- debug output ---------------------------------------------------------
// printf-style; "%ws" and "%S" print a WCHAR string. Output goes to the
// debugger sink (see platform::SetDebugSink).
ULONG DbgPrint(PCSTR Format, ...);

// ---- registry -------------------------------------------------------------
constexpr ULONG RTL_REGISTRY_ABSOLUTE = 0;
constexpr ULONG RTL_REGISTRY_OPTIONAL = 0x80000000;

constexpr ULONG REG_NONE = 0;
constexpr ULONG REG_SZ = 1;
constexpr ULONG REG_EXPAND_SZ = 2;
constexpr ULONG REG_BINARY = 3;
constexpr ULONG REG_DWORD = 4;

constexpr ULONG RTL_QUERY_REGISTRY_SUBKEY = 0x00000001;
constexpr ULONG RTL_QUERY_REGISTRY_TOPKEY = 0x00000002;
constexpr ULONG RTL_QUERY_REGISTRY_REQUIRED = 0x00000004;
constexpr ULONG RTL_QUERY_REGISTRY_NOVALUE = 0x00000008;
constexpr ULONG RTL_QUERY_REGISTRY_NOEXPAND = 0x00000010;
constexpr ULONG RTL_QUERY_REGISTRY_DIRECT = 0x00000020;

typedef NTSTATUS (*PRTL_QUERY_REGISTRY_ROUTINE)(PWSTR ValueName, ULONG ValueType, PVOID ValueData,
                                                 ULONG ValueLength, PVOID Context, PVOID EntryContext);

typedef struct _RTL_QUERY_REGISTRY_TABLE {
  PRTL_QUERY_REGISTRY_ROUTINE QueryRoutine;  // unused with RTL_QUERY_REGISTRY_DIRECT
  ULONG Flags;
  PWSTR Name;
  PVOID EntryContext;  // DIRECT: REG_DWORD -> ULONG*, REG_SZ -> UNICODE_STRING*
  ULONG DefaultType;
  PVOID DefaultData;
  ULONG DefaultLength;
} RTL_QUERY_REGISTRY_TABLE, *PRTL_QUERY_REGISTRY_TABLE;

// Processes the table until an entry with neither QueryRoutine nor Name.
// DIRECT entries: a REG_DWORD value is stored into *(ULONG*)EntryContext; a
// REG_SZ value into the UNICODE_STRING EntryContext (a null Buffer is
// allocated from pool, otherwise the string is copied up to MaximumLength).
// A missing value takes the entry's default (DefaultType/DefaultData) and the
// query succeeds unless RTL_QUERY_REGISTRY_REQUIRED is set
// (STATUS_OBJECT_NAME_NOT_FOUND). A missing key fails the whole query with
// STATUS_OBJECT_NAME_NOT_FOUND and writes nothing.
NTSTATUS RtlQueryRegistryValues(ULONG RelativeTo, PCWSTR Path, PRTL_QUERY_REGISTRY_TABLE QueryTable,
                                PVOID Context, PVOID Environment);
// Writes one value into an existing key (keys are not created:
// STATUS_OBJECT_NAME_NOT_FOUND when the key does not exist).
NTSTATUS RtlWriteRegistryValue(ULONG RelativeTo, PCWSTR Path, PCWSTR ValueName, ULONG ValueType,
                               PVOID ValueData, ULONG ValueLength);

// ---- files ----------------------------------------------------------------
typedef struct _IO_STATUS_BLOCK {
  NTSTATUS Status;
  ULONG_PTR Information;
} IO_STATUS_BLOCK, *PIO_STATUS_BLOCK;

constexpr ULONG OBJ_CASE_INSENSITIVE = 0x00000040;
constexpr ULONG OBJ_KERNEL_HANDLE = 0x00000200;

typedef struct _OBJECT_ATTRIBUTES {
  ULONG Length;
  HANDLE RootDirectory;
  PUNICODE_STRING ObjectName;
  ULONG Attributes;
  PVOID SecurityDescriptor;
  PVOID SecurityQualityOfService;
} OBJECT_ATTRIBUTES, *POBJECT_ATTRIBUTES;

#define InitializeObjectAttributes(p, n, a, r, s) \
  do {                                            \
    (p)->Length = sizeof(OBJECT_ATTRIBUTES);      \
    (p)->RootDirectory = (r);                     \
    (p)->Attributes = (a);                        \
    (p)->ObjectName = (n);                        \
    (p)->SecurityDescriptor = (s);                \
    (p)->SecurityQualityOfService = nullptr;      \
  } while (0)

constexpr ACCESS_MASK GENERIC_READ = 0x80000000u;
constexpr ACCESS_MASK GENERIC_WRITE = 0x40000000u;
constexpr ACCESS_MASK SYNCHRONIZE = 0x00100000u;
constexpr ACCESS_MASK FILE_READ_DATA = 0x0001;
constexpr ACCESS_MASK FILE_WRITE_DATA = 0x0002;
constexpr ACCESS_MASK FILE_APPEND_DATA = 0x0004;

constexpr ULONG FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr ULONG FILE_SHARE_READ = 0x00000001;
constexpr ULONG FILE_SHARE_WRITE = 0x00000002;

constexpr ULONG FILE_SUPERSEDE = 0;
constexpr ULONG FILE_OPEN = 1;
constexpr ULONG FILE_CREATE = 2;
constexpr ULONG FILE_OPEN_IF = 3;
constexpr ULONG FILE_OVERWRITE = 4;
constexpr ULONG FILE_OVERWRITE_IF = 5;

constexpr ULONG FILE_DIRECTORY_FILE = 0x00000001;
constexpr ULONG FILE_SYNCHRONOUS_IO_NONALERT = 0x00000020;
constexpr ULONG FILE_NON_DIRECTORY_FILE = 0x00000040;

// Paths: "\SystemRoot\X" is ROOT/Windows/X, "\DosDevices\C:\X" and "\??\C:\X"
// are ROOT/C/X. Name lookup ignores case, as the object manager does with
// OBJ_CASE_INSENSITIVE. Anything else: STATUS_OBJECT_PATH_NOT_FOUND.
NTSTATUS ZwCreateFile(PHANDLE FileHandle, ACCESS_MASK DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes,
                      PIO_STATUS_BLOCK IoStatusBlock, PLARGE_INTEGER AllocationSize, ULONG FileAttributes,
                      ULONG ShareAccess, ULONG CreateDisposition, ULONG CreateOptions, PVOID EaBuffer,
                      ULONG EaLength);
// ByteOffset null: the current position. At the end of the file:
// STATUS_END_OF_FILE with Information 0.
NTSTATUS ZwReadFile(HANDLE FileHandle, HANDLE Event, PVOID ApcRoutine, PVOID ApcContext,
                    PIO_STATUS_BLOCK IoStatusBlock, PVOID Buffer, ULONG Length, PLARGE_INTEGER ByteOffset,
                    PULONG Key);
NTSTATUS ZwWriteFile(HANDLE FileHandle, HANDLE Event, PVOID ApcRoutine, PVOID ApcContext,
                     PIO_STATUS_BLOCK IoStatusBlock, PVOID Buffer, ULONG Length, PLARGE_INTEGER ByteOffset,
                     PULONG Key);
// Closes a file handle or a system-thread handle (closing a thread's handle
// does not end the thread); any other value fails with STATUS_INVALID_HANDLE
// (0xC0000008).
NTSTATUS ZwClose(HANDLE Handle);

// ---- time, delays, random numbers ------------------------------------------
// 100 ns units since 1601 (see platform::SetSystemTime for a test clock).
VOID KeQuerySystemTime(PLARGE_INTEGER CurrentTime);
typedef enum _KPROCESSOR_MODE { KernelMode = 0, UserMode = 1 } KPROCESSOR_MODE;
// Interval: negative = relative, in 100 ns units.
NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE WaitMode, BOOLEAN Alertable, PLARGE_INTEGER Interval);
// The kernel C library's linear congruential generator: seed = seed * 214013 +
// 2531011, result (seed >> 16) & 0x7FFF, seed 1 at load. The stand-in defines
// these two C symbols itself, so the whole simulated machine shares one
// reproducible sequence.
extern "C" int rand(void) noexcept;
extern "C" void srand(unsigned int seed) noexcept;
constexpr int RAND_MAX_KERNEL = 0x7FFF;
// The block form of the same generator, added by this stand-in layer: writes
// the next Count values of the sequence to Values, exactly the values Count
// calls of rand() would return, in the same order, and leaves the generator
// where those calls would. The Count steps are claimed with one atomic update,
// so callers on other threads (and rand() calls) draw the values before or
// after the block, never inside it, and no value is handed out twice. Count 0
// writes nothing and leaves the generator alone.
extern "C" void rand_block(PUSHORT Values, ULONG Count) noexcept;
// Claims the next Count steps of the same generator with one atomic update,
// as rand_block does (other callers draw before or after them, never inside,
// and the generator is left where Count rand() calls would leave it), and
// returns the seed before them, for callers that compute the claimed values
// themselves: after seed_0 = the returned seed, seed_k = seed_{k-1} * 214013 +
// 2531011 and the k-th value is (seed_k >> 16) & 0x7FFF. Count 0 claims
// nothing and returns the current seed.
extern "C" ULONG rand_claim(ULONG Count) noexcept;

// ---- system threads -------------------------------------------------------
typedef VOID (*PKSTART_ROUTINE)(PVOID StartContext);
typedef struct _CLIENT_ID {
  HANDLE UniqueProcess;
  HANDLE UniqueThread;
} CLIENT_ID, *PCLIENT_ID;
constexpr ACCESS_MASK THREAD_ALL_ACCESS = 0x001FFFFF;
// Starts StartRoutine on a new thread; *ThreadHandle receives a non-null
// handle. Fails with STATUS_INSUFFICIENT_RESOURCES when the platform refuses
// (see platform::ThreadsFailAfter).
NTSTATUS PsCreateSystemThread(PHANDLE ThreadHandle, ULONG DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes,
                              HANDLE ProcessHandle, PCLIENT_ID ClientId, PKSTART_ROUTINE StartRoutine,
                              PVOID StartContext);
// Ends the calling system thread; does not return. The thread unwinds to its
// start routine's caller, so destructors on the way run. Calling it from a
// thread that PsCreateSystemThread did not start stops the machine.
[[noreturn]] NTSTATUS PsTerminateSystemThread(NTSTATUS ExitStatus);

// ---- events and the synchronous plug-and-play request ----------------------
typedef struct _KEVENT {
  volatile LONG Signaled;
  ULONG Type;
} KEVENT, *PKEVENT;
typedef enum _EVENT_TYPE { NotificationEvent = 0, SynchronizationEvent = 1 } EVENT_TYPE;
VOID KeInitializeEvent(PKEVENT Event, EVENT_TYPE Type, BOOLEAN State);
LONG KeSetEvent(PKEVENT Event, LONG Increment, BOOLEAN Wait);
typedef enum _KWAIT_REASON { Executive = 0 } KWAIT_REASON;
NTSTATUS KeWaitForSingleObject(PVOID Object, KWAIT_REASON WaitReason, KPROCESSOR_MODE WaitMode,
                               BOOLEAN Alertable, PLARGE_INTEGER Timeout);

struct _IRP;
struct _DEVICE_OBJECT;
typedef NTSTATUS (*PDRIVER_DISPATCH)(struct _DEVICE_OBJECT* DeviceObject, struct _IRP* Irp);

constexpr UCHAR IRP_MJ_PNP = 0x1B;
constexpr UCHAR IRP_MN_QUERY_INTERFACE = 0x08;
constexpr int IRP_MJ_MAXIMUM_FUNCTION = 0x1B;

typedef struct _DRIVER_OBJECT {
  PDRIVER_DISPATCH MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1];
  PVOID DriverExtension;
} DRIVER_OBJECT, *PDRIVER_OBJECT;

typedef struct _DEVICE_OBJECT {
  PDRIVER_OBJECT DriverObject;
  PVOID DeviceExtension;
  struct _DEVICE_OBJECT* AttachedDevice;
} DEVICE_OBJECT, *PDEVICE_OBJECT;

// The common header of every interface returned by IRP_MN_QUERY_INTERFACE.
typedef VOID (*PINTERFACE_REFERENCE)(PVOID Context);
typedef VOID (*PINTERFACE_DEREFERENCE)(PVOID Context);
typedef struct _INTERFACE {
  USHORT Size;
  USHORT Version;
  PVOID Context;
  PINTERFACE_REFERENCE InterfaceReference;
  PINTERFACE_DEREFERENCE InterfaceDereference;
} INTERFACE, *PINTERFACE;

typedef struct _IO_STACK_LOCATION {
  UCHAR MajorFunction;
  UCHAR MinorFunction;
  union {
    struct {
      const GUID* InterfaceType;
      USHORT Size;
      USHORT Version;
      PINTERFACE Interface;
      PVOID InterfaceSpecificData;
    } QueryInterface;
  } Parameters;
  PDEVICE_OBJECT DeviceObject;
} IO_STACK_LOCATION, *PIO_STACK_LOCATION;

typedef struct _IRP {
  IO_STATUS_BLOCK IoStatus;
  PIO_STATUS_BLOCK UserIosb;
  PKEVENT UserEvent;
  IO_STACK_LOCATION Stack;  // the one stack location the callee sees
} IRP, *PIRP;

inline PIO_STACK_LOCATION IoGetNextIrpStackLocation(PIRP Irp) { return &Irp->Stack; }
inline PIO_STACK_LOCATION IoGetCurrentIrpStackLocation(PIRP Irp) { return &Irp->Stack; }

// Builds an IRP for MajorFunction addressed to DeviceObject; the IRP is freed
// by IoCompleteRequest (or by IofCallDriver once the callee returned a
// non-pending status), which copies IoStatus into *IoStatusBlock and sets
// *Event.
PIRP IoBuildSynchronousFsdRequest(ULONG MajorFunction, PDEVICE_OBJECT DeviceObject, PVOID Buffer, ULONG Length,
                                  PLARGE_INTEGER StartingOffset, PKEVENT Event, PIO_STATUS_BLOCK IoStatusBlock);
// Calls the dispatch routine of the device's driver for the IRP's major
// function (STATUS_INVALID_DEVICE_REQUEST when it has none).
NTSTATUS IofCallDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp);
#define IoCallDriver(d, i) IofCallDriver((d), (i))
VOID IoCompleteRequest(PIRP Irp, UCHAR PriorityBoost);
constexpr UCHAR IO_NO_INCREMENT = 0;
