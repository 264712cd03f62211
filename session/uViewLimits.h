// How much the views keep, so that a device sending without pause cannot fill the memory:
// the memos keep their last lines only, and text that would scroll out before anyone saw it
// is never drawn. The main window's memos use it; the terminal's limits live with its walk.
// Qt-free.
#pragma once

#include <cstdint>
#include <string>

// The events and modem memos keep this many lines: the events of a long session, as the running
// record of it, within a bounded memory (the window benchmark measures the peak under a flood).
constexpr int32_t MemoLines = 1000000;
// Nor more than this many bytes of lines each (their text and a few bytes a line): both memos
// full stay within the memory the window may add.
constexpr int64_t MemoBytes = 24 << 20;
// A memo line is broken at this many bytes, as the terminal's are, so that text which never
// ends a line still goes line by line within MemoBytes and one line never takes long to draw.
constexpr int64_t MemoLineBytes = 4096;

// The part of Text a memo keeping its last Lines lines would still show once Text is
// appended: everything from the Lines-th last line break on, that break included, so the kept
// text still starts a line of its own (CR LF, a lone CR or a lone LF each count once, as the
// memo breaks lines). Text with fewer breaks comes back whole. Lines below 1 counts as 1.
std::string KeepLastLines(const std::string& Text, int32_t Lines);

// The line a view shows where Bytes of its text were dropped: "[12345 bytes dropped]".
std::string DroppedNotice(int64_t Bytes);
