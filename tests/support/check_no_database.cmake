# The calculator uses the masked edit unbound: its program must carry neither
# the database engine nor the library's datasets. Run as:
# cmake -DNM=<nm> -DPROGRAM=<tabulo> -P <this file>
execute_process(COMMAND "${NM}" -C "${PROGRAM}" OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${PROGRAM}")
endif()
set(found "")
foreach(mark IN ITEMS "sqlite3_" "TEngineDatabase" "TTable::" "TQuery::" "TqxTable" "TqxQuery" "TqxQBE"
                      "TqxStoredProc" "TqxDataSource")
  string(FIND "${symbols}" "${mark}" at)
  if(NOT at EQUAL -1)
    list(APPEND found "${mark}")
  endif()
endforeach()
if(found)
  message(FATAL_ERROR "${PROGRAM} links database code: ${found}")
endif()
