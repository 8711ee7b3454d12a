#pragma once
// The program's own artwork: the analyser (a hand-held box with a display) under a round
// Bluetooth badge whose colour tells the connection state at a glance. The main window's
// four connection pictures and the desktop icon are both drawn from it.

#include <QImage>

class QPainter;

/// Connection states, numbered as the main window's pictures (connection<n>.png).
enum class ConnectionState { Start = 0, Error = 1, Standby = 2, Online = 3 };

/// Design size of a connection picture in pixels.
inline constexpr int kConnectionPictureWidth = 32;
inline constexpr int kConnectionPictureHeight = 44;

/// Paints the picture of `state` in design coordinates (32 x 44, origin top left).
void PaintConnectionPicture(QPainter& painter, ConnectionState state);

/// The picture of `state` at its design size, transparent around the motif.
QImage DrawConnectionPicture(ConnectionState state);

/// The program icon at `size` x `size` pixels: the standby picture (blue badge, lit
/// display) scaled to the icon's height and centred, transparent around it.
QImage DrawProgramIcon(int size);
