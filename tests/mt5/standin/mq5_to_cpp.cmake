# Turns an MQL5 program into a C++ translation unit for the stand-in build:
#   cmake -DSOURCE=x.mq5 -DOUTPUT=x.cc -P mq5_to_cpp.cmake
#
# Only what C++ cannot parse is rewritten, each within its own line, so the
# line numbers of compiler messages are those of the .mq5 file:
#   #property ...            a comment
#   #import "lib"            the opening of namespace mql5_import
#   #import                  its end, and a using-directive
#   TYPE &name[]             MqlArray<TYPE>& name   (array parameters)
#   TYPE name[];             MqlArray<TYPE> name;   (dynamic arrays)
# Everything else (input, string, MqlRates, the terminal's functions) is the
# stand-in's C++ (mql5.h, mql5_source.h).
if(NOT SOURCE OR NOT OUTPUT)
  message(FATAL_ERROR "usage: cmake -DSOURCE=x.mq5 -DOUTPUT=x.cc -P mq5_to_cpp.cmake")
endif()

file(READ "${SOURCE}" text)
# A leading line feed lets every rule anchor on "\n" (CMake's ^ is the start
# of the whole text only).
set(text "\n${text}")

string(REGEX REPLACE "\n[ \t]*#property" "\n// #property" text "${text}")
string(REGEX REPLACE "\n[ \t]*#import[ \t]+(\"[^\"\n]*\")[^\n]*"
  "\nnamespace mql5_import { /* \\1 */" text "${text}")
string(REGEX REPLACE "\n[ \t]*#import[ \t]*\n" "\n} using namespace mql5_import;\n" text "${text}")

set(identifier "[A-Za-z_][A-Za-z0-9_]*")
string(REGEX REPLACE "(${identifier})[ \t]*&[ \t]*(${identifier})[ \t]*\\[[ \t]*\\]"
  "MqlArray<\\1>& \\2" text "${text}")
string(REGEX REPLACE "(${identifier})[ \t]+(${identifier})[ \t]*\\[[ \t]*\\][ \t]*;"
  "MqlArray<\\1> \\2;" text "${text}")

# Drop the leading line feed again; #line makes the first line line 1.
string(SUBSTRING "${text}" 1 -1 text)
file(TO_CMAKE_PATH "${SOURCE}" source_path)
set(generated "// Generated from ${source_path} by mq5_to_cpp.cmake; do not edit.\n")
string(APPEND generated "#include \"tests/mt5/standin/mql5_source.h\"\n")
string(APPEND generated "#line 1 \"${source_path}\"\n")
string(APPEND generated "${text}")

# Rewrite only on change, so an unchanged program is not compiled again.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" previous)
  if(previous STREQUAL generated)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${generated}")
