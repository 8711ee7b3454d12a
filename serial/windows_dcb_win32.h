#pragma once
// windows.h for the serial back end. The system's DCB and ours (serial/dcb.h) share name
// and layout: the system's is read as Win32Dcb, and filled from ours byte for byte.

#define DCB Win32Dcb
#include <windows.h>
#undef DCB

#include "serial/dcb.h"

static_assert(sizeof(Win32Dcb) == sizeof(DCB), "our DCB must match the system's");
