// The whole firmware on a fresh simulated board, with the user interface watched from inside:
// the screens shown, the requests the screens send to the core, screen requests put into the
// model's queue as the core sends them, taps and key codes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "board_child.h"
#include "gui/User/modelUserData.h"
#include "simkernel.h"

namespace screenstest {

// Runs the firmware from power-on for `duration`; `setup` schedules what happens (with at()).
// Once the first screen is shown, every user request the screens send is noted as "request"
// and what it carries (a settings change: its whole record, parentSettingsText). The screens
// shown are the trace's `screen` events (screens()).
boardtest::Result runFirmware(const std::function<void()>& setup, simk::Time duration);
// The names of the screens shown, in order, one a line.
std::string screens(const boardtest::Result& r);

using boardtest::at;

// In the child: a tap at (x, y) of the picture the child sees, and a key code for the screen
// (113 is the character q), at time t.
void tap(simk::Time t, int x, int y);
void key(simk::Time t, std::uint8_t code);

// In the child: a screen request put into the model's queue, as the core sends them.
void sendPage(PageSelectEnum page, std::uint32_t pageNumber = 0);

// A settings record as "maxvol=M 3d=D boost=B eq=G1,G2,G3,G4,G5 resume=0|1".
std::string parentSettingsText(const ModelParentsSettings& s);

// In the child: the model's selection, noted as "model folder F page P".
void noteModel();

// In the child: how the panel shows the layout the screen drew (the framework's canvas) to
// the child, noted as "NAME upright", "NAME upside down" or "NAME garbled".
void noteOrientation();

// A stick of our builder with the given root folders (each with `subfolders` playback folders
// of one short track), made once per set of names.
std::string stickWith(const std::vector<std::string>& rootFolders, int subfolders = 1);

}  // namespace screenstest
