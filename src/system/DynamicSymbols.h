#pragma once

#include <dlfcn.h>

// Looks a function up in a library opened with dlopen, typed as the
// pointer it is stored in. Libraries opened on first use (libcurl,
// libcrypto) resolve each function they need this way.
namespace DynamicSymbols {

template <typename Function>
bool resolve(void* handle, const char* name, Function& into) {
    into = reinterpret_cast<Function>(dlsym(handle, name));
    return into != nullptr;
}

} // namespace DynamicSymbols
