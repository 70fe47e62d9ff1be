// The whole firmware on a fresh simulated board, with the user interface watched: the screens
// as they are shown, what the child sees, the requests the screens send to the core, and a
// finger and a key source for the screens.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "board_child.h"
#include "gui/User/modelUserData.h"
#include "simkernel.h"

namespace screenstest {

constexpr int W = 272;
constexpr int H = 480;

// The frame loop's period: one frame after every vertical sync.
constexpr simk::Time kFrame = simk::kS / 60;

// Runs the firmware from power-on for `duration`; `setup` schedules what happens (with at()).
// Every screen shown is noted "screen NAME"; with `recordRequests` every user request the
// screens send is noted as "request" and what it carries.
boardtest::Result runFirmware(const std::function<void()>& setup, simk::Time duration,
                              bool recordRequests = true);

// In the child: `fn` runs as a board event at virtual time `t`.
void at(simk::Time t, std::function<void()> fn);

// In the child: the finger on the panel, in the coordinates of the picture the child sees
// (the portrait layout upright); a tap holds it for two frames.
void press(int x, int y);
void release();
void tap(simk::Time t, int x, int y);
// In the child: a key code for the screen (113 is the character q).
void key(simk::Time t, std::uint8_t code);

// In the child: a screen request put into the model's queue, as the core sends them.
void sendPage(PageSelectEnum page, std::uint32_t pageNumber = 0);

// In the child: the model's selection, noted as "model folder F page P".
void noteModel();

// In the child: the picture the child sees now (RGB, rows from the top, 272 x 480): the frame
// buffer turned by 180 degrees, as the panel is mounted.
std::vector<std::uint8_t> childView();
// A short hash of a picture, for comparing frames.
std::string hashOf(const std::vector<std::uint8_t>& rgb);
// Pixel (x, y) of a picture as 0xRRGGBB.
std::uint32_t pixel(const std::vector<std::uint8_t>& rgb, int x, int y);

// A stick with the given root folders (each with `subfolders` playback folders of one short
// track), made once per set of names.
std::string stickWith(const std::vector<std::string>& rootFolders, int subfolders = 1);

}  // namespace screenstest
