// The data the page embeds: every JSON line it was built from, whole, with
// each distinct value stored once. Files of one archive share most of their
// header texts, fields and signal tables, so 10,000 lines shrink to a page
// that a browser loads in one go; the page's script rebuilds a line's object
// on demand.
//
// Written as {"shapes": [[KEY...]...], "nodes": [...], "files": [ROOT...]}:
// a node is a string, number, true, false or null as it is, or an array
// [SHAPE, CHILD...] for an object with the keys of shapes[SHAPE] and
// [-1, CHILD...] for an array; every child and root is a node's index. A
// string with long runs of one character may be stored as [-2, TEXT, COUNT,
// TEXT, COUNT...], the TEXTs repeated and joined.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TPageData {
public:
  // Adds one line's JSON value as the next file; false (nothing added) when
  // it is not JSON.
  bool AddLine(std::string_view Line);
  size_t Files() const { return FRoots.size(); }
  size_t Nodes() const { return FNodes.size(); }
  // The data as one JSON text that cannot end the <script> element it is
  // written into.
  void AppendJson(std::string& Out) const;

  // Interns one node's JSON text; its index.
  uint32_t Intern(std::string&& Text);
  uint32_t InternShape(std::string&& Keys);

private:
  std::unordered_map<std::string, uint32_t> FIndex;
  std::vector<const std::string*> FNodes;  // keys of FIndex, which stay put
  std::unordered_map<std::string, uint32_t> FShapeIndex;
  std::vector<const std::string*> FShapes;
  std::vector<uint32_t> FRoots;
};
