// How the stand-in host SDK marks what it exports. The SDK is a DLL of its
// own (selvosdk.dll); modules and the host program import from it.
#pragma once

#ifdef SELVOSDK_BUILDING
#define SELVOSDK_API __declspec(dllexport)
#else
#define SELVOSDK_API __declspec(dllimport)
#endif
