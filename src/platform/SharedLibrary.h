#pragma once

#include <dlfcn.h>
#include <string>
#include <utility>

namespace qarvel::platform {

// A library opened by its file name at run time, for the few calls the
// program makes into one it need not keep mapped, or one that Qt's plug-ins
// load and the program is not linked with. The library is closed when this
// goes (the loader counts the holders), unless keepLoaded() was called.
class SharedLibrary {
public:
    // `flags` as dlopen takes them: RTLD_NOW or RTLD_LAZY, with RTLD_LOCAL or
    // RTLD_NOLOAD (only a library that is loaded already).
    SharedLibrary(const char* name, int flags) : handle_(dlopen(name, flags)) {
        if (handle_ == nullptr) {
            const char* why = dlerror();
            error_ = why != nullptr ? why : std::string(name) + ": cannot be loaded";
        }
    }
    ~SharedLibrary() {
        if (handle_ != nullptr) {
            dlclose(handle_);
        }
    }
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;
    SharedLibrary(SharedLibrary&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}
    SharedLibrary& operator=(SharedLibrary&&) = delete;

    [[nodiscard]] bool loaded() const { return handle_ != nullptr; }
    // Why the library could not be opened; empty when it was.
    [[nodiscard]] const std::string& error() const { return error_; }

    // Sets `function` to the library's function `name`; false (and null) when
    // the library is not loaded or has no such function.
    template <class F> bool find(F& function, const char* name) const {
        function = handle_ != nullptr ? reinterpret_cast<F>(dlsym(handle_, name)) : nullptr;
        return function != nullptr;
    }

    // The library stays loaded for the rest of the run (for libraries that
    // register types or callbacks that cannot be taken back).
    void keepLoaded() { handle_ = nullptr; }

private:
    void* handle_;
    std::string error_;
};

} // namespace qarvel::platform
