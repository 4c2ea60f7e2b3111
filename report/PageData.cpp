#include "report/PageData.h"

#include <rapidjson/reader.h>

#include "report/JsonLines.h"
#include "report/JsonString.h"

namespace {

using rapidjson::SizeType;

// Quality maps are mostly long runs of one letter, and header fields end in
// runs of blanks: such a string is stored as [-2, TEXT, COUNT, TEXT, COUNT...]
// (each TEXT repeated COUNT times, in order) when that is shorter. Only ASCII
// bytes form runs, so a piece never splits a UTF-8 character.
bool AppendRuns(std::string& Out, std::string_view Text) {
  constexpr size_t kMinRun = 12;
  std::string Runs = "[-2";
  size_t Literal = 0;  // where the text not yet written starts
  const auto Piece = [&](std::string_view Part, size_t Count) {
    Runs += ',';
    AppendJsonUtf8(Runs, Part, TJsonEscape::ForScript);
    Runs += ',';
    Runs += std::to_string(Count);
  };
  for (size_t i = 0; i < Text.size();) {
    size_t j = i + 1;
    while (j < Text.size() && Text[j] == Text[i]) ++j;
    if (j - i >= kMinRun && static_cast<unsigned char>(Text[i]) < 0x80) {
      if (Literal < i) Piece(Text.substr(Literal, i - Literal), 1);
      Piece(Text.substr(i, 1), j - i);
      Literal = j;
    }
    i = j;
  }
  if (Literal == 0) return false;
  if (Literal < Text.size()) Piece(Text.substr(Literal), 1);
  Runs += ']';
  if (Runs.size() >= Text.size()) return false;
  Out += Runs;
  return true;
}

// Builds nodes bottom-up as the parser reports them: a container becomes a
// node when it closes, from the indices of its children.
class TNodeBuilder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, TNodeBuilder> {
public:
  explicit TNodeBuilder(TPageData& Data) : FData(Data) {}

  uint32_t Root() const { return FRoot; }

  bool Null() { return Leaf("null"); }
  bool Bool(bool B) { return Leaf(B ? "true" : "false"); }
  bool RawNumber(const char* S, SizeType N, bool) { return Leaf(std::string(S, N)); }
  bool String(const char* S, SizeType N, bool) {
    std::string Text;
    if (!AppendRuns(Text, std::string_view(S, N))) AppendJsonUtf8(Text, std::string_view(S, N), TJsonEscape::ForScript);
    return Leaf(std::move(Text));
  }
  bool StartObject() { return Open(false); }
  bool StartArray() { return Open(true); }
  bool Key(const char* S, SizeType N, bool) {
    TFrame& F = FStack[FDepth - 1];
    if (!F.Keys.empty()) F.Keys += ',';
    AppendJsonUtf8(F.Keys, std::string_view(S, N), TJsonEscape::ForScript);
    return true;
  }
  bool EndObject(SizeType) { return Close(); }
  bool EndArray(SizeType) { return Close(); }

private:
  struct TFrame {
    bool Array = false;
    std::string Keys;      // the object's keys as JSON strings, comma-separated
    std::string Children;  // ",N,N..."
  };

  bool Open(bool Array) {
    // The reader recurses: a hostile line nested without end is refused
    // long before the stack runs out.
    if (FDepth >= 100) return false;
    if (FDepth == FStack.size()) FStack.emplace_back();
    TFrame& F = FStack[FDepth++];
    F.Array = Array;
    F.Keys.clear();
    F.Children.clear();
    return true;
  }
  bool Close() {
    TFrame& F = FStack[--FDepth];
    std::string Text = "[";
    Text += F.Array ? "-1" : std::to_string(FData.InternShape("[" + F.Keys + "]"));
    Text += F.Children;
    Text += ']';
    return Child(FData.Intern(std::move(Text)));
  }
  bool Leaf(std::string&& Text) { return Child(FData.Intern(std::move(Text))); }
  bool Child(uint32_t Index) {
    if (FDepth == 0) {
      FRoot = Index;
      return true;
    }
    std::string& C = FStack[FDepth - 1].Children;
    C += ',';
    C += std::to_string(Index);
    return true;
  }

  TPageData& FData;
  std::vector<TFrame> FStack;  // frames are reused, so their strings keep their capacity
  size_t FDepth = 0;
  uint32_t FRoot = 0;
};

void AppendList(std::string& Out, const std::vector<const std::string*>& Items) {
  Out += '[';
  for (size_t i = 0; i < Items.size(); ++i) {
    if (i > 0) Out += ',';
    Out += *Items[i];
  }
  Out += ']';
}

}  // namespace

uint32_t TPageData::Intern(std::string&& Text) {
  const auto [It, Added] = FIndex.try_emplace(std::move(Text), static_cast<uint32_t>(FNodes.size()));
  if (Added) FNodes.push_back(&It->first);
  return It->second;
}

uint32_t TPageData::InternShape(std::string&& Keys) {
  const auto [It, Added] = FShapeIndex.try_emplace(std::move(Keys), static_cast<uint32_t>(FShapes.size()));
  if (Added) FShapes.push_back(&It->first);
  return It->second;
}

bool TPageData::AddLine(std::string_view Line) {
  // A line that fails half-way leaves the nodes it added: unused, harmless.
  thread_local std::string Copy;
  char* Text = InsituCopy(Copy, Line);
  if (!Text) return false;
  TNodeBuilder Builder(*this);
  rapidjson::InsituStringStream In(Text);
  rapidjson::Reader Reader;
  constexpr unsigned Flags =
      rapidjson::kParseInsituFlag | rapidjson::kParseNumbersAsStringsFlag;
  if (Reader.Parse<Flags>(In, Builder).IsError()) return false;
  FRoots.push_back(Builder.Root());
  return true;
}

void TPageData::AppendJson(std::string& Out) const {
  Out += "{\"shapes\":";
  AppendList(Out, FShapes);
  Out += ",\"nodes\":";
  AppendList(Out, FNodes);
  Out += ",\"files\":[";
  for (size_t i = 0; i < FRoots.size(); ++i) {
    if (i > 0) Out += ',';
    Out += std::to_string(FRoots[i]);
  }
  Out += "]}";
}
