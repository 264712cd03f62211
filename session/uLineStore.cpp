#include "session/uLineStore.h"

#include <algorithm>

// Up to BlockLines lines from line number First on: their text back to back, where each starts, and
// their runs. RunStarts stays empty while no line of the block has a run (the memos never have
// any).
struct TLineStore::TBlock {
  int64_t First = 0;
  std::string Text;
  std::vector<uint32_t> Starts;
  std::vector<TTextRun> Runs;
  std::vector<uint32_t> RunStarts;

  int32_t Lines() const { return static_cast<int32_t>(Starts.size()); }
  bool Full() const { return Lines() == BlockLines || Text.size() >= BlockBytes; }
  size_t End(int32_t Line) const { return Line + 1 < Lines() ? Starts[Line + 1] : Text.size(); }
  size_t RunEnd(int32_t Line) const {
    if (RunStarts.empty()) return 0;
    return Line + 1 < Lines() ? RunStarts[Line + 1] : Runs.size();
  }
  void AddLine() {
    Starts.push_back(static_cast<uint32_t>(Text.size()));
    if (!RunStarts.empty()) RunStarts.push_back(static_cast<uint32_t>(Runs.size()));
  }
  // A full block keeps only what it uses.
  void Seal() {
    Text.shrink_to_fit();
    Runs.shrink_to_fit();
  }
};

TLineStore::TLineStore(int64_t Capacity, int64_t Budget, int64_t MaxLine)
    : FCapacity(std::max<int64_t>(Capacity, 1)), FBudget(Budget), FMaxLine(MaxLine) {
  Clear();
}

TLineStore::~TLineStore() = default;

int64_t TLineStore::Count() const {
  const TBlock& last = *FBlocks.back();
  return last.First + last.Lines() - FFirstNumber;
}

const TLineStore::TBlock& TLineStore::BlockOf(int64_t Index, int32_t& Line) const {
  const int64_t number = Index + FFirstNumber;
  const auto after = std::upper_bound(
      FBlocks.begin(), FBlocks.end(), number,
      [](int64_t Number, const std::unique_ptr<TBlock>& Block) { return Number < Block->First; });
  const TBlock& block = **std::prev(after);
  Line = static_cast<int32_t>(number - block.First);
  return block;
}

std::string_view TLineStore::Text(int64_t Index) const {
  int32_t line;
  const TBlock& block = BlockOf(Index, line);
  return std::string_view(block.Text)
      .substr(block.Starts[line], block.End(line) - block.Starts[line]);
}

std::span<const TTextRun> TLineStore::Runs(int64_t Index) const {
  int32_t line;
  const TBlock& block = BlockOf(Index, line);
  if (block.RunStarts.empty()) return {};
  return std::span<const TTextRun>(block.Runs)
      .subspan(block.RunStarts[line], block.RunEnd(line) - block.RunStarts[line]);
}

void TLineStore::GetLine(int64_t Index, TLine& Out) const {
  const std::string_view text = Text(Index);
  Out.Text.assign(text.data(), text.size());
  const std::span<const TTextRun> runs = Runs(Index);
  Out.Runs.assign(runs.begin(), runs.end());
}

void TLineStore::Append(std::string_view Bytes, TTextColor Color, TTextStyle Style) {
  while (!Bytes.empty()) {
    size_t take = Bytes.size();
    if (FMaxLine > 0) {
      const int32_t line = Last().Lines() - 1;
      const auto length = static_cast<int64_t>(Last().Text.size() - Last().Starts[line]);
      if (length >= FMaxLine) {
        BreakLine();
        continue;
      }
      take = static_cast<size_t>(std::min<int64_t>(FMaxLine - length, Bytes.size()));
    }
    AppendRun(Bytes.substr(0, take), Color, Style);
    Bytes.remove_prefix(take);
  }
}

void TLineStore::AppendRun(std::string_view Bytes, TTextColor Color, TTextStyle Style) {
  TBlock& block = Last();
  const int32_t line = block.Lines() - 1;
  const size_t start = block.Text.size() - block.Starts[line];
  const size_t firstRun = block.RunStarts.empty() ? 0 : block.RunStarts[line];
  const bool hasRuns = block.Runs.size() > firstRun && !block.RunStarts.empty();
  const TTextRun current = hasRuns ? block.Runs.back() : TTextRun{};
  if (current.Color != Color || current.Style != Style) {
    if (block.RunStarts.empty()) block.RunStarts.assign(block.Starts.size(), 0);
    block.Runs.push_back({static_cast<uint32_t>(start), Color, Style});
  }
  block.Text.append(Bytes);
  FCost += static_cast<int64_t>(Bytes.size());
  FLastColumns = ShownColumns(Bytes, FLastColumns);
  FWidest = std::max(FWidest, FLastColumns);
  while (Over()) DropOldest();
}

void TLineStore::BreakLine() {
  if (Last().Full()) {
    Last().Seal();
    const int64_t next = Last().First + Last().Lines();
    FBlocks.push_back(std::make_unique<TBlock>());
    Last().First = next;
  }
  Last().AddLine();
  FCost += LineCost;
  FLastColumns = 0;
  while (Over()) DropOldest();
}

bool TLineStore::Over() const {
  const int64_t count = Count();
  return count > FCapacity || (FBudget > 0 && FCost > FBudget && count > 1);
}

void TLineStore::DropOldest() {
  FCost -= static_cast<int64_t>(Text(0).size()) + LineCost;
  ++FFirstNumber;
  if (++FHead < FBlocks.front()->Lines()) return;
  FBlocks.pop_front();
  FHead = 0;
}

void TLineStore::Backspace() {
  TBlock& block = Last();
  const int32_t line = block.Lines() - 1;
  if (block.Text.size() > block.Starts[line]) {
    block.Text.pop_back();
    --FCost;
    const size_t length = block.Text.size() - block.Starts[line];
    while (!block.RunStarts.empty() && block.Runs.size() > block.RunStarts[line] &&
           block.Runs.back().Start >= length)
      block.Runs.pop_back();
    RecountLastColumns();
    return;
  }
  if (Count() == 1) return;
  FCost -= LineCost;
  block.Starts.pop_back();
  if (!block.RunStarts.empty()) block.RunStarts.pop_back();
  if (block.Starts.empty()) FBlocks.pop_back();
  RecountLastColumns();
}

void TLineStore::RecountLastColumns() {
  FLastColumns = ShownColumns(Text(Count() - 1));
}

void TLineStore::Clear() {
  FBlocks.clear();
  FBlocks.push_back(std::make_unique<TBlock>());
  Last().AddLine();
  FCost = LineCost;
  FHead = 0;
  FFirstNumber = 0;
  FWidest = 0;
  FLastColumns = 0;
  FAfterCr = false;
}

void TLineStore::AppendLines(std::string_view Bytes) {
  size_t from = 0;
  if (FAfterCr && !Bytes.empty() && Bytes[0] == '\n') from = 1;
  while (from < Bytes.size()) {
    const size_t end = Bytes.find_first_of("\r\n", from);
    if (end == std::string_view::npos) {
      Append(Bytes.substr(from));
      break;
    }
    Append(Bytes.substr(from, end - from));
    BreakLine();
    from = end + 1;
    if (Bytes[end] == '\r' && from < Bytes.size() && Bytes[from] == '\n') ++from;
  }
  if (!Bytes.empty()) FAfterCr = Bytes.back() == '\r';
}

void TLineStore::Apply(const std::vector<TTerminalOp>& Ops) {
  for (const TTerminalOp& op : Ops) {
    switch (op.Kind) {
      case TTerminalOp::Text:
        Append(op.Run, op.Color, op.Style);
        break;
      case TTerminalOp::LineBreak:
        BreakLine();
        break;
      case TTerminalOp::Backspace:
        Backspace();
        break;
      case TTerminalOp::Clear:
        Clear();
        break;
    }
  }
}

std::string TLineStore::AllText() const {
  std::string text;
  const int64_t lines = Count();
  for (int64_t i = 0; i < lines; ++i) {
    if (i > 0) text += '\n';
    text += Text(i);
  }
  return text;
}

int64_t TLineStore::HeldBytes() const {
  int64_t bytes = 0;
  for (const auto& block : FBlocks)
    bytes += static_cast<int64_t>(block->Text.capacity() + 4 * block->Starts.capacity() +
                                  sizeof(TTextRun) * block->Runs.capacity() +
                                  4 * block->RunStarts.capacity());
  return bytes;
}

int64_t ShownColumns(std::string_view Text, int64_t From) {
  int64_t column = From;
  for (const char c : Text)
    column = c == '\t' ? (column / TabColumns + 1) * TabColumns : column + 1;
  return column;
}
