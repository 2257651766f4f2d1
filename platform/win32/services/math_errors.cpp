#include "math_errors.h"

#include <math.h>

// An exception thrown here would have to unwind through the C runtime's math routines, which carry
// no unwind tables, and would end the process. So the hook only takes the error off the runtime's
// hands; the engine's checked math path throws as soon as it sees the result.
extern "C" int __cdecl _matherr(struct _exception* /*error*/) { return 1; }

void InstallMathErrorHook() { __mingw_setusermatherr(&_matherr); }
