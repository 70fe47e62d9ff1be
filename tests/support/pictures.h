// Screenshots in tests: reading them, comparing them pixel for pixel with the reference
// pictures kept in tests/screens/ref/, and checking properties (the colour of a region, what
// changed between two pictures).
//
// A reference that is missing fails the test; nothing makes one silently. The script
// scripts/update-reference-pictures runs the tests with SHAPEPLAY_UPDATE_REFERENCES=1, which
// writes the pictures the tests took as the new references. A mismatch writes the picture
// taken (NAME.actual.png) and a difference picture (NAME.diff.png: differing pixels bright
// magenta over a faint grey copy of the reference) into the output folder and names both.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pictures {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // rows from the top, red, green, blue

  // Pixel (x, y) as 0xRRGGBB.
  std::uint32_t at(int x, int y) const;
};

struct Box {
  int x = 0, y = 0, width = 0, height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
  bool operator==(const Box&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Box& b);

// Reads a PNG; fails the calling test (and gives an empty picture) when it cannot.
Picture load(const std::string& path);

// Compares `actual` with the reference NAME.png, pixel for pixel.
::testing::AssertionResult matchesReference(const Picture& actual, const std::string& name);

// Every pixel of `box` is `colour` (each channel within `tolerance`).
::testing::AssertionResult regionIs(const Picture& p, const Box& box, std::uint32_t colour,
                                    int tolerance = 0);
// The share (0..1) of the pixels of `box` that are `colour` (each channel within `tolerance`).
double shareOf(const Picture& p, const Box& box, std::uint32_t colour, int tolerance = 0);

// The smallest box holding every pixel that differs between two pictures of the same size
// (empty when they are the same), and how many pixels differ.
Box changed(const Picture& a, const Picture& b);
std::size_t differing(const Picture& a, const Picture& b);

}  // namespace pictures
