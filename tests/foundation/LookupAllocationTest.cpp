// What a transaction reads before every attempt must not allocate: the tunables and the settings
// lookups under them. The whole binary's operator new (every form but the aligned ones, which keep
// their own pairing) is replaced by one that counts, on the thread that asks, the allocations made
// while a counter is alive.
#include <cstdlib>
#include <new>

#include <gtest/gtest.h>

#include "foundation/CommTimeouts.h"
#include "platform/SettingsStore.h"
#include "tests/support/TestEnvironment.h"

namespace
{

thread_local bool t_counting = false;
thread_local unsigned t_allocations = 0;

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

void* Allocate(std::size_t size)
{
    if (t_counting)
        ++t_allocations;
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

namespace
{

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
