#pragma once

#include <cstdint>
#include <memory>

// The two clocks the processor's frequency is measured with: a
// high-resolution performance counter and the processor's time-stamp
// counter. Tests run the measurement on made-up clocks.
class CpuClock {
public:
    virtual ~CpuClock() = default;
    // Counts per second of the performance counter; 0 when there is none.
    virtual std::int64_t counterFrequency() = 0;
    virtual std::int64_t counter() = 0;
    virtual std::uint64_t timestamp() = 0;
    // Runs the thread at the highest priority it can get; false when its
    // priority cannot even be read, and there is then nothing to restore.
    virtual bool raisePriority() = 0;
    virtual void restorePriority() = 0;
};

// The monotonic clock presented as a 10 MHz performance counter, RDTSC
// (on x86), and real-time scheduling on the current processor as far as
// the system allows it.
class SystemCpuClock : public CpuClock {
public:
    SystemCpuClock();
    ~SystemCpuClock() override;
    std::int64_t counterFrequency() override;
    std::int64_t counter() override;
    std::uint64_t timestamp() override;
    bool raisePriority() override;
    void restorePriority() override;

private:
    struct Saved;
    std::unique_ptr<Saved> m_saved;
};

struct ClockMeasurement {
    std::uint32_t raw = 0;        // MHz
    std::uint32_t normalised = 0; // MHz, snapped to a customary clock
    std::uint32_t cycles = 0;     // time-stamp counts over all samples
    std::uint32_t microseconds = 0;
    int samples = 0;
};

// Measures the clock: samples of 1000 counter ticks each, at least 3 and
// at most 20, until the last three agree. All zero without a counter.
ClockMeasurement measureClock(CpuClock &clock);

// The MHz of the totals, rounded up from .6 on in two steps of precision;
// returns raw and normalised (before snapping).
struct ClockRounding {
    std::uint32_t raw = 0;
    std::uint32_t normalised = 0;
};
ClockRounding roundClock(std::uint32_t cycles, std::uint32_t microseconds);

// The nearest customary clock: the hundreds and then 0, 20, 33, 50, 60,
// 66, 80 or 90 (732 is 733, 498 is 500, a tie as 710 goes up to 720).
std::uint32_t snapClock(std::uint32_t mhz);
