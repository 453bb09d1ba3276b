#pragma once

#include "core/BenchState.h"

#include <QString>

#include <exception>
#include <functional>

namespace psucal {

// A page goes on to its end whatever its procedure throws; the failure is reported through
// FailText and AbortFlag like any other.
inline void RunProcedure(BenchState& state, const std::function<void()>& procedure)
{
    try {
        if (procedure)
            procedure();
    } catch (const std::exception& e) {
        if (state.FailText.isEmpty())
            state.FailText = QString::fromLocal8Bit(e.what());
        state.AbortFlag = true;
    }
}

} // namespace psucal
