/// @file
/// The export attribute of the library's classes and functions.
///
/// Users never write it themselves; it matters when building against a static
/// copy of the library, where `VTSUPPORT_STATIC` must be defined (the CMake
/// package and `vtsupport.pc` of a static build define it).
#pragma once

#if defined(VTSUPPORT_STATIC)
#define VTSUPPORT_API
#elif defined(_WIN32) || defined(__CYGWIN__)
#if defined(VTSUPPORT_BUILDING)
#define VTSUPPORT_API __declspec(dllexport)
#else
#define VTSUPPORT_API __declspec(dllimport)
#endif
#else
/// Marks what the library exports: `__declspec(dllexport)` while the DLL is
/// built, `__declspec(dllimport)` in its users, default visibility on ELF
/// systems (where everything else is hidden), and nothing in a static build
/// (`VTSUPPORT_STATIC`).
#define VTSUPPORT_API __attribute__((visibility("default")))
#endif
