#pragma once
// The program's one question about Wine. Each use says what Windows does instead; nothing
// else in the program may tell the two apart.

/// True when the program runs under Wine: its ntdll exports wine_get_version, Windows' does
/// not.
bool IsWine();
