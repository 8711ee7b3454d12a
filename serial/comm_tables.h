#pragma once
// Conversions between the component's enumerations and the DCB / EV_ values. Pure
// functions: the properties of TComm are thin wrappers around them.

#include <cstdint>

#include "serial/comm_types.h"

/// DCB BaudRate of a TBaudRate; 0 for an ordinal outside the table.
uint32_t BaudRateToDcb(TBaudRate rate);
/// TBaudRate of a DCB BaudRate; any rate not in the table (0 included) gives cbr256000.
TBaudRate BaudRateFromDcb(uint32_t baud);
/// True for ordinals cbr110..cbr256000.
bool IsValidBaudRate(TBaudRate rate);

/// True for the ordinals of the enumerations (cpNONE..cpSPACE, csbONE..csbTWO,
/// cfcNone..cfcXonXoff); a setter ignores any other value.
bool IsValidParity(TParity parity);
bool IsValidStopBits(TStopBits stopBits);
bool IsValidFlowControl(TFlowControl flow);

/// DCB Parity of a TParity.
uint8_t ParityToDcb(TParity parity);
/// TParity of a DCB Parity: 1..4 give cpODD..cpSPACE, anything else cpNONE.
TParity ParityFromDcb(uint8_t parity);

/// DCB StopBits of a TStopBits.
uint8_t StopBitsToDcb(TStopBits stopBits);
/// TStopBits of a DCB StopBits: 0 csbONE, 1 csbONE5, anything else csbTWO.
TStopBits StopBitsFromDcb(uint8_t stopBits);

/// Flag word after writing `flow` into `flags`: clears the flow-control fields (keeps
/// only the mask 0x4C83), then ors in 0x0011, 0x2015 or 0x0311.
uint32_t ApplyFlowControl(uint32_t flags, TFlowControl flow);
/// cfcHardware if bit 13 (upper bit of fRtsControl) is set, else cfcXonXoff if fOutX and
/// fInX are both set, else cfcNone.
TFlowControl FlowControlFromFlags(uint32_t flags);

/// EV_ bits of a TEventMask (bits above cevTXEMPTY are dropped).
uint32_t EventMaskToEv(TEventMask mask);
/// TEventMask of EV_ bits (bits not in the table are dropped).
TEventMask EventMaskFromEv(uint32_t ev);

/// How long a write of `count` bytes may take at `baud` before it is given up: twice the
/// line time of 11-bit frames plus two seconds of slack (a rate of 0 counts as 110).
uint32_t WriteDeadlineMs(int32_t count, uint32_t baud);
