// Tags around the audio of an MP3 file, recognised from a few of its bytes: an ID3v2 tag at
// its start (skipped before decoding) and an ID3v1 tag and an APEv2 tag at its end (not read,
// so that a track ends with its last frame). Pure functions, so that they can be fuzzed alone.
#pragma once

#include <cstddef>
#include <cstdint>

// The bytes of an ID3v2 header: "ID3", version, flags, a 28-bit size in four 7-bit bytes.
constexpr uint32_t ID3V2_HEADER_BYTES = 10;

// Where the audio begins after an ID3v2 tag at the very start of a file, from its first
// `length` bytes: the tag's size plus its header; 0 when they hold no whole ID3v2 header
// (fewer than 10 bytes, or not "ID3"). The version and flags are not looked at.
uint32_t id3v2TagEnd(const uint8_t* head, size_t length);

// The bytes at the end of a file that hold the appended tags: an ID3v1 tag (128 bytes from
// "TAG") and an APEv2 footer (32 bytes from "APETAGEX") before it, or the footer alone.
constexpr uint32_t TAG_TAIL_BYTES = 160;

// Where the audio ends before the appended tags, for a file whose last TAG_TAIL_BYTES bytes are
// `tail`, whose audio (after a leading tag) starts at `audioStart` and which is `fileSize` bytes
// long, at least audioStart + TAG_TAIL_BYTES. An APEv2 tag that would reach before audioStart is
// not believed.
uint32_t audioEndBeforeTags(const uint8_t* tail, uint32_t fileSize, uint32_t audioStart);
