#pragma once

#include <windows.h>

#include "cadstandin/drawing_window.h"

// How the window shows a table: a grid with each cell's text as formatted text, merged cells as one.

namespace cadstandin {

// The table's rectangle in client coordinates (its top left at the entity's position), from the grid
// laid out for the texts it shows.
[[nodiscard]] RECT TableBounds(HDC dc, const EntityState& table);

// Draws the table: its grid in the table's colour, each shown cell's formatted text (a merge's from
// its top left cell, centred over the merge), a block cell as a block symbol with its block's name,
// fields and formulas on a grey background as the CAD application shows them.
void DrawTable(HDC dc, const EntityState& table, COLORREF gridColor);

}  // namespace cadstandin
