// Stand-in for the macOS SDK's header: the C library's functions that take a
// locale, which libc++ calls on a Mac. The C library here supplies the rest.
#pragma once
#include <ctype.h>
#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
// A Mac's are functions; these are macros here that read into the locale.
#undef isdigit_l
#undef isxdigit_l
#ifdef __cplusplus
extern "C" {
#endif
int snprintf_l(char*, size_t, locale_t, const char*, ...);
int sscanf_l(const char*, locale_t, const char*, ...);
int asprintf_l(char**, locale_t, const char*, ...);
#ifdef __cplusplus
}
#endif
