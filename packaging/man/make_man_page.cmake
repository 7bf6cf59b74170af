# cmake -DPROGRAM=… -DTOOL=… -DPAGE=…/name.1 -DSECTION=1 -DSUMMARY=… -DSOURCE=… -DDATE=… -P make_man_page.cmake
# Runs the built program's --help, turns the text into PAGE with TOOL and
# writes PAGE.gz beside it the way Debian wants manual pages compressed.
foreach(var PROGRAM TOOL PAGE SECTION SUMMARY SOURCE DATE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "make_man_page.cmake: ${var} is not set")
  endif()
endforeach()

get_filename_component(name "${PROGRAM}" NAME)
execute_process(COMMAND "${PROGRAM}" --help OUTPUT_FILE "${PAGE}.help" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${name} --help failed: ${status}")
endif()
execute_process(COMMAND "${TOOL}" "${PAGE}.help" "${PAGE}" "${name}" "${SECTION}" "${SUMMARY}" "${SOURCE}" "${DATE}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "making the manual page of ${name} failed: ${status}")
endif()
# -n: no name or time stamp inside, so the same page gives the same bytes.
execute_process(COMMAND gzip -9 -n -c "${PAGE}" OUTPUT_FILE "${PAGE}.gz" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip of ${PAGE} failed: ${status}")
endif()
