// The exported functions of a shared library with a C interface run their bodies through
// catchAtBoundary. Such a library may carry its own hidden copy of the C++ runtime
// (qv_private_cxx_runtime): an exception that left it would reach a caller whose runtime, if it
// has one, cannot catch it, and the process would abort. Any exception (in practice
// std::bad_alloc) becomes the failure result the function's interface already has for the case.
// Inside a library the same call ends a step early where what was already done must stand: a
// device opened around the step is closed after it, a rename that took effect is not reported
// as failed.
#pragma once

#include <cxxabi.h>
#include <type_traits>
#include <utility>

namespace qv {

// The body's result, or `failure` converted to its type when the body throws.
template <class Failure, class Body>
std::invoke_result_t<Body> catchAtBoundary(Failure failure, Body&& body)
{
    using Result = std::invoke_result_t<Body>;
    try {
        return std::forward<Body>(body)();
    } catch (abi::__forced_unwind&) {
        throw;   // a cancelled thread unwinds on; swallowing the unwind would abort
    } catch (...) {
        return static_cast<Result>(failure);
    }
}

// For the functions that return nothing: an exception ends the call.
template <class Body>
void catchAtBoundary(Body&& body)
{
    try {
        std::forward<Body>(body)();
    } catch (abi::__forced_unwind&) {
        throw;
    } catch (...) {
    }
}

} // namespace qv
