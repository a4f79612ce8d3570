// The step-failing loop: a run of the engine is made once to count its
// system calls, then once for every call k with call k failing with an error
// that call can really give, and once more for every k with the writer
// stopped dead right after call k. A check after each run looks at what is
// left. Any program over the engine can be run so.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "filesafe.h"

namespace filesafe::test {

// What one run was made to suffer.
struct Step {
    int index = 0;              // the call, from 1
    Call call = Call::kCreate;  // its kind
    int error = 0;              // the error it failed with; 0 when the writer stopped there
};

// An error call can really give, errno or the Windows code; varied by k.
int RealisticError(Call call, int k);

// Counts the calls of run (its result is not looked at). Every loop takes a
// hook that stays in force throughout (for a failure that drives the run down
// another path, a recovery say); its failing calls are not counted.
int CountCalls(const std::function<bool()>& run, const CallHook& always = {});

// Runs setup, then run with call k failing, for every k of the count; check
// sees the step and run's result after each.
void FailEveryStep(const std::function<void()>& setup, const std::function<bool()>& run,
                   const std::function<void(const Step&, bool)>& check, const CallHook& always = {});

// Runs setup, then run in a writer stopped dead right after call k (a child
// process that ends there without any cleanup), for every k of the count;
// check sees the step after each.
void StopAtEveryStep(const std::function<void()>& setup, const std::function<bool()>& run,
                     const std::function<void(const Step&)>& check, const CallHook& always = {});

}  // namespace filesafe::test
