// WAYFIND_EXPORT marks what the installed libraries offer a host. Everything else
// in them is built hidden (-fvisibility=hidden), so a host links against these
// headers and nothing more: the library's internals may change between releases
// of the same major version without breaking a host.
#pragma once

#if defined(WAYFIND_BUILDING_API)
#define WAYFIND_EXPORT __attribute__((visibility("default")))
#else
#define WAYFIND_EXPORT
#endif
