// What the shared library exports: the library is built with hidden
// symbols, and only the declarations marked XRDCALC_API are its interface.
#pragma once

#define XRDCALC_API __attribute__((visibility("default")))
