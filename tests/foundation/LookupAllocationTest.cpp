// What a transaction reads before every attempt must not allocate: the tunables and the settings
// lookups under them. Allocations are counted on the thread that asks while a counter is alive:
// in a sanitizer build through the sanitizer's allocation hook (its runtime owns operator new),
// otherwise by replacing operator new in this binary (every form but the aligned ones, which keep
// their own pairing).
#include <cstdlib>
#include <new>

#include <gtest/gtest.h>

#include "foundation/CommTimeouts.h"
#include "platform/SettingsStore.h"
#include "tests/support/TestEnvironment.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TARNWICK_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define TARNWICK_SANITIZER_ALLOCATOR 1
#endif
#endif

namespace
{

thread_local bool t_counting = false;
thread_local unsigned t_allocations = 0;

void CountAllocation()
{
    if (t_counting)
        ++t_allocations;
}

} // namespace

#ifdef TARNWICK_SANITIZER_ALLOCATOR

extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*));

namespace
{

[[maybe_unused]] const int g_hooksInstalled = __sanitizer_install_malloc_and_free_hooks(
    [](const volatile void*, size_t) { CountAllocation(); }, [](const volatile void*) {});

} // namespace

#else

namespace
{

void* Allocate(std::size_t size)
{
    CountAllocation();
    if (void* block = std::malloc(size != 0 ? size : 1))
        return block;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size)
{
    return Allocate(size);
}
void* operator new[](std::size_t size)
{
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return Allocate(size);
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}
void operator delete(void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}
void operator delete(void* block) noexcept
{
    std::free(block);
}
void operator delete[](void* block) noexcept
{
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept
{
    std::free(block);
}

#endif

namespace
{

// Counts the allocations of this thread during its lifetime.
class AllocationCounter
{
public:
    AllocationCounter()
    {
        t_allocations = 0;
        t_counting = true;
    }
    ~AllocationCounter() { t_counting = false; }
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;
    unsigned Count() const { return t_allocations; }
};

// A counter that counts nothing would pass every test here. The block escapes, so that no
// optimiser can leave its allocation out.
unsigned AllocationsOfOneBlock()
{
    static void* volatile s_block = nullptr;
    const AllocationCounter counter;
    s_block = ::operator new(64);
    const unsigned count = counter.Count();
    ::operator delete(s_block);
    return count;
}

using platform::Hive;
namespace settings = platform::settings;

class LookupAllocationTest : public testing::Test
{
protected:
    LookupAllocationTest() { ResetCommTunablesForTests(); }
    ~LookupAllocationTest() override { ResetCommTunablesForTests(); }

    testsupport::ScopedConfigDir m_config;
};

TEST_F(LookupAllocationTest, SettingsLookupsOfAnyDepthAllocateNothing)
{
    ASSERT_TRUE(settings::SetDword(Hive::LocalMachine, COMM_TUNABLES_KEY, u"InterMsgDelay TO", 9));
    ASSERT_TRUE(
        settings::SetString(Hive::LocalMachine, COMM_TUNABLES_KEY, u"Name", u"a text too long to be short"));
    ASSERT_EQ(AllocationsOfOneBlock(), 1u);
    settings::KeyExists(Hive::CurrentUser, u""); // the first look at a hive finds its file's name
    const AllocationCounter counter;
    EXPECT_EQ(settings::GetDword(Hive::LocalMachine, u"SOFTWARE\\norvane\\ModbusComm\\", u"intermsgdelay to"),
              9u);
    EXPECT_FALSE(settings::GetDword(Hive::LocalMachine, COMM_TUNABLES_KEY, u"Name"));
    EXPECT_FALSE(settings::GetDword(Hive::LocalMachine, COMM_TUNABLES_KEY, u"Missing"));
    EXPECT_FALSE(settings::GetDword(Hive::LocalMachine, u"Software\\Norvane\\Missing\\Deeper", u"x"));
    EXPECT_TRUE(settings::KeyExists(Hive::LocalMachine, COMM_TUNABLES_KEY));
    EXPECT_FALSE(settings::KeyExists(Hive::CurrentUser, COMM_TUNABLES_KEY));
    EXPECT_EQ(counter.Count(), 0u);
}

TEST_F(LookupAllocationTest, TunableReadsAllocateNothingWhenTheyLookTheValueUp)
{
    ASSERT_TRUE(settings::SetDword(Hive::LocalMachine, COMM_TUNABLES_KEY, u"InterMsgDelay TO", 4));
    EXPECT_EQ(ReadCommTunable(CommTunable::InterMsgDelayTO), 4u); // the hive is loaded here
    ASSERT_TRUE(settings::SetDword(Hive::LocalMachine, COMM_TUNABLES_KEY, u"InterMsgDelay TO", 3));
    const AllocationCounter counter;
    EXPECT_EQ(ReadCommTunable(CommTunable::InterMsgDelayTO), 3u); // looked up: the store changed
    EXPECT_EQ(ReadCommTunable(CommTunable::InterMsgDelayTO), 3u);
    EXPECT_EQ(GetRetryCount(), 3);
    EXPECT_EQ(counter.Count(), 0u);
}

} // namespace
