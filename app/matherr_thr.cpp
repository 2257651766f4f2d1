// The math-error hook: a domain or range error of the run-time library's math functions becomes the
// text exception "matherror occured", which the saver window reports in its Retry/Cancel box.
#include "owlscrn25.h"

#ifdef _WIN32
#include <math.h>

extern "C" int __cdecl _matherr(struct _exception* /*error*/) { throw "matherror occured"; }

// The CRT calls the hook it was given at start-up; naming it here also keeps this definition in the
// program rather than the library's default one.
void InstallMathErrorHook() { __mingw_setusermatherr(&_matherr); }
#else
// Linux's math library has no such hook: the engine's math calls go through its checked path,
// which raises the same exception.
void InstallMathErrorHook() {}
#endif
