// Kernel and NDIS 6.1 declarations the packet filter driver is written against,
// under their platform names and with the documented accessor macros, so that the
// driver's sources build unchanged against the Windows Driver Kit (whose <ndis.h>
// takes the place of this file there). On Linux the user-space kernel host of this
// folder implements every function declared here.
//
// Only what the driver uses is declared. Structure layouts follow the 64-bit
// platform layouts where the driver or its clients depend on offsets or sizes
// (characteristics, OID request, pool parameters, device attributes, offload
// parameters); elsewhere the documented fields are present by name.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
#define NDIS_EXTERN_C extern "C"
#define NDIS_BEGIN_DECLS extern "C" {
#define NDIS_END_DECLS }
#else
#define NDIS_EXTERN_C
#define NDIS_BEGIN_DECLS
#define NDIS_END_DECLS
#endif

#define VOID void
#define FORCEINLINE static inline
#define IN
#define OUT
#define _Use_decl_annotations_
#define UNREFERENCED_PARAMETER(p) ((void)(p))
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// ---------------------------------------------------------------------------
// Basic types (LLP64: ULONG and LONG are 32 bits)

typedef uint8_t UCHAR, *PUCHAR;
typedef char CHAR, *PCHAR;
typedef const char* PCSTR;
typedef uint8_t BOOLEAN, *PBOOLEAN;
typedef char CCHAR;
typedef int16_t CSHORT;
typedef uint16_t USHORT, *PUSHORT;
typedef uint32_t ULONG, *PULONG;
typedef int32_t LONG, *PLONG;
typedef uint32_t UINT, *PUINT;
typedef uint64_t ULONG64, ULONGLONG, *PULONG64;
typedef int64_t LONGLONG, LONG64;
typedef uintptr_t ULONG_PTR, *PULONG_PTR;
typedef intptr_t LONG_PTR;
typedef size_t SIZE_T;
typedef void* PVOID;
typedef void* HANDLE;
typedef char16_t WCHAR, *PWCH, *PWSTR;
typedef const char16_t* PCWSTR;
typedef LONG NTSTATUS;
typedef LONG KPRIORITY;
typedef UCHAR KIRQL, *PKIRQL;
typedef ULONG_PTR KSPIN_LOCK, *PKSPIN_LOCK;
typedef CCHAR KPROCESSOR_MODE;

typedef union _LARGE_INTEGER {
  struct {
    ULONG LowPart;
    LONG HighPart;
  } u;
  LONGLONG QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;

typedef struct _GUID {
  ULONG Data1;
  USHORT Data2;
  USHORT Data3;
  UCHAR Data4[8];
} GUID;
typedef const GUID* LPCGUID;

typedef struct _LIST_ENTRY {
  struct _LIST_ENTRY* Flink;
  struct _LIST_ENTRY* Blink;
} LIST_ENTRY, *PLIST_ENTRY;

typedef struct _UNICODE_STRING {
  USHORT Length;         // bytes, without terminator
  USHORT MaximumLength;  // bytes
  PWCH Buffer;
} UNICODE_STRING, *PUNICODE_STRING;
typedef const UNICODE_STRING* PCUNICODE_STRING;

typedef struct _STRING {
  USHORT Length;
  USHORT MaximumLength;
  PCHAR Buffer;
} ANSI_STRING, *PANSI_STRING;

#define NT_SUCCESS(status) (((NTSTATUS)(status)) >= 0)
#define CONTAINING_RECORD(address, type, field) \
  ((type*)((PCHAR)(address) - offsetof(type, field)))

// ---------------------------------------------------------------------------
// Status codes

#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#define STATUS_PENDING ((NTSTATUS)0x00000103L)
#define STATUS_BUFFER_OVERFLOW ((NTSTATUS)0x80000005L)
#define STATUS_UNSUCCESSFUL ((NTSTATUS)0xC0000001L)
#define STATUS_INVALID_PARAMETER ((NTSTATUS)0xC000000DL)
#define STATUS_OBJECT_NAME_NOT_FOUND ((NTSTATUS)0xC0000034L)
#define STATUS_INSUFFICIENT_RESOURCES ((NTSTATUS)0xC000009AL)
#define STATUS_NOT_SUPPORTED ((NTSTATUS)0xC00000BBL)
#define STATUS_INVALID_DEVICE_REQUEST ((NTSTATUS)0xC0000010L)
#define STATUS_ACCESS_VIOLATION ((NTSTATUS)0xC0000005L)
#define STATUS_INVALID_HANDLE ((NTSTATUS)0xC0000008L)
#define STATUS_OBJECT_TYPE_MISMATCH ((NTSTATUS)0xC0000024L)

typedef int NDIS_STATUS, *PNDIS_STATUS;
#define NDIS_STATUS_SUCCESS ((NDIS_STATUS)STATUS_SUCCESS)
#define NDIS_STATUS_PENDING ((NDIS_STATUS)STATUS_PENDING)
#define NDIS_STATUS_FAILURE ((NDIS_STATUS)STATUS_UNSUCCESSFUL)
#define NDIS_STATUS_RESOURCES ((NDIS_STATUS)STATUS_INSUFFICIENT_RESOURCES)
#define NDIS_STATUS_NOT_SUPPORTED ((NDIS_STATUS)STATUS_NOT_SUPPORTED)
#define NDIS_STATUS_INVALID_PARAMETER ((NDIS_STATUS)STATUS_INVALID_PARAMETER)
#define NDIS_STATUS_PAUSED ((NDIS_STATUS)0xC023002AL)
#define NDIS_STATUS_REQUEST_ABORTED ((NDIS_STATUS)0xC023000CL)
#define NDIS_STATUS_INVALID_LENGTH ((NDIS_STATUS)0xC0010014L)
#define NDIS_STATUS_WAN_LINE_UP ((NDIS_STATUS)0x40010008L)
#define NDIS_STATUS_WAN_LINE_DOWN ((NDIS_STATUS)0x40010009L)
#define NDIS_STATUS_WWAN_CONTEXT_STATE ((NDIS_STATUS)0x4004100BL)

// ---------------------------------------------------------------------------
// Memory, lists, interlocked operations

#define RtlZeroMemory(destination, length) memset((destination), 0, (length))
#define RtlCopyMemory(destination, source, length) memcpy((destination), (source), (length))
#define RtlMoveMemory(destination, source, length) memmove((destination), (source), (length))
#define RtlEqualMemory(a, b, length) (memcmp((a), (b), (length)) == 0)
#define NdisZeroMemory(destination, length) RtlZeroMemory(destination, length)
#define NdisMoveMemory(destination, source, length) RtlCopyMemory(destination, source, length)
#define NdisEqualMemory(a, b, length) RtlEqualMemory(a, b, length)

FORCEINLINE VOID InitializeListHead(PLIST_ENTRY head) { head->Flink = head->Blink = head; }
FORCEINLINE BOOLEAN IsListEmpty(const LIST_ENTRY* head) { return head->Flink == head; }
FORCEINLINE BOOLEAN RemoveEntryList(PLIST_ENTRY entry) {
  PLIST_ENTRY next = entry->Flink;
  PLIST_ENTRY previous = entry->Blink;
  previous->Flink = next;
  next->Blink = previous;
  return next == previous;
}
FORCEINLINE PLIST_ENTRY RemoveHeadList(PLIST_ENTRY head) {
  PLIST_ENTRY entry = head->Flink;
  RemoveEntryList(entry);
  return entry;
}
FORCEINLINE VOID InsertTailList(PLIST_ENTRY head, PLIST_ENTRY entry) {
  PLIST_ENTRY last = head->Blink;
  entry->Flink = head;
  entry->Blink = last;
  last->Flink = entry;
  head->Blink = entry;
}
FORCEINLINE VOID InsertHeadList(PLIST_ENTRY head, PLIST_ENTRY entry) {
  PLIST_ENTRY first = head->Flink;
  entry->Flink = first;
  entry->Blink = head;
  first->Blink = entry;
  head->Flink = entry;
}

FORCEINLINE LONG InterlockedExchange(LONG volatile* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
FORCEINLINE LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(target, &comparand, exchange, 0, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}
FORCEINLINE LONG InterlockedExchangeAdd(LONG volatile* target, LONG value) {
  return __atomic_fetch_add(target, value, __ATOMIC_SEQ_CST);
}
FORCEINLINE LONG InterlockedAdd(LONG volatile* target, LONG value) {
  return __atomic_add_fetch(target, value, __ATOMIC_SEQ_CST);
}
FORCEINLINE LONG InterlockedIncrement(LONG volatile* target) { return InterlockedAdd(target, 1); }
FORCEINLINE LONG InterlockedDecrement(LONG volatile* target) { return InterlockedAdd(target, -1); }
FORCEINLINE PVOID InterlockedExchangePointer(PVOID volatile* target, PVOID value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
// Plain (unfenced) reads and writes of shared values that are read without a lock.
FORCEINLINE PVOID ReadPointerNoFence(PVOID const volatile* source) {
  return __atomic_load_n(source, __ATOMIC_ACQUIRE);
}
FORCEINLINE VOID WritePointerNoFence(PVOID volatile* destination, PVOID value) {
  __atomic_store_n(destination, value, __ATOMIC_RELEASE);
}
FORCEINLINE ULONG ReadULongNoFence(ULONG const volatile* source) {
  return __atomic_load_n(source, __ATOMIC_RELAXED);
}
FORCEINLINE VOID WriteULongNoFence(ULONG volatile* destination, ULONG value) {
  __atomic_store_n(destination, value, __ATOMIC_RELAXED);
}
FORCEINLINE USHORT ReadUShortNoFence(USHORT const volatile* source) {
  return __atomic_load_n(source, __ATOMIC_RELAXED);
}
FORCEINLINE VOID WriteUShortNoFence(USHORT volatile* destination, USHORT value) {
  __atomic_store_n(destination, value, __ATOMIC_RELAXED);
}
FORCEINLINE UCHAR ReadUCharNoFence(UCHAR const volatile* source) {
  return __atomic_load_n(source, __ATOMIC_RELAXED);
}
FORCEINLINE VOID WriteUCharNoFence(UCHAR volatile* destination, UCHAR value) {
  __atomic_store_n(destination, value, __ATOMIC_RELAXED);
}

typedef enum _POOL_TYPE { NonPagedPool = 0, PagedPool = 1, NonPagedPoolNx = 512 } POOL_TYPE;
typedef enum _EX_POOL_PRIORITY {
  LowPoolPriority = 0,
  NormalPoolPriority = 16,
  HighPoolPriority = 32
} EX_POOL_PRIORITY;

// ---------------------------------------------------------------------------
// IRQL, spin locks, waits, events, objects

#define PASSIVE_LEVEL 0
#define APC_LEVEL 1
#define DISPATCH_LEVEL 2
#define KernelMode 0
#define UserMode 1
#define IO_NO_INCREMENT 0

typedef enum _EVENT_TYPE { NotificationEvent = 0, SynchronizationEvent = 1 } EVENT_TYPE;

typedef struct _DISPATCHER_HEADER {
  UCHAR Type;
  UCHAR Reserved[3];
  LONG SignalState;
  LIST_ENTRY WaitListHead;
} DISPATCHER_HEADER;

typedef struct _KEVENT {
  DISPATCHER_HEADER Header;
} KEVENT, *PKEVENT, *PRKEVENT;

typedef ULONG ACCESS_MASK;
#define SYNCHRONIZE 0x00100000L
typedef struct _OBJECT_TYPE* POBJECT_TYPE;
typedef struct _OBJECT_HANDLE_INFORMATION {
  ULONG HandleAttributes;
  ACCESS_MASK GrantedAccess;
} OBJECT_HANDLE_INFORMATION, *POBJECT_HANDLE_INFORMATION;

// ---------------------------------------------------------------------------
// Time

typedef struct _TIME_FIELDS {
  CSHORT Year;
  CSHORT Month;
  CSHORT Day;
  CSHORT Hour;
  CSHORT Minute;
  CSHORT Second;
  CSHORT Milliseconds;
  CSHORT Weekday;
} TIME_FIELDS, *PTIME_FIELDS;

// ---------------------------------------------------------------------------
// Registry queries

#define RTL_REGISTRY_ABSOLUTE 0
#define RTL_REGISTRY_SERVICES 1
#define RTL_QUERY_REGISTRY_SUBKEY 0x00000001
#define RTL_QUERY_REGISTRY_TOPKEY 0x00000002
#define RTL_QUERY_REGISTRY_REQUIRED 0x00000004
#define RTL_QUERY_REGISTRY_NOVALUE 0x00000008
#define RTL_QUERY_REGISTRY_NOEXPAND 0x00000010
#define RTL_QUERY_REGISTRY_DIRECT 0x00000020

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

typedef NTSTATUS RTL_QUERY_REGISTRY_ROUTINE(PWSTR ValueName, ULONG ValueType, PVOID ValueData,
                                            ULONG ValueLength, PVOID Context, PVOID EntryContext);
typedef RTL_QUERY_REGISTRY_ROUTINE* PRTL_QUERY_REGISTRY_ROUTINE;

typedef struct _RTL_QUERY_REGISTRY_TABLE {
  PRTL_QUERY_REGISTRY_ROUTINE QueryRoutine;
  ULONG Flags;
  PWSTR Name;
  PVOID EntryContext;
  ULONG DefaultType;
  PVOID DefaultData;
  ULONG DefaultLength;
} RTL_QUERY_REGISTRY_TABLE, *PRTL_QUERY_REGISTRY_TABLE;

// ---------------------------------------------------------------------------
// Driver and device objects, I/O requests

#define IRP_MJ_CREATE 0x00
#define IRP_MJ_CLOSE 0x02
#define IRP_MJ_DEVICE_CONTROL 0x0e
#define IRP_MJ_INTERNAL_DEVICE_CONTROL 0x0f
#define IRP_MJ_CLEANUP 0x12
#define IRP_MJ_MAXIMUM_FUNCTION 0x1b

typedef struct _DEVICE_OBJECT DEVICE_OBJECT, *PDEVICE_OBJECT;
typedef struct _DRIVER_OBJECT DRIVER_OBJECT, *PDRIVER_OBJECT;
typedef struct _IRP IRP, *PIRP;
typedef struct _FILE_OBJECT {
  CSHORT Type;
  CSHORT Size;
  PDEVICE_OBJECT DeviceObject;
  PVOID FsContext;
} FILE_OBJECT, *PFILE_OBJECT;

typedef NTSTATUS DRIVER_DISPATCH(PDEVICE_OBJECT DeviceObject, PIRP Irp);
typedef DRIVER_DISPATCH* PDRIVER_DISPATCH;
typedef VOID DRIVER_UNLOAD(PDRIVER_OBJECT DriverObject);
typedef DRIVER_UNLOAD* PDRIVER_UNLOAD;
typedef NTSTATUS DRIVER_INITIALIZE(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath);
typedef DRIVER_INITIALIZE* PDRIVER_INITIALIZE;

struct _DRIVER_OBJECT {
  CSHORT Type;
  CSHORT Size;
  PDEVICE_OBJECT DeviceObject;
  ULONG Flags;
  PVOID DriverExtension;
  UNICODE_STRING DriverName;
  PDRIVER_INITIALIZE DriverInit;
  PDRIVER_UNLOAD DriverUnload;
  PDRIVER_DISPATCH MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1];
};

struct _DEVICE_OBJECT {
  CSHORT Type;
  USHORT Size;
  PDRIVER_OBJECT DriverObject;
  PVOID DeviceExtension;
};

typedef struct _IO_STATUS_BLOCK {
  NTSTATUS Status;
  ULONG_PTR Information;
} IO_STATUS_BLOCK, *PIO_STATUS_BLOCK;

typedef struct _IO_STACK_LOCATION {
  UCHAR MajorFunction;
  UCHAR MinorFunction;
  UCHAR Flags;
  UCHAR Control;
  union {
    struct {
      ULONG OutputBufferLength;
      ULONG InputBufferLength;
      ULONG IoControlCode;
      PVOID Type3InputBuffer;
    } DeviceIoControl;
  } Parameters;
  PDEVICE_OBJECT DeviceObject;
  PFILE_OBJECT FileObject;
} IO_STACK_LOCATION, *PIO_STACK_LOCATION;

struct _IRP {
  CSHORT Type;
  USHORT Size;
  KPROCESSOR_MODE RequestorMode;
  IO_STATUS_BLOCK IoStatus;
  union {
    PVOID SystemBuffer;
  } AssociatedIrp;
  struct {
    struct {
      PIO_STACK_LOCATION CurrentStackLocation;
    } Overlay;
  } Tail;
};

FORCEINLINE PIO_STACK_LOCATION IoGetCurrentIrpStackLocation(PIRP irp) {
  return irp->Tail.Overlay.CurrentStackLocation;
}
#define SL_PENDING_RETURNED 0x01
FORCEINLINE VOID IoMarkIrpPending(PIRP irp) { IoGetCurrentIrpStackLocation(irp)->Control |= SL_PENDING_RETURNED; }
#define IoCompleteRequest(irp, priorityBoost) IofCompleteRequest((irp), (priorityBoost))

// ---------------------------------------------------------------------------
// Memory descriptors

#define MDL_MAPPED_TO_SYSTEM_VA 0x0001
#define MDL_PAGES_LOCKED 0x0002
#define MDL_SOURCE_IS_NONPAGED_POOL 0x0004

typedef struct _MDL {
  struct _MDL* Next;
  CSHORT Size;
  CSHORT MdlFlags;
  PVOID Process;
  PVOID MappedSystemVa;
  PVOID StartVa;
  ULONG ByteCount;
  ULONG ByteOffset;
} MDL, *PMDL;

typedef enum _MEMORY_CACHING_TYPE { MmNonCached = 0, MmCached = 1 } MEMORY_CACHING_TYPE;
typedef enum _MM_PAGE_PRIORITY {
  LowPagePriority = 0,
  NormalPagePriority = 16,
  HighPagePriority = 32
} MM_PAGE_PRIORITY;
#define MdlMappingNoExecute 0x40000000

#define NDIS_MDL_LINKAGE(mdl) ((mdl)->Next)
#define MmGetMdlByteCount(mdl) ((mdl)->ByteCount)
#define MmGetMdlVirtualAddress(mdl) ((PVOID)((PCHAR)((mdl)->StartVa) + (mdl)->ByteOffset))
#define MmGetSystemAddressForMdlSafe(mdl, priority)                                     \
  (((mdl)->MdlFlags & (MDL_MAPPED_TO_SYSTEM_VA | MDL_SOURCE_IS_NONPAGED_POOL))          \
       ? ((mdl)->MappedSystemVa)                                                         \
       : MmMapLockedPagesSpecifyCache((mdl), KernelMode, MmCached, NULL, FALSE, (priority)))
#define NdisQueryMdl(mdl, virtualAddress, length, priority)                   \
  {                                                                            \
    if (ARGUMENT_PRESENT(virtualAddress)) {                                    \
      *(PVOID*)(virtualAddress) = MmGetSystemAddressForMdlSafe(mdl, priority); \
    }                                                                          \
    *(length) = MmGetMdlByteCount(mdl);                                        \
  }
#define ARGUMENT_PRESENT(p) ((p) != NULL)

// ---------------------------------------------------------------------------
// NDIS objects

typedef PVOID NDIS_HANDLE, *PNDIS_HANDLE;
typedef ULONG NDIS_PORT_NUMBER;
typedef ULONG NDIS_OID;
typedef UNICODE_STRING NDIS_STRING, *PNDIS_STRING;

typedef struct _NDIS_OBJECT_HEADER {
  UCHAR Type;
  UCHAR Revision;
  USHORT Size;
} NDIS_OBJECT_HEADER, *PNDIS_OBJECT_HEADER;

#define NDIS_OBJECT_TYPE_DEFAULT 0x80
#define NDIS_OBJECT_TYPE_FILTER_DRIVER_CHARACTERISTICS 0x8B
#define NDIS_OBJECT_TYPE_DEVICE_OBJECT_ATTRIBUTES 0x85
#define NDIS_OBJECT_TYPE_FILTER_ATTRIBUTES 0x8D
#define NDIS_OBJECT_TYPE_FILTER_ATTACH_PARAMETERS 0x8E
#define NDIS_OBJECT_TYPE_FILTER_PAUSE_PARAMETERS 0x8F
#define NDIS_OBJECT_TYPE_FILTER_RESTART_PARAMETERS 0x90
#define NDIS_OBJECT_TYPE_OID_REQUEST 0x96
#define NDIS_OBJECT_TYPE_RESTART_GENERAL_ATTRIBUTES 0xA4

typedef enum _NDIS_MEDIUM {
  NdisMedium802_3 = 0,
  NdisMedium802_5 = 1,
  NdisMediumFddi = 2,
  NdisMediumWan = 3,
  NdisMediumNative802_11 = 16,
  NdisMediumWirelessWan = 9,
  NdisMediumIP = 19
} NDIS_MEDIUM;

#define NDIS_MAX_PHYS_ADDRESS_LENGTH 32

// Per-list information slots (NET_BUFFER_LIST_INFO).
typedef enum _NDIS_NET_BUFFER_LIST_INFO {
  TcpIpChecksumNetBufferListInfo = 0,
  IPsecOffloadV1NetBufferListInfo,
  TcpLargeSendNetBufferListInfo,
  ClassificationHandleNetBufferListInfo,
  Ieee8021QNetBufferListInfo,
  NetBufferListCancelId,
  MediaSpecificInformation,
  NetBufferListFrameType,
  NetBufferListHashValue,
  NetBufferListHashInfo,
  WfpNetBufferListInfo,
  MaxNetBufferListInfo
} NDIS_NET_BUFFER_LIST_INFO;

typedef struct _NET_BUFFER NET_BUFFER, *PNET_BUFFER;
typedef struct _NET_BUFFER_LIST NET_BUFFER_LIST, *PNET_BUFFER_LIST;

struct _NET_BUFFER {
  PNET_BUFFER Next;
  PMDL CurrentMdl;
  ULONG CurrentMdlOffset;
  ULONG DataLength;
  PMDL MdlChain;
  ULONG DataOffset;
  USHORT ChecksumBias;
  USHORT Reserved;
  NDIS_HANDLE NdisPoolHandle;
  PVOID NdisReserved[2];
  PVOID ProtocolReserved[6];
  PVOID MiniportReserved[4];
};

struct _NET_BUFFER_LIST {
  PNET_BUFFER_LIST Next;
  PNET_BUFFER FirstNetBuffer;
  PVOID Context;
  PNET_BUFFER_LIST ParentNetBufferList;
  NDIS_HANDLE NdisPoolHandle;
  PVOID NdisReserved[2];
  PVOID ProtocolReserved[4];
  PVOID MiniportReserved[2];
  PVOID Scratch;
  NDIS_HANDLE SourceHandle;
  ULONG NblFlags;
  LONG ChildRefCount;
  ULONG Flags;
  NDIS_STATUS Status;
  PVOID NetBufferListInfo[MaxNetBufferListInfo];
};

#define NET_BUFFER_NEXT_NB(nb) ((nb)->Next)
#define NET_BUFFER_FIRST_MDL(nb) ((nb)->MdlChain)
#define NET_BUFFER_DATA_LENGTH(nb) ((nb)->DataLength)
#define NET_BUFFER_DATA_OFFSET(nb) ((nb)->DataOffset)
#define NET_BUFFER_CURRENT_MDL(nb) ((nb)->CurrentMdl)
#define NET_BUFFER_CURRENT_MDL_OFFSET(nb) ((nb)->CurrentMdlOffset)

#define NET_BUFFER_LIST_NEXT_NBL(nbl) ((nbl)->Next)
#define NET_BUFFER_LIST_FIRST_NB(nbl) ((nbl)->FirstNetBuffer)
#define NET_BUFFER_LIST_FLAGS(nbl) ((nbl)->Flags)
#define NET_BUFFER_LIST_NBL_FLAGS(nbl) ((nbl)->NblFlags)
#define NET_BUFFER_LIST_STATUS(nbl) ((nbl)->Status)
#define NET_BUFFER_LIST_INFO(nbl, id) ((nbl)->NetBufferListInfo[(id)])
#define NdisSetNblFlag(nbl, flag) ((nbl)->NblFlags |= (flag))
#define NdisClearNblFlag(nbl, flag) ((nbl)->NblFlags &= ~(flag))
#define NdisTestNblFlag(nbl, flag) (((nbl)->NblFlags & (flag)) != 0)

#define NDIS_NBL_FLAGS_IS_IPV4 0x00000200
#define NDIS_NBL_FLAGS_IS_IPV6 0x00000400
#define NDIS_NBL_FLAGS_IS_LOOPBACK_PACKET 0x00008000

#define NDIS_SEND_FLAGS_DISPATCH_LEVEL 0x00000001
#define NDIS_SEND_COMPLETE_FLAGS_DISPATCH_LEVEL 0x00000001
#define NDIS_RECEIVE_FLAGS_DISPATCH_LEVEL 0x00000001
#define NDIS_RECEIVE_FLAGS_RESOURCES 0x00000002
#define NDIS_RETURN_FLAGS_DISPATCH_LEVEL 0x00000001
#define NDIS_TEST_SEND_AT_DISPATCH_LEVEL(flags) (((flags) & NDIS_SEND_FLAGS_DISPATCH_LEVEL) != 0)
#define NDIS_TEST_RECEIVE_AT_DISPATCH_LEVEL(flags) (((flags) & NDIS_RECEIVE_FLAGS_DISPATCH_LEVEL) != 0)
#define NDIS_TEST_RECEIVE_CANNOT_PEND(flags) (((flags) & NDIS_RECEIVE_FLAGS_RESOURCES) != 0)
#define NDIS_DEFAULT_PORT_NUMBER ((NDIS_PORT_NUMBER)0)

typedef struct _NET_BUFFER_LIST_POOL_PARAMETERS {
  NDIS_OBJECT_HEADER Header;
  UCHAR ProtocolId;
  BOOLEAN fAllocateNetBuffer;
  USHORT ContextSize;
  ULONG PoolTag;
  ULONG DataSize;
} NET_BUFFER_LIST_POOL_PARAMETERS, *PNET_BUFFER_LIST_POOL_PARAMETERS;
#define NET_BUFFER_LIST_POOL_PARAMETERS_REVISION_1 1
#define NDIS_SIZEOF_NET_BUFFER_LIST_POOL_PARAMETERS_REVISION_1 16
#define NDIS_PROTOCOL_ID_DEFAULT 0x00

// ---------------------------------------------------------------------------
// OID requests

typedef enum _NDIS_REQUEST_TYPE {
  NdisRequestQueryInformation = 0,
  NdisRequestSetInformation = 1,
  NdisRequestQueryStatistics = 2,
  NdisRequestMethod = 12
} NDIS_REQUEST_TYPE;

typedef struct _NDIS_OID_REQUEST {
  NDIS_OBJECT_HEADER Header;
  NDIS_REQUEST_TYPE RequestType;
  NDIS_PORT_NUMBER PortNumber;
  UINT Timeout;
  PVOID RequestId;
  NDIS_HANDLE RequestHandle;
  union _REQUEST_DATA {
    struct _QUERY {
      NDIS_OID Oid;
      PVOID InformationBuffer;
      UINT InformationBufferLength;
      UINT BytesWritten;
      UINT BytesNeeded;
    } QUERY_INFORMATION;
    struct _SET {
      NDIS_OID Oid;
      PVOID InformationBuffer;
      UINT InformationBufferLength;
      UINT BytesRead;
      UINT BytesNeeded;
    } SET_INFORMATION;
    struct _METHOD {
      NDIS_OID Oid;
      PVOID InformationBuffer;
      ULONG InputBufferLength;
      ULONG OutputBufferLength;
      ULONG MethodId;
      UINT BytesWritten;
      UINT BytesRead;
      UINT BytesNeeded;
    } METHOD_INFORMATION;
  } DATA;
  UCHAR NdisReserved[16 * sizeof(PVOID)];
  UCHAR MiniportReserved[2 * sizeof(PVOID)];
  UCHAR SourceReserved[2 * sizeof(PVOID)];
  UCHAR SupportedRevision;
  UCHAR Reserved1;
  USHORT Reserved2;
} NDIS_OID_REQUEST, *PNDIS_OID_REQUEST;
#define NDIS_OID_REQUEST_REVISION_1 1
#define NDIS_SIZEOF_OID_REQUEST_REVISION_1 240

#define OID_GEN_MAXIMUM_FRAME_SIZE 0x00010106
#define OID_GEN_MAXIMUM_TOTAL_SIZE 0x00010111
#define OID_802_3_CURRENT_ADDRESS 0x01010102
#define OID_TCP_OFFLOAD_CURRENT_CONFIG 0xFC01020B
#define OID_TCP_OFFLOAD_PARAMETERS 0xFC01020C
#define OID_TCP_OFFLOAD_HARDWARE_CAPABILITIES 0xFC01020D

typedef struct _NDIS_OFFLOAD_PARAMETERS {
  NDIS_OBJECT_HEADER Header;
  UCHAR IPv4Checksum;
  UCHAR TCPIPv4Checksum;
  UCHAR UDPIPv4Checksum;
  UCHAR TCPIPv6Checksum;
  UCHAR UDPIPv6Checksum;
  UCHAR LsoV1;
  UCHAR IPsecV1;
  UCHAR LsoV2IPv4;
  UCHAR LsoV2IPv6;
  UCHAR TcpConnectionIPv4;
  UCHAR TcpConnectionIPv6;
  ULONG Flags;
} NDIS_OFFLOAD_PARAMETERS, *PNDIS_OFFLOAD_PARAMETERS;
#define NDIS_OFFLOAD_PARAMETERS_REVISION_1 1
#define NDIS_SIZEOF_OFFLOAD_PARAMETERS_REVISION_1 20
#define NDIS_OFFLOAD_PARAMETERS_NO_CHANGE 0
#define NDIS_OFFLOAD_PARAMETERS_TX_RX_DISABLED 1
#define NDIS_OFFLOAD_PARAMETERS_LSOV1_DISABLED 1
#define NDIS_OFFLOAD_PARAMETERS_IPSECV1_DISABLED 1
#define NDIS_OFFLOAD_PARAMETERS_LSOV2_DISABLED 1

// ---------------------------------------------------------------------------
// Filter attach, pause, restart

typedef struct _NDIS_FILTER_ATTACH_PARAMETERS {
  NDIS_OBJECT_HEADER Header;
  ULONG IfIndex;
  ULONG64 NetLuid;
  PNDIS_STRING FilterModuleGuidName;
  ULONG BaseMiniportIfIndex;
  PNDIS_STRING BaseMiniportInstanceName;
  PNDIS_STRING BaseMiniportName;
  NDIS_MEDIUM MiniportMediaType;
  ULONG MtuSize;
  USHORT MacAddressLength;
  UCHAR CurrentMacAddress[NDIS_MAX_PHYS_ADDRESS_LENGTH];
  UCHAR PermanentMacAddress[NDIS_MAX_PHYS_ADDRESS_LENGTH];
} NDIS_FILTER_ATTACH_PARAMETERS, *PNDIS_FILTER_ATTACH_PARAMETERS;

typedef struct _NDIS_FILTER_PAUSE_PARAMETERS {
  NDIS_OBJECT_HEADER Header;
  ULONG Flags;
  ULONG PauseReason;
} NDIS_FILTER_PAUSE_PARAMETERS, *PNDIS_FILTER_PAUSE_PARAMETERS;

typedef struct _NDIS_RESTART_ATTRIBUTES NDIS_RESTART_ATTRIBUTES, *PNDIS_RESTART_ATTRIBUTES;
struct _NDIS_RESTART_ATTRIBUTES {
  PNDIS_RESTART_ATTRIBUTES Next;
  NDIS_OID Oid;
  ULONG DataLength;
  alignas(16) UCHAR Data[1];
};

typedef struct _NDIS_RESTART_GENERAL_ATTRIBUTES {
  NDIS_OBJECT_HEADER Header;
  ULONG MtuSize;
  ULONG64 MaxXmitLinkSpeed;
  ULONG64 MaxRcvLinkSpeed;
  ULONG LookaheadSize;
  ULONG MacOptions;
  ULONG SupportedPacketFilters;
  ULONG MaxMulticastListSize;
} NDIS_RESTART_GENERAL_ATTRIBUTES, *PNDIS_RESTART_GENERAL_ATTRIBUTES;

typedef struct _NDIS_FILTER_RESTART_PARAMETERS {
  NDIS_OBJECT_HEADER Header;
  NDIS_MEDIUM MiniportMediaType;
  ULONG MiniportPhysicalMediaType;
  PNDIS_RESTART_ATTRIBUTES RestartAttributes;
  ULONG BoundIfIndex;
  ULONG64 BoundIfNetluid;
  ULONG Flags;
} NDIS_FILTER_RESTART_PARAMETERS, *PNDIS_FILTER_RESTART_PARAMETERS;

typedef struct _NDIS_FILTER_ATTRIBUTES {
  NDIS_OBJECT_HEADER Header;
  ULONG Flags;
} NDIS_FILTER_ATTRIBUTES, *PNDIS_FILTER_ATTRIBUTES;
#define NDIS_FILTER_ATTRIBUTES_REVISION_1 1
#define NDIS_SIZEOF_FILTER_ATTRIBUTES_REVISION_1 8

// WAN status indications.
typedef enum _NDIS_WAN_QUALITY { NdisWanRaw, NdisWanErrorControl, NdisWanReliable } NDIS_WAN_QUALITY;

typedef struct _NDIS_WAN_LINE_UP {
  ULONG LinkSpeed;
  ULONG MaximumTotalSize;
  NDIS_WAN_QUALITY Quality;
  USHORT SendWindow;
  UCHAR RemoteAddress[6];
  UCHAR LocalAddress[6];
  ULONG ProtocolBufferLength;
  PUCHAR ProtocolBuffer;
  USHORT ProtocolType;
  NDIS_STRING DeviceName;
} NDIS_WAN_LINE_UP, *PNDIS_WAN_LINE_UP;

typedef struct _NDIS_WAN_LINE_DOWN {
  UCHAR RemoteAddress[6];
  UCHAR LocalAddress[6];
} NDIS_WAN_LINE_DOWN, *PNDIS_WAN_LINE_DOWN;

// PnP notifications are forwarded untouched; their contents do not concern the filter.
typedef struct _NET_DEVICE_PNP_EVENT {
  NDIS_OBJECT_HEADER Header;
  NDIS_PORT_NUMBER PortNumber;
  ULONG DevicePnPEvent;
  PVOID InformationBuffer;
  ULONG InformationBufferLength;
} NET_DEVICE_PNP_EVENT, *PNET_DEVICE_PNP_EVENT;

typedef struct _NET_PNP_EVENT_NOTIFICATION {
  NDIS_OBJECT_HEADER Header;
  NDIS_PORT_NUMBER PortNumber;
  ULONG NetEvent;
  PVOID Buffer;
  ULONG BufferLength;
} NET_PNP_EVENT_NOTIFICATION, *PNET_PNP_EVENT_NOTIFICATION;

typedef struct _NDIS_STATUS_INDICATION {
  NDIS_OBJECT_HEADER Header;
  NDIS_HANDLE SourceHandle;
  NDIS_PORT_NUMBER PortNumber;
  NDIS_STATUS StatusCode;
  ULONG Flags;
  NDIS_HANDLE DestinationHandle;
  PVOID RequestId;
  PVOID StatusBuffer;
  ULONG StatusBufferSize;
} NDIS_STATUS_INDICATION, *PNDIS_STATUS_INDICATION;

// ---------------------------------------------------------------------------
// Filter driver characteristics and handlers

typedef NDIS_STATUS FILTER_SET_OPTIONS(NDIS_HANDLE NdisDriverHandle, NDIS_HANDLE DriverContext);
typedef NDIS_STATUS FILTER_SET_MODULE_OPTIONS(NDIS_HANDLE FilterModuleContext);
typedef NDIS_STATUS FILTER_ATTACH(NDIS_HANDLE NdisFilterHandle, NDIS_HANDLE FilterDriverContext,
                                  PNDIS_FILTER_ATTACH_PARAMETERS AttachParameters);
typedef VOID FILTER_DETACH(NDIS_HANDLE FilterModuleContext);
typedef NDIS_STATUS FILTER_RESTART(NDIS_HANDLE FilterModuleContext,
                                   PNDIS_FILTER_RESTART_PARAMETERS RestartParameters);
typedef NDIS_STATUS FILTER_PAUSE(NDIS_HANDLE FilterModuleContext,
                                 PNDIS_FILTER_PAUSE_PARAMETERS PauseParameters);
typedef VOID FILTER_SEND_NET_BUFFER_LISTS(NDIS_HANDLE FilterModuleContext,
                                          PNET_BUFFER_LIST NetBufferLists,
                                          NDIS_PORT_NUMBER PortNumber, ULONG SendFlags);
typedef VOID FILTER_SEND_NET_BUFFER_LISTS_COMPLETE(NDIS_HANDLE FilterModuleContext,
                                                   PNET_BUFFER_LIST NetBufferLists,
                                                   ULONG SendCompleteFlags);
typedef VOID FILTER_CANCEL_SEND_NET_BUFFER_LISTS(NDIS_HANDLE FilterModuleContext, PVOID CancelId);
typedef VOID FILTER_RECEIVE_NET_BUFFER_LISTS(NDIS_HANDLE FilterModuleContext,
                                             PNET_BUFFER_LIST NetBufferLists,
                                             NDIS_PORT_NUMBER PortNumber,
                                             ULONG NumberOfNetBufferLists, ULONG ReceiveFlags);
typedef VOID FILTER_RETURN_NET_BUFFER_LISTS(NDIS_HANDLE FilterModuleContext,
                                            PNET_BUFFER_LIST NetBufferLists, ULONG ReturnFlags);
typedef NDIS_STATUS FILTER_OID_REQUEST(NDIS_HANDLE FilterModuleContext, PNDIS_OID_REQUEST OidRequest);
typedef VOID FILTER_OID_REQUEST_COMPLETE(NDIS_HANDLE FilterModuleContext,
                                         PNDIS_OID_REQUEST OidRequest, NDIS_STATUS Status);
typedef VOID FILTER_CANCEL_OID_REQUEST(NDIS_HANDLE FilterModuleContext, PVOID RequestId);
typedef VOID FILTER_DEVICE_PNP_EVENT_NOTIFY(NDIS_HANDLE FilterModuleContext,
                                            PNET_DEVICE_PNP_EVENT NetDevicePnPEvent);
typedef NDIS_STATUS FILTER_NET_PNP_EVENT(NDIS_HANDLE FilterModuleContext,
                                         PNET_PNP_EVENT_NOTIFICATION NetPnPEventNotification);
typedef VOID FILTER_STATUS(NDIS_HANDLE FilterModuleContext, PNDIS_STATUS_INDICATION StatusIndication);

typedef struct _NDIS_FILTER_DRIVER_CHARACTERISTICS {
  NDIS_OBJECT_HEADER Header;
  UCHAR MajorNdisVersion;
  UCHAR MinorNdisVersion;
  UCHAR MajorDriverVersion;
  UCHAR MinorDriverVersion;
  ULONG Flags;
  NDIS_STRING FriendlyName;
  NDIS_STRING UniqueName;
  NDIS_STRING ServiceName;
  FILTER_SET_OPTIONS* SetOptionsHandler;
  FILTER_SET_MODULE_OPTIONS* SetFilterModuleOptionsHandler;
  FILTER_ATTACH* AttachHandler;
  FILTER_DETACH* DetachHandler;
  FILTER_RESTART* RestartHandler;
  FILTER_PAUSE* PauseHandler;
  FILTER_SEND_NET_BUFFER_LISTS* SendNetBufferListsHandler;
  FILTER_SEND_NET_BUFFER_LISTS_COMPLETE* SendNetBufferListsCompleteHandler;
  FILTER_CANCEL_SEND_NET_BUFFER_LISTS* CancelSendNetBufferListsHandler;
  FILTER_RECEIVE_NET_BUFFER_LISTS* ReceiveNetBufferListsHandler;
  FILTER_RETURN_NET_BUFFER_LISTS* ReturnNetBufferListsHandler;
  FILTER_OID_REQUEST* OidRequestHandler;
  FILTER_OID_REQUEST_COMPLETE* OidRequestCompleteHandler;
  FILTER_CANCEL_OID_REQUEST* CancelOidRequestHandler;
  FILTER_DEVICE_PNP_EVENT_NOTIFY* DevicePnPEventNotifyHandler;
  FILTER_NET_PNP_EVENT* NetPnPEventHandler;
  FILTER_STATUS* StatusHandler;
  PVOID DirectOidRequestHandler;
  PVOID DirectOidRequestCompleteHandler;
  PVOID CancelDirectOidRequestHandler;
} NDIS_FILTER_DRIVER_CHARACTERISTICS, *PNDIS_FILTER_DRIVER_CHARACTERISTICS;
#define NDIS_FILTER_CHARACTERISTICS_REVISION_2 2
#define NDIS_SIZEOF_FILTER_DRIVER_CHARACTERISTICS_REVISION_2 224
#define NDIS_FILTER_MAJOR_VERSION 6
#define NDIS_FILTER_MINOR_VERSION 1

typedef struct _NDIS_DEVICE_OBJECT_ATTRIBUTES {
  NDIS_OBJECT_HEADER Header;
  PNDIS_STRING DeviceName;
  PNDIS_STRING SymbolicName;
  PDRIVER_DISPATCH* MajorFunctions;
  ULONG ExtensionSize;
  PCUNICODE_STRING DefaultSDDLString;
  LPCGUID DeviceClassGuid;
} NDIS_DEVICE_OBJECT_ATTRIBUTES, *PNDIS_DEVICE_OBJECT_ATTRIBUTES;
#define NDIS_DEVICE_OBJECT_ATTRIBUTES_REVISION_1 1
#define NDIS_SIZEOF_DEVICE_OBJECT_ATTRIBUTES_REVISION_1 56

// ---------------------------------------------------------------------------
// Functions

NDIS_BEGIN_DECLS

// Pool memory
PVOID ExAllocatePoolWithTag(POOL_TYPE PoolType, SIZE_T NumberOfBytes, ULONG Tag);
VOID ExFreePoolWithTag(PVOID P, ULONG Tag);
PVOID NdisAllocateMemoryWithTagPriority(NDIS_HANDLE NdisHandle, UINT Length, ULONG Tag,
                                        EX_POOL_PRIORITY Priority);
VOID NdisFreeMemory(PVOID VirtualAddress, UINT Length, UINT MemoryFlags);

// IRQL, spin locks, waits
KIRQL KeGetCurrentIrql(void);
VOID KeInitializeSpinLock(PKSPIN_LOCK SpinLock);
KIRQL KeAcquireSpinLockRaiseToDpc(PKSPIN_LOCK SpinLock);
VOID KeReleaseSpinLock(PKSPIN_LOCK SpinLock, KIRQL NewIrql);
NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE WaitMode, BOOLEAN Alertable, PLARGE_INTEGER Interval);

// Events and object references
VOID KeInitializeEvent(PRKEVENT Event, EVENT_TYPE Type, BOOLEAN State);
LONG KeSetEvent(PRKEVENT Event, KPRIORITY Increment, BOOLEAN Wait);
LONG KeResetEvent(PRKEVENT Event);
LONG KeReadStateEvent(PRKEVENT Event);
LONG_PTR ObfReferenceObject(PVOID Object);
extern POBJECT_TYPE* ExEventObjectType;
NTSTATUS ObReferenceObjectByHandle(HANDLE Handle, ACCESS_MASK DesiredAccess, POBJECT_TYPE ObjectType,
                                   KPROCESSOR_MODE AccessMode, PVOID* Object,
                                   POBJECT_HANDLE_INFORMATION HandleInformation);
LONG_PTR ObfDereferenceObject(PVOID Object);
#define ObReferenceObject(object) ObfReferenceObject(object)
#define ObDereferenceObject(object) ObfDereferenceObject(object)

// Time
VOID KeQuerySystemTime(PLARGE_INTEGER CurrentTime);
BOOLEAN RtlTimeFieldsToTime(PTIME_FIELDS TimeFields, PLARGE_INTEGER Time);

// Strings and registry
VOID RtlInitUnicodeString(PUNICODE_STRING DestinationString, PCWSTR SourceString);
NTSTATUS RtlUnicodeStringToAnsiString(PANSI_STRING DestinationString, PCUNICODE_STRING SourceString,
                                      BOOLEAN AllocateDestinationString);
NTSTATUS RtlQueryRegistryValues(ULONG RelativeTo, PCWSTR Path, PRTL_QUERY_REGISTRY_TABLE QueryTable,
                                PVOID Context, PVOID Environment);

// Memory descriptors and I/O requests
PVOID MmMapLockedPagesSpecifyCache(PMDL MemoryDescriptorList, KPROCESSOR_MODE AccessMode,
                                   MEMORY_CACHING_TYPE CacheType, PVOID RequestedAddress,
                                   ULONG BugCheckOnFailure, ULONG Priority);
VOID IofCompleteRequest(PIRP Irp, CCHAR PriorityBoost);

// Guarded copies between kernel memory and the memory of the process whose
// control request is being dispatched, at addresses the request carried. A range
// that is not wholly accessible answers STATUS_ACCESS_VIOLATION and copies
// nothing further; it never faults the caller. (With the Windows Driver Kit the
// driver supplies these itself: ProbeForRead / ProbeForWrite and the copy inside
// a structured exception handler.)
NTSTATUS CopyFromCallerMemory(PVOID Destination, ULONG64 CallerAddress, SIZE_T Length);
NTSTATUS CopyToCallerMemory(ULONG64 CallerAddress, const VOID* Source, SIZE_T Length);

// Filter and device registration
NDIS_STATUS NdisFRegisterFilterDriver(PDRIVER_OBJECT DriverObject, NDIS_HANDLE FilterDriverContext,
                                      PNDIS_FILTER_DRIVER_CHARACTERISTICS FilterDriverCharacteristics,
                                      PNDIS_HANDLE NdisFilterDriverHandle);
VOID NdisFDeregisterFilterDriver(NDIS_HANDLE NdisFilterDriverHandle);
NDIS_STATUS NdisFSetAttributes(NDIS_HANDLE NdisFilterHandle, NDIS_HANDLE FilterModuleContext,
                               PNDIS_FILTER_ATTRIBUTES FilterAttributes);
NDIS_STATUS NdisRegisterDeviceEx(NDIS_HANDLE NdisObjectHandle,
                                 PNDIS_DEVICE_OBJECT_ATTRIBUTES DeviceObjectAttributes,
                                 PDEVICE_OBJECT* pDeviceObject, PNDIS_HANDLE NdisDeviceHandle);
VOID NdisDeregisterDeviceEx(NDIS_HANDLE NdisDeviceHandle);

// Frame lists
NDIS_HANDLE NdisAllocateNetBufferListPool(NDIS_HANDLE NdisHandle,
                                          PNET_BUFFER_LIST_POOL_PARAMETERS Parameters);
VOID NdisFreeNetBufferListPool(NDIS_HANDLE PoolHandle);
PNET_BUFFER_LIST NdisAllocateNetBufferList(NDIS_HANDLE PoolHandle, USHORT ContextSize,
                                           USHORT ContextBackFill);
VOID NdisFreeNetBufferList(PNET_BUFFER_LIST NetBufferList);
VOID NdisFSendNetBufferLists(NDIS_HANDLE NdisFilterHandle, PNET_BUFFER_LIST NetBufferLists,
                             NDIS_PORT_NUMBER PortNumber, ULONG SendFlags);
VOID NdisFSendNetBufferListsComplete(NDIS_HANDLE NdisFilterHandle, PNET_BUFFER_LIST NetBufferLists,
                                     ULONG SendCompleteFlags);
VOID NdisFIndicateReceiveNetBufferLists(NDIS_HANDLE NdisFilterHandle, PNET_BUFFER_LIST NetBufferLists,
                                        NDIS_PORT_NUMBER PortNumber, ULONG NumberOfNetBufferLists,
                                        ULONG ReceiveFlags);
VOID NdisFReturnNetBufferLists(NDIS_HANDLE NdisFilterHandle, PNET_BUFFER_LIST NetBufferLists,
                               ULONG ReturnFlags);
VOID NdisFCancelSendNetBufferLists(NDIS_HANDLE NdisFilterHandle, PVOID CancelId);

// OID requests, status indications and PnP
NDIS_STATUS NdisFOidRequest(NDIS_HANDLE NdisFilterHandle, PNDIS_OID_REQUEST OidRequest);
NDIS_STATUS NdisAllocateCloneOidRequest(NDIS_HANDLE SourceHandle, PNDIS_OID_REQUEST OidRequest, UINT PoolTag,
                                        PNDIS_OID_REQUEST* CloneOidRequest);
VOID NdisFreeCloneOidRequest(NDIS_HANDLE SourceHandle, PNDIS_OID_REQUEST Request);
VOID NdisFOidRequestComplete(NDIS_HANDLE NdisFilterHandle, PNDIS_OID_REQUEST OidRequest, NDIS_STATUS Status);
VOID NdisFCancelOidRequest(NDIS_HANDLE NdisFilterHandle, PVOID RequestId);
VOID NdisFIndicateStatus(NDIS_HANDLE NdisFilterHandle, PNDIS_STATUS_INDICATION StatusIndication);
VOID NdisFDevicePnPEventNotify(NDIS_HANDLE NdisFilterHandle, PNET_DEVICE_PNP_EVENT NetDevicePnPEvent);
NDIS_STATUS NdisFNetPnPEvent(NDIS_HANDLE NdisFilterHandle,
                             PNET_PNP_EVENT_NOTIFICATION NetPnPEventNotification);

NDIS_END_DECLS
