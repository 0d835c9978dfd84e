// Kernel services of the host: pool memory, IRQL and spin locks, waits, events,
// time, strings, registry queries, memory descriptors, request completion.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "host_internals.h"
#include "zl/ndishost/kernel_host.h"

using zl::ndishost::KernelHost;

namespace zl::ndishost {
namespace {

thread_local KIRQL currentIrql = PASSIVE_LEVEL;
// Identifies the thread holding a spin lock, so a recursive acquisition (which
// would spin forever on a real machine) is reported instead of hanging a test.
thread_local char threadMarker;

ULONG_PTR ThreadId() { return reinterpret_cast<ULONG_PTR>(&threadMarker); }

constexpr unsigned kSpinsBeforeYield = 200;

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

std::string Narrow(PCWSTR text) {
  std::string narrow;
  if (text == nullptr) return narrow;
  for (; *text != 0; ++text) narrow += *text < 0x80 ? char(*text) : '?';
  return narrow;
}

// Days from 1601-01-01 to the given date of the proleptic Gregorian calendar.
long long DaysSince1601(int year, int month, int day) {
  auto daysFromCivil = [](long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + (long long)doe;
  };
  return daysFromCivil(year, unsigned(month), unsigned(day)) - daysFromCivil(1601, 1, 1);
}

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

}  // namespace

void SetCurrentIrql(KIRQL irql) { currentIrql = irql; }

IrqlScope::IrqlScope(bool atDispatch) : previous_(currentIrql) {
  if (atDispatch) currentIrql = DISPATCH_LEVEL;
}
IrqlScope::~IrqlScope() {
  currentIrql = previous_;
  if (currentIrql < DISPATCH_LEVEL) WriteDeferredEventfdSignals();
}

HostEventObject* EventObjectOf(PVOID object) {
  auto* event = static_cast<PKEVENT>(object);
  return reinterpret_cast<HostEventObject*>(reinterpret_cast<char*>(event) - offsetof(HostEventObject, event));
}

}  // namespace zl::ndishost

using namespace zl::ndishost;

extern "C" {

PVOID ExAllocatePoolWithTag(POOL_TYPE, SIZE_T NumberOfBytes, ULONG Tag) {
  return KernelHost::Current().Pools().Allocate(NumberOfBytes, Tag);
}

VOID ExFreePoolWithTag(PVOID P, ULONG Tag) { KernelHost::Current().Pools().Free(P, Tag); }

PVOID NdisAllocateMemoryWithTagPriority(NDIS_HANDLE, UINT Length, ULONG Tag, EX_POOL_PRIORITY) {
  return KernelHost::Current().Pools().Allocate(Length, Tag);
}

VOID NdisFreeMemory(PVOID VirtualAddress, UINT, UINT) {
  KernelHost::Current().Pools().Free(VirtualAddress, 0);
}

KIRQL KeGetCurrentIrql(void) { return currentIrql; }

VOID KeInitializeSpinLock(PKSPIN_LOCK SpinLock) { __atomic_store_n(SpinLock, 0, __ATOMIC_RELEASE); }

KIRQL KeAcquireSpinLockRaiseToDpc(PKSPIN_LOCK SpinLock) {
  const KIRQL previous = currentIrql;
  const ULONG_PTR me = ThreadId();
  if (__atomic_load_n(SpinLock, __ATOMIC_RELAXED) == me) {
    KernelHost::Current().RecordViolation("spin lock acquired again by the thread that holds it");
    std::abort();
  }
  // Locks are held for a few hundred nanoseconds: spin a little on the other
  // core before giving the processor away (a yield on a busy machine may not
  // come back for a whole time slice).
  for (unsigned attempt = 0;; ++attempt) {
    ULONG_PTR expected = 0;
    if (__atomic_load_n(SpinLock, __ATOMIC_RELAXED) == 0 &&
        __atomic_compare_exchange_n(SpinLock, &expected, me, false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED)) {
      break;
    }
    if (attempt < kSpinsBeforeYield) {
      CpuRelax();
    } else {
      std::this_thread::yield();
    }
  }
  currentIrql = DISPATCH_LEVEL;
  return previous;
}

VOID KeReleaseSpinLock(PKSPIN_LOCK SpinLock, KIRQL NewIrql) {
  if (__atomic_load_n(SpinLock, __ATOMIC_RELAXED) != ThreadId()) {
    KernelHost::Current().RecordViolation("spin lock released by a thread that does not hold it");
  }
  __atomic_store_n(SpinLock, 0, __ATOMIC_RELEASE);
  currentIrql = NewIrql;
  if (NewIrql < DISPATCH_LEVEL) WriteDeferredEventfdSignals();
}

NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE, BOOLEAN, PLARGE_INTEGER Interval) {
  KernelHost& host = KernelHost::Current();
  if (currentIrql > APC_LEVEL) host.RecordViolation("KeDelayExecutionThread above APC_LEVEL");
  // A negative interval is relative, in 100 ns units.
  LONGLONG ticks = Interval->QuadPart;
  if (ticks > 0) {
    const LONGLONG now = host.SystemTime();
    ticks = ticks > now ? ticks - now : 0;
  } else {
    ticks = -ticks;
  }
  host.Clock().Pause(std::chrono::milliseconds(ticks / 10000));
  host.RunDelayHook();
  // Let the other threads of the host make progress while this one waits.
  std::this_thread::yield();
  return STATUS_SUCCESS;
}

VOID KeInitializeEvent(PRKEVENT Event, EVENT_TYPE Type, BOOLEAN State) {
  Event->Header.Type = UCHAR(Type);
  __atomic_store_n(&Event->Header.SignalState, State ? 1 : 0, __ATOMIC_RELEASE);
  InitializeListHead(&Event->Header.WaitListHead);
}

LONG KeSetEvent(PRKEVENT Event, KPRIORITY, BOOLEAN) {
  HostEventObject* object = EventObjectOf(Event);
  if (object->references.load() <= 0) KernelHost::Current().RecordViolation("signal of a released event object");
  object->signals.fetch_add(1);
  const LONG previous = __atomic_exchange_n(&Event->Header.SignalState, 1, __ATOMIC_ACQ_REL);
  SignalEventfd(object, currentIrql >= DISPATCH_LEVEL);
  return previous;
}

LONG KeResetEvent(PRKEVENT Event) { return __atomic_exchange_n(&Event->Header.SignalState, 0, __ATOMIC_ACQ_REL); }

LONG KeReadStateEvent(PRKEVENT Event) { return __atomic_load_n(&Event->Header.SignalState, __ATOMIC_ACQUIRE); }

LONG_PTR ObfReferenceObject(PVOID Object) { return EventObjectOf(Object)->references.fetch_add(1) + 1; }

LONG_PTR ObfDereferenceObject(PVOID Object) {
  HostEventObject* object = EventObjectOf(Object);
  const long left = object->references.fetch_sub(1) - 1;
  if (left < 0) KernelHost::Current().RecordViolation("object dereferenced more often than referenced");
  if (left == 0) {
    const int fd = object->signalFd.exchange(-1);
    if (fd >= 0) ::close(fd);
  }
  return left;
}

VOID KeQuerySystemTime(PLARGE_INTEGER CurrentTime) { CurrentTime->QuadPart = KernelHost::Current().SystemTime(); }

BOOLEAN RtlTimeFieldsToTime(PTIME_FIELDS TimeFields, PLARGE_INTEGER Time) {
  static const int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const TIME_FIELDS& t = *TimeFields;
  if (t.Year < 1601 || t.Month < 1 || t.Month > 12 || t.Day < 1 || t.Hour < 0 || t.Hour > 23 || t.Minute < 0 ||
      t.Minute > 59 || t.Second < 0 || t.Second > 59 || t.Milliseconds < 0 || t.Milliseconds > 999) {
    return FALSE;
  }
  const int days = kDaysInMonth[t.Month - 1] + (t.Month == 2 && IsLeap(t.Year) ? 1 : 0);
  if (t.Day > days) return FALSE;
  const long long seconds = DaysSince1601(t.Year, t.Month, t.Day) * 86400LL + t.Hour * 3600LL + t.Minute * 60LL + t.Second;
  Time->QuadPart = seconds * 10000000LL + t.Milliseconds * 10000LL;
  return TRUE;
}

VOID RtlInitUnicodeString(PUNICODE_STRING DestinationString, PCWSTR SourceString) {
  DestinationString->Buffer = const_cast<PWCH>(SourceString);
  if (SourceString == nullptr) {
    DestinationString->Length = DestinationString->MaximumLength = 0;
    return;
  }
  std::size_t chars = 0;
  while (SourceString[chars] != 0) ++chars;
  DestinationString->Length = USHORT(chars * sizeof(WCHAR));
  DestinationString->MaximumLength = USHORT((chars + 1) * sizeof(WCHAR));
}

NTSTATUS RtlUnicodeStringToAnsiString(PANSI_STRING DestinationString, PCUNICODE_STRING SourceString,
                                      BOOLEAN AllocateDestinationString) {
  if (AllocateDestinationString) {
    KernelHost::Current().RecordViolation("RtlUnicodeStringToAnsiString asked to allocate (not supported by the host)");
    return STATUS_INVALID_PARAMETER;
  }
  const std::size_t chars = SourceString->Length / sizeof(WCHAR);
  std::size_t length = chars;
  NTSTATUS status = STATUS_SUCCESS;
  // Like the kernel: what does not fit is cut, the result stays terminated.
  if (chars + 1 > DestinationString->MaximumLength) {
    if (DestinationString->MaximumLength == 0) return STATUS_BUFFER_OVERFLOW;
    status = STATUS_BUFFER_OVERFLOW;
    length = DestinationString->MaximumLength - 1u;
  }
  for (std::size_t i = 0; i < length; ++i) {
    const WCHAR c = SourceString->Buffer[i];
    DestinationString->Buffer[i] = c < 0x100 ? char(c) : '?';
  }
  DestinationString->Buffer[length] = 0;
  DestinationString->Length = USHORT(length);
  return status;
}

NTSTATUS RtlQueryRegistryValues(ULONG RelativeTo, PCWSTR Path, PRTL_QUERY_REGISTRY_TABLE QueryTable, PVOID Context,
                                PVOID) {
  KernelHost& host = KernelHost::Current();
  const ParameterProvider& registry = host.Registry();
  std::string base = Narrow(Path);
  if (RelativeTo == RTL_REGISTRY_SERVICES) {
    base = std::string(kServicesRoot) + "\\" + base;
  } else if (RelativeTo == RTL_REGISTRY_ABSOLUTE) {
    const std::string prefix = "\\registry\\machine\\";
    std::string lower = base;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (lower.rfind(prefix, 0) != 0) return STATUS_OBJECT_NAME_NOT_FOUND;
    base = base.substr(prefix.size());
  } else {
    host.RecordViolation("RtlQueryRegistryValues relative to an unsupported root");
    return STATUS_INVALID_PARAMETER;
  }
  if (!registry.KeyExists(base)) return STATUS_OBJECT_NAME_NOT_FOUND;

  std::string key = base;
  for (PRTL_QUERY_REGISTRY_TABLE entry = QueryTable; entry->QueryRoutine != nullptr || entry->Name != nullptr; ++entry) {
    if (entry->Flags & RTL_QUERY_REGISTRY_TOPKEY) {
      key = base;
      continue;
    }
    if (entry->Flags & RTL_QUERY_REGISTRY_SUBKEY) {
      key = base + "\\" + Narrow(entry->Name);
      if (!registry.KeyExists(key)) return STATUS_OBJECT_NAME_NOT_FOUND;
      if (entry->QueryRoutine == nullptr) continue;
    }
    if (entry->Flags & RTL_QUERY_REGISTRY_DIRECT) {
      host.RecordViolation("RtlQueryRegistryValues: direct queries are not supported by the host");
      return STATUS_INVALID_PARAMETER;
    }
    if (entry->QueryRoutine == nullptr) continue;
    std::optional<RegistryValue> value = registry.ReadValue(key, Narrow(entry->Name));
    NTSTATUS status = STATUS_SUCCESS;
    if (value) {
      status = entry->QueryRoutine(entry->Name, value->type, value->data.empty() ? nullptr : value->data.data(),
                                   ULONG(value->data.size()), Context, entry->EntryContext);
    } else if (entry->DefaultType != REG_NONE) {
      ULONG length = entry->DefaultLength;
      if (length == 0 && entry->DefaultType == REG_DWORD) length = sizeof(ULONG);
      status = entry->QueryRoutine(entry->Name, entry->DefaultType, entry->DefaultData, length, Context,
                                   entry->EntryContext);
    } else if (entry->Flags & RTL_QUERY_REGISTRY_REQUIRED) {
      return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    if (!NT_SUCCESS(status)) return status;
  }
  return STATUS_SUCCESS;
}

PVOID MmMapLockedPagesSpecifyCache(PMDL MemoryDescriptorList, KPROCESSOR_MODE, MEMORY_CACHING_TYPE, PVOID, ULONG,
                                   ULONG) {
  PMDL mdl = MemoryDescriptorList;
  if (mdl->Process == kUnmappablePages) return nullptr;
  mdl->MappedSystemVa = static_cast<PCHAR>(mdl->StartVa) + mdl->ByteOffset;
  mdl->MdlFlags = CSHORT(mdl->MdlFlags | MDL_MAPPED_TO_SYSTEM_VA);
  return mdl->MappedSystemVa;
}

VOID IofCompleteRequest(PIRP Irp, CCHAR) { KernelHost::Current().NoteCompletion(Irp); }

}  // extern "C"
