# cmake -DROOT=... -DMANIFEST=... -DWORK=... -P check_layers_plants.cmake
# The layering check passes on a copy of the tree's sources and fails, naming
# the fault, once an include is planted that points up the layers and once
# one that uses a folder its library does not link.
set(check ${ROOT}/tools/check_layers.sh)
file(REMOVE_RECURSE ${WORK})
foreach(folder common link intake engine analysis console launcher tools)
  if(EXISTS ${ROOT}/${folder})
    file(COPY ${ROOT}/${folder} DESTINATION ${WORK}
      FILES_MATCHING PATTERN "*.h" PATTERN "*.cc" PATTERN "*.cpp")
  endif()
endforeach()

function(run_check expect_fault what)
  execute_process(COMMAND bash ${check} ${WORK} ${MANIFEST}
    RESULT_VARIABLE result ERROR_VARIABLE errors OUTPUT_QUIET)
  if(expect_fault STREQUAL "")
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "the unplanted copy fails the check:\n${errors}")
    endif()
  elseif(result EQUAL 0 OR NOT errors MATCHES "${expect_fault}")
    message(FATAL_ERROR "${what}: expected a fault matching '${expect_fault}', got ${result}:\n${errors}")
  endif()
endfunction()

# plant(file include expected-fault what): the include added to a copied
# file, the check run, the file restored.
function(plant file include expect_fault what)
  file(READ ${WORK}/${file} original)
  file(WRITE ${WORK}/${file} "${original}#include \"${include}\"\n")
  run_check("${expect_fault}" "${what}")
  file(WRITE ${WORK}/${file} "${original}")
endfunction()

run_check("" "no plant")
plant(common/split.h engine/pf_chart.h "common/split.h:[0-9]+: includes engine/pf_chart.h"
  "an include up the layers")
plant(console/keys.cc engine/pf_chart.h "tavelund_console_text uses engine/pf_chart.h"
  "an include of a folder not linked")
plant(launcher/settings.cc console/options.h "launcher/settings.cc:[0-9]+: includes console/options.h"
  "the launcher using the console")
file(REMOVE_RECURSE ${WORK})
