// Stand-in for the macOS SDK's header: the types and calls VARNO uses.
#pragma once
#ifdef __cplusplus
extern "C" {
#endif
typedef const void* CFTypeRef;
typedef const struct __CFURL* CFURLRef;
typedef struct __CFError* CFErrorRef;
typedef const struct __CFString* CFStringRef;
void CFRelease(CFTypeRef cf);
#ifdef __cplusplus
}
#endif
