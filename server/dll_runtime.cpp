// What the DLL takes from the static C++ run-time library, kept to what it uses.
//
// The library's containers report a failure through one of its __throw_*
// functions, and all of them live in one object file. Linking that file brings
// in every standard exception type with its message string, the reference-counted
// string of the old ABI they carry, and their formatting: about 85 KB of a DLL
// that every visitor's browser downloads. Inside the DLL every failure ends at
// the failure barrier (platform/failure_barrier.h), which answers a string that
// would outgrow its limits as it answers exhausted memory (E_OUTOFMEMORY), and
// any other exception with E_UNEXPECTED. The functions below raise exceptions
// that the barrier answers exactly as it answers the library's own.
//
// This file is linked into the DLL alone, never into a library that test programs
// or tools link: a program that calls one of the library's other __throw_*
// functions pulls in the library's object file, and the linker then stops on the
// functions defined twice. The same stop meets the DLL the day its code calls a
// function this file does not define; define it here the same way.
#include <cstdlib>
#include <exception>
#include <new>
#include <string>

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }

void __throw_bad_array_new_length() { throw bad_array_new_length(); }

// A text longer than the container's largest size: no room for it, as the
// barrier sees it.
void __throw_length_error(const char*) { throw bad_alloc(); }

// A position past the end of a text (a checked substring or element access): an
// exception the barrier answers as unexpected, as it answers std::out_of_range.
void __throw_out_of_range_fmt(const char*, ...) { throw exception(); }

}  // namespace std

namespace __gnu_cxx {

// Called when an exception cannot be handled (one that leaves a noexcept function).
// The library's handler writes the exception's demangled type name to the standard
// error stream, which a browser does not have, and draws the whole demangler
// (about 45 KB) into the DLL; the process ends the same way, by abort().
void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
