// Math-library errors inside a simulation step end the step with the text exception "matherror
// occured" (the engine's checked math raises it when a result is not a number).
#pragma once

// Where the run-time library reports math errors through a hook of its own, takes them off its
// hands so the failing function returns its NaN or infinity; elsewhere does nothing.
void InstallMathErrorHook();
