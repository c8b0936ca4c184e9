# CPack runs this on its staging folder before packing: the programs lose
# their debug information (most of their size) and keep their symbols.
if(NOT CPACK_BRAMBLETON_STRIP)
  return()
endif()
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
foreach(program IN LISTS programs)
  execute_process(COMMAND "${CPACK_BRAMBLETON_STRIP}" --strip-debug "${program}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Could not strip the debug information of ${program}: ${result}")
  endif()
endforeach()
