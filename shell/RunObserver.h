#pragma once
// Sees the simulation after every step of a run, with the state lock held,
// before a colony that left its viable range is rebuilt (the rule trace, a
// plot's history and a sweep run's sums are observers).
class Simulation;

class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void AfterStep(const Simulation& simulation) = 0;
};
