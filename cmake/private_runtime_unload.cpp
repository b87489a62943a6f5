// Linked into every shared library that carries its own copy of the C++ runtime (see
// qv_private_cxx_runtime): that copy's emergency exception buffer is given back when a host unloads
// the library, which would otherwise lose it at every dlclose.
namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace {
__attribute__((destructor)) void releasePrivateRuntime() { __gnu_cxx::__freeres(); }
} // namespace
