#include <gtest/gtest.h>
#include <ndis.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "shared/support/clock.h"
#include "zl/ndishost/kernel_host.h"

namespace zl::ndishost {
namespace {

class KernelHostTest : public ::testing::Test {
 protected:
  zl::VirtualClock clock_;
  KernelHost host_{clock_};
};

TEST_F(KernelHostTest, PoolMemoryIsAccountedPerTagAndFailuresAreInjectedPerTag) {
  const ULONG records = TagFromText("NdRd");
  const ULONG modules = TagFromText("Filt");
  void* a = ExAllocatePoolWithTag(NonPagedPoolNx, 100, records);
  void* b = ExAllocatePoolWithTag(NonPagedPoolNx, 50, records);
  void* c = NdisAllocateMemoryWithTagPriority(nullptr, 10, modules, LowPoolPriority);
  EXPECT_EQ(host_.Pools().Outstanding(records), 2);
  EXPECT_EQ(host_.Pools().Leaks(), (std::vector<std::string>{"Filt: 1 allocations (10 bytes)", "NdRd: 2 allocations (150 bytes)"}));

  host_.Pools().FailAllocationNumber(records, 2);
  void* d = ExAllocatePoolWithTag(NonPagedPoolNx, 1, records);
  EXPECT_NE(d, nullptr);
  EXPECT_EQ(ExAllocatePoolWithTag(NonPagedPoolNx, 1, records), nullptr);
  void* e = ExAllocatePoolWithTag(NonPagedPoolNx, 1, records);
  EXPECT_NE(e, nullptr);
  EXPECT_NE(NdisAllocateMemoryWithTagPriority(nullptr, 1, modules, LowPoolPriority), nullptr) << "other tags unaffected";

  // Freeing with the wrong tag is reported, and the block is still released.
  ExFreePoolWithTag(a, modules);
  EXPECT_EQ(host_.Violations(), std::vector<std::string>{"pool block of tag NdRd freed with tag Filt"});
  ExFreePoolWithTag(b, records);
  ExFreePoolWithTag(d, records);
  ExFreePoolWithTag(e, records);
  NdisFreeMemory(c, 0, 0);
  EXPECT_EQ(host_.Pools().Outstanding(records), 0);
  EXPECT_EQ(host_.Pools().Outstanding(modules), 1);
}

NTSTATUS StoreDword(PWSTR, ULONG type, PVOID data, ULONG length, PVOID context, PVOID entryContext) {
  auto* seen = static_cast<std::vector<ULONG>*>(context);
  seen->push_back(type);
  if (type == REG_DWORD && length == 4) std::memcpy(entryContext, data, 4);
  return STATUS_SUCCESS;
}

TEST_F(KernelHostTest, RegistryQueriesWalkSubkeysAndFallBackToDefaults) {
  const std::string key = std::string(kServicesRoot) + "\\Sample\\Parameters";
  host_.Registry().SetDword(key, "Present", 7);
  host_.Registry().SetString(key, "Text", "3");
  ULONG present = 0, missing = 99, text = 0;
  ULONG fallback = 5;
  RTL_QUERY_REGISTRY_TABLE table[5] = {};
  table[0] = {nullptr, RTL_QUERY_REGISTRY_SUBKEY, const_cast<PWSTR>(u"Parameters"), nullptr, REG_NONE, nullptr, 0};
  table[1] = {StoreDword, RTL_QUERY_REGISTRY_NOEXPAND, const_cast<PWSTR>(u"present"), &present, REG_DWORD, &fallback, 4};
  table[2] = {StoreDword, RTL_QUERY_REGISTRY_NOEXPAND, const_cast<PWSTR>(u"Missing"), &missing, REG_DWORD, &fallback, 4};
  table[3] = {StoreDword, RTL_QUERY_REGISTRY_NOEXPAND, const_cast<PWSTR>(u"Text"), &text, REG_DWORD, &fallback, 4};
  std::vector<ULONG> types;
  EXPECT_EQ(RtlQueryRegistryValues(RTL_REGISTRY_SERVICES, u"Sample", table, &types, nullptr), STATUS_SUCCESS);
  EXPECT_EQ(present, 7u);
  EXPECT_EQ(missing, 5u);
  EXPECT_EQ(text, 0u);
  EXPECT_EQ(types, (std::vector<ULONG>{REG_DWORD, REG_DWORD, REG_SZ}));

  types.clear();
  EXPECT_EQ(RtlQueryRegistryValues(RTL_REGISTRY_SERVICES, u"Absent", table, &types, nullptr),
            STATUS_OBJECT_NAME_NOT_FOUND);
  host_.Registry().CreateKey(std::string(kServicesRoot) + "\\Bare");
  EXPECT_EQ(RtlQueryRegistryValues(RTL_REGISTRY_SERVICES, u"Bare", table, &types, nullptr),
            STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_TRUE(types.empty());
}

TEST_F(KernelHostTest, UnicodeToAnsiCutsToTheBufferAndStaysTerminated) {
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  UNICODE_STRING source;
  RtlInitUnicodeString(&source, u"\\DEVICE\\{ABC}");
  EXPECT_EQ(source.Length, 26);
  EXPECT_EQ(source.MaximumLength, 28);
  ANSI_STRING target = {0, sizeof buffer, buffer};
  EXPECT_EQ(RtlUnicodeStringToAnsiString(&target, &source, FALSE), STATUS_BUFFER_OVERFLOW);
  EXPECT_STREQ(buffer, "\\DEVICE");
  EXPECT_EQ(target.Length, 7);
  char roomy[32];
  ANSI_STRING whole = {0, sizeof roomy, roomy};
  EXPECT_EQ(RtlUnicodeStringToAnsiString(&whole, &source, FALSE), STATUS_SUCCESS);
  EXPECT_STREQ(roomy, "\\DEVICE\\{ABC}");
}

TEST_F(KernelHostTest, TimeFieldsAndSystemTimeUseThe1601Scale) {
  TIME_FIELDS fields = {1980, 1, 1, 0, 0, 0, 0, 0};
  LARGE_INTEGER time;
  ASSERT_TRUE(RtlTimeFieldsToTime(&fields, &time));
  EXPECT_EQ(time.QuadPart, 119600064000000000LL);
  TIME_FIELDS leap = {2024, 2, 29, 12, 30, 15, 250, 0};
  ASSERT_TRUE(RtlTimeFieldsToTime(&leap, &time));
  EXPECT_EQ(time.QuadPart, 133536834150000000LL + 2500000LL);
  TIME_FIELDS invalid = {2023, 2, 29, 0, 0, 0, 0, 0};
  EXPECT_FALSE(RtlTimeFieldsToTime(&invalid, &time));

  host_.SetSystemTimeBase(1000);
  clock_.Advance(std::chrono::milliseconds(3));
  KeQuerySystemTime(&time);
  EXPECT_EQ(time.QuadPart, 1000 + 30000);
}

TEST_F(KernelHostTest, DelaysMoveTheVirtualClockAndRunTheHook) {
  int hooks = 0;
  host_.SetDelayHook([&] { ++hooks; });
  LARGE_INTEGER interval;
  interval.QuadPart = -300000;
  KeDelayExecutionThread(KernelMode, FALSE, &interval);
  KeDelayExecutionThread(KernelMode, FALSE, &interval);
  EXPECT_EQ(clock_.Now(), std::chrono::milliseconds(60));
  EXPECT_EQ(hooks, 2);

  KSPIN_LOCK lock;
  KeInitializeSpinLock(&lock);
  const KIRQL previous = KeAcquireSpinLockRaiseToDpc(&lock);
  EXPECT_EQ(KeGetCurrentIrql(), DISPATCH_LEVEL);
  KeDelayExecutionThread(KernelMode, FALSE, &interval);
  KeReleaseSpinLock(&lock, previous);
  EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
  EXPECT_EQ(host_.Violations(), std::vector<std::string>{"KeDelayExecutionThread above APC_LEVEL"});
}

TEST_F(KernelHostTest, EventsCountSignalsAndReferences) {
  PKEVENT event = host_.CreateEvent();
  EXPECT_EQ(KeReadStateEvent(event), 0);
  ObReferenceObject(event);
  KeSetEvent(event, 1, FALSE);
  KeSetEvent(event, 1, FALSE);
  EXPECT_EQ(host_.EventSignals(event), 2);
  EXPECT_EQ(KeReadStateEvent(event), 1);
  EXPECT_EQ(KeResetEvent(event), 1);
  ObDereferenceObject(event);
  host_.CloseEvent(event);
  EXPECT_EQ(host_.EventReferences(event), 0);
  KeSetEvent(event, 1, FALSE);
  EXPECT_EQ(host_.Violations(), std::vector<std::string>{"signal of a released event object"});
}

// What the eventfd's counter holds (each write of the host adds one); reading
// it clears it, as a client's reset does.
std::uint64_t TakeCount(int fd) {
  std::uint64_t count = 0;
  return ::read(fd, &count, sizeof count) == ssize_t(sizeof count) ? count : 0;
}

bool Readable(int fd) {
  pollfd ready{fd, POLLIN, 0};
  return ::poll(&ready, 1, 0) == 1;
}

TEST_F(KernelHostTest, AnEventfdSignalledUnderASpinLockIsWrittenOnceWhenTheLockIsReleased) {
  const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  ASSERT_GE(fd, 0);
  const int observer = ::dup(fd);
  PKEVENT event = host_.CreateEventfdEvent(fd);

  // At PASSIVE_LEVEL every signal is written at once.
  KeSetEvent(event, 1, FALSE);
  EXPECT_EQ(TakeCount(observer), 1u);

  KSPIN_LOCK lock;
  KeInitializeSpinLock(&lock);
  KIRQL previous = KeAcquireSpinLockRaiseToDpc(&lock);
  KeSetEvent(event, 1, FALSE);
  KeSetEvent(event, 1, FALSE);
  // The object is signalled at once; the waiting process is woken later.
  EXPECT_EQ(KeReadStateEvent(event), 1);
  EXPECT_EQ(host_.EventSignals(event), 3);
  EXPECT_FALSE(Readable(observer));
  KeReleaseSpinLock(&lock, previous);
  EXPECT_EQ(TakeCount(observer), 1u);
  EXPECT_EQ(host_.EventReferences(event), 1);

  // Released while its write waits, the event keeps its descriptor until the
  // write is done, then closes it.
  previous = KeAcquireSpinLockRaiseToDpc(&lock);
  KeSetEvent(event, 1, FALSE);
  host_.CloseEvent(event);
  KeReleaseSpinLock(&lock, previous);
  EXPECT_EQ(TakeCount(observer), 1u);
  EXPECT_EQ(host_.EventReferences(event), 0);
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);  // the host's copy is closed
  EXPECT_TRUE(host_.Violations().empty());
  ::close(observer);
}

TEST_F(KernelHostTest, DescriptorsWithoutAMappingAreMappedOnRequestOrRefused) {
  unsigned char data[4] = {1, 2, 3, 4};
  MDL mapped = {};
  mapped.StartVa = data;
  mapped.ByteCount = 4;
  mapped.ByteOffset = 1;
  EXPECT_EQ(MmGetSystemAddressForMdlSafe(&mapped, NormalPagePriority), data + 1);
  EXPECT_TRUE(mapped.MdlFlags & MDL_MAPPED_TO_SYSTEM_VA);
  MDL pool = {};
  pool.MdlFlags = MDL_SOURCE_IS_NONPAGED_POOL;
  pool.MappedSystemVa = data;
  EXPECT_EQ(MmGetSystemAddressForMdlSafe(&pool, NormalPagePriority), data);
}

TEST_F(KernelHostTest, ListsHandedToTheWrongOwnerAreReported) {
  EmulatedAdapter& adapter = host_.AddAdapter(AdapterConfig{});
  ListShape list;
  list.frames.push_back({{1, 2, 3}});
  // Without a filter the stack's send reaches the miniport and comes back.
  adapter.SendFromStack({list});
  EXPECT_EQ(adapter.TakeMiniportFrames().size(), 1u);
  EXPECT_EQ(adapter.TakeSendCompletions(), std::vector<NDIS_STATUS>{NDIS_STATUS_SUCCESS});
  adapter.ReceiveFromMiniport({list});
  EXPECT_EQ(adapter.TakeStackFrames().size(), 1u);
  EXPECT_EQ(adapter.MiniportListsOutstanding(), 0);
  EXPECT_EQ(host_.Violations(), std::vector<std::string>{});

  NET_BUFFER_LIST stray = {};
  adapter.StackCompleteSends(&stray, 0);
  adapter.MiniportReturn(&stray, 0);
  EXPECT_EQ(host_.Violations(), (std::vector<std::string>{"send completion of a list the protocols did not send",
                                                          "return to the miniport of a list it did not indicate"}));
}

}  // namespace
}  // namespace zl::ndishost
