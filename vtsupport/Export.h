// VTSUPPORT_API marks what the library exports: dllexport while building the
// DLL, dllimport for its users, default visibility on ELF (where everything
// else is hidden). VTSUPPORT_STATIC turns it off for a static build.
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
#define VTSUPPORT_API __attribute__((visibility("default")))
#endif
