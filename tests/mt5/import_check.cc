#include "tests/mt5/import_check.h"

#include <algorithm>
#include <map>
#include <set>

namespace tavelund::mt5 {
namespace {

bool identifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Comments become blanks (line feeds stay, so lines keep their numbers);
// string literals are left alone.
std::string withoutComments(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      const std::size_t start = i;
      for (++i; i < text.size() && text[i] != '"' && text[i] != '\n'; ++i) {
        if (text[i] == '\\') ++i;
      }
      out.append(text.substr(start, i - start + (i < text.size() ? 1 : 0)));
    } else if (text.substr(i, 2) == "//") {
      while (i < text.size() && text[i] != '\n') ++i;
      if (i < text.size()) out += '\n';
    } else if (text.substr(i, 2) == "/*") {
      const std::size_t end = text.find("*/", i + 2);
      const std::size_t stop = end == std::string_view::npos ? text.size() : end + 2;
      for (; i < stop; ++i) out += text[i] == '\n' ? '\n' : ' ';
      --i;
    } else {
      out += c;
    }
  }
  return out;
}

std::string trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

// Words, with '&', '*', '[' and ']' as words of their own.
std::vector<std::string> words(std::string_view text) {
  std::vector<std::string> out;
  std::string current;
  auto flush = [&] {
    if (!current.empty()) out.push_back(current);
    current.clear();
  };
  for (char c : text) {
    if (identifierChar(c)) {
      current += c;
    } else {
      flush();
      if (c == '&' || c == '*' || c == '[' || c == ']') out.emplace_back(1, c);
    }
  }
  flush();
  return out;
}

std::vector<std::string> splitTopLevel(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == separator) {
      parts.push_back(trim(text.substr(start, i - start)));
      start = i + 1;
    }
  }
  return parts;
}

const std::set<std::string>& cTypeWords() {
  static const std::set<std::string> words = {"const",  "unsigned", "signed", "char",
                                              "short",  "int",      "long",   "bool",
                                              "double", "float",    "void",   "wchar_t"};
  return words;
}

// A C type as one text: "const char*", "int*", "unsigned int".
std::string cType(std::vector<std::string> parts, bool dropName) {
  if (dropName && parts.size() >= 2 && parts.back() != "*" && !cTypeWords().count(parts.back())) {
    parts.pop_back();
  }
  std::string out;
  for (const std::string& part : parts) {
    if (part != "*" && !out.empty()) out += ' ';
    out += part;
  }
  return out;
}

// The C type that the terminal passes for an MQL5 type.
std::string cFormOfValue(const std::string& type) {
  static const std::map<std::string, std::string> byValue = {{"bool", "bool"},
                                                             {"char", "char"},
                                                             {"uchar", "unsigned char"},
                                                             {"short", "short"},
                                                             {"ushort", "unsigned short"},
                                                             {"int", "int"},
                                                             {"uint", "unsigned int"},
                                                             {"long", "long long"},
                                                             {"ulong", "unsigned long long"},
                                                             {"float", "float"},
                                                             {"double", "double"},
                                                             {"string", "const wchar_t*"},
                                                             {"void", "void"}};
  const auto found = byValue.find(type);
  return found == byValue.end() ? "<no C form: " + type + ">" : found->second;
}

std::string cFormOfParam(const std::string& text) {
  std::string declaration = text.substr(0, text.find('='));  // no default value
  std::vector<std::string> parts = words(declaration);
  const bool byReference = std::find(parts.begin(), parts.end(), "&") != parts.end();
  const bool array = std::find(parts.begin(), parts.end(), "[") != parts.end();
  std::vector<std::string> type;
  for (const std::string& part : parts) {
    if (part != "&" && part != "[" && part != "]" && part != "const") type.push_back(part);
  }
  if (type.size() >= 2) type.pop_back();  // the parameter's name
  const std::string name = type.empty() ? "" : type.front();
  if (array) {
    if (name == "uchar") return "const char*";
    const std::string element = cFormOfValue(name);
    return element.front() == '<' || name == "string" ? "<no C form: " + name + " array>"
                                                      : element + "*";
  }
  if (byReference) {
    const std::string target = cFormOfValue(name);
    return target.front() == '<' || name == "string" ? "<no C form: " + name + " reference>"
                                                     : target + "*";
  }
  return cFormOfValue(name);
}

// "RESULT NAME(PARAMS)" with `param` turning one parameter's text into a
// C type; false when the text is no such declaration.
template <typename ParamForm, typename ResultForm>
bool readDeclaration(std::string_view text, ParamForm param, ResultForm result, Declaration& out) {
  const auto open = text.find('(');
  const auto close = text.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
    return false;
  }
  std::vector<std::string> head = words(text.substr(0, open));
  if (head.size() < 2) return false;
  out.name = head.back();
  head.pop_back();
  out.result = result(head);
  out.params.clear();
  const std::string inside = trim(text.substr(open + 1, close - open - 1));
  if (inside.empty() || inside == "void") return true;
  for (const std::string& one : splitTopLevel(inside, ',')) out.params.push_back(param(one));
  return true;
}

}  // namespace

ImportBlock readImportBlock(std::string_view mq5) {
  ImportBlock block;
  const std::string text = withoutComments(mq5);
  std::size_t lineStart = 0;
  std::size_t bodyStart = std::string::npos, bodyEnd = std::string::npos;
  while (lineStart < text.size()) {
    std::size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    const std::string line = trim(std::string_view(text).substr(lineStart, lineEnd - lineStart));
    if (line.rfind("#import", 0) == 0) {
      const std::string rest = trim(std::string_view(line).substr(7));
      if (bodyStart == std::string::npos && !rest.empty()) {
        const auto quote = rest.find('"', 1);
        if (rest.front() != '"' || quote == std::string::npos) {
          block.error = "#import names no library: " + line;
          return block;
        }
        block.library = rest.substr(1, quote - 1);
        bodyStart = lineEnd;
      } else if (bodyStart != std::string::npos && rest.empty()) {
        bodyEnd = lineStart;
        break;
      }
    }
    lineStart = lineEnd + 1;
  }
  if (bodyStart == std::string::npos) {
    block.error = "no #import block";
    return block;
  }
  if (bodyEnd == std::string::npos) {
    block.error = "the #import block is not closed";
    return block;
  }
  const std::string body = text.substr(bodyStart, bodyEnd - bodyStart);
  for (const std::string& statement : splitTopLevel(body, ';')) {
    if (statement.empty()) continue;
    Declaration declaration;
    const bool read = readDeclaration(
        statement, cFormOfParam,
        [](const std::vector<std::string>& head) {
          std::vector<std::string> type;
          for (const auto& word : head) {
            if (word != "const") type.push_back(word);
          }
          return type.size() == 1 ? cFormOfValue(type.front())
                                  : "<no C form: " + cType(head, false) + ">";
        },
        declaration);
    if (!read) {
      block.error = "not a function declaration: " + statement;
      return block;
    }
    block.functions.push_back(declaration);
  }
  return block;
}

std::vector<Declaration> readHeaderExports(std::string_view header) {
  std::vector<Declaration> exports;
  std::string text = withoutComments(header);
  // Preprocessor lines (the TICKWELL_API definitions among them) are no
  // declarations.
  std::string code;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (trim(line).rfind('#', 0) != 0) code += line + "\n";
    start = end + 1;
  }
  const std::string marker = "TICKWELL_API";
  for (std::size_t at = code.find(marker); at != std::string::npos;
       at = code.find(marker, at + marker.size())) {
    const std::size_t end = code.find(';', at);
    if (end == std::string::npos) break;
    Declaration declaration;
    const std::string statement = code.substr(at + marker.size(), end - at - marker.size());
    if (readDeclaration(
            statement, [](const std::string& one) { return cType(words(one), true); },
            [](const std::vector<std::string>& head) { return cType(head, false); }, declaration)) {
      exports.push_back(declaration);
    }
  }
  return exports;
}

std::vector<std::string> compareWithHeader(const ImportBlock& imports,
                                           const std::vector<Declaration>& exports) {
  std::vector<std::string> problems;
  if (!imports.error.empty()) return {imports.error};
  if (imports.library != "tickwell.dll") {
    problems.push_back("the block imports from " + imports.library + ", not tickwell.dll");
  }
  std::set<std::string> seen;
  for (const Declaration& import : imports.functions) {
    const std::string& name = import.name;
    if (!seen.insert(name).second) problems.push_back(name + " is imported twice");
    const auto match = std::find_if(exports.begin(), exports.end(),
                                    [&](const Declaration& e) { return e.name == name; });
    if (match == exports.end()) {
      problems.push_back(name + " is no export of the header");
      continue;
    }
    if (import.result != match->result) {
      problems.push_back(name + " returns " + import.result + " in the import block but " +
                         match->result + " in the header");
    }
    if (import.params.size() != match->params.size()) {
      problems.push_back(name + " takes " + std::to_string(import.params.size()) +
                         " arguments in the import block but " +
                         std::to_string(match->params.size()) + " in the header");
      continue;
    }
    for (std::size_t i = 0; i < import.params.size(); ++i) {
      if (import.params[i] != match->params[i]) {
        problems.push_back(name + " argument " + std::to_string(i + 1) + " is " + import.params[i] +
                           " in the import block but " + match->params[i] + " in the header");
      }
    }
  }
  return problems;
}

std::vector<std::string> uncalledImports(std::string_view mq5, const ImportBlock& imports) {
  std::string text = withoutComments(mq5);
  // Calls are looked for outside the block itself.
  const std::size_t blockStart = text.find("#import");
  const std::size_t blockEnd =
      blockStart == std::string::npos ? std::string::npos : text.find("#import", blockStart + 7);
  if (blockEnd != std::string::npos) {
    text.replace(blockStart, blockEnd - blockStart, blockEnd - blockStart, ' ');
  }
  std::vector<std::string> uncalled;
  for (const Declaration& import : imports.functions) {
    bool called = false;
    for (std::size_t at = text.find(import.name); at != std::string::npos && !called;
         at = text.find(import.name, at + 1)) {
      const std::size_t after = at + import.name.size();
      const bool startsWord = at == 0 || !identifierChar(text[at - 1]);
      const std::size_t next = text.find_first_not_of(" \t\r\n", after);
      called = startsWord && next != std::string::npos && text[next] == '(';
    }
    if (!called) uncalled.push_back(import.name);
  }
  return uncalled;
}

std::string propertyVersion(std::string_view mq5) {
  const std::string text = withoutComments(mq5);
  const std::size_t at = text.find("#property version");
  if (at == std::string::npos) return {};
  const std::size_t open = text.find('"', at);
  const std::size_t lineEnd = text.find('\n', at);
  if (open == std::string::npos || open > lineEnd) return {};
  const std::size_t close = text.find('"', open + 1);
  return close == std::string::npos ? std::string() : text.substr(open + 1, close - open - 1);
}

}  // namespace tavelund::mt5
