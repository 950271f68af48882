#include "sysinfo/CpuClock.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <pthread.h>
#include <sched.h>

#if defined(__i386__) || defined(__x86_64__)
#include <x86intrin.h>
#define LUMEO_HAVE_TSC 1
#endif

namespace {

// To the nearest integer, a tie to the even one.
std::uint32_t roundEven(double value) { return value <= 0 ? 0 : std::uint32_t(std::nearbyint(value)); }

// A counter that stops advancing would spin forever; no real sample needs
// anything near this many reads.
constexpr long kMaxReadsPerSpin = 200'000'000;

} // namespace

ClockRounding roundClock(std::uint32_t cycles, std::uint32_t microseconds)
{
    ClockRounding r;
    if (microseconds == 0)
        return r;
    const double u = microseconds;
    // The products wrap at 32 bits, as the counts do.
    std::int64_t x10 = roundEven(double(std::uint32_t(cycles * 10u)) / u);
    const std::int64_t x100 = roundEven(double(std::uint32_t(cycles * 100u)) / u);
    if (x100 - 10 * x10 >= 6)
        ++x10;
    r.raw = roundEven(double(cycles) / u);
    r.normalised = r.raw + (x10 - 10 * std::int64_t(r.raw) >= 6 ? 1 : 0);
    return r;
}

std::uint32_t snapClock(std::uint32_t mhz)
{
    static const std::uint32_t steps[] = {0, 20, 33, 50, 60, 66, 80, 90, 100};
    const std::uint32_t r = mhz % 100;
    std::size_t i = 1;
    while (steps[i] <= r)
        ++i;
    const std::uint32_t lower = steps[i - 1];
    return r - lower < steps[i] - r ? mhz - r + lower : mhz - r + steps[i];
}

ClockMeasurement measureClock(CpuClock &clock)
{
    ClockMeasurement m;
    const std::int64_t frequency = clock.counterFrequency();
    if (frequency <= 0)
        return m;
    const double ticksPerTenthSecond = double(std::uint32_t(frequency)) / 10;
    std::int64_t f1 = 0, f2 = 0, f3 = 0, s = 0;
    auto unsteady = [&] {
        return std::llabs(3 * f1 - s) > 3 || std::llabs(3 * f2 - s) > 3 || std::llabs(3 * f3 - s) > 3;
    };
    // Reads the counter and then the time-stamp counter until the counter
    // is `ticks` past `from`; false when it never gets there.
    auto spin = [&clock](std::int64_t from, std::int64_t ticks, std::int64_t &counter, std::uint64_t &stamp) {
        for (long reads = 0; reads < kMaxReadsPerSpin; ++reads) {
            counter = clock.counter();
            stamp = clock.timestamp();
            if (counter - from >= ticks)
                return true;
        }
        return false;
    };
    while (m.samples < 3 || (m.samples < 20 && unsteady())) {
        ++m.samples;
        f3 = f2;
        f2 = f1;
        std::int64_t t0 = clock.counter(), t1 = 0;
        std::uint64_t s0 = 0, s1 = 0;
        const bool raised = clock.raisePriority();
        const bool done = spin(t0, 50, t0, s0) && spin(t0, 1000, t1, s1);
        if (raised)
            clock.restorePriority();
        if (!done)
            return ClockMeasurement{};
        const std::uint32_t cycles = std::uint32_t(s1) - std::uint32_t(s0);
        const std::uint32_t ticks = std::uint32_t(t1) - std::uint32_t(t0);
        const std::uint32_t us = roundEven(double(std::uint32_t(ticks * 100000u)) / ticksPerTenthSecond);
        m.cycles += cycles;
        m.microseconds += us;
        f1 = us ? roundEven(double(cycles) / us) : 0;
        s = f1 + f2 + f3;
    }
    const ClockRounding r = roundClock(m.cycles, m.microseconds);
    m.raw = r.raw;
    m.normalised = snapClock(r.normalised);
    return m;
}

struct SystemCpuClock::Saved {
    int policy = SCHED_OTHER;
    sched_param param{};
    cpu_set_t affinity{};
    bool pinned = false;
};

SystemCpuClock::SystemCpuClock() : m_saved(std::make_unique<Saved>()) {}

SystemCpuClock::~SystemCpuClock() = default;

std::int64_t SystemCpuClock::counterFrequency()
{
#ifdef LUMEO_HAVE_TSC
    return 10'000'000;
#else
    return 0; // no time-stamp counter to measure
#endif
}

std::int64_t SystemCpuClock::counter()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 10'000'000 + ts.tv_nsec / 100;
}

std::uint64_t SystemCpuClock::timestamp()
{
#ifdef LUMEO_HAVE_TSC
    return __rdtsc();
#else
    return 0;
#endif
}

bool SystemCpuClock::raisePriority()
{
    const pthread_t self = pthread_self();
    if (pthread_getschedparam(self, &m_saved->policy, &m_saved->param) != 0)
        return false;
    // Both are best effort: without the privilege the sample runs as it is.
    sched_param top{};
    top.sched_priority = sched_get_priority_max(SCHED_FIFO);
    pthread_setschedparam(self, SCHED_FIFO, &top);
    // The two counters are compared on one processor.
    m_saved->pinned = false;
    const int cpu = sched_getcpu();
    if (cpu >= 0 && pthread_getaffinity_np(self, sizeof m_saved->affinity, &m_saved->affinity) == 0) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        m_saved->pinned = pthread_setaffinity_np(self, sizeof one, &one) == 0;
    }
    return true;
}

void SystemCpuClock::restorePriority()
{
    const pthread_t self = pthread_self();
    pthread_setschedparam(self, m_saved->policy, &m_saved->param);
    if (m_saved->pinned)
        pthread_setaffinity_np(self, sizeof m_saved->affinity, &m_saved->affinity);
}
