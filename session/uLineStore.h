// The lines a view keeps: the terminal's, the events' and the modem trace's. Only the last
// Capacity lines are kept (fewer, where a byte budget says so), each with the colour and style of
// its runs, in small blocks of lines so that the oldest go without the rest being moved and what
// they held is given back soon after, and text is only ever added at the end. The views draw the
// lines in sight from here and search here; nothing is laid out in advance. Qt-free.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "session/uTerminalWalk.h"

// Part of a line from Start (a byte index) up to the next run's Start, or the line's end.
struct TTextRun {
  uint32_t Start = 0;
  TTextColor Color = clWindowText;
  TTextStyle Style = TTextStyle::Normal;

  bool operator==(const TTextRun&) const = default;
};

// One line as a view draws it: 8-bit text and its runs. Text before the first run, and a line
// without runs, is window text in the normal style.
struct TLine {
  std::string Text;
  std::vector<TTextRun> Runs;
};

// Lines a view can draw and search: numbered from 0 (the oldest kept) to Count() - 1. Lines
// that went from the front are counted by FirstNumber(), so Index + FirstNumber() names a line
// for as long as it is kept.
class TLineSource {
 public:
  virtual ~TLineSource() = default;
  virtual int64_t Count() const = 0;
  virtual int64_t FirstNumber() const = 0;
  // Fills Out with line Index (0 <= Index < Count()), reusing its buffers.
  virtual void GetLine(int64_t Index, TLine& Out) const = 0;
  // The widest line kept so far in characters, tabs counted as the view shows them; it may
  // stay wider than what is left.
  virtual int64_t Widest() const = 0;
};

class TLineStore : public TLineSource {
 public:
  // A block is closed at this many lines or bytes, whichever comes first.
  static constexpr int32_t BlockLines = 1024;
  static constexpr size_t BlockBytes = 64 << 10;

  // Capacity below 1 counts as 1. With a Budget, the oldest lines also go while the kept
  // lines cost more than Budget bytes, their text and LineCost each; the last line always
  // stays. With a MaxLine, a line that reaches MaxLine bytes is broken before its next byte, so
  // the last line too stays within the budget. An empty store holds one empty line, as an
  // empty page does.
  static constexpr int64_t LineCost = 4;
  explicit TLineStore(int64_t Capacity, int64_t Budget = 0, int64_t MaxLine = 0);
  TLineStore(const TLineStore&) = delete;
  TLineStore& operator=(const TLineStore&) = delete;
  ~TLineStore() override;

  int64_t Count() const override;
  int64_t FirstNumber() const override { return FFirstNumber; }
  void GetLine(int64_t Index, TLine& Out) const override;
  int64_t Widest() const override { return FWidest; }
  int64_t Capacity() const { return FCapacity; }

  std::string_view Text(int64_t Index) const;
  std::span<const TTextRun> Runs(int64_t Index) const;

  // Bytes at the end of the last line, in Color and Style, broken where the line reaches
  // MaxLine. Bytes hold no line breaks (CR and LF are shown as they are, as any other byte).
  void Append(std::string_view Bytes, TTextColor Color = clWindowText,
              TTextStyle Style = TTextStyle::Normal);
  // A new, empty last line; the oldest lines go while more than Capacity are held or they
  // cost more than the budget.
  void BreakLine();
  // Takes back the last character, or the last line break when the last line is empty;
  // nothing when the store holds one empty line.
  void Backspace();
  // One empty line, as at the start; the lines' numbering starts again.
  void Clear();
  // Text whose lines end in CR LF, a lone CR or a lone LF, each one break; a CR LF split
  // between two calls is still one.
  void AppendLines(std::string_view Bytes);
  // The terminal walk's steps.
  void Apply(const std::vector<TTerminalOp>& Ops);

  // All lines' text joined by "\n".
  std::string AllText() const;
  // Bytes held for the lines, roughly: what the store costs.
  int64_t HeldBytes() const;

 private:
  struct TBlock;
  std::deque<std::unique_ptr<TBlock>> FBlocks;
  int64_t FCapacity;
  int64_t FBudget;
  int64_t FMaxLine;
  int64_t FCost = 0;  // of the lines kept: their text and LineCost each
  int32_t FHead = 0;  // lines of the first block that went already
  int64_t FFirstNumber = 0;
  int64_t FWidest = 0;
  int64_t FLastColumns = 0;  // columns of the last line as shown
  bool FAfterCr = false;     // AppendLines' last byte was a CR

  TBlock& Last() { return *FBlocks.back(); }
  void AppendRun(std::string_view Bytes, TTextColor Color, TTextStyle Style);
  const TBlock& BlockOf(int64_t Index, int32_t& Line) const;
  void DropOldest();
  bool Over() const;
  void RecountLastColumns();
};

// Columns a line of Text takes on screen: a tab goes to the next multiple of TabColumns.
constexpr int32_t TabColumns = 8;
int64_t ShownColumns(std::string_view Text, int64_t From = 0);
