// The gallery's digit shapes: ten glyphs of 6 columns by 8 rows, '#' for a stroke pixel.
// A label cell is 7 columns wide; its glyph sits at cell rows 1..8 and columns 1..6.
#pragma once

namespace v3d::gallery {

inline constexpr int kGlyphRows = 8;
inline constexpr int kGlyphColumns = 6;
inline constexpr int kCellWidth = 7;

// kDigits[d][row][column]
inline constexpr char kDigits[10][kGlyphRows][kGlyphColumns + 1] = {
    {".####.", "#....#", "#...##", "#..#.#", "#.#..#", "##...#", "#....#", ".####."},
    {"..##..", ".###..", "..##..", "..##..", "..##..", "..##..", "..##..", ".####."},
    {".####.", "#....#", ".....#", "....#.", "..##..", ".#....", "#.....", "######"},
    {".####.", "#....#", ".....#", "..###.", ".....#", ".....#", "#....#", ".####."},
    {"....#.", "...##.", "..#.#.", ".#..#.", "#...#.", "######", "....#.", "....#."},
    {"######", "#.....", "#.....", "#####.", ".....#", ".....#", "#....#", ".####."},
    {"..###.", ".#....", "#.....", "#####.", "#....#", "#....#", "#....#", ".####."},
    {"######", ".....#", "....#.", "...#..", "..#...", "..#...", "..#...", "..#..."},
    {".####.", "#....#", "#....#", ".####.", "#....#", "#....#", "#....#", ".####."},
    {".####.", "#....#", "#....#", "#....#", ".#####", ".....#", "....#.", ".###.."},
};

inline constexpr bool stroke(int digit, int row, int column) {
  return kDigits[digit][row][column] == '#';
}

}  // namespace v3d::gallery
