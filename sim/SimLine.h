#pragma once
// A simulated line with a converter at its far end, in one line:
//   sim::SimLine s(sim::ConverterConfig::native(5).measuring());
//   runStartUp(s.line(), s.line().clock(), ...);
// The converter's clock starts at the virtual clock's local time unless the
// configuration sets one.
#include <memory>
#include <optional>

#include "Clock.h"
#include "ConverterModel.h"
#include "SimulatedLine.h"

namespace korlin::sim {

class SimLine {
public:
    // On a virtual clock of its own.
    explicit SimLine(ConverterConfig cfg = {}) : own_(std::in_place), clock_(*own_), model_(cfg), line_(clock_, &model_)
    {
        syncClock(cfg);
    }
    // On a virtual clock the caller owns (it must outlive this object).
    SimLine(VirtualClock& clock, ConverterConfig cfg) : clock_(clock), model_(cfg), line_(clock_, &model_)
    {
        syncClock(cfg);
    }
    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    SimulatedLine& line() { return line_; }
    ConverterModel& model() { return model_; }
    VirtualClock& clock() { return clock_; }

private:
    void syncClock(const ConverterConfig& cfg)
    {
        if (!cfg.clock)
            model_.setClock(clock_.localTime(), clock_.nowUs());
    }

    std::optional<VirtualClock> own_;
    VirtualClock& clock_;
    ConverterModel model_;
    SimulatedLine line_;
};

// The same on the heap, for owners that keep it in a member.
inline std::unique_ptr<SimLine> makeSimLine(ConverterConfig cfg = {}) { return std::make_unique<SimLine>(std::move(cfg)); }

} // namespace korlin::sim
