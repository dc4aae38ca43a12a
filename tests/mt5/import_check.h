#pragma once
// The import block of an MQL5 program held against the C header of the
// library it imports. MQL5 hands a 64-bit C DLL:
//   uchar &x[]  as const char*        int &x  as int*
//   string x    as const wchar_t*     bool, int, double  by value
// and takes back bool, int, double or nothing (void).
#include <string>
#include <string_view>
#include <vector>

namespace tavelund::mt5 {

struct Declaration {
  std::string name;
  std::string result;               // a C type: "bool", "int", "void", "const char*", ...
  std::vector<std::string> params;  // C types, in order; empty for (void)
};

struct ImportBlock {
  std::string library;  // as named by #import "..."
  std::vector<Declaration> functions;
  std::string error;  // empty when the block was read
};

// The first #import block of an MQL5 source, its types already turned into
// the C types the terminal passes. A parameter with no C form gets the type
// "<no C form: ...>".
ImportBlock readImportBlock(std::string_view mq5);

// Every function the header exports (marked TICKWELL_API).
std::vector<Declaration> readHeaderExports(std::string_view header);

// One text per difference: unknown names, repeated imports, other results,
// other parameter counts or types.
std::vector<std::string> compareWithHeader(const ImportBlock& imports,
                                           const std::vector<Declaration>& exports);

// Imported functions that the program never calls.
std::vector<std::string> uncalledImports(std::string_view mq5, const ImportBlock& imports);

// The text of `#property version "..."`, empty when there is none.
std::string propertyVersion(std::string_view mq5);

}  // namespace tavelund::mt5
