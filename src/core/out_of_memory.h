// The one out-of-memory handler at the top of `main` and of every worker.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <string_view>

#include "core/messages.h"

namespace core {

// Runs `work`; when memory runs out anywhere below it, `show` receives the out-of-memory text
// and the process ends with `exitCode`: 0 for the wizard, as it always did; dravik-cli gives its
// own code, so that a script never takes a run cut short for a finished one.
template <typename Work, typename Show>
auto RunGuardedAgainstOom(Work&& work, Show&& show, int exitCode = 0) -> decltype(work())
{
    try {
        return std::forward<Work>(work)();
    } catch (const std::bad_alloc&) {
        std::forward<Show>(show)(msg::kOutOfMemory);
        std::fflush(nullptr);
        std::_Exit(exitCode);
    }
}

}  // namespace core
