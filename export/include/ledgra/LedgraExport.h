// Symbol visibility for Ledgra: everything is hidden unless marked LEDGRA_API.
#pragma once

#if defined(_WIN32)
#if defined(LEDGRA_BUILDING)
#define LEDGRA_API __declspec(dllexport)
#else
#define LEDGRA_API __declspec(dllimport)
#endif
#else
#define LEDGRA_API __attribute__((visibility("default")))
#endif
