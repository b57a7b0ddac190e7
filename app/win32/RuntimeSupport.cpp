// Setup.exe's own versions of two C++ runtime hooks of the statically linked libstdc++.
//
// The library's versions are correct but heavy for a small GUI program:
//  - the default terminate handler prints the type of an uncaught exception to stderr (which a GUI
//    program does not have) and for that links the whole C++ name demangler (about 50 KB);
//  - the helpers through which containers and strings report errors (std::__throw_length_error and
//    its siblings) all live in one library object that builds std::logic_error and friends from
//    reference-counted strings, which links a second string implementation, std::random_device and
//    a formatter (about 60 KB).
// Defining them here keeps those objects out of the link. The program catches these errors only
// with catch (...), so the type of what is thrown does not change its behaviour. Should a newer
// libstdc++ need a helper that is missing here, its library object comes back and the link fails
// with "multiple definition" errors: then add that helper.
#include <cstdlib>
#include <exception>
#include <new>

namespace {

// What a container or string error throws: the library's message, nothing else.
class LibraryError : public std::exception {
public:
    explicit LibraryError(const char* message) noexcept : message_(message ? message : "") {}
    const char* what() const noexcept override { return message_; }

private:
    const char* message_;
};

}  // namespace

namespace __gnu_cxx {
// std::terminate without the message nobody can read: the process ends as abort() ends it.
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_function_call() { throw LibraryError("bad function call"); }
void __throw_length_error(const char* message) { throw LibraryError(message); }
void __throw_logic_error(const char* message) { throw LibraryError(message); }
void __throw_invalid_argument(const char* message) { throw LibraryError(message); }
void __throw_out_of_range(const char* message) { throw LibraryError(message); }
// The format's arguments (index and size) are left out of the message.
void __throw_out_of_range_fmt(const char* format, ...) { throw LibraryError(format); }
void __throw_system_error(int) { throw LibraryError("system error"); }
}  // namespace std
