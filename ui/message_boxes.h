#pragma once
// The program's two modal message boxes.

#include <QString>
#include <functional>

enum class MessageKind { Error, Info };

/// Modal box titled "Fehler" with the error icon and one "OK" button; returns when closed.
void ShowErrorBox(const QString& message);
/// Modal box titled "Informationen" with the information icon and one "OK" button.
void ShowInfoBox(const QString& message);

/// Replaces the boxes (tests, headless runs): while a hook is set it is called instead of
/// showing a box. An empty function restores the real boxes.
using MessageBoxHook = std::function<void(MessageKind, const QString&)>;
void SetMessageBoxHook(MessageBoxHook hook);
