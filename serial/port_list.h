#pragma once
// The system's serial ports as "COM<n>" names, in the order the port search walks them,
// and which of them are Bluetooth links: one twin per platform (port_list_posix.cpp,
// port_list_win32.cpp), which SystemPorts (system_ports.h) offers the program;
// serial/README.md says how POSIX devices are numbered.

#include <string>
#include <vector>

/// Names "COM<n>" (characters 4.. hold the number), in a stable order: on Windows the
/// order of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, on POSIX ascending port number. Empty
/// when there are none.
std::vector<std::string> ListSerialPorts();

/// True when COM `port` is a Bluetooth serial link, whose radio connection is made when the
/// port is opened and takes seconds. Windows: its HARDWARE\DEVICEMAP\SERIALCOMM value name
/// begins with \Device\BthModem. POSIX: its device is an rfcomm tty (character major 216),
/// or its entry is a symbolic link to a name rfcomm<k> (how a port folder marks a stand-in
/// on a pseudo-terminal as one; fumilink-sim --bluetooth makes such links).
bool IsBluetoothLink(int port);

/// True when COM `port` is a Bluetooth link whose driver holds what is written in the
/// output queue until the link is up, so that the queue running empty after a write says
/// the link is up: an rfcomm tty (the kernel sends nothing before the connection is made);
/// on Windows every Bluetooth port (one that connects inside CreateFile is up once it is
/// open, and a stack whose open returns earlier keeps the bytes queued meanwhile). False for a
/// stand-in (a pty reached through a link named rfcomm<k>), whose queue runs empty at once whether
/// the link is up or not.
bool OutQueueShowsLinkUp(int port);
