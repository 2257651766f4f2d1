// The math-error hook: a domain or range error of a math function inside a simulation step ends the
// step with the text exception "matherror occured", which the saver window reports.
#include "owlscrn25.h"

#ifdef _WIN32
#include <math.h>

// An exception thrown here would have to unwind through the C runtime's math routines, which carry
// no unwind tables, and would end the process. So the hook only takes the error off the runtime's
// hands; the function returns its NaN or infinity, and the engine's checked math path throws
// "matherror occured" as soon as it sees that result.
extern "C" int __cdecl _matherr(struct _exception* /*error*/) { return 1; }

void InstallMathErrorHook() { __mingw_setusermatherr(&_matherr); }
#else
// Linux's math library has no such hook: the engine's checked math path raises the exception.
void InstallMathErrorHook() {}
#endif
