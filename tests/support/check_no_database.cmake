# The calculator uses the masked edit unbound: its program must not carry the
# library's datasets. (The grid and the data-aware rich edit in the widgets
# library still bring the platform's data layer along with the rich edit.)
# Run as:
# cmake -DNM=<nm> -DPROGRAM=<tabulo> -P <this file>
execute_process(COMMAND "${NM}" -C "${PROGRAM}" OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${PROGRAM}")
endif()
set(found "")
foreach(mark IN ITEMS "TqxTable" "TqxQuery" "TqxQBE" "TqxStoredProc" "TqxDataSource")
  string(FIND "${symbols}" "${mark}" at)
  if(NOT at EQUAL -1)
    list(APPEND found "${mark}")
  endif()
endforeach()
if(found)
  message(FATAL_ERROR "${PROGRAM} links database code: ${found}")
endif()
