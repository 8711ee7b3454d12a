#pragma once
// Names that assistive tools (screen readers, UI automation) give the main window's
// controls whose text alone does not say what they are: the connection picture, and the
// value fields, which say their quantity with their value ("Abgastemperatur TG 180,1 °C");
// and what they are told when the status changes.

#include <QString>
#include <cstdint>

class QLabel;
struct ChannelInfo;

/// The name of the connection picture while it shows picture `n` (0 start, 1 error,
/// 2 standby, 3 online data): the state of the link.
QString ConnectionPictureName(int n);

/// What a value field of `channel` is called before its value: the quantity in words and
/// the caption beside the field ("Abgastemperatur TG").
QString ValueFieldQuantity(const ChannelInfo& channel);

/// The name of a field showing `shown` for `quantity`; "-", the field without a value,
/// reads "kein Messwert".
QString ValueFieldName(const QString& quantity, const QString& shown);

/// Names `label` after `quantity` and the text it shows now. Every change of the name is
/// an accessibility event, and the display rewrites its fields ten times a second: a
/// field whose value only moves on is renamed at most once a second (a later call brings
/// the newest value), while a value that appears or is lost is told at once.
void NameValueField(QLabel* label, const QString& quantity);
/// The same at the monotonic time `nowMs` (milliseconds).
void NameValueField(QLabel* label, const QString& quantity, std::int64_t nowMs);

/// Tells assistive tools that `status` shows a new text, for a screen reader to say it.
/// Call it once per change: every call is spoken.
void TellNewStatus(QLabel* status);
